#include "platform/value/value.hpp"

#include <cmath>
#include <cstdio>
#include <sstream>

#include "core/number_text.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora {

namespace {

std::string dims_text(const std::array<std::size_t, 3>& d) {
  std::string s = std::to_string(d[0]) + "x" + std::to_string(d[1]);
  if (d[2] != 1) s += "x" + std::to_string(d[2]);
  return s;
}

const char* kind_name(Value::Kind k) {
  switch (k) {
    case Value::Kind::Double:
      return "a number array";
    case Value::Kind::Char:
      return "text";
    case Value::Kind::Cell:
      return "a cell array";
    case Value::Kind::Struct:
      return "a record";
  }
  return "a value";
}

[[noreturn]] void wrong_kind(std::string_view what, const char* wanted, Value::Kind got) {
  throw RuntimeError(std::string(what) + " must be " + wanted + ", not " + kind_name(got) + ".");
}

}  // namespace

Value::Value(double x) : dims_{1, 1, 1}, num_{x} {}

Value::Value(const char* utf8) : Value(std::string_view(utf8 ? utf8 : "")) {}

Value::Value(std::string_view utf8) : kind_(Kind::Char) {
  chars_ = utf8_to_u16(utf8);
  dims_ = {chars_.empty() ? 0u : 1u, chars_.size(), 1};
}

Value Value::zeros(std::size_t rows, std::size_t cols, std::size_t pages) {
  return array(rows, cols, pages, std::vector<double>(rows * cols * pages, 0.0));
}

Value Value::array(std::size_t rows, std::size_t cols, std::size_t pages,
                   std::vector<double> data) {
  if (data.size() != rows * cols * pages) {
    throw RuntimeError("Internal error: array of " + std::to_string(rows) + "x" +
                       std::to_string(cols) + "x" + std::to_string(pages) + " given " +
                       std::to_string(data.size()) + " numbers.");
  }
  Value v;
  v.dims_ = {rows, cols, pages == 0 ? 1 : pages};
  if (pages == 0) v.dims_ = {rows, cols, 0};
  v.num_ = std::move(data);
  return v;
}

Value Value::row(std::initializer_list<double> xs) {
  return row(std::vector<double>(xs));
}

Value Value::row(const std::vector<double>& xs) {
  return array(xs.empty() ? 0 : 1, xs.size(), 1, xs);
}

Value Value::column(const std::vector<double>& xs) {
  return array(xs.size(), xs.empty() ? 0 : 1, 1, xs);
}

Value Value::matrix(const Eigen::Ref<const Eigen::MatrixXd>& m) {
  std::vector<double> d(static_cast<std::size_t>(m.size()));
  Eigen::Map<Eigen::MatrixXd>(d.data(), m.rows(), m.cols()) = m;
  return array(static_cast<std::size_t>(m.rows()), static_cast<std::size_t>(m.cols()), 1,
               std::move(d));
}

Value Value::from_u16(std::u16string chars) {
  Value v;
  v.kind_ = Kind::Char;
  v.dims_ = {chars.empty() ? 0u : 1u, chars.size(), 1};
  v.chars_ = std::move(chars);
  return v;
}

Value Value::cell(std::size_t rows, std::size_t cols) {
  Value v;
  v.kind_ = Kind::Cell;
  v.dims_ = {rows, cols, 1};
  v.items_.assign(rows * cols, Value());
  return v;
}

Value Value::cell_row(ValueList items) {
  Value v;
  v.kind_ = Kind::Cell;
  v.dims_ = {items.empty() ? 0u : 1u, items.size(), 1};
  v.items_ = std::move(items);
  return v;
}

Value Value::record() {
  Value v;
  v.kind_ = Kind::Struct;
  v.dims_ = {1, 1, 1};
  return v;
}

bool Value::is_true() const {
  if (empty()) return false;
  if (is_double()) {
    for (double x : num_)
      if (x == 0.0) return false;
    return true;
  }
  if (is_char()) {
    for (char16_t c : chars_)
      if (c == 0) return false;
    return true;
  }
  return false;
}

const std::vector<double>& Value::data() const {
  if (!is_double()) wrong_kind("value", "a number array", kind_);
  return num_;
}

std::vector<double>& Value::data() {
  if (!is_double()) wrong_kind("value", "a number array", kind_);
  return num_;
}

double Value::operator()(std::size_t r, std::size_t c, std::size_t p) const {
  return data()[r + dims_[0] * (c + dims_[1] * p)];
}

double& Value::operator()(std::size_t r, std::size_t c, std::size_t p) {
  return data()[r + dims_[0] * (c + dims_[1] * p)];
}

std::vector<double> Value::take_data() {
  std::vector<double> out = std::move(data());
  *this = Value();
  return out;
}

double Value::to_scalar(std::string_view what) const {
  if (!is_double()) wrong_kind(what, "a number", kind_);
  if (numel() != 1) {
    throw RuntimeError(std::string(what) + " must be a single number, not a " + dims_text(dims_) +
                       " array.");
  }
  return num_[0];
}

Eigen::MatrixXd Value::to_matrix(std::string_view what) const {
  if (!is_double()) wrong_kind(what, "a number array", kind_);
  if (dims_[2] != 1) {
    throw RuntimeError(std::string(what) + " must be a two-dimensional array, not " +
                       dims_text(dims_) + ".");
  }
  return Eigen::Map<const Eigen::MatrixXd>(num_.data(), static_cast<Eigen::Index>(dims_[0]),
                                           static_cast<Eigen::Index>(dims_[1]));
}

Eigen::VectorXd Value::to_vector(std::string_view what) const {
  if (!is_double()) wrong_kind(what, "a number array", kind_);
  return Eigen::Map<const Eigen::VectorXd>(num_.data(), static_cast<Eigen::Index>(num_.size()));
}

const std::u16string& Value::chars() const {
  if (!is_char()) wrong_kind("value", "text", kind_);
  return chars_;
}

std::string Value::to_string(std::string_view what) const {
  if (is_double() && empty()) return {};
  if (!is_char()) wrong_kind(what, "text", kind_);
  return u16_to_utf8(chars_);
}

std::string Value::text_or_empty() const {
  return is_char() ? u16_to_utf8(chars_) : std::string();
}

const Value& Value::at(std::size_t i) const {
  if (!is_cell()) wrong_kind("value", "a cell array", kind_);
  if (i >= items_.size()) {
    throw RuntimeError("Index exceeds the number of cell entries (" +
                       std::to_string(items_.size()) + ").");
  }
  return items_[i];
}

Value& Value::at(std::size_t i) {
  return const_cast<Value&>(static_cast<const Value&>(*this).at(i));
}

const ValueList& Value::items() const {
  if (!is_cell() && !is_struct()) wrong_kind("value", "a cell array", kind_);
  return items_;
}

bool Value::has_field(std::string_view name) const {
  if (!is_struct()) return false;
  for (const auto& f : field_names_)
    if (f == name) return true;
  return false;
}

const Value& Value::field(std::string_view name) const {
  if (!is_struct()) wrong_kind("value", "a record", kind_);
  for (std::size_t i = 0; i < field_names_.size(); ++i)
    if (field_names_[i] == name) return items_[i];
  throw RuntimeError("Reference to non-existent field '" + std::string(name) + "'.");
}

void Value::set_field(std::string_view name, Value v) {
  if (!is_struct()) wrong_kind("value", "a record", kind_);
  for (std::size_t i = 0; i < field_names_.size(); ++i) {
    if (field_names_[i] == name) {
      items_[i] = std::move(v);
      return;
    }
  }
  field_names_.emplace_back(name);
  items_.push_back(std::move(v));
}

bool operator==(const Value& a, const Value& b) {
  if (a.kind_ != b.kind_ || a.dims_ != b.dims_) return false;
  switch (a.kind_) {
    case Value::Kind::Double:
      return a.num_ == b.num_;
    case Value::Kind::Char:
      return a.chars_ == b.chars_;
    case Value::Kind::Cell:
      return a.items_ == b.items_;
    case Value::Kind::Struct:
      return a.field_names_ == b.field_names_ && a.items_ == b.items_;
  }
  return false;
}

std::u16string utf8_to_u16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    char32_t cp = 0;
    int extra = 0;
    if (c < 0x80) {
      cp = c;
    } else if ((c >> 5) == 0x6) {
      cp = c & 0x1F;
      extra = 1;
    } else if ((c >> 4) == 0xE) {
      cp = c & 0x0F;
      extra = 2;
    } else if ((c >> 3) == 0x1E) {
      cp = c & 0x07;
      extra = 3;
    } else {
      cp = 0xFFFD;
    }
    ++i;
    for (int k = 0; k < extra; ++k, ++i) {
      if (i >= s.size() || (static_cast<unsigned char>(s[i]) >> 6) != 0x2) {
        cp = 0xFFFD;
        break;
      }
      cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string u16_to_utf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    char32_t cp = s[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::string format_number(double x) {
  return message_number(x);
}

std::string format_number_exact(double x) {
  if (!std::isfinite(x) || (x == std::floor(x) && std::fabs(x) < 1e15)) return format_number(x);
  return shortest_number(x);
}

namespace {

void display_body(std::ostringstream& out, const Value& v, const std::string& indent, bool exact) {
  switch (v.kind()) {
    case Value::Kind::Char:
      out << indent << "'" << v.to_string() << "'\n";
      return;
    case Value::Kind::Double: {
      if (v.empty()) {
        out << indent << "[](" << dims_text(v.dims()) << ")\n";
        return;
      }
      for (std::size_t p = 0; p < v.pages(); ++p) {
        if (v.pages() > 1) out << indent << "(:,:," << p + 1 << ") =\n";
        for (std::size_t r = 0; r < v.rows(); ++r) {
          out << indent;
          for (std::size_t c = 0; c < v.cols(); ++c) {
            if (c) out << "   ";
            out << (exact ? format_number_exact(v(r, c, p)) : format_number(v(r, c, p)));
          }
          out << "\n";
        }
      }
      return;
    }
    case Value::Kind::Cell:
      out << indent << "{" << dims_text(v.dims()) << " cell}\n";
      for (const Value& item : v.items()) display_body(out, item, indent + "  ", exact);
      return;
    case Value::Kind::Struct:
      for (std::size_t i = 0; i < v.field_names().size(); ++i) {
        out << indent << v.field_names()[i] << ":\n";
        display_body(out, v.items()[i], indent + "  ", exact);
      }
      return;
  }
}

}  // namespace

std::string named_display(std::string_view name, const Value& v, bool exact) {
  std::ostringstream out;
  out << name << " =\n";
  display_body(out, v, "   ", exact);
  out << "\n";
  return out.str();
}

}  // namespace velmora

// Reading a batch script: its text into lines, each line into a command,
// with quoted and escaped text and the refusal of NUL bytes.
#include <cctype>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "app/batch.hpp"
#include "app/script_text.hpp"
#include "app/switchyard.hpp"
#include "core/file_bytes.hpp"
#include "platform/value/value.hpp"

namespace velmora::app {

namespace {

std::string trim(std::string_view s) {
  std::size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string_view::npos) return {};
  std::size_t b = s.find_last_not_of(" \t\r");
  return std::string(s.substr(a, b - a + 1));
}

bool is_identifier(std::string_view s) {
  if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
  for (char c : s)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  return true;
}

// A word of a call line as a number; "inf" and "nan" are numbers too.
std::optional<double> parse_number(std::string_view s) {
  return number_from_text(s, false);
}

// Splits the arguments of a "call" line: numbers, [1 2 3] rows, [] and
// quoted strings ('…' or "…").  Bare words are text.
ValueList parse_call_args(std::string_view s, int line) {
  ValueList out;
  std::size_t i = 0;
  auto fail = [&](const std::string& why) {
    throw std::invalid_argument("line " + std::to_string(line) + ": " + why);
  };
  while (i < s.size()) {
    if (s[i] == ' ' || s[i] == '\t') {
      ++i;
      continue;
    }
    if (s[i] == '\'' || s[i] == '"') {
      char q = s[i];
      std::size_t end = s.find(q, i + 1);
      if (end == std::string_view::npos) fail("unterminated quoted text");
      out.emplace_back(std::string(s.substr(i + 1, end - i - 1)));
      i = end + 1;
      continue;
    }
    if (s[i] == '[') {
      std::size_t end = s.find(']', i);
      if (end == std::string_view::npos) fail("unterminated [ ... ]");
      // Rows are separated by ";", numbers by blanks or commas.
      std::string body(s.substr(i + 1, end - i - 1));
      for (char& c : body)
        if (c == ',') c = ' ';
      std::vector<std::vector<double>> rows;
      std::istringstream row_texts(body);
      std::string row_text;
      while (std::getline(row_texts, row_text, ';')) {
        std::istringstream parts(row_text);
        std::vector<double> row;
        std::string part;
        while (parts >> part) {
          auto v = parse_number(part);
          if (!v) fail("\"" + part + "\" in [ ... ] is not a number");
          row.push_back(*v);
        }
        if (!row.empty()) rows.push_back(std::move(row));
      }
      for (const auto& r : rows)
        if (r.size() != rows[0].size()) fail("the rows of [ ... ] differ in length");
      Value m = Value::zeros(rows.size(), rows.empty() ? 0 : rows[0].size());
      for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < rows[r].size(); ++c) m(r, c) = rows[r][c];
      out.push_back(rows.empty() ? Value() : m);
      i = end + 1;
      continue;
    }
    std::size_t end = s.find_first_of(" \t", i);
    if (end == std::string_view::npos) end = s.size();
    std::string_view word = s.substr(i, end - i);
    if (auto v = parse_number(word)) {
      out.emplace_back(*v);
    } else {
      out.emplace_back(std::string(word));
    }
    i = end;
  }
  return out;
}

/// The 3-D window's sides a script may ask for, in pixels.
constexpr double kSmallestFigure = 1, kLargestFigure = 10000;

std::string resolve(const std::string& path, const std::string& base) {
  if (path.empty() || path[0] == '/' || base.empty()) return path;
  return base + (base.back() == '/' ? "" : "/") + path;
}

// The path of an open/save line, the item of a choose line or the value of
// a set line: "…" with
// escapes, '…' as written, or the bare rest of the line.
std::string script_value(const std::string& rest, const std::function<void(std::string)>& fail,
                         std::string_view what) {
  if (rest[0] == '"') {
    std::string_view after;
    std::string why;
    auto text = unquote_script_text(rest, after, why);
    if (!text) fail(why);
    if (!trim(after).empty())
      fail("nothing may follow the closing quote of a " + std::string(what));
    if (text->empty() && (what == "path" || what == "item"))
      fail("the quoted " + std::string(what) + " is empty");
    if (what != "path" && text->find('\0') != std::string::npos)
      fail("the " + std::string(what) + " " + quoted_script_echo(*text) +
           " holds a NUL byte (\\x00), which no script line may hold");
    return *text;
  }
  if (rest.size() >= 2 && rest[0] == '\'' && rest.back() == '\'')
    return rest.substr(1, rest.size() - 2);
  return rest;
}

// The numbers of a view or figsize line, each checked by `fits`.
ValueList script_numbers(const std::string& rest, std::size_t count,
                         bool (*fits)(std::size_t, double)) {
  std::istringstream words(rest);
  std::string word;
  ValueList out;
  while (words >> word) {
    const auto v = number_from_text(word, true);
    if (!v || out.size() >= count || !fits(out.size(), *v)) return {};
    out.emplace_back(*v);
  }
  return out.size() == count ? out : ValueList{};
}

}  // namespace

ValueList parse_action_args(std::string_view s, int line, bool words_as_text) {
  ValueList out;
  std::size_t i = 0;
  while (i < s.size()) {
    if (s[i] == ' ' || s[i] == '\t') {
      ++i;
      continue;
    }
    if (s[i] == '"') {
      // Double-quoted text with the escapes the recorder writes, so that
      // any bytes replay exactly.
      std::string_view after;
      std::string why;
      auto text = unquote_script_text(s.substr(i), after, why);
      if (!text) throw std::invalid_argument("line " + std::to_string(line) + ": " + why);
      // The action would see the text cut short at its NUL, as at a raw one.
      if (text->find('\0') != std::string::npos) {
        throw std::invalid_argument("line " + std::to_string(line) + ": the argument " +
                                    quoted_script_echo(*text) +
                                    " holds a NUL byte (\\x00), which no script argument may hold");
      }
      if (!after.empty() && after.front() != ' ' && after.front() != '\t') {
        throw std::invalid_argument("line " + std::to_string(line) +
                                    ": a blank must follow the closing quote of an argument");
      }
      out.emplace_back(std::move(*text));
      i = s.size() - after.size();
      continue;
    }
    // Any other word (a number, a bare word, '…' or [ … ]) as a call reads it.
    std::size_t end = i;
    const char close = s[i] == '\'' ? '\'' : s[i] == '[' ? ']' : '\0';
    if (close) {
      end = s.find(close, i + 1);
      end = end == std::string_view::npos ? s.size() : end + 1;
    } else {
      end = s.find_first_of(" \t", i);
      if (end == std::string_view::npos) end = s.size();
      if (words_as_text) {
        out.emplace_back(std::string(s.substr(i, end - i)));
        i = end;
        continue;
      }
    }
    for (Value& v : parse_call_args(s.substr(i, end - i), line)) out.push_back(std::move(v));
    i = end;
  }
  return out;
}

std::vector<BatchCommand> parse_batch(std::istream& in, const std::string& base_folder) {
  std::vector<BatchCommand> out;
  const std::string whole{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  int line = 0;
  for (std::string_view raw : split_script_lines(whole)) {
    ++line;
    std::string text = trim(raw);
    if (text.empty() || text[0] == '#') continue;
    std::size_t sp = text.find_first_of(" \t");
    std::string head = text.substr(0, sp);
    std::string rest = sp == std::string::npos ? "" : trim(text.substr(sp));
    auto fail = [&](const std::string& why) {
      throw std::invalid_argument("line " + std::to_string(line) + ": " + why);
    };
    BatchCommand c{BatchCommand::Kind::Action, line, {}, {}};
    // A raw NUL byte would reach a function or a control as a name cut
    // short; a path with one is refused below, with the path shown.
    if (is_identifier(head) && head != "open" && head != "save" &&
        rest.find('\0') != std::string::npos)
      fail(quoted_script_echo(rest) + " holds a NUL byte (\\x00), which no script line may hold");
    if (head == "open" || head == "save") {
      if (rest.empty()) fail("\"" + head + "\" needs a file path");
      c.kind = head == "open" ? BatchCommand::Kind::Open : BatchCommand::Kind::Save;
      c.name = resolve(script_value(rest, fail, "path"), base_folder);
      // The system would see a name cut short at its NUL: another file.
      if (std::string why = nul_in_name_reason(c.name); !why.empty())
        fail("the path " + quote_script_text(c.name) + " is no file name: " + why);
    } else if (head == "choose") {
      if (rest.empty()) fail("\"choose\" needs the text of the item to pick");
      c.kind = BatchCommand::Kind::Choose;
      c.name = script_value(rest, fail, "item");
    } else if (head == "cancel") {
      if (!rest.empty()) fail("\"cancel\" takes nothing after it");
      c.kind = BatchCommand::Kind::Cancel;
    } else if (head == "set") {
      std::size_t sp2 = rest.find_first_of(" \t");
      c.kind = BatchCommand::Kind::Set;
      c.name = rest.substr(0, sp2);
      const std::string value = sp2 == std::string::npos ? "" : trim(rest.substr(sp2));
      if (!is_identifier(c.name) || value.empty()) fail("\"set\" needs a control tag and a value");
      c.args.emplace_back(script_value(value, fail, "value"));
    } else if (head == "view") {
      c.kind = BatchCommand::Kind::View;
      c.args = script_numbers(rest, 3, [](std::size_t i, double v) {
        return i == 0 || (i == 1 && v >= -90 && v <= 90) || (i == 2 && v > 0);
      });
      if (c.args.empty()) {
        fail(
            "\"view\" takes three numbers: the azimuth, the elevation (from -90 to 90) and "
            "the zoom (above 0)");
      }
    } else if (head == "figsize") {
      c.kind = BatchCommand::Kind::FigSize;
      c.args = script_numbers(rest, 2, [](std::size_t, double v) {
        return v >= kSmallestFigure && v <= kLargestFigure;
      });
      if (c.args.empty()) {
        fail(
            "\"figsize\" takes two numbers: the 3-D window's width and height in pixels, each "
            "from " +
            format_number(kSmallestFigure) + " to " + format_number(kLargestFigure));
      }
    } else if (head == "call" || head == "call0") {
      std::size_t sp2 = rest.find_first_of(" \t");
      c.kind = BatchCommand::Kind::Call;
      c.no_outputs = head == "call0";
      c.name = rest.substr(0, sp2);
      if (!is_identifier(c.name)) fail("\"" + head + "\" needs a function name");
      c.args = parse_call_args(sp2 == std::string::npos ? "" : rest.substr(sp2), line);
    } else {
      if (!is_identifier(head)) fail(quoted_script_echo(head) + " is not an action name");
      c.name = head;
      // An action of several arguments names things by words (a target, a
      // group): each reaches it as written, "007" as "007".
      const ActionSpec* spec = find_action(head);
      if (!rest.empty()) c.args = parse_action_args(rest, line, spec && spec->most_arguments > 1);
    }
    out.push_back(std::move(c));
  }
  return out;
}

}  // namespace velmora::app

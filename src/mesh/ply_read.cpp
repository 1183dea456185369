#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "core/errors.hpp"
#include "core/shown_text.hpp"
#include "mesh/surface_parse.hpp"

// Stanford PLY: a text header of elements and their properties, then the
// elements' records in text or binary (either byte order).  Binary records are
// read straight from the bytes, one property type switch each.

namespace velmora::mesh::detail {
namespace {

enum class Type { Int8, Uint8, Int16, Uint16, Int32, Uint32, Float32, Float64 };

std::optional<Type> type_named(std::string_view s) {
  if (s == "char" || s == "int8") return Type::Int8;
  if (s == "uchar" || s == "uint8") return Type::Uint8;
  if (s == "short" || s == "int16") return Type::Int16;
  if (s == "ushort" || s == "uint16") return Type::Uint16;
  if (s == "int" || s == "int32") return Type::Int32;
  if (s == "uint" || s == "uint32") return Type::Uint32;
  if (s == "float" || s == "float32") return Type::Float32;
  if (s == "double" || s == "float64") return Type::Float64;
  return std::nullopt;
}

std::size_t size_of(Type t) {
  switch (t) {
    case Type::Int8:
    case Type::Uint8:
      return 1;
    case Type::Int16:
    case Type::Uint16:
      return 2;
    case Type::Int32:
    case Type::Uint32:
    case Type::Float32:
      return 4;
    case Type::Float64:
      return 8;
  }
  return 0;
}

struct Property {
  std::string name;
  Type type = Type::Float32;
  bool list = false;
  Type count_type = Type::Uint8;
  long long header_line = 0;
};

struct Element {
  std::string name;
  long long count = 0;
  std::vector<Property> properties;
  long long header_line = 0;
};

enum class Encoding { Ascii, Little, Big };

template <typename T>
T load(const char* p, bool swap) {
  T v;
  if (swap) {
    char b[sizeof(T)];
    for (std::size_t i = 0; i < sizeof(T); ++i) b[i] = p[sizeof(T) - 1 - i];
    std::memcpy(&v, b, sizeof(T));
  } else {
    std::memcpy(&v, p, sizeof(T));
  }
  return v;
}

double load_value(const char* p, Type t, bool swap) {
  switch (t) {
    case Type::Int8:
      return load<std::int8_t>(p, swap);
    case Type::Uint8:
      return load<std::uint8_t>(p, swap);
    case Type::Int16:
      return load<std::int16_t>(p, swap);
    case Type::Uint16:
      return load<std::uint16_t>(p, swap);
    case Type::Int32:
      return load<std::int32_t>(p, swap);
    case Type::Uint32:
      return load<std::uint32_t>(p, swap);
    case Type::Float32:
      return load<float>(p, swap);
    case Type::Float64:
      return load<double>(p, swap);
  }
  return 0;
}

bool is_float(Type t) {
  return t == Type::Float32 || t == Type::Float64;
}

/// Where the vertex element's properties of interest sit (−1: absent).
struct VertexLayout {
  int xyz[3] = {-1, -1, -1};
  int normal[3] = {-1, -1, -1};
  int rgb[3] = {-1, -1, -1};
};

VertexLayout vertex_layout(const Element& e) {
  VertexLayout v;
  for (int i = 0; i < static_cast<int>(e.properties.size()); ++i) {
    const std::string& n = e.properties[i].name;
    if (e.properties[i].list) continue;
    if (n == "x") v.xyz[0] = i;
    if (n == "y") v.xyz[1] = i;
    if (n == "z") v.xyz[2] = i;
    if (n == "nx") v.normal[0] = i;
    if (n == "ny") v.normal[1] = i;
    if (n == "nz") v.normal[2] = i;
    if (n == "red" || n == "r" || n == "diffuse_red") v.rgb[0] = i;
    if (n == "green" || n == "g" || n == "diffuse_green") v.rgb[1] = i;
    if (n == "blue" || n == "b" || n == "diffuse_blue") v.rgb[2] = i;
  }
  return v;
}

class PlyReader {
 public:
  PlyReader(std::string_view bytes, const std::string& label) : bytes_(bytes), label_(label) {}

  Surface read() {
    read_header();
    const Element* vertex = nullptr;
    const Element* face = nullptr;
    for (const Element& e : elements_) {
      if (e.name == "vertex") vertex = &e;
      if (e.name == "face") face = &e;
    }
    if (!vertex) fail(label_, "the header declares no vertex element.");
    layout_ = vertex_layout(*vertex);
    for (int c = 0; c < 3; ++c) {
      if (layout_.xyz[c] < 0)
        fail_line(label_, vertex->header_line, "the vertex element lacks its x, y or z property.");
    }
    if (face) {
      for (int i = 0; i < static_cast<int>(face->properties.size()); ++i) {
        const Property& p = face->properties[i];
        if (p.list && (p.name == "vertex_indices" || p.name == "vertex_index")) face_list_ = i;
      }
      if (face_list_ < 0)
        fail_line(label_, face->header_line,
                  "the face element has no vertex_indices list property.");
      if (is_float(face->properties[face_list_].type))
        fail_line(label_, face->header_line, "the face element's vertex indices are not integers.");
    }
    vertex_count_ = vertex->count;
    b_.xyz.reserve(3 * plausible(vertex_count_));
    colours_ = layout_.rgb[0] >= 0 && layout_.rgb[1] >= 0 && layout_.rgb[2] >= 0;
    normals_ = layout_.normal[0] >= 0 && layout_.normal[1] >= 0 && layout_.normal[2] >= 0;
    for (const Element& e : elements_) {
      // Records without properties take no bytes and hold no values (blank
      // lines are skipped anyway): nothing to read, however many there are.
      if (e.properties.empty()) continue;
      if (encoding_ == Encoding::Ascii) {
        read_text(e);
      } else {
        read_binary(e);
      }
    }
    return b_.finish(label_);
  }

 private:
  void read_header() {
    // A byte-order mark before "ply" is skipped; offsets stay those of the
    // whole file.
    const std::size_t start = bytes_.size() - without_bom(bytes_).size();
    Lines lines(bytes_.substr(start));
    std::string_view line;
    if (lines.next(line) && line.substr(0, 4) == "ply\r")
      fail(label_,
           "the header's lines end in a lone carriage return (\\r); a PLY file's lines end in a "
           "line feed (\\n or \\r\\n).");
    if (line != "ply") fail(label_, "a PLY file begins with the line \"ply\".");
    bool format_seen = false;
    while (true) {
      if (!lines.next(line)) fail(label_, "the header has no end_header line.");
      const auto w = words(line, false);
      if (w.empty() || w[0] == "comment" || w[0] == "obj_info") continue;
      if (w[0] == "end_header") break;
      if (w[0] == "format") {
        if (w.size() < 2) fail_line(label_, lines.number(), "the format line names no format.");
        if (w[1] == "ascii") {
          encoding_ = Encoding::Ascii;
        } else if (w[1] == "binary_little_endian") {
          encoding_ = Encoding::Little;
        } else if (w[1] == "binary_big_endian") {
          encoding_ = Encoding::Big;
        } else {
          fail_line(label_, lines.number(), "unknown format \"" + shown_text(w[1]) + "\".");
        }
        format_seen = true;
      } else if (w[0] == "element") {
        if (w.size() != 3)
          fail_line(label_, lines.number(), "an element line gives a name and a count.");
        for (const Element& e : elements_) {
          if (e.name == w[1])
            fail_line(label_, lines.number(),
                      "the element \"" + e.name + "\" is declared a second time (first on line " +
                          std::to_string(e.header_line) + ").");
        }
        elements_.push_back(
            {std::string(w[1]), element_count(w[1], w[2], lines.number()), {}, lines.number()});
      } else if (w[0] == "property") {
        if (elements_.empty()) fail_line(label_, lines.number(), "a property before any element.");
        Property p;
        std::optional<Type> t;
        if (w.size() == 5 && w[1] == "list") {
          const auto ct = type_named(w[2]);
          t = type_named(w[3]);
          if (!ct || is_float(*ct) || !t)
            fail_line(label_, lines.number(), "unknown list property types.");
          p.list = true;
          p.count_type = *ct;
          p.name = std::string(w[4]);
        } else if (w.size() == 3 && (t = type_named(w[1]))) {
          p.name = std::string(w[2]);
        } else {
          fail_line(label_, lines.number(),
                    "cannot read the property \"" + shown_text(line) + "\".");
        }
        p.type = *t;
        p.header_line = lines.number();
        for (const Property& q : elements_.back().properties) {
          if (q.name == p.name)
            fail_line(label_, lines.number(),
                      "the " + elements_.back().name + " element gives the property \"" + p.name +
                          "\" a second time (first on line " + std::to_string(q.header_line) +
                          ").");
        }
        elements_.back().properties.push_back(p);
      } else {
        fail_line(label_, lines.number(), "unknown header line \"" + shown_text(line) + "\".");
      }
    }
    if (!format_seen) fail(label_, "the header has no format line.");
    body_ = start + lines.offset();
    body_line_ = lines.number() + 1;
  }

  /// The count `word` of the element `name` gives on header line `line`.
  long long element_count(std::string_view name, std::string_view word, long long line) const {
    std::string_view digits = word;
    const bool negative = digits[0] == '-';
    if (negative || digits[0] == '+') digits.remove_prefix(1);
    const std::string element = "the element \"" + std::string(name) + "\" ";
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos)
      fail_line(label_, line,
                element + "gives the count \"" + std::string(word) + "\", not a whole number.");
    if (negative && digits.find_first_not_of('0') != std::string_view::npos)
      fail_line(
          label_, line,
          element + "declares " + std::string(word) + " records; a count cannot be negative.");
    long long count = -1;
    if (!parse_integer(word, count) || count > INT32_MAX)
      fail_line(label_, line,
                element + "declares " + std::string(word) + " records, more than the " +
                    std::to_string(INT32_MAX) + " an element may have.");
    return count;
  }

  void store_vertex(const double* values) {
    const std::size_t v = b_.vertex_count();
    for (int c = 0; c < 3; ++c) {
      const double x = values[layout_.xyz[c]];
      if (!coordinate_ok(x)) at_fault(coordinate_fault("vertex " + std::to_string(v), x));
      b_.xyz.push_back(x);
    }
    if (normals_) {
      for (int c = 0; c < 3; ++c) b_.normals.push_back(values[layout_.normal[c]]);
    }
    if (colours_) {
      for (int c = 0; c < 3; ++c) {
        const double x = values[layout_.rgb[c]];
        b_.rgb.push_back(rgb_float_ ? unit_to_byte(x)
                                    : static_cast<std::uint8_t>(x < 0     ? 0
                                                                : x > 255 ? 255
                                                                          : x));
      }
    }
  }

  void store_face(long long f, const std::vector<long long>& corners) {
    if (corners.size() < 3)
      at_fault("face " + std::to_string(f) + " has " + std::to_string(corners.size()) +
               " corners; a face needs at least 3.");
    polygon_.clear();
    for (long long c : corners) {
      if (c < 0 || c >= vertex_count_)
        at_fault("face " + std::to_string(f) + " names vertex " + std::to_string(c) +
                 ", but the file has " + std::to_string(vertex_count_) + " vertices (0 to " +
                 std::to_string(vertex_count_ - 1) + ").");
      polygon_.push_back(static_cast<std::int32_t>(c));
    }
    b_.add_polygon(polygon_.data(), polygon_.size());
  }

  /// Refuses the file at the current line (text) or element (binary).
  [[noreturn]] void at_fault(const std::string& what) {
    if (encoding_ == Encoding::Ascii) fail_line(label_, line_, what);
    fail(label_, what);
  }

  void read_text(const Element& e) {
    Lines lines(bytes_.substr(body_));
    std::string_view line;
    std::vector<double> values(e.properties.size());
    std::vector<long long> corners;
    const bool is_vertex = e.name == "vertex", is_face = e.name == "face";
    if (is_vertex) rgb_float_ = colours_ && is_float(e.properties[layout_.rgb[0]].type);
    for (long long r = 0; r < e.count; ++r) {
      std::vector<std::string_view> w;
      while (w.empty()) {
        if (!lines.next(line))
          fail(label_, "the file ends after " + std::to_string(r) + " of the " +
                           std::to_string(e.count) + " " + shown_text(e.name) +
                           " records its header declares.");
        w = words(line, false);
      }
      line_ = body_line_ + lines.number() - 1;
      std::size_t at = 0;
      auto next = [&]() -> double {
        if (at >= w.size())
          at_fault(shown_text(e.name) + " " + std::to_string(r) +
                   " has too few values for its properties.");
        double x = 0;
        if (!parse_double(w[at], x)) at_fault("\"" + shown_text(w[at]) + "\" is not a number.");
        ++at;
        return x;
      };
      corners.clear();
      for (std::size_t i = 0; i < e.properties.size(); ++i) {
        const Property& p = e.properties[i];
        if (!p.list) {
          values[i] = next();
          continue;
        }
        const double count = next();
        if (count < 0 || count != std::floor(count))
          at_fault("a list length must be a whole number, not \"" + shown_text(w[at - 1]) + "\".");
        for (long long j = 0; j < static_cast<long long>(count); ++j) {
          const double x = next();
          if (is_face && static_cast<int>(i) == face_list_) {
            if (x != std::floor(x))
              at_fault("vertex index \"" + shown_text(w[at - 1]) + "\" is not a whole number.");
            corners.push_back(static_cast<long long>(x));
          }
        }
      }
      if (at != w.size())
        at_fault(shown_text(e.name) + " " + std::to_string(r) +
                 " has more values than its properties.");
      if (is_vertex) store_vertex(values.data());
      if (is_face) store_face(r, corners);
    }
    body_line_ += lines.number();
    body_ = std::min(body_ + lines.offset(), bytes_.size());
  }

  void read_binary(const Element& e) {
    const bool swap = encoding_ == Encoding::Big;
    const bool is_vertex = e.name == "vertex", is_face = e.name == "face";
    if (is_vertex) rgb_float_ = colours_ && is_float(e.properties[layout_.rgb[0]].type);
    std::vector<double> values(e.properties.size());
    std::vector<long long> corners;
    const char* base = bytes_.data();
    std::size_t pos = body_;
    // A record of fixed size is checked once for the whole element.
    std::size_t fixed = 0;
    bool all_fixed = true;
    for (const Property& p : e.properties) {
      all_fixed = all_fixed && !p.list;
      fixed += size_of(p.type);
    }
    if (all_fixed && bytes_.size() - pos < fixed * static_cast<std::size_t>(e.count))
      cut_short(e, static_cast<long long>((bytes_.size() - pos) / std::max<std::size_t>(fixed, 1)));
    if (is_face && e.properties.size() == 1 && !swap && e.properties[0].count_type == Type::Uint8 &&
        (e.properties[0].type == Type::Int32 || e.properties[0].type == Type::Uint32)) {
      body_ = read_triangles_fast(e, pos);
      return;
    }
    if (is_vertex) {
      b_.rgb.reserve(colours_ ? 3 * plausible(e.count) : 0);
      b_.normals.reserve(normals_ ? 3 * plausible(e.count) : 0);
    }
    for (long long r = 0; r < e.count; ++r) {
      corners.clear();
      for (std::size_t i = 0; i < e.properties.size(); ++i) {
        const Property& p = e.properties[i];
        const std::size_t sz = size_of(p.type);
        if (!p.list) {
          if (!all_fixed && bytes_.size() - pos < sz) cut_short(e, r);
          values[i] = load_value(base + pos, p.type, swap);
          pos += sz;
          continue;
        }
        const std::size_t csz = size_of(p.count_type);
        if (bytes_.size() - pos < csz) cut_short(e, r);
        const auto count = static_cast<long long>(load_value(base + pos, p.count_type, swap));
        pos += csz;
        if (count < 0)
          at_fault(e.name + " " + std::to_string(r) + " gives the list \"" + p.name +
                   "\" the length " + std::to_string(count) + "; a length cannot be negative.");
        if (bytes_.size() - pos < sz * static_cast<std::size_t>(count)) cut_short(e, r);
        if (is_face && static_cast<int>(i) == face_list_) {
          for (long long j = 0; j < count; ++j) {
            corners.push_back(static_cast<long long>(load_value(base + pos, p.type, swap)));
            pos += sz;
          }
        } else {
          pos += sz * static_cast<std::size_t>(count);
        }
      }
      if (is_vertex) store_vertex(values.data());
      if (is_face) store_face(r, corners);
    }
    body_ = pos;
  }

  /// The usual face element of little-endian files (a list of uchar count
  /// and 32-bit indices, nothing else): triangles copied whole, any other
  /// polygon through store_face.  Returns the offset after the element.
  std::size_t read_triangles_fast(const Element& e, std::size_t pos) {
    b_.corners.reserve(3 * plausible(e.count));
    const char* base = bytes_.data();
    const auto limit = static_cast<std::uint32_t>(vertex_count_);
    std::vector<long long> corners;
    for (long long r = 0; r < e.count; ++r) {
      if (pos >= bytes_.size()) cut_short(e, r);
      const auto count = static_cast<unsigned char>(base[pos++]);
      if (bytes_.size() - pos < 4 * std::size_t{count}) cut_short(e, r);
      if (count == 3) {
        std::uint32_t t[3];
        std::memcpy(t, base + pos, 12);
        if (t[0] < limit && t[1] < limit && t[2] < limit) {
          b_.corners.insert(b_.corners.end(),
                            {static_cast<std::int32_t>(t[0]), static_cast<std::int32_t>(t[1]),
                             static_cast<std::int32_t>(t[2])});
          pos += 12;
          continue;
        }
      }
      corners.clear();
      for (unsigned j = 0; j < count; ++j, pos += 4) {
        corners.push_back(
            static_cast<long long>(load_value(base + pos, e.properties[0].type, false)));
      }
      store_face(r, corners);
    }
    return pos;
  }

  /// Room to reserve for `count` records: no more than the file has bytes,
  /// whatever a damaged header claims.
  std::size_t plausible(long long count) const {
    return std::min(static_cast<std::size_t>(count), bytes_.size());
  }

  /// Refuses a binary file that ends in record `r` of `e`.
  [[noreturn]] void cut_short(const Element& e, long long r) {
    fail(label_, "the file ends in " + shown_text(e.name) + " " + std::to_string(r) + " of the " +
                     std::to_string(e.count) + " its header declares (" +
                     std::to_string(bytes_.size()) + " bytes): it is cut short.");
  }

  std::string_view bytes_;
  const std::string& label_;
  Encoding encoding_ = Encoding::Ascii;
  std::vector<Element> elements_;
  std::size_t body_ = 0;
  long long body_line_ = 0;
  long long line_ = 0;
  VertexLayout layout_;
  int face_list_ = -1;
  long long vertex_count_ = 0;
  bool colours_ = false, normals_ = false, rgb_float_ = false;
  Builder b_;
  std::vector<std::int32_t> polygon_;
};

}  // namespace

Surface parse_ply(std::string_view bytes, const std::string& label) {
  return PlyReader(bytes, label).read();
}

}  // namespace velmora::mesh::detail

#include <array>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "core/errors.hpp"
#include "core/number_text.hpp"
#include "core/shown_text.hpp"
#include "mesh/surface_parse.hpp"

// STL files: binary (an 80-byte header, a count, 50 bytes a triangle) or
// text (facet … endfacet); each triangle's corners are stored apart and
// joined here at equal coordinates.

namespace velmora::mesh::detail {
namespace {

/// Joins STL's separate triangle corners at equal coordinates.
class Welder {
 public:
  explicit Welder(Builder& b) : b_(b) {}
  std::int32_t add(const double* p) {
    Key key{};
    for (int c = 0; c < 3; ++c) {
      const double v = p[c] == 0.0 ? 0.0 : p[c];  // -0 and +0 are one point
      std::memcpy(&key[c], &v, sizeof v);
    }
    auto [it, inserted] = index_.try_emplace(key, static_cast<std::int32_t>(b_.vertex_count()));
    if (inserted) b_.xyz.insert(b_.xyz.end(), p, p + 3);
    return it->second;
  }

 private:
  using Key = std::array<std::uint64_t, 3>;
  struct Hash {
    std::size_t operator()(const Key& k) const {
      return std::hash<std::uint64_t>()(k[0] * 0x9E3779B97F4A7C15ULL ^
                                        k[1] * 0xC2B2AE3D27D4EB4FULL ^ k[2]);
    }
  };
  Builder& b_;
  std::unordered_map<Key, std::int32_t, Hash> index_;
};

Surface parse_stl_text(std::string_view bytes, const std::string& label) {
  Builder b;
  Welder weld(b);
  Lines lines(bytes);
  std::string_view line;
  std::vector<std::int32_t> loop;
  bool in_loop = false;
  std::size_t facet = 0;
  while (lines.next(line)) {
    const auto w = words(line, false);
    if (w.empty()) continue;
    if (w[0] == "outer") {
      in_loop = true;
      loop.clear();
    } else if (w[0] == "vertex") {
      if (!in_loop) fail_line(label, lines.number(), "a vertex outside a facet's loop.");
      if (w.size() != 4) fail_line(label, lines.number(), "a vertex needs three coordinates.");
      double p[3];
      for (int c = 0; c < 3; ++c) {
        if (!parse_double(w[1 + c], p[c]))
          fail_line(label, lines.number(), "\"" + shown_text(w[1 + c]) + "\" is not a number.");
        if (!std::isfinite(p[c]))
          fail_line(label, lines.number(),
                    "facet " + std::to_string(facet) + " has a coordinate that is not finite (" +
                        message_number(p[c]) + ").");
      }
      loop.push_back(weld.add(p));
    } else if (w[0] == "endloop") {
      if (loop.size() != 3)
        fail_line(label, lines.number(),
                  "facet " + std::to_string(facet) + " has " + std::to_string(loop.size()) +
                      " vertices; an STL facet has 3.");
      b.add_polygon(loop.data(), 3);
      in_loop = false;
      ++facet;
    }
  }
  if (in_loop) fail(label, "the file ends inside facet " + std::to_string(facet) + ".");
  return b.finish(label);
}

}  // namespace

Surface parse_stl(std::string_view bytes, const std::string& label) {
  if (bytes.size() >= 84) {
    std::uint32_t count = 0;
    std::memcpy(&count, bytes.data() + 80, 4);
    const std::uint64_t expected = 84 + 50 * std::uint64_t{count};
    if (expected == bytes.size()) {
      Builder b;
      Welder weld(b);
      std::vector<std::int32_t> tri(3);
      for (std::uint32_t t = 0; t < count; ++t) {
        const char* rec = bytes.data() + 84 + 50 * std::size_t{t} + 12;
        for (int corner = 0; corner < 3; ++corner) {
          float f[3];
          std::memcpy(f, rec + 12 * corner, 12);
          const double p[3] = {f[0], f[1], f[2]};
          for (double v : p) {
            if (!std::isfinite(v))
              fail(label, "triangle " + std::to_string(t) +
                              " has a coordinate that is not finite (" + message_number(v) + ").");
          }
          tri[corner] = weld.add(p);
        }
        b.add_polygon(tri.data(), 3);
      }
      return b.finish(label);
    }
    const auto start = bytes.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos || bytes.substr(start, 5) != "solid")
      fail(label, "a binary STL file of " + std::to_string(count) + " triangles holds " +
                      std::to_string(expected) + " bytes, and this one " +
                      std::to_string(bytes.size()) + " (cut short or not an STL file).");
  } else {
    const auto start = bytes.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos || bytes.substr(start, 5) != "solid")
      fail(label, "the file is too short for a binary STL file (" + std::to_string(bytes.size()) +
                      " bytes, at least 84 needed) and does not begin with \"solid\".");
  }
  return parse_stl_text(bytes, label);
}

}  // namespace velmora::mesh::detail

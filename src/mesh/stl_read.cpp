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

/// What a text STL file holds, in this order: "solid NAME"; for each facet
/// "facet normal X Y Z", "outer loop", three "vertex X Y Z", "endloop" and
/// "endfacet"; then "endsolid NAME", after which another solid may begin.
enum class Expect { Solid, Facet, OuterLoop, Vertex, EndLoop, EndFacet, Done };

std::string expected_text(Expect e) {
  switch (e) {
    case Expect::Solid:
      return "\"solid\"";
    case Expect::Facet:
      return "\"facet normal\" or \"endsolid\"";
    case Expect::OuterLoop:
      return "\"outer loop\"";
    case Expect::Vertex:
      return "\"vertex\"";
    case Expect::EndLoop:
      return "\"endloop\"";
    case Expect::EndFacet:
      return "\"endfacet\"";
    case Expect::Done:
      return "\"solid\" or the end of the file";
  }
  return {};
}

bool inside_facet(Expect e) {
  return e != Expect::Solid && e != Expect::Facet && e != Expect::Done;
}

std::string facets_text(std::size_t n) {
  return std::to_string(n) + (n == 1 ? " facet" : " facets");
}

Surface parse_stl_text(std::string_view bytes, const std::string& label) {
  Builder b;
  Welder weld(b);
  Lines lines(bytes);
  std::string_view line;
  std::int32_t loop[3] = {};
  std::size_t corners = 0, facet = 0;
  Expect expect = Expect::Solid;
  auto refuse = [&](const std::string& what) { fail_line(label, lines.number(), what); };
  auto facet_name = [&] { return "facet " + std::to_string(facet); };
  while (lines.next(line)) {
    const auto w = words(line, false);
    if (w.empty()) continue;
    const std::string_view key = w[0];
    if (key == "solid" && (expect == Expect::Solid || expect == Expect::Done)) {
      expect = Expect::Facet;
    } else if (key == "endsolid" && expect == Expect::Facet) {
      expect = Expect::Done;
    } else if (key == "facet" && expect == Expect::Facet) {
      if (w.size() != 5 || w[1] != "normal")
        refuse("a facet begins with \"facet normal\" and three numbers.");
      for (int c = 0; c < 3; ++c) {
        double n = 0;
        if (!parse_double(w[2 + c], n))
          refuse("\"" + std::string(w[2 + c]) + "\" is not a number.");
      }
      expect = Expect::OuterLoop;
    } else if (key == "outer" && w.size() == 2 && w[1] == "loop" && expect == Expect::OuterLoop) {
      corners = 0;
      expect = Expect::Vertex;
    } else if (key == "vertex" && (expect == Expect::Vertex || expect == Expect::EndLoop)) {
      if (corners == 3) refuse(facet_name() + " has 4 vertices; an STL facet has 3.");
      if (w.size() != 4) refuse("a vertex needs three coordinates.");
      double p[3];
      for (int c = 0; c < 3; ++c) {
        if (!parse_double(w[1 + c], p[c]))
          refuse("\"" + shown_text(w[1 + c]) + "\" is not a number.");
        if (!coordinate_ok(p[c])) refuse(coordinate_fault(facet_name(), p[c]));
      }
      loop[corners++] = weld.add(p);
      if (corners == 3) expect = Expect::EndLoop;
    } else if (key == "endloop" && expect == Expect::Vertex) {
      refuse(facet_name() + " has " + std::to_string(corners) + " vertices; an STL facet has 3.");
    } else if (key == "endloop" && expect == Expect::EndLoop) {
      expect = Expect::EndFacet;
    } else if (key == "endfacet" && expect == Expect::EndFacet) {
      b.add_polygon(loop, 3);
      ++facet;
      expect = Expect::Facet;
    } else {
      const bool two = (key == "facet" || key == "outer") && w.size() > 1;
      const std::string found = two ? std::string(key) + " " + std::string(w[1]) : std::string(key);
      refuse("expected " + expected_text(expect) +
             (inside_facet(expect) ? " in " + facet_name() : std::string()) + ", found \"" + found +
             "\".");
    }
  }
  if (inside_facet(expect))
    refuse("the file ends inside " + facet_name() + ", before its " + expected_text(expect) +
           ": it is cut short.");
  if (expect != Expect::Done)
    refuse("the file ends after " + facets_text(facet) + " without \"endsolid\": it is cut short.");
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
    // A text file holds no NUL byte; a binary one whose header begins
    // "solid" (as some programs write it) almost always does.
    const std::string_view text = without_bom(bytes);
    const auto start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos || text.substr(start, 5) != "solid" ||
        text.find('\0') != std::string_view::npos)
      fail(label, "a binary STL file of " + std::to_string(count) + " triangles holds " +
                      std::to_string(expected) + " bytes, and this one " +
                      std::to_string(bytes.size()) + " (cut short or not an STL file).");
  } else {
    const std::string_view text = without_bom(bytes);
    const auto start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos || text.substr(start, 5) != "solid")
      fail(label, "the file is too short for a binary STL file (" + std::to_string(bytes.size()) +
                      " bytes, at least 84 needed) and does not begin with \"solid\".");
  }
  return parse_stl_text(without_bom(bytes), label);
}

}  // namespace velmora::mesh::detail

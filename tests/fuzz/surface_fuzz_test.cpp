// Exhaustive, deterministic test of the surface readers on a small surface
// written in every format: each truncation of the file, and each of its bytes
// replaced by a few others.
//
// A truncated file is refused, unless what was cut holds only blanks (or the
// name after "endsolid"): then it reads as the whole surface.  OBJ declares no
// counts and has no end, so a truncated OBJ may instead read as the same
// vertices with the first of the triangles.  A damaged file is read as a
// surface that keeps the readers' promises, or refused with a message naming
// the file and a line that exists.  Nothing else escapes.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "core/errors.hpp"
#include "fuzz/fuzz_support.hpp"
#include "mesh/surface.hpp"

namespace velmora::mesh {
namespace {

using io::fuzz::printable;

constexpr const char* kLabel = "cut.x";

/// A square pyramid with a fin (6 vertices, 7 triangles), vertex colours and
/// coordinates of several digits.  Every index is a single digit, so cutting
/// the last one never leaves another valid index.
Surface pyramid() {
  Surface s;
  s.vertices.resize(6, 3);
  s.vertices << -1.25, -1.5, 0.125, 1.75, -1.0625, 0, 1.5, 1.375, -0.25,  //
      -1.125, 1.25, 0.5, 0.0625, 0.1875, 2.5, 3.25, -2.75, 1.625;
  s.triangles.resize(7, 3);
  s.triangles << 0, 1, 4, 1, 2, 4, 2, 3, 4, 3, 0, 4, 0, 2, 1, 0, 3, 2, 1, 4, 5;
  s.colours.resize(6, 3);
  for (Eigen::Index i = 0; i < s.colours.size(); ++i)
    s.colours.data()[i] = static_cast<std::uint8_t>(37 * i + 11);
  return s;
}

/// The surface read from `bytes`, or nothing when they are refused; either
/// way the readers' promises are checked.
std::optional<Surface> read_checked(const std::string& bytes, const char* ext) {
  try {
    Surface s = parse_surface(bytes, ext, kLabel);
    check_surface(s);
    EXPECT_LE(s.vertices.cwiseAbs().maxCoeff(), 3.4028234663852886e38);
    EXPECT_TRUE(s.colours.rows() == 0 || s.colours.rows() == s.vertex_count());
    EXPECT_TRUE(s.normals.rows() == 0 || s.normals.rows() == s.vertex_count());
    return s;
  } catch (const io::FileError& e) {
    const std::string m = e.what(), name = std::string("\"") + kLabel + "\"";
    EXPECT_EQ(m.rfind(name, 0), 0u) << m;
    if (m.compare(name.size(), 6, " line ") == 0) {
      const long long line = std::stoll(m.substr(name.size() + 6));
      EXPECT_GE(line, 1);
      EXPECT_LE(line, std::count(bytes.begin(), bytes.end(), '\n') + 1) << m;
    }
    return std::nullopt;
  }
}

bool same(const Surface& a, const Surface& b) {
  return a.vertices == b.vertices && a.triangles == b.triangles && a.colours == b.colours &&
         a.normals == b.normals;
}

struct Format {
  SurfaceFormat format;
  const char* ext;
  bool text;
};

constexpr Format kFormats[] = {
    {SurfaceFormat::PlyBinary, "ply", false}, {SurfaceFormat::PlyAscii, "ply", true},
    {SurfaceFormat::Obj, "obj", true},        {SurfaceFormat::Off, "off", true},
    {SurfaceFormat::StlBinary, "stl", false}, {SurfaceFormat::StlAscii, "stl", true}};

TEST(SurfaceFuzz, EveryTruncationIsRefusedUnlessNothingButBlanksWasCut) {
  for (const Format& f : kFormats) {
    const std::string bytes = surface_bytes(pyramid(), f.format);
    const std::optional<Surface> whole = read_checked(bytes, f.ext);
    ASSERT_TRUE(whole.has_value()) << f.ext;
    // The name after "endsolid" says nothing about the surface.
    const std::size_t name_from =
        f.format == SurfaceFormat::StlAscii ? bytes.rfind("endsolid") + 8 : bytes.size();
    for (std::size_t n = 0; n < bytes.size(); ++n) {
      const std::string cut = bytes.substr(0, n);
      SCOPED_TRACE(std::string(f.ext) + " cut to " + std::to_string(n) + ": " +
                   printable(cut.substr(cut.size() - std::min<std::size_t>(cut.size(), 40))));
      const std::optional<Surface> read = read_checked(cut, f.ext);
      const bool blanks = f.text && bytes.find_first_not_of(" \t\r\n", n) == std::string::npos;
      if (blanks || n >= name_from) {
        ASSERT_TRUE(read && same(*read, *whole));
      } else if (f.format == SurfaceFormat::Obj && read) {
        ASSERT_EQ(read->vertices, whole->vertices);
        ASSERT_EQ(read->colours, whole->colours);
        ASSERT_LT(read->triangle_count(), whole->triangle_count());
        ASSERT_EQ(read->triangles, whole->triangles.topRows(read->triangle_count()));
      } else {
        ASSERT_FALSE(read.has_value());
      }
    }
    // A byte-order mark before a text header changes nothing.
    if (f.format != SurfaceFormat::StlBinary) {
      const std::optional<Surface> marked = read_checked("\xEF\xBB\xBF" + bytes, f.ext);
      ASSERT_TRUE(marked && same(*marked, *whole)) << f.ext;
    }
  }
}

TEST(SurfaceFuzz, EveryByteReplacedIsReadOrRefusedCleanly) {
  const char replacements[] = {'\0', '\n', '\r', ' ', '7', '-', '.', 'e', 'x', '\xff'};
  for (const Format& f : kFormats) {
    const std::string bytes = surface_bytes(pyramid(), f.format);
    for (std::size_t at = 0; at < bytes.size(); ++at) {
      for (char r : replacements) {
        if (bytes[at] == r) continue;
        std::string damaged = bytes;
        damaged[at] = r;
        SCOPED_TRACE(std::string(f.ext) + " byte " + std::to_string(at) + " as " +
                     printable(std::string(1, r)));
        read_checked(damaged, f.ext);
      }
    }
  }
}

}  // namespace
}  // namespace velmora::mesh

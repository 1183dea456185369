#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "core/errors.hpp"
#include "io/test_files.hpp"
#include "mesh/surface.hpp"

namespace velmora::mesh {
namespace {

/// An octahedron with jittered corners, a fin of three triangles on one edge
/// (an edge of four faces, which a half-edge mesh cannot hold) and vertex
/// colours.
Surface test_surface(unsigned seed, bool colours) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> jitter(-0.3, 0.3);
  Surface s;
  s.vertices.resize(8, 3);
  const double corners[6][3] = {{1, 0, 0},  {-1, 0, 0}, {0, 1, 0},
                                {0, -1, 0}, {0, 0, 1},  {0, 0, -1}};
  for (int v = 0; v < 6; ++v) {
    for (int c = 0; c < 3; ++c) s.vertices(v, c) = 40 * (corners[v][c] + jitter(rng)) + 1e3;
  }
  s.vertices.row(6) << 1e3 + 50, 1e3 + 50, 1e3 + 10;
  s.vertices.row(7) << 1e3 - 50, 1e3 + 50, 1e3 - 10;
  s.triangles.resize(10, 3);
  s.triangles << 0, 2, 4, 2, 1, 4, 1, 3, 4, 3, 0, 4, 2, 0, 5, 1, 2, 5, 3, 1, 5, 0, 3, 5,  //
      0, 2, 6, 2, 0, 7;
  if (colours) {
    s.colours.resize(8, 3);
    for (Eigen::Index i = 0; i < s.colours.size(); ++i) s.colours.data()[i] = rng() % 256;
  }
  return s;
}

/// Each triangle's corners, as coordinates: equal for two surfaces that
/// differ only in the numbering of their vertices.
Eigen::MatrixXd corner_coordinates(const Surface& s) {
  Eigen::MatrixXd out(s.triangle_count(), 9);
  for (Eigen::Index t = 0; t < s.triangle_count(); ++t) {
    for (int k = 0; k < 3; ++k) out.row(t).segment<3>(3 * k) = s.vertices.row(s.triangles(t, k));
  }
  return out;
}

TEST(SurfaceFiles, EveryFormatRoundTripsGeometryConnectivityAndColours) {
  struct Case {
    SurfaceFormat format;
    const char* ext;
    bool keeps_numbering, keeps_colours;
  };
  const Case cases[] = {{SurfaceFormat::PlyBinary, "ply", true, true},
                        {SurfaceFormat::PlyAscii, "ply", true, true},
                        {SurfaceFormat::Obj, "obj", true, true},
                        {SurfaceFormat::Off, "off", true, false},
                        {SurfaceFormat::StlBinary, "stl", false, false},
                        {SurfaceFormat::StlAscii, "stl", false, false}};
  for (unsigned seed : {1u, 2u, 3u}) {
    for (bool colours : {false, true}) {
      const Surface s = test_surface(seed, colours);
      for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.ext) + " format " + std::to_string(int(c.format)));
        const Surface r = parse_surface(surface_bytes(s, c.format), c.ext, "t");
        // Float coordinates (binary) and 9 significant digits (text) both
        // come back within 6e-8 of the value.
        const double tol = 6e-8 * s.vertices.cwiseAbs().maxCoeff();
        ASSERT_EQ(r.triangle_count(), s.triangle_count());
        if (c.keeps_numbering) {
          ASSERT_EQ(r.vertex_count(), s.vertex_count());
          EXPECT_EQ(r.triangles, s.triangles);
          EXPECT_LE((r.vertices - s.vertices).cwiseAbs().maxCoeff(), tol);
        } else {
          // STL joins corners at equal coordinates: the fin stays on its edge.
          EXPECT_EQ(r.vertex_count(), s.vertex_count());
          EXPECT_LE((corner_coordinates(r) - corner_coordinates(s)).cwiseAbs().maxCoeff(), tol);
        }
        if (colours && c.keeps_colours) {
          EXPECT_EQ(r.colours, s.colours);
        } else {
          EXPECT_FALSE(r.has_colours());
        }
      }
    }
  }
}

TEST(SurfaceFiles, PolygonsNormalsBigEndianAndOtherElementsRead) {
  // A quad cut into two triangles, normals and float colours, an extra
  // element, all in big-endian binary.
  std::string ply =
      "ply\nformat binary_big_endian 1.0\ncomment x\nelement vertex 4\nproperty double x\n"
      "property double y\nproperty double z\nproperty float nx\nproperty float ny\n"
      "property float nz\nproperty float red\nproperty float green\nproperty float blue\n"
      "element face 1\nproperty list uchar uint vertex_indices\nproperty uchar flags\n"
      "element edge 1\nproperty list int int vertex_pair\nend_header\n";
  auto put = [&ply](const void* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) ply.push_back(static_cast<const char*>(p)[n - 1 - i]);
  };
  const double xy[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  for (auto& v : xy) {
    const double z = 2;
    put(&v[0], 8), put(&v[1], 8), put(&z, 8);
    const float n[3] = {0, 0, 1}, rgb[3] = {1, 0.5f, 0};
    for (float f : n) put(&f, 4);
    for (float f : rgb) put(&f, 4);
  }
  ply.push_back(4);
  for (std::uint32_t i : {0u, 1u, 2u, 3u}) put(&i, 4);
  ply.push_back(7);
  const std::int32_t two = 2, a = 0, b = 1;
  put(&two, 4), put(&a, 4), put(&b, 4);
  const Surface s = parse_surface(ply, "ply", "quad.ply");
  ASSERT_EQ(s.triangle_count(), 2);
  EXPECT_EQ(s.triangles.row(0), Eigen::RowVector3i(0, 1, 2));
  EXPECT_EQ(s.triangles.row(1), Eigen::RowVector3i(0, 2, 3));
  EXPECT_EQ(s.vertices(2, 0), 1.0);
  EXPECT_EQ(s.vertices(3, 2), 2.0);
  EXPECT_EQ(s.normals(1, 2), 1.0);
  EXPECT_EQ(s.colours.row(0).cast<int>(), Eigen::RowVector3i(255, 128, 0));

  const Surface obj = parse_surface(
      "# c\nv 0 0 0\nv 1 0 0\nv 1 1 0\nvt 0 0\nv 0 1 0\nf 1/1/1 2/1/1 -2/1/1 -1//1\n", "obj", "o");
  EXPECT_EQ(obj.triangles.row(1), Eigen::RowVector3i(0, 2, 3));
  const Surface off = parse_surface(
      "COFF 3 1 0\n0 0 0 255 0 0\n1 0 0 0 255 0\n0 1 0 0 0 255\n3 0 1 2\n", "off", "c");
  EXPECT_EQ(off.colours(2, 2), 255);

  // Records without properties take no bytes, however many are declared.
  std::string pads =
      "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty float x\n"
      "property float y\nproperty float z\n";
  for (int i = 0; i < 20; ++i) pads += "element pad" + std::to_string(i) + " 2147483647\n";
  pads += "element face 1\nproperty list uchar int vertex_indices\nend_header\n";
  const float xyz[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
  const std::int32_t face[3] = {0, 1, 2};
  pads.append(reinterpret_cast<const char*>(xyz), sizeof xyz).push_back(3);
  pads.append(reinterpret_cast<const char*>(face), sizeof face);
  EXPECT_EQ(parse_surface(pads, "ply", "pads.ply").triangles.row(0), Eigen::RowVector3i(0, 1, 2));
  const std::string text_pads =
      "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
      "property float z\nelement pad 2147483647\nelement face 1\n"
      "property list uchar int vertex_indices\nend_header\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";
  EXPECT_EQ(parse_surface(text_pads, "ply", "pads.ply").triangle_count(), 1);
}

TEST(SurfaceFiles, BadFilesAreRefusedNamingTheFault) {
  const Surface s = test_surface(4, true);
  const std::string ply_bin = surface_bytes(s, SurfaceFormat::PlyBinary);
  const std::string stl_bin = surface_bytes(s, SurfaceFormat::StlBinary);
  const std::string tri =
      "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\n"
      "property float y\nproperty float z\nelement face 1\n"
      "property list uchar int vertex_indices\nend_header\n";
  const std::string facet =
      "facet normal 0 0 1\n outer loop\n  vertex 0 0 0\n  vertex 1 0 0\n  vertex 0 1 0\n"
      " endloop\nendfacet\n";
  const std::string negative_list =
      "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty float x\n"
      "property float y\nproperty float z\nelement face 1\nproperty list char int "
      "vertex_indices\nend_header\n" +
      std::string(36, '\0') + "\xFC";
  const struct {
    const char* ext;
    std::string bytes;
    std::string message;
  } cases[] = {
      {"ply", ply_bin.substr(0, ply_bin.size() - 5),
       "\"s\": the file ends in face 9 of the 10 its header declares (" +
           std::to_string(ply_bin.size() - 5) + " bytes): it is cut short."},
      {"ply", ply_bin.substr(0, 300),
       "\"s\": the file ends in vertex 2 of the 8 its header declares (300 bytes): it is cut "
       "short."},
      {"ply", tri + "0 0 0\n1 0 0\n0 1 0\n3 0 1 3\n",
       "\"s\" line 13: face 0 names vertex 3, but the file has 3 vertices (0 to 2)."},
      {"ply", tri + "0 0 0\n1 nan 0\n0 1 0\n3 0 1 2\n",
       "\"s\" line 11: vertex 1 has a coordinate that is not finite (NaN)."},
      {"ply", tri + "0 0 0\n1 0 0\n",
       "\"s\": the file ends after 2 of the 3 vertex records its "
       "header declares."},
      {"ply",
       "ply\nformat ascii 1.0\nelement vertex 0\nproperty float x\nproperty float y\n"
       "property float z\nend_header\n",
       "\"s\": the file holds no vertices: a surface needs at least one triangle."},
      {"off", "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 7\n",
       "\"s\" line 6: face 0 names vertex 7, but the file has 3 vertices (0 to 2)."},
      {"off", "OFF\n3 0 0\n0 0 0\n1 0 0\n0 1 0\n",
       "\"s\": the file holds no faces: a surface needs at least one triangle."},
      {"off", "OFF\n3 1 0\n0 0 0\n1 inf 0\n",
       "\"s\" line 4: vertex 1 has a coordinate that is "
       "not finite (Inf)."},
      {"obj", "v 0 0 0\nv 1 0 0\nf 1 2 3\n",
       "\"s\" line 3: the face names vertex 3, but the file has only 2 vertices."},
      {"obj", "v 0 0 0\nf 1 -2 1\n",
       "\"s\" line 2: the face names vertex -2, which comes before the first vertex."},
      {"stl", stl_bin.substr(0, stl_bin.size() - 1),
       "\"s\": a binary STL file of 10 triangles holds 584 bytes, and this one 583 (cut short or "
       "not an STL file)."},
      {"stl", "solid x\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nendloop\n",
       "\"s\" line 6: facet 0 has 2 vertices; an STL facet has 3."},
      {"stl", "solid",
       "\"s\" line 1: the file ends after 0 facets without \"endsolid\": it is cut short."},
      {"stl", "solid x\nendsolid x\n",
       "\"s\": the file holds no vertices: a surface needs at least one triangle."},
      {"stl", "sold",
       "\"s\": the file is too short for a binary STL file (4 bytes, at least 84 needed) and "
       "does not begin with \"solid\"."},
      {"stl", "solid x\n" + facet + "endsolid x\n" + facet,
       "\"s\" line 10: expected \"solid\" or the end of the file, found \"facet normal\"."},
      {"stl", "solid x\n" + facet.substr(0, 85) + "endsolid x\n",
       "\"s\" line 8: expected \"endfacet\" in facet 0, found \"endsolid\"."},
      {"stl", "solid x\n" + facet + facet.substr(0, 76),
       "\"s\" line 13: the file ends inside facet 1, before its \"endloop\": it is cut short."},
      {"stl", "solid x\n" + facet + facet,
       "\"s\" line 15: the file ends after 2 facets without \"endsolid\": it is cut short."},
      {"stl", "solid x\n" + facet.substr(0, 85) + " endloop\n" + facet.substr(85) + "endsolid\n",
       "\"s\" line 8: expected \"endfacet\" in facet 0, found \"endloop\"."},
      {"stl", "solid x\n" + facet.substr(0, 76) + facet.substr(61),
       "\"s\" line 7: facet 0 has 4 vertices; an STL facet has 3."},
      {"stl", "solid x\n" + facet.substr(0, 19) + "vertex 0 0 0\n",
       "\"s\" line 3: expected \"outer loop\" in facet 0, found \"vertex\"."},
      {"stl", "solid x\nfacet normal 0 0\n",
       "\"s\" line 2: a facet begins with \"facet normal\" and three numbers."},
      {"stl", "solid x\n" + facet.substr(0, 31) + "vertex 1e202 0 0\n",
       "\"s\" line 4: facet 0 has the coordinate 1e+202, beyond the ±3.40282e+38 a surface may "
       "hold (the range of a 32-bit float)."},
      {"stl", std::string("solid") + std::string(95, '\0'),
       "\"s\": a binary STL file of 0 triangles holds 84 bytes, and this one 100 (cut short or "
       "not an STL file)."},
      {"obj", "v 0 0 0\nv 0 -1e202 0\nv 0 1 0\nf 1 2 3\n",
       "\"s\" line 2: vertex 1 has the coordinate -1e+202, beyond the ±3.40282e+38 a surface "
       "may hold (the range of a 32-bit float)."},
      {"off", "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 3.5e38\n3 0 1 2\n",
       "\"s\" line 5: vertex 2 has the coordinate 3.5e+38, beyond the ±3.40282e+38 a surface "
       "may hold (the range of a 32-bit float)."},
      {"ply", tri + "0 0 0\n1e202 0 0\n0 1 0\n3 0 1 2\n",
       "\"s\" line 11: vertex 1 has the coordinate 1e+202, beyond the ±3.40282e+38 a surface "
       "may hold (the range of a 32-bit float)."},
      {"ply",
       "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty "
       "double x\n",
       "\"s\" line 6: the vertex element gives the property \"x\" a second time (first on line "
       "4)."},
      {"ply", "ply\nformat ascii 1.0\nelement vertex 3\nelement face 1\nelement vertex 3\n",
       "\"s\" line 5: the element \"vertex\" is declared a second time (first on line 3)."},
      {"ply", "ply\nformat ascii 1.0\nelement vertex 2147483648\n",
       "\"s\" line 3: the element \"vertex\" declares 2147483648 records, more than the "
       "2147483647 an element may have."},
      {"ply", "ply\nformat ascii 1.0\nelement face 9223372036854775808\n",
       "\"s\" line 3: the element \"face\" declares 9223372036854775808 records, more than the "
       "2147483647 an element may have."},
      {"ply", "ply\nformat ascii 1.0\nelement vertex -4\n",
       "\"s\" line 3: the element \"vertex\" declares -4 records; a count cannot be negative."},
      {"ply", "ply\nformat ascii 1.0\nelement vertex 3.0\n",
       "\"s\" line 3: the element \"vertex\" gives the count \"3.0\", not a whole number."},
      {"ply", "ply\nformat ascii 1.0\nelement vertex\n",
       "\"s\" line 3: an element line gives a name and a count."},
      {"ply", "ply\rformat ascii 1.0\rend_header\r",
       "\"s\": the header's lines end in a lone carriage return (\\r); a PLY file's lines end "
       "in a line feed (\\n or \\r\\n)."},
      {"ply", "PLY\n", "\"s\": a PLY file begins with the line \"ply\"."},
      {"ply", negative_list,
       "\"s\": face 0 gives the list \"vertex_indices\" the length -4; a length cannot be "
       "negative."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(io::testing::message_of<io::FileError>([&] { parse_surface(c.bytes, c.ext, "s"); }),
              c.message);
  }
  io::testing::ScratchFolder dir;
  EXPECT_THROW(read_surface(dir.write("a.xyz", "1 2 3")), io::FileError);
  EXPECT_THROW(read_surface(dir.file("missing.ply")), io::FileError);
  EXPECT_THROW(format_for_saving("a.txt"), io::FileError);
  EXPECT_EQ(format_for_saving("A.PLY"), SurfaceFormat::PlyBinary);
  Surface bad = s;
  bad.triangles(3, 1) = 8;
  EXPECT_THROW(surface_bytes(bad, SurfaceFormat::Obj), NumericError);
}

TEST(SurfaceGeometry, VertexNormalsPointOutOfAClosedSurface) {
  const Surface s = test_surface(5, false);
  const Points n = vertex_normals(s.vertices.topRows(6), s.triangles.topRows(8));
  const Eigen::RowVector3d centre = s.vertices.topRows(6).colwise().mean();
  for (Eigen::Index v = 0; v < 6; ++v) {
    EXPECT_NEAR(n.row(v).norm(), 1.0, 1e-12);
    EXPECT_GT(n.row(v).dot(s.vertices.row(v) - centre), 0);
  }
}

}  // namespace
}  // namespace velmora::mesh

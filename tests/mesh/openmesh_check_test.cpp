#include <gtest/gtest.h>

#include <OpenMesh/Core/IO/MeshIO.hh>
#include <OpenMesh/Core/Mesh/PolyMesh_ArrayKernelT.hh>

#include "core/errors.hpp"
#include "io/test_files.hpp"
#include "mesh/surface.hpp"

namespace velmora::mesh {
namespace {

using OpenMeshSurface = OpenMesh::PolyMesh_ArrayKernelT<>;

TEST(OpenMeshCheck, OpenMeshReadsWhatTheWritersWrite) {
  Surface s;
  s.vertices.resize(5, 3);
  s.vertices << 0, 0, 0, 10, 0, 0, 0, 10, 0, 0, 0, 10, 3.25, 4.5, 6;
  s.triangles.resize(4, 3);
  s.triangles << 0, 2, 1, 0, 1, 3, 0, 3, 2, 1, 2, 4;
  s.colours.resize(5, 3);
  s.colours << 255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30, 200, 100, 50;
  io::testing::ScratchFolder dir;
  for (auto [format, name] : {std::pair{SurfaceFormat::PlyBinary, "a.ply"},
                              {SurfaceFormat::PlyAscii, "b.ply"},
                              {SurfaceFormat::Obj, "c.obj"},
                              {SurfaceFormat::StlBinary, "d.stl"},
                              {SurfaceFormat::Off, "e.off"}}) {
    SCOPED_TRACE(name);
    const std::string path = dir.write(name, surface_bytes(s, format));
    OpenMeshSurface m;
    m.request_vertex_colors();
    OpenMesh::IO::Options opt = OpenMesh::IO::Options::VertexColor;
    ASSERT_TRUE(OpenMesh::IO::read_mesh(m, path, opt));
    ASSERT_EQ(m.n_faces(), 4u);
    ASSERT_EQ(m.n_vertices(), 5u);
    if (format != SurfaceFormat::StlBinary) {
      for (int v = 0; v < 5; ++v) {
        const auto p = m.point(OpenMesh::VertexHandle(v));
        for (int c = 0; c < 3; ++c) EXPECT_FLOAT_EQ(p[c], static_cast<float>(s.vertices(v, c)));
      }
    }
    if (format == SurfaceFormat::PlyBinary) {
      ASSERT_TRUE(opt.vertex_has_color());
      const auto rgb = m.color(OpenMesh::VertexHandle(4));
      EXPECT_EQ(int(rgb[0]), 200);
      EXPECT_EQ(int(rgb[2]), 50);
    }
  }
}

TEST(OpenMeshCheck, ConnectivityOpenMeshWouldChangeIsKept) {
  // Three triangles on the edge 0–1: OpenMesh's half-edge mesh cannot hold
  // them and gives the file back with more vertices than it has; a face
  // naming a vertex the file lacks it drops with a line on stderr and still
  // reports success.  Velmora's reader keeps the first and refuses the second.
  const std::string fin =
      "OFF\n5 3 0\n0 0 0\n1 0 0\n0 1 0\n0 -1 0\n0 0 1\n3 0 1 2\n3 1 0 3\n3 0 1 4\n";
  io::testing::ScratchFolder dir;
  OpenMeshSurface m;
  ASSERT_TRUE(OpenMesh::IO::read_mesh(m, dir.write("fin.off", fin)));
  EXPECT_GT(m.n_vertices(), 5u);
  const Surface s = parse_surface(fin, "off", "fin.off");
  EXPECT_EQ(s.vertex_count(), 5);
  EXPECT_EQ(s.triangle_count(), 3);

  const std::string missing = "OFF\n3 2 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n3 0 2 5\n";
  OpenMeshSurface dropped;
  testing::internal::CaptureStderr();
  const bool ok = OpenMesh::IO::read_mesh(dropped, dir.write("missing.off", missing));
  testing::internal::GetCapturedStderr();
  if (ok) {
    EXPECT_EQ(dropped.n_faces(), 1u);
  }
  EXPECT_THROW(parse_surface(missing, "off", "missing.off"), io::FileError);
}

}  // namespace
}  // namespace velmora::mesh

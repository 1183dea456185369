#include <Eigen/Geometry>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/errors.hpp"
#include "mesh/surface.hpp"

namespace velmora::mesh {
namespace {

void append_raw(std::string& out, const void* p, std::size_t n) {
  out.append(static_cast<const char*>(p), n);
}

void append_float(std::string& out, double v) {
  const auto f = static_cast<float>(v);
  append_raw(out, &f, 4);
}

void append_text(std::string& out, const char* fmt, double a, double b, double c) {
  char buf[96];
  const int n = std::snprintf(buf, sizeof buf, fmt, a, b, c);
  out.append(buf, static_cast<std::size_t>(n));
}

Eigen::RowVector3d face_normal(const Surface& s, Eigen::Index t) {
  const Eigen::RowVector3d a = s.vertices.row(s.triangles(t, 0));
  const Eigen::RowVector3d n =
      (s.vertices.row(s.triangles(t, 1)) - a).cross(s.vertices.row(s.triangles(t, 2)) - a);
  const double len = n.norm();
  return len > 0 ? Eigen::RowVector3d(n / len) : Eigen::RowVector3d::Zero();
}

std::string ply(const Surface& s, bool binary) {
  const bool rgb = s.has_colours();
  std::string out = "ply\nformat ";
  out += binary ? "binary_little_endian 1.0\n" : "ascii 1.0\n";
  out += "comment written by Velmora\n";
  out += "element vertex " + std::to_string(s.vertex_count()) + "\n";
  out += "property float x\nproperty float y\nproperty float z\n";
  if (rgb) out += "property uchar red\nproperty uchar green\nproperty uchar blue\n";
  out += "element face " + std::to_string(s.triangle_count()) + "\n";
  out += "property list uchar int vertex_indices\nend_header\n";
  for (Eigen::Index v = 0; v < s.vertex_count(); ++v) {
    if (binary) {
      for (int c = 0; c < 3; ++c) append_float(out, s.vertices(v, c));
      if (rgb) {
        for (int c = 0; c < 3; ++c) out.push_back(static_cast<char>(s.colours(v, c)));
      }
    } else {
      append_text(out, "%.9g %.9g %.9g", s.vertices(v, 0), s.vertices(v, 1), s.vertices(v, 2));
      if (rgb) {
        out += " " + std::to_string(s.colours(v, 0)) + " " + std::to_string(s.colours(v, 1)) + " " +
               std::to_string(s.colours(v, 2));
      }
      out += "\n";
    }
  }
  for (Eigen::Index t = 0; t < s.triangle_count(); ++t) {
    if (binary) {
      out.push_back(3);
      for (int c = 0; c < 3; ++c) append_raw(out, &s.triangles(t, c), 4);
    } else {
      out += "3 " + std::to_string(s.triangles(t, 0)) + " " + std::to_string(s.triangles(t, 1)) +
             " " + std::to_string(s.triangles(t, 2)) + "\n";
    }
  }
  return out;
}

std::string obj(const Surface& s) {
  std::string out = "# written by Velmora\n";
  for (Eigen::Index v = 0; v < s.vertex_count(); ++v) {
    append_text(out, "v %.9g %.9g %.9g", s.vertices(v, 0), s.vertices(v, 1), s.vertices(v, 2));
    if (s.has_colours()) {
      append_text(out, " %.6g %.6g %.6g", s.colours(v, 0) / 255.0, s.colours(v, 1) / 255.0,
                  s.colours(v, 2) / 255.0);
    }
    out += "\n";
  }
  for (Eigen::Index t = 0; t < s.triangle_count(); ++t) {
    out += "f " + std::to_string(s.triangles(t, 0) + 1) + " " +
           std::to_string(s.triangles(t, 1) + 1) + " " + std::to_string(s.triangles(t, 2) + 1) +
           "\n";
  }
  return out;
}

std::string off(const Surface& s) {
  std::string out = "OFF\n" + std::to_string(s.vertex_count()) + " " +
                    std::to_string(s.triangle_count()) + " 0\n";
  for (Eigen::Index v = 0; v < s.vertex_count(); ++v) {
    append_text(out, "%.9g %.9g %.9g\n", s.vertices(v, 0), s.vertices(v, 1), s.vertices(v, 2));
  }
  for (Eigen::Index t = 0; t < s.triangle_count(); ++t) {
    out += "3 " + std::to_string(s.triangles(t, 0)) + " " + std::to_string(s.triangles(t, 1)) +
           " " + std::to_string(s.triangles(t, 2)) + "\n";
  }
  return out;
}

std::string stl(const Surface& s, bool binary) {
  std::string out;
  if (binary) {
    char header[80] = {};
    std::strncpy(header, "binary STL written by Velmora", sizeof header - 1);
    append_raw(out, header, 80);
    const auto count = static_cast<std::uint32_t>(s.triangle_count());
    append_raw(out, &count, 4);
    out.reserve(84 + 50 * std::size_t{count});
  } else {
    out = "solid velmora\n";
  }
  for (Eigen::Index t = 0; t < s.triangle_count(); ++t) {
    const Eigen::RowVector3d n = face_normal(s, t);
    if (binary) {
      for (int c = 0; c < 3; ++c) append_float(out, n(c));
      for (int k = 0; k < 3; ++k) {
        for (int c = 0; c < 3; ++c) append_float(out, s.vertices(s.triangles(t, k), c));
      }
      out.append(2, '\0');
    } else {
      append_text(out, "facet normal %.9g %.9g %.9g\n outer loop\n", n(0), n(1), n(2));
      for (int k = 0; k < 3; ++k) {
        const auto v = s.triangles(t, k);
        append_text(out, "  vertex %.9g %.9g %.9g\n", s.vertices(v, 0), s.vertices(v, 1),
                    s.vertices(v, 2));
      }
      out += " endloop\nendfacet\n";
    }
  }
  if (!binary) out += "endsolid velmora\n";
  return out;
}

}  // namespace

void check_surface(const Surface& s) {
  if (s.triangle_count() == 0) throw NumericError("The surface has no triangles.");
  const Eigen::Index n = s.vertex_count();
  for (Eigen::Index t = 0; t < s.triangle_count(); ++t) {
    for (int c = 0; c < 3; ++c) {
      if (s.triangles(t, c) < 0 || s.triangles(t, c) >= n)
        throw NumericError("Triangle " + std::to_string(t) + " of the surface names vertex " +
                           std::to_string(s.triangles(t, c)) + ", but it has " + std::to_string(n) +
                           " vertices.");
    }
  }
  for (Eigen::Index v = 0; v < n; ++v) {
    if (!s.vertices.row(v).allFinite())
      throw NumericError("Vertex " + std::to_string(v) +
                         " of the surface has a coordinate that is not finite.");
  }
  if (s.colours.rows() != 0 && s.colours.rows() != n)
    throw NumericError("The surface has " + std::to_string(s.colours.rows()) +
                       " vertex colours for " + std::to_string(n) + " vertices.");
}

std::string surface_bytes(const Surface& surface, SurfaceFormat format) {
  check_surface(surface);
  switch (format) {
    case SurfaceFormat::PlyBinary:
      return ply(surface, true);
    case SurfaceFormat::PlyAscii:
      return ply(surface, false);
    case SurfaceFormat::Obj:
      return obj(surface);
    case SurfaceFormat::StlBinary:
      return stl(surface, true);
    case SurfaceFormat::StlAscii:
      return stl(surface, false);
    case SurfaceFormat::Off:
      return off(surface);
  }
  return {};
}

Points vertex_normals(const Eigen::Ref<const Points>& vertices, const Triangles& triangles) {
  Points normals = Points::Zero(vertices.rows(), 3);
  for (Eigen::Index t = 0; t < triangles.rows(); ++t) {
    const Eigen::RowVector3d a = vertices.row(triangles(t, 0));
    const Eigen::RowVector3d n =
        (vertices.row(triangles(t, 1)) - a).cross(vertices.row(triangles(t, 2)) - a);
    for (int c = 0; c < 3; ++c) normals.row(triangles(t, c)) += n;
  }
  for (Eigen::Index v = 0; v < normals.rows(); ++v) {
    const double len = normals.row(v).norm();
    if (len > 0) normals.row(v) /= len;
  }
  return normals;
}

}  // namespace velmora::mesh

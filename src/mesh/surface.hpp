#pragma once

#include <Eigen/Core>
#include <cstdint>
#include <string>
#include <string_view>

/// Triangle surfaces (CT or laser scans of specimens): reading and writing
/// the common mesh files, and the geometry the drawing needs.
namespace velmora::mesh {

using Points = Eigen::Matrix<double, Eigen::Dynamic, 3>;
using Triangles = Eigen::Matrix<std::int32_t, Eigen::Dynamic, 3>;
using Colours = Eigen::Matrix<std::uint8_t, Eigen::Dynamic, 3>;

/// A surface as its file describes it: every vertex of the file, in the
/// file's order, and its polygons cut into triangles (a fan from each
/// polygon's first corner).  Connectivity is kept as written, also where
/// more than two triangles share an edge: no vertex is split or merged,
/// except in STL files, which store each triangle's corners apart and are
/// joined at equal coordinates.
struct Surface {
  Points vertices;      ///< n×3, in the file's units
  Triangles triangles;  ///< m×3 zero-based vertex indices
  Colours colours;      ///< n×3 RGB 0–255 when the file gives vertex colours, else empty
  Points normals;       ///< n×3 when the file gives vertex normals, else empty

  Eigen::Index vertex_count() const { return vertices.rows(); }
  Eigen::Index triangle_count() const { return triangles.rows(); }
  bool has_colours() const { return colours.rows() > 0; }
};

/// The files read and written.
enum class SurfaceFormat {
  PlyBinary,  ///< Stanford PLY, binary little-endian
  PlyAscii,   ///< Stanford PLY, text
  Obj,        ///< Wavefront OBJ
  StlBinary,  ///< STL, binary
  StlAscii,   ///< STL, text
  Off,        ///< Object File Format
};

/// Reads a surface file, its kind told by the extension (.ply, .obj, .stl,
/// .off; any case): PLY text or binary of either byte order, with or without
/// vertex colours and normals; OBJ (vertex colours after the coordinates
/// read, texture and normal indices skipped); STL text or binary; OFF, COFF,
/// NOFF and CNOFF.  The file is checked whole before anything is returned:
/// counts against the header, every face's vertex indices, finite
/// coordinates, the length of binary data, and at least one triangle.
/// @throws io::FileError naming the file, and the line (text) or the element
///         (binary) where the file breaks its rules
Surface read_surface(const std::string& path);

/// Parses the bytes of a surface file of the kind `extension` names
/// ("ply", "obj", "stl", "off"); `label` names the file in messages.
/// @throws io::FileError as read_surface
Surface parse_surface(std::string_view bytes, std::string_view extension, const std::string& label);

/// Whether a file name ends in an extension read_surface reads (.ply, .obj,
/// .stl, .off; any case).
bool is_surface_file(const std::string& path);

/// The format a file name's extension asks for when a surface is saved:
/// .ply binary PLY, .obj OBJ, .stl binary STL, .off OFF (any case).
/// @throws io::FileError for any other extension, naming the ones known
SurfaceFormat format_for_saving(const std::string& path);

/// The bytes of `surface` in `format`.  PLY and OBJ carry the vertex
/// colours when the surface has them; coordinates are written as 32-bit
/// floats in binary files and with 9 significant digits in text files, so a
/// value read back differs from the one written by at most 6e-8 of itself.
/// STL gets each triangle's unit normal.  The caller writes the bytes (the
/// program's safe writer: temporary file, then rename).
/// @throws NumericError when the surface has no triangles, an index out of
///         range, or coordinates that are not finite
std::string surface_bytes(const Surface& surface, SurfaceFormat format);

/// Unit normals of each vertex: the sum over its triangles of their
/// (unnormalised, so area-weighted) normals.  A vertex on no triangle, or
/// whose triangles cancel, gets (0, 0, 0).
/// @return n×3
Points vertex_normals(const Eigen::Ref<const Points>& vertices, const Triangles& triangles);

/// Checks indices and coordinates of a surface built in memory.
/// @throws NumericError naming the first triangle or vertex at fault
void check_surface(const Surface& surface);

}  // namespace velmora::mesh

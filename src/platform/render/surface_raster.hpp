#pragma once

#include <cairo.h>

#include <Eigen/Core>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/render/line_spec.hpp"
#include "platform/render/projection.hpp"
#include "platform/render/renderer.hpp"
#include "platform/render/scene.hpp"

namespace velmora::render {

struct Ink;

/// An orthographic camera: where a data point lands in the picture and
/// which way is toward the viewer.  Built from an axes' Projection
/// (rows 0 and 1 and toward()) so the surface sits under the axes' lines,
/// or from angles for a picture of its own.
struct SurfaceCamera {
  Eigen::Matrix<double, 2, 4> to_pixel;  ///< {column, row (down)} = M·[x y z 1]
  Eigen::Vector3d toward{0, 0, 1};       ///< unit, toward the viewer, in data axes
  Eigen::Vector3d up{0, 1, 0};           ///< unit, up on the screen, in data axes
};

/// The camera of an axes' Projection.
SurfaceCamera camera_of(const Projection& projection);

/// A camera looking at `centre` from azimuth and elevation as the axes
/// define them (azimuth about z from −y, elevation above the xy plane),
/// `pixels_per_unit` data units to pixels, the centre in the middle of a
/// picture `width`×`height` pixels.
SurfaceCamera camera_from_angles(double azimuth_deg, double elevation_deg,
                                 const Eigen::Vector3d& centre, double pixels_per_unit, int width,
                                 int height);

/// The lights and the colour of a shaded surface.  A pixel's brightness is
/// ambient + head·max(0, n·toward) + fill·max(0, n·fill) + specular·(n·toward)^shininess,
/// where the fill light comes from above left of the viewer; faces seen from
/// behind are lit with their normal turned round and then darkened by
/// `back`.
struct SurfaceStyle {
  Rgb colour{0.87, 0.82, 0.72};  ///< bone, where no vertex colours are given
  double ambient = 0.2, head = 0.6, fill = 0.25, specular = 0.1, shininess = 24;
  double back = 0.55;
};

/// A drawn surface layer: straight (not premultiplied) RGBA bytes, row-major,
/// top row first, alpha 0 where no triangle covers the pixel; and per pixel
/// the depth toward the viewer (data units along `toward`; −∞ where empty).
struct SurfaceRaster {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgba;
  std::vector<float> depth;
  bool covered(int x, int y) const { return rgba[4 * (std::size_t(y) * width + x) + 3] != 0; }
  Rgb colour(int x, int y) const {
    const std::uint8_t* p = &rgba[4 * (std::size_t(y) * width + x)];
    return {p[0] / 255.0, p[1] / 255.0, p[2] / 255.0};
  }
};

/// Draws triangles with a depth buffer (the nearest surface wins whatever
/// the order), smooth shading from per-vertex normals interpolated across
/// each triangle, a head light and a fill light, back faces darker.  A pixel
/// is covered when its centre lies in a triangle (edges included).
/// @param vertices n×3 data coordinates
/// @param triangles m×3 zero-based indices, each < n
/// @param normals n×3 unit vertex normals (mesh::vertex_normals)
/// @param colours n per-vertex colours, or empty for style.colour
/// @throws std::invalid_argument when the sizes disagree or a picture of
///         width×height exceeds kPixelBudget
SurfaceRaster rasterize_surface(
    const Eigen::Ref<const Eigen::Matrix<double, Eigen::Dynamic, 3>>& vertices,
    const Eigen::Ref<const Eigen::Matrix<std::int32_t, Eigen::Dynamic, 3>>& triangles,
    const Eigen::Ref<const Eigen::Matrix<double, Eigen::Dynamic, 3>>& normals,
    std::span<const Rgb> colours, const SurfaceCamera& camera, int width, int height,
    const SurfaceStyle& style = {});

/// The heat-map colour of each value on the blue-to-red scale of the colour
/// bar (blue_red): lo blue, hi red; with hi ≤ lo every value is blue.
std::vector<Rgb> heat_colours(const Eigen::Ref<const Eigen::VectorXd>& values, double lo,
                              double hi);

/// The layer as a Cairo ARGB32 raster (premultiplied) for the exporters.
Image to_cairo_image(const SurfaceRaster& raster);

/// Paints the layer with its top-left corner at (x, y) of the context's user
/// space, one pixel a user unit: on PNG surfaces as pixels, on PDF, SVG and
/// EPS surfaces as an embedded image under whatever is drawn next.
void paint_surface_layer(cairo_t* cr, const SurfaceRaster& raster, double x, double y);

/// Draws an axes' surface into a Cairo context as a layer under what is
/// drawn next, placed by the axes' projection: rasterized over the part of
/// the picture it covers (within the clip) at the context's device
/// resolution, and at least 3 device pixels a unit on PDF, SVG and EPS
/// pages.  A context that draws without antialiasing (a draft frame while
/// the view turns) draws the surface's coarse copy when it has one.
/// `ink` draws into Cairo, and into an SVG document when it has one.
void paint_surface(const SceneSurface& surface, const Ink& ink, const Projection& projection);

}  // namespace velmora::render

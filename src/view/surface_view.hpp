#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/surface.hpp"
#include "mesh/surface.hpp"
#include "platform/graphics/backend.hpp"
#include "platform/render/scene.hpp"
#include "platform/value/value.hpp"

// Drawing a warped surface in the 3-D window, and the pieces of an animation
// that morphs it.
namespace velmora::app {

struct Document;

/// What the 3-D window shows of the surface: the target, and the surface
/// drawn for it (kept so that a save writes what is shown).
struct ShownSurface {
  analysis::SurfaceWarpParams params;
  std::shared_ptr<const analysis::SpecimenSurface> of;  ///< the surface it was drawn for
  std::optional<analysis::SurfaceWarpReport> report;
};

/// Triangles above which a coarser copy is kept for drawing while the view
/// turns.
inline constexpr Eigen::Index kCoarseAbove = 50000;

/// The heat-map colours of a warp: the displacement from the mean surface
/// on the colour bar's scale from 0 to `largest` (the warp's own largest
/// displacement when 0).
std::vector<render::Rgb> heat_of(const analysis::SurfaceWarpReport& r, double largest = 0);

/// The shaded surface of a warp, for an axes: smooth normals, heat-map
/// colours unless the target is the mean surface itself, and a coarse copy
/// for turning a surface of more than kCoarseAbove triangles unless
/// `coarse` is false.
std::shared_ptr<const render::SceneSurface> scene_surface(const analysis::SurfaceWarpReport& r,
                                                          double largest = 0, bool coarse = true);

/// Which vertices of a surface a coarser copy merges (vertex clustering on
/// a grid): each vertex's cluster, the clusters' sizes, and the triangles
/// between clusters (those that collapse dropped).
struct CoarseMap {
  std::vector<std::int32_t> cluster;
  std::vector<int> members;
  mesh::Triangles triangles;
};
/// The clusters of `s` for a copy with about `1/ratio` of its vertices.
CoarseMap coarse_map(const render::SceneSurface& s, double ratio);
/// The mean of the rows of `rows` (one a vertex) in each cluster.
mesh::Points cluster_means(const CoarseMap& m, const Eigen::Ref<const mesh::Points>& rows);

/// A copy of `s` with about `1/ratio` of its vertices, merged on a grid
/// (vertex clustering), its triangles that collapse dropped.
std::shared_ptr<const render::SceneSurface> coarse_copy(const render::SceneSurface& s,
                                                        double ratio);

/// What a slider step draws of a surface of more than kCoarseAbove
/// triangles: the coarse copy alone, its clusters those of the mean surface
/// (made once a surface), its vertices the means of the warped ones, its
/// normals and heat colours its own.  A smaller surface is drawn whole.
std::shared_ptr<const render::SceneSurface> draft_surface(const analysis::SurfaceWarpReport& r,
                                                          double largest = 0);

/// How much of a surface draw_surface_report draws.
enum class SurfaceDetail {
  Full,   ///< the whole surface, with a coarse copy for turning
  Draft,  ///< draft_surface: while a slider moves
};

/// Clears the 3-D window's axes and draws the warp there: the surface, the
/// target landmarks on top, the wireframe between them when `wires`, and a
/// colour bar of the displacement in the specimen's units.
void draw_surface_report(Document& doc, const analysis::SurfaceWarpReport& r, bool wires,
                         double largest = 0, SurfaceDetail detail = SurfaceDetail::Full);

/// The frames of an animation and their size in pixels.
struct AnimationSize {
  int frames = 24;
  int width = 800, height = 600;
};
/// The most pixels of all frames of an animation together.
inline constexpr long long kMostAnimationPixels = 2'000'000'000;
/// The largest side of a frame in pixels: the largest print (a metre) at
/// the frames' 96 pixels an inch.
int largest_frame_side();
/// Reads "FRAMES,WIDTHxHEIGHT" (either part may be left out: 24 frames at
/// 800×600).  @throws DataRefusal naming the word that is wrong
AnimationSize animation_size(const std::string& text);
/// @throws DataRefusal naming the count of pixels when frames × width ×
///   height passes kMostAnimationPixels
void check_animation_budget(const AnimationSize& size);
/// The bytes the user may still write in `folder` ("" for the working
/// folder), or nullopt when the system does not say.
std::optional<std::uintmax_t> free_bytes_in(const std::string& folder);
/// Why `frames` frames of about `frame_bytes` bytes each (the size of the
/// first) do not fit in the `free_bytes` free in `folder`, or "".
std::string animation_space_refusal(std::uintmax_t frame_bytes, int frames,
                                    std::uintmax_t free_bytes, const std::string& folder);

/// What an animation morphs between: the regression from the smallest to
/// the largest X, a component from −SD to +SD, or the mean shape to a
/// group's mean.
struct AnimationEnds {
  analysis::SurfaceWarpParams from, to;
  std::string from_text, to_text;
  double largest = 0;  ///< the larger of the two ends' largest displacements
};
/// The ends for the target shown: a regression target or the mean with a
/// regression morphs over the observed X; a component target over ±its SD
/// (2 SD when 0); a group target from the mean shape (no change) to the
/// group's mean; the mean without a regression along PC 1 at ±2 SD.
AnimationEnds animation_ends(Document& doc, const analysis::SurfaceWarpParams& shown);
/// The target a fraction `t` of the way from `from` to `to`.
analysis::SurfaceWarpParams frame_params(const AnimationEnds& ends, double t);

/// The frames' file names: "name.png" gives "name_001.png" … (as many
/// digits as the count needs, at least 3).
std::vector<std::string> frame_paths(const std::string& first, int frames);

/// Figure `fig` as a PNG of the animation's size, without controls.
std::string frame_png(gfx::Handle fig, const AnimationSize& size);

}  // namespace velmora::app

namespace velmora::app {

/// The 3-D window's surface sliders: an exaggeration slider (×0 to ×4 of
/// the change) and an X slider over the observed X for a regression
/// target, or a score slider (−3 to +3 SD) for a component; none for the
/// mean.  Moving one calls `moved` with the target it now gives; letting
/// it go calls `settled` with the action (and its argument) that sets that
/// target, so the settled target is run, recorded and logged as any other.
using SliderMoved = void (*)(Document&, const analysis::SurfaceWarpParams&);
using SliderSettled = void (*)(const char* action, const Value& argument);
void show_surface_sliders(Document& doc, const analysis::SurfaceWarpParams& params,
                          const analysis::SurfaceWarpReport& report, SliderMoved moved,
                          SliderSettled settled);

}  // namespace velmora::app

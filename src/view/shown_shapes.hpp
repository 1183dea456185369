#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/graphics/graphics.hpp"
#include "shape/types.hpp"

// The landmark configurations the 3-D view shows (the mean, a target, the
// pair of a component, group means …), kept with the line objects that
// draw them, so that File > Save Shown Shapes writes exactly what is shown
// and nothing of an earlier picture.

namespace velmora::app {

struct Document;

/// A configuration the 3-D view shows, under the name its legend gives it.
struct ShownShape {
  std::string name;
  shape::Config config;  ///< k×3, in the view's units
};

/// Records that `lines` (the first of them) show `config` under `name`.
/// Nothing when `lines` is empty (the display type draws no such part).
void mark_shown_shape(const std::vector<gfx::Handle>& lines, const shape::Config& config,
                      std::string_view name);

/// The transformation grid of `target` against `reference` (its mean): the
/// grid on the reference's principal plane as the thin-plate spline carries
/// it, under the target's landmarks and wireframe.
/// @throws RuntimeError for a reference in one plane or of fewer than four
///         landmarks
void draw_transformation_grid(Document& doc, const shape::Config& reference,
                              const shape::Config& target, const std::string& change_name);

/// The configurations the 3-D window shows now, in drawing order (the
/// legend's); none when the window is closed or shows none.
std::vector<ShownShape> shown_shapes(Document& doc);

/// The deformation display of `target` against `reference` in the current
/// axes: every part with its role and legend name, arrowheads on the
/// displacement vectors (none for the lollipops of type "e"), and the
/// display settings applied; type "f" is the transformation grid.
void draw_deformation(Document& doc, const shape::Config& reference, const shape::Config& target,
                      const std::string& type, const std::string& change_name,
                      const std::string& reference_name = "Mean shape (reference)");
/// A pair of shapes, the low end in blue and the high end in red, each in
/// the legend under its name; with display type "b" each with the
/// wireframe, with "a" neither.
void draw_shape_pair(Document& doc, const shape::Config& low, const shape::Config& high,
                     const std::string& type, const std::string& low_name,
                     const std::string& high_name);

/// Every superimposed specimen in blue around the mean (drawn on top, with
/// the wireframe), in the current figure, emptied first: nothing of an
/// earlier display stays, in the plot or in its legend.
void draw_procrustes_fit(Document& doc);
/// The mean shape alone, with the wireframe, in the current figure, emptied
/// first, seen as the 3-D window's view.
void draw_mean_shape(Document& doc);

/// Shapes of groups in the 3-D figure, emptied first: each in its group's
/// colour (in order) with the wireframe in the same colour, in the legend
/// under its name, with no role (the display settings leave them as they
/// are).
void draw_group_shapes(Document& doc, const std::vector<ShownShape>& shapes);
/// "+2", "−2" (with a minus sign, not a hyphen).
std::string signed_number(double v);

}  // namespace velmora::app

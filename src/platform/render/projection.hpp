#pragma once

#include <array>

#include "platform/render/scene.hpp"

namespace velmora::render {

/// The limits an axes shows along x, y and z, each {low, high} with
/// low < high.
struct Limits {
  std::array<double, 2> x, y, z;
};

/// The limits of an axes before fitting: the fixed limits of the axes that
/// have them, round limits around the data (lines and images) for the others.
Limits resolve_limits(const AxesScene& axes);

/// The orthographic mapping of an axes' data to figure pixels (origin at the
/// figure's top-left corner, y down), as used by draw_axes.  The view turns
/// about z by the azimuth (measured from the −y axis) and tilts by the
/// elevation: azimuth 0, elevation 90 is the top view with x to the right
/// and y up.  Non-equal axes are each scaled to unit length (a 2-D view then
/// stretches to fill the rectangle); equal axes share one data unit.  The
/// projected box is fitted into the rectangle, centred, then scaled by the
/// zoom.  In a 2-D view with equal units, automatic limits grow so that the
/// box fills the rectangle.
class Projection {
 public:
  /// @param rect the axes rectangle in pixels from the figure's bottom-left
  /// @param figure_height_px height of the figure in pixels
  Projection(const AxesScene& axes, const Rect& rect, double figure_height_px);

  /// Pixel position {column, row} of a data point.
  std::array<double, 2> to_pixel(double x, double y, double z) const {
    return {m_[0][0] * x + m_[0][1] * y + m_[0][2] * z + m_[0][3],
            m_[1][0] * x + m_[1][1] * y + m_[1][2] * z + m_[1][3]};
  }
  std::array<double, 2> to_pixel(const std::array<double, 3>& p) const {
    return to_pixel(p[0], p[1], p[2]);
  }

  /// Row 0 (column) or 1 (row) of the mapping: pixel = r[0]·x + r[1]·y +
  /// r[2]·z + r[3].
  std::array<double, 4> row(int i) const { return {m_[i][0], m_[i][1], m_[i][2], m_[i][3]}; }
  /// Distance of a data point towards the viewer (larger = nearer), in
  /// normalised box units.
  double depth(double x, double y, double z) const;

  /// The limits after fitting.
  const Limits& limits() const { return limits_; }
  /// limits().x, .y or .z by dimension 0, 1, 2.
  const std::array<double, 2>& limit(int dim) const;

  /// Whether a point lies inside the limits box (with a tolerance of 1e-9 of
  /// each range; z is not checked in a 2-D plot).  NaN or infinite
  /// coordinates are outside.
  bool inside(double x, double y, double z) const;

  /// Unit vector towards the viewer in data axes (x, y, z).
  const std::array<double, 3>& toward() const { return toward_; }
  /// Whether the scene is drawn as a flat 2-D plot.
  bool two_d() const { return two_d_; }

 private:
  Limits limits_;
  std::array<double, 3> toward_{};
  bool two_d_ = false;
  double m_[2][4] = {};
  std::array<double, 3> depth_scale_{}, depth_centre_{};
};

}  // namespace velmora::render

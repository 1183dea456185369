#pragma once

#include <Eigen/Core>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/render/line_spec.hpp"

namespace velmora::render {

/// A rectangle in pixels, measured from the figure's bottom-left corner.
struct Rect {
  double left, bottom, width, height;
};

/// A polyline with optional markers, in data coordinates.  x, y and z have
/// the same length; NaN coordinates break the line.
struct SceneLine {
  std::vector<double> x, y, z;
  Rgb color{0, 0, 0};
  double line_width_pt = 0.5;
  LineStyle style = LineStyle::Solid;
  Marker marker = Marker::None;
  double marker_size_pt = 6;
  std::optional<Rgb> marker_face;  ///< nullopt: hollow marker
  std::optional<Rgb> marker_edge;  ///< nullopt: the line colour
};

enum class HAlign { Left, Center, Right };
enum class VAlign { Top, Middle, Bottom };

/// A text anchored at a data point.
struct SceneText {
  double x = 0, y = 0, z = 0;
  std::string text;  ///< UTF-8, may hold '\n' line breaks
  Rgb color{0, 0, 0};
  double font_size_pt = 10;
  std::string font_name;  ///< empty: DejaVu Sans
  bool bold = false, italic = false;
  HAlign halign = HAlign::Left;
  VAlign valign = VAlign::Middle;
  double margin_px = 0;  ///< gap between the anchor and the aligned side of the text
};

/// A raster image placed over the data rectangle [x0, x1] × [y0, y1] in the
/// z = 0 plane.
struct SceneImage {
  int width = 0, height = 0;
  std::vector<Rgb> pixels;  ///< width*height, row-major, top row first
  double x0 = 0, x1 = 1, y0 = 0, y1 = 1;
};

/// A shaded triangle surface in data coordinates: smooth normals, and a
/// colour a vertex (a heat map) or none (the renderer's bone colour).  A
/// coarser copy, when given, is drawn while the view is being turned.
struct SceneSurface {
  Eigen::Matrix<double, Eigen::Dynamic, 3> vertices;
  Eigen::Matrix<std::int32_t, Eigen::Dynamic, 3> triangles;
  Eigen::Matrix<double, Eigen::Dynamic, 3> normals;  ///< unit, one a vertex
  std::vector<Rgb> colours;                          ///< one a vertex, or empty
  std::shared_ptr<const SceneSurface> coarse;
  std::array<double, 3> lo{0, 0, 0}, hi{0, 0, 0};  ///< the vertices' bounding box
};

/// One row of a legend: a short sample of a drawn line and its name.
struct LegendEntry {
  std::string label;
  SceneLine sample;  ///< only its colour, width, style and marker are read
};

/// A colour bar beside the plot: the blue-to-red scale of `blue_red` from
/// `lo` at the bottom to `hi` at the top.
struct ColorBar {
  double lo = 0, hi = 1;
  std::string label;
};

/// The colour of position t in [0, 1] on the blue (t = 0) to red (t = 1)
/// scale that the specimens coloured by a variable and the colour bar share.
/// Values outside [0, 1] take the colour of the nearer end.
inline Rgb blue_red(double t) {
  t = t > 1 ? 1 : t > 0 ? t : 0;  // NaN maps to blue
  return {0.1 + 0.8 * t, 0.2 + 0.35 * (1 - (2 * t - 1) * (2 * t - 1)) * 0.6, 0.9 - 0.8 * t};
}

/// The colour of class `c` of `classes` (at least 2) on the blue (c = 0) to
/// red (c = classes − 1) scale of the principal component scatter, whose
/// classes of X are told apart by a deeper blue and red than blue_red's.
inline Rgb blue_red_class(int c, int classes) {
  const double t = c / double(classes - 1);
  return {t, 0.15, 1 - t};
}

/// Everything one axes shows.
struct AxesScene {
  double azimuth_deg = -37.5, elevation_deg = 30;
  bool three_d = true;
  std::array<double, 2> xlim{0, 1}, ylim{0, 1}, zlim{0, 1};
  bool auto_x = true, auto_y = true, auto_z = true;
  bool equal = false;  ///< equal data units on all axes
  bool axis_visible = true;
  bool box = false;
  bool xgrid = false, ygrid = false, zgrid = false;
  std::string xlabel, ylabel, zlabel, title;
  Rgb background{1, 1, 1};
  double font_size_pt = 10;
  double zoom = 1;  ///< > 1 enlarges the plot around its centre
  std::vector<SceneLine> lines;
  std::vector<SceneText> texts;
  std::vector<SceneImage> images;
  /// Drawn under the lines, with a depth buffer of its own; shared, not
  /// copied, between the scenes made of one axes.
  std::shared_ptr<const SceneSurface> surface;
  /// Drawn over the data in screen space, in the plot's top-right corner;
  /// empty: no legend.
  std::vector<LegendEntry> legend;
  /// > 0: the legend stands in a strip this many pixels high under the
  /// plot, which keeps clear of it (3-D figures printed at a size, where no
  /// corner of the plot may be free); 0: in a free corner of the plot.
  double legend_strip_px = 0;
  std::optional<ColorBar> colorbar;
};

/// The size of an axes' tick labels in points: its font size, or 10 where
/// that is no size (the labels and title are drawn 1.1 times as large).
inline double tick_font_pt(const AxesScene& a) {
  return a.font_size_pt > 0 && std::isfinite(a.font_size_pt) ? a.font_size_pt : 10;
}

/// A user-interface control drawn into printed figures.
struct SceneControl {
  Rect rect_px{0, 0, 0, 0};
  std::string text;
  std::string style;  ///< "pushbutton", "checkbox", "popupmenu", "text", "edit", ...
  Rgb background{0.94, 0.94, 0.94}, foreground{0, 0, 0};
  bool value = false;
  bool multi_line = false;  ///< an edit box of several lines (Max - Min > 1)
};

/// A whole figure: size in pixels at 96 pixels per inch.
struct FigureScene {
  double width_px = 560, height_px = 420;
  Rgb color{0.94, 0.94, 0.94};
  struct Placed {
    AxesScene axes;
    Rect rect_px;
  };
  std::vector<Placed> axes;
  std::vector<SceneControl> controls;
};

}  // namespace velmora::render

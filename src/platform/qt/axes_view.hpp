#pragma once

#include <QImage>
#include <QRectF>
#include <QWidget>
#include <array>

#include "platform/graphics/backend.hpp"
#include "platform/render/renderer.hpp"
#include "platform/render/scene.hpp"

namespace velmora::qt {

/// Degrees of azimuth and elevation per pixel of a rotating drag.
inline constexpr double kDegreesPerPixel = 0.4;
/// The default 3-D view restored by a double click.
inline constexpr std::array<double, 2> kDefaultView{-37.5, 30};
/// Zoom change per wheel notch (120 units of angle delta) and its bounds.
inline constexpr double kZoomPerNotch = 1.1;
inline constexpr double kMinZoom = 0.1, kMaxZoom = 20;

/// The view [azimuth elevation] in degrees after dragging by (dx, dy)
/// pixels from `start`: right turns the plot as if grabbed (azimuth falls),
/// down tilts its top towards the viewer (elevation rises, kept in
/// [-90, 90]); the azimuth stays in (-180, 180].
std::array<double, 2> dragged_view(std::array<double, 2> start, double dx, double dy);

/// The zoom after `notches` wheel notches (positive: closer), kept in
/// [kMinZoom, kMaxZoom].
double wheel_zoom(double zoom, double notches);

/// Whether a view [az el] shows a 3-D plot (anything but the top view).
bool is_three_d_view(double azimuth_deg, double elevation_deg);

/// The time one frame of a rotating drag may take.
inline constexpr double kFrameBudgetMs = 33;

/// Renders an axes scene into a transparent image covering `view` (logical
/// pixels of a canvas `figure_height_px` high, from its top-left corner) at
/// `dpr` device pixels per logical pixel, the plot rectangle at `axes_rect`
/// (pixels from the canvas' bottom-left corner).  Drawn by the renderer that
/// prints, so the screen shows what gets exported.  A `draft` is rasterized
/// without antialiasing, which strokes lines several times faster.  `layers`
/// (a render::AxesLayer mask) picks the parts drawn.
QImage render_axes(const render::AxesScene& scene, const QRect& view, const render::Rect& axes_rect,
                   double figure_height_px, double dpr, bool draft = false,
                   unsigned layers = render::kAllLayers);

/// render_axes into an image kept between frames: `image` is made anew only
/// when its size differs.
void render_axes_into(QImage& image, const render::AxesScene& scene, const QRect& view,
                      const render::Rect& axes_rect, double figure_height_px, double dpr,
                      bool draft, unsigned layers);

/// Draws the `layers` of an axes scene over what `image` (made by
/// render_axes_into for the same view and pixel ratio) already holds.
void draw_axes_onto(QImage& image, const render::AxesScene& scene, const QRect& view,
                    const render::Rect& axes_rect, double figure_height_px, double dpr,
                    unsigned layers);

/// The view of one axes inside a figure's canvas: the plot rectangle at the
/// axes' Position plus a margin for tick labels, axis labels and the title.
/// It keeps the scene read from the objects and its rendered image; a change
/// of the view only re-renders, a change of the objects re-reads the scene.
/// A 3-D scene is drawn with OpenGL where the process has it
/// (GlAxesRenderer::shared), else with Cairo.  While the user drags, a scene
/// whose last full Cairo rendering took longer than the frame budget is
/// drawn as drafts, and in full again on release.
/// Mouse input is handled by the canvas.
class AxesView : public QWidget {
 public:
  /// Pixels around the plot rectangle that the view also paints.
  static constexpr int kMarginPx = 110;

  AxesView(gfx::Handle axes, QWidget* canvas);

  gfx::Handle handle() const { return axes_; }
  /// Places the view from the axes' Position in a canvas `figure_height_px`
  /// pixels high.
  void place(double figure_height_px);
  /// The plot rectangle in canvas coordinates.
  const QRectF& plot_rect() const { return plot_rect_; }
  /// Whether the scene (as last read) is a 3-D plot.
  bool three_d();

  /// The objects of the axes changed: re-read the scene before painting.
  void scene_changed();
  /// Only View or the "ViewZoom" application data changed.
  void view_changed();
  /// A rotating drag starts or ends.
  void set_dragging(bool dragging);
  /// Milliseconds the last full (antialiased) rendering took.
  double full_render_ms() const { return full_render_ms_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool ensure_scene();

  gfx::Handle axes_;
  render::AxesScene scene_;
  bool scene_valid_ = false;
  bool scene_failed_ = false;
  QImage image_;
  bool image_valid_ = false;
  bool image_draft_ = false;
  bool dragging_ = false;
  double full_render_ms_ = 0;
  QRectF plot_rect_;
  render::Rect axes_rect_{};
  double figure_height_px_ = 0;
};

}  // namespace velmora::qt

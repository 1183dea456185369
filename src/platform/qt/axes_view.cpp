#include "platform/qt/axes_view.hpp"

#include <cairo.h>

#include <QElapsedTimer>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "platform/graphics/graphics.hpp"
#include "platform/graphics/scene.hpp"
#include "platform/qt/gl_axes_renderer.hpp"
#include "platform/render/renderer.hpp"
#include "platform/runtime/console.hpp"

namespace velmora::qt {

std::array<double, 2> dragged_view(std::array<double, 2> start, double dx, double dy) {
  double az = std::remainder(start[0] - dx * kDegreesPerPixel, 360.0);
  if (az <= -180) az += 360;
  double el = std::clamp(start[1] + dy * kDegreesPerPixel, -90.0, 90.0);
  return {az, el};
}

double wheel_zoom(double zoom, double notches) {
  if (!(zoom > 0) || !std::isfinite(zoom)) zoom = 1;
  return std::clamp(zoom * std::pow(kZoomPerNotch, notches), kMinZoom, kMaxZoom);
}

bool is_three_d_view(double azimuth_deg, double elevation_deg) {
  return !(std::fabs(elevation_deg - 90) < 1e-12 && std::fabs(azimuth_deg) < 1e-12);
}

namespace {

// Draws the scene's `layers` over what the image holds.
void draw_into(QImage& image, const render::AxesScene& scene, const QRect& view,
               const render::Rect& axes_rect, double figure_height_px, double dpr, bool draft,
               unsigned layers) {
  // Cairo's ARGB32 and Qt's premultiplied ARGB32 share one memory layout, so
  // the renderer draws straight into the image.
  cairo_surface_t* surface =
      cairo_image_surface_create_for_data(image.bits(), CAIRO_FORMAT_ARGB32, image.width(),
                                          image.height(), static_cast<int>(image.bytesPerLine()));
  cairo_t* cr = cairo_create(surface);
  if (draft) cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  cairo_scale(cr, dpr, dpr);
  cairo_translate(cr, -view.x(), -view.y());
  render::draw_axes(cr, scene, axes_rect, figure_height_px, layers);
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  cairo_surface_destroy(surface);
}

// The axes rectangle as drawn on a canvas `width` × `height` pixels: as in a
// printed figure, texts that would fall off the canvas take room from the
// plot.
render::Rect fitted_rect(const render::AxesScene& scene, const render::Rect& rect, double width,
                         double height) {
  if (!(width > 0 && height > 0)) return rect;
  cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(scratch);
  const render::Rect fit = render::fit_axes_rect(cr, scene, rect, width, height);
  cairo_destroy(cr);
  cairo_surface_destroy(scratch);
  return fit;
}

}  // namespace

void render_axes_into(QImage& image, const render::AxesScene& scene, const QRect& view,
                      const render::Rect& axes_rect, double figure_height_px, double dpr,
                      bool draft, unsigned layers) {
  QSize device(std::max(1, static_cast<int>(std::lround(view.width() * dpr))),
               std::max(1, static_cast<int>(std::lround(view.height() * dpr))));
  if (image.size() != device || image.format() != QImage::Format_ARGB32_Premultiplied)
    image = QImage(device, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  draw_into(image, scene, view, axes_rect, figure_height_px, dpr, draft, layers);
  image.setDevicePixelRatio(dpr);
}

void draw_axes_onto(QImage& image, const render::AxesScene& scene, const QRect& view,
                    const render::Rect& axes_rect, double figure_height_px, double dpr,
                    unsigned layers) {
  draw_into(image, scene, view, axes_rect, figure_height_px, dpr, false, layers);
}

QImage render_axes(const render::AxesScene& scene, const QRect& view, const render::Rect& axes_rect,
                   double figure_height_px, double dpr, bool draft, unsigned layers) {
  QImage image;
  render_axes_into(image, scene, view, axes_rect, figure_height_px, dpr, draft, layers);
  return image;
}

AxesView::AxesView(gfx::Handle axes, QWidget* canvas) : QWidget(canvas), axes_(axes) {
  // The canvas picks the axes under the mouse; the view only paints.
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
}

void AxesView::place(double figure_height_px) {
  const auto& px = gfx::graphics().object(axes_).pos_px;
  plot_rect_ = QRectF(px[0], figure_height_px - px[1] - px[3], px[2], px[3]);
  axes_rect_ = {px[0], px[1], px[2], px[3]};
  if (figure_height_px != figure_height_px_) image_valid_ = false;
  figure_height_px_ = figure_height_px;
  QRect outer = plot_rect_.toAlignedRect().adjusted(-kMarginPx, -kMarginPx, kMarginPx, kMarginPx);
  if (outer != geometry()) {
    setGeometry(outer);
    image_valid_ = false;
  }
  update();
}

void AxesView::scene_changed() {
  scene_valid_ = false;
  scene_failed_ = false;
  image_valid_ = false;
  update();
}

void AxesView::view_changed() {
  if (scene_valid_) {
    const gfx::Graphics& g = gfx::graphics();
    Value view = g.get(axes_, "View");
    scene_.azimuth_deg = view(0);
    scene_.elevation_deg = view(1);
    scene_.three_d = is_three_d_view(view(0), view(1));
    if (g.has_appdata(axes_, "ViewZoom")) scene_.zoom = g.appdata(axes_, "ViewZoom").to_scalar();
  }
  image_valid_ = false;
  update();
}

bool AxesView::ensure_scene() {
  if (scene_valid_) return true;
  if (scene_failed_) return false;
  try {
    scene_ = gfx::axes_scene(gfx::graphics(), axes_);
    scene_valid_ = true;
  } catch (const std::exception& e) {
    // Reported once; the axes stay blank until their objects change.
    scene_failed_ = true;
    console().error(e.what());
  }
  return scene_valid_;
}

void AxesView::set_dragging(bool dragging) {
  if (dragging == dragging_) return;
  dragging_ = dragging;
  if (!dragging_ && image_draft_) {
    image_valid_ = false;
    update();
  }
}

bool AxesView::three_d() {
  return ensure_scene() && scene_.three_d;
}

void AxesView::paintEvent(QPaintEvent*) {
  if (!ensure_scene()) return;
  double dpr = devicePixelRatioF();
  if (!image_valid_ || image_.devicePixelRatio() != dpr ||
      image_.deviceIndependentSize().toSize() != size()) {
    GlAxesRenderer* gl = scene_.three_d ? GlAxesRenderer::shared() : nullptr;
    // While the view turns: a surface's coarse copy, and on Cairo a frame
    // without antialiasing when a full one takes too long.
    const bool coarse = dragging_ && scene_.surface && scene_.surface->coarse;
    bool draft = gl ? coarse : dragging_ && (coarse || full_render_ms_ > kFrameBudgetMs);
    if (gl) gl->set_draft(coarse);
    QElapsedTimer clock;
    clock.start();
    const render::Rect rect = fitted_rect(
        scene_, axes_rect_, parentWidget() ? parentWidget()->width() : 0, figure_height_px_);
    image_ = gl ? gl->render(scene_, geometry(), rect, figure_height_px_, dpr)
                : render_axes(scene_, geometry(), rect, figure_height_px_, dpr, draft);
    if (!draft) full_render_ms_ = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    image_draft_ = draft;
    image_valid_ = true;
  }
  QPainter painter(this);
  painter.drawImage(QPointF(0, 0), image_);
}

}  // namespace velmora::qt

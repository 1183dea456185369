// Markers of the OpenGL renderer stamped on the processor (the choice on
// software rasterizers), pixel for pixel as the Cairo painter stamps them.
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <system_error>
#include <thread>

#include "platform/qt/gl_axes_parts.hpp"
#include "platform/render/line_geometry.hpp"
#include "platform/render/marker.hpp"
#include "platform/render/renderer.hpp"

namespace velmora::qt::gl {

void MarkerStamping::forget_images() {
  for (auto& stamper : stampers_) stamper = std::make_unique<render::MarkerStamper>();
}

void MarkerStamping::stamp_band(const StampTarget& t, render::MarkerStamper& stamper, int list,
                                int top, int bottom) {
  if (bottom <= top) return;
  const int stride = static_cast<int>(t.image->bytesPerLine());
  cairo_surface_t* band = cairo_image_surface_create_for_data(
      t.bits + static_cast<std::ptrdiff_t>(top) * stride, CAIRO_FORMAT_ARGB32, t.device.width(),
      bottom - top, stride);
  cairo_t* cr = cairo_create(band);
  cairo_translate(cr, 0, -top);
  cairo_scale(cr, t.dpr, t.dpr);
  cairo_translate(cr, -t.view.x(), -t.view.y());
  if (t.clipped) {
    cairo_rectangle(cr, t.axes_rect.left,
                    t.figure_height_px - t.axes_rect.bottom - t.axes_rect.height, t.axes_rect.width,
                    t.axes_rect.height);
    cairo_clip(cr);
  }
  for (std::size_t k = 0; k < batch_.size(); ++k)
    stamper.draw(cr, batch_[k].style, batch_[k].centres[list]);
  cairo_destroy(cr);
  cairo_surface_finish(band);
  cairo_surface_destroy(band);
}

void MarkerStamping::add(const render::AxesScene& scene, const render::Projection& proj,
                         const Command& c, const StampTarget& t) {
  // One command's lines share their marker's look.
  Stamped& run = batch_.emplace_back();
  run.style = render::marker_style(scene.lines[c.line_first]);
  run.reach = c.sprite->size + 2.0;
  for (int line = c.line_first; line < c.line_end; ++line) {
    const render::SceneLine& l = scene.lines[static_cast<std::size_t>(line)];
    if (!render::draws_markers(l)) continue;
    for (const auto& p : render::marker_centres(l, proj)) {
      run.centres[0].push_back(p);
      row_sum_ += (p[1] - t.view.y()) * t.dpr;
    }
  }
  markers_ += run.centres[0].size();
}

void MarkerStamping::stamp(const StampTarget& t) {
  if (markers_ == 0) {
    batch_.clear();
    return;
  }
  const int height = t.device.height();
  if (markers_ < kSharedStamping) {
    stamp_band(t, *stampers_[0], 0, 0, height);
  } else {
    const int middle = std::clamp(
        static_cast<int>(std::lround(row_sum_ / static_cast<double>(markers_))), 0, height);
    // Markers whose centre lies within their reach of a band.
    for (Stamped& run : batch_)
      for (const auto& p : run.centres[0]) {
        const double row = (p[1] - t.view.y()) * t.dpr;
        if (row < middle + run.reach) run.centres[1].push_back(p);
        if (row > middle - run.reach) run.centres[2].push_back(p);
      }
    std::thread lower;
    try {
      lower = std::thread([&] { stamp_band(t, *stampers_[1], 2, middle, height); });
    } catch (const std::system_error&) {
      // No second thread to be had: this one stamps both bands.
      stamp_band(t, *stampers_[1], 2, middle, height);
    }
    stamp_band(t, *stampers_[0], 1, 0, middle);
    if (lower.joinable()) lower.join();
  }
  batch_.clear();
  markers_ = 0;
  row_sum_ = 0;
}

}  // namespace velmora::qt::gl

// OpenGL drawing of an axes' data between Cairo's drawing of the rest.
//
// Pixel convention: the framebuffer's rows are the image's rows (row 0 at
// the bottom of GL window space is the top row of the image), so the read
// back pixels need no flipping.  The data's points, stroke pieces and
// marker positions stay in buffers while the scene is unchanged; the vertex
// shaders map them to device pixels with the projection's matrix, so a
// turning or zooming view only changes a few uniforms each frame.
//
// This file holds the frame loop; the OpenGL side is in gl_axes_gl.cpp and
// gl_axes_scene.cpp, the shaders in gl_shaders.cpp and the processor's
// marker stamping in gl_marker_stamping.cpp.
#include "platform/qt/gl_axes_renderer.hpp"

#include <cairo.h>

#include <QGuiApplication>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/qt/axes_view.hpp"
#include "platform/qt/gl_axes_parts.hpp"
#include "platform/render/line_geometry.hpp"
#include "platform/render/marker.hpp"
#include "platform/render/renderer.hpp"
#include "platform/runtime/huge_pages.hpp"

namespace velmora::qt {

namespace {

std::string lower(std::string_view text) {
  std::string s(text);
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

RendererSetting renderer_setting(std::string_view setting) {
  std::string s = lower(setting);
  if (s == "cairo") return RendererSetting::Cairo;
  if (s == "opengl") return RendererSetting::OpenGl;
  return RendererSetting::Automatic;
}

bool is_software_renderer(std::string_view gl_renderer) {
  std::string s = lower(gl_renderer);
  for (const char* name : {"llvmpipe", "softpipe", "swrast", "software"})
    if (s.find(name) != std::string::npos) return true;
  return false;
}

// --- the renderer ---------------------------------------------------------------

namespace {

GlAxesRenderer* g_shared = nullptr;
bool g_decided = false;

void release_shared() {
  delete g_shared;
  g_shared = nullptr;
}

}  // namespace

GlAxesRenderer::GlAxesRenderer(std::unique_ptr<Gl> gl) : gl_(std::move(gl)) {}

GlAxesRenderer::~GlAxesRenderer() {
  if (gl_) gl_->release();
}

std::unique_ptr<GlAxesRenderer> GlAxesRenderer::create(std::string& why) {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    why = "there is no GUI application";
    return nullptr;
  }
  // Software OpenGL allocates its vertex and bin memory afresh every
  // frame, tens of megabytes for many lines.  By default the C library
  // hands such memory back to the system on free and the next frame pays
  // a page fault for every page again (a third of the frame).  The program
  // keeps freed memory from the start; so does any other user of the view.
  keep_freed_memory();
  auto gl = std::make_unique<Gl>();
  if (!gl->init(why)) {
    gl->release();
    return nullptr;
  }
  return std::unique_ptr<GlAxesRenderer>(new GlAxesRenderer(std::move(gl)));
}

const std::string& GlAxesRenderer::gl_renderer() const {
  return gl_->renderer_name;
}

bool GlAxesRenderer::stamps_markers() const {
  return gl_->stamp_markers;
}

void GlAxesRenderer::set_stamps_markers(bool stamp) {
  if (stamp == gl_->stamp_markers) return;
  gl_->stamp_markers = stamp;
  gl_->built = false;  // which scenes OpenGL can draw depends on it
}

void GlAxesRenderer::set_draft(bool draft) {
  gl_->draft = draft;
}

GlAxesRenderer* GlAxesRenderer::shared() {
  if (g_decided) return g_shared;
  g_decided = true;
  const char* value = std::getenv("VELMORA_RENDERER");
  const RendererSetting setting = renderer_setting(value ? value : "");
  if (setting == RendererSetting::Cairo) return nullptr;
  std::string why;
  std::unique_ptr<GlAxesRenderer> made = create(why);
  if (!made) {
    // Headless runs expect Cairo; a real display without OpenGL is worth a line.
    if (QGuiApplication::platformName() != "offscreen" || setting == RendererSetting::OpenGl)
      std::fprintf(stderr, "Velmora: 3-D views are drawn with Cairo: %s.\n", why.c_str());
    return nullptr;
  }
  g_shared = made.release();
  qAddPostRoutine(release_shared);
  return g_shared;
}

QImage GlAxesRenderer::render(const render::AxesScene& scene, const QRect& view,
                              const render::Rect& axes_rect, double figure_height_px, double dpr) {
  QSize device(std::max(1, static_cast<int>(std::lround(view.width() * dpr))),
               std::max(1, static_cast<int>(std::lround(view.height() * dpr))));
  Gl& g = *gl_;
  auto cairo_frame = [&] {
    return render_axes(scene, view, axes_rect, figure_height_px, dpr, false);
  };
  if (device.width() > g.max_size || device.height() > g.max_size ||
      (scene.surface && !g.surfaces_ok) || !g.make_current()) {
    return cairo_frame();
  }
  const render::Projection proj(scene, render::data_rect(scene, axes_rect), figure_height_px);
  if (!g.build(scene, proj, dpr)) {
    g.context->doneCurrent();
    return cairo_frame();
  }
  // Cairo's drawing under the data goes into the frame not on show; the
  // data is laid over it, then Cairo's drawing over the data.
  auto unused = [](const QImage& im) { return im.isNull() || im.isDetached(); };
  QImage& image = unused(g.frames[0]) ? g.frames[0] : g.frames[1];
  render_axes_into(image, scene, view, axes_rect, figure_height_px, dpr, false, render::kUnderData);
  g.set_view(proj, view, dpr);

  // The device pixels the data can reach: the limits box as drawn, widened
  // by the widest line or marker, and within the plot rectangle when zoomed
  // in (a zoomed-in view stays inside its own rectangle).
  double margin = 2;
  for (const gl::Command& c : g.commands)
    margin = std::max(margin, c.stroke ? 0.5 * c.width + 2 : c.sprite->size + 2.0);
  double lo[2] = {INFINITY, INFINITY}, hi[2] = {-INFINITY, -INFINITY};
  for (int k = 0; k < 8; ++k) {
    const std::array<double, 2> p =
        proj.to_pixel(proj.limit(0)[k & 1], proj.limit(1)[(k >> 1) & 1], proj.limit(2)[k >> 2]);
    const double d[2] = {(p[0] - view.x()) * dpr, (p[1] - view.y()) * dpr};
    for (int i = 0; i < 2; ++i) lo[i] = std::min(lo[i], d[i]), hi[i] = std::max(hi[i], d[i]);
  }
  auto clamp_px = [](double v) { return static_cast<int>(std::clamp(v, -1e6, 1e6)); };
  QRect reach(QPoint(clamp_px(std::floor(lo[0] - margin)), clamp_px(std::floor(lo[1] - margin))),
              QPoint(clamp_px(std::ceil(hi[0] + margin)), clamp_px(std::ceil(hi[1] + margin))));
  reach &= QRect(QPoint(0, 0), device);
  const bool clipped = scene.zoom > 1 && !proj.two_d();
  if (clipped) {
    double left = (axes_rect.left - view.x()) * dpr;
    double top = (figure_height_px - axes_rect.bottom - axes_rect.height - view.y()) * dpr;
    int x0 = static_cast<int>(std::lround(left)), y0 = static_cast<int>(std::lround(top));
    int x1 = static_cast<int>(std::lround(left + axes_rect.width * dpr));
    int y1 = static_cast<int>(std::lround(top + axes_rect.height * dpr));
    reach &= QRect(QPoint(x0, y0), QPoint(x1 - 1, y1 - 1));
  }

  // Stamped markers go straight into the image.
  const gl::StampTarget target{&image, image.bits(), device,    view,
                               dpr,    clipped,      axes_rect, figure_height_px};

  QOpenGLFunctions_3_3_Core& f = *g.f;
  // The surface first, with its own depth test; the lines go over it.
  if (scene.surface && !reach.isEmpty()) {
    g.clear_framebuffer(device, reach);
    g.surfaces.draw(g.draft && scene.surface->coarse ? scene.surface->coarse : scene.surface, proj,
                    view, dpr, device);
    g.composite(image, reach);
  }

  // Runs drawn by OpenGL gather in the framebuffer until a stamped run must
  // go over them; then they are read back and laid over the image.  Runs
  // of one colour (a stroke, a single-coloured marker) look the same laid
  // in either order, so a stamped run of the framebuffer's one colour goes
  // straight into the image.
  bool pending = false, pending_mixed = false;
  render::Rgb pending_colour{0, 0, 0};
  auto flush = [&] {
    g.stamping.stamp(target);
    if (!pending) return;
    g.composite(image, reach);
    pending = false;
  };
  for (const gl::Command& c : g.commands) {
    if (c.count <= 0) continue;
    if (!c.stroke && g.stamp_markers) {
      const render::MarkerStyle style = render::marker_style(scene.lines[c.line_first]);
      const bool one_colour = !style.face || gl::same(*style.face, style.edge);
      if (pending && (pending_mixed || !one_colour || !gl::same(pending_colour, style.edge)))
        flush();
      g.stamping.add(scene, proj, c, target);
      continue;
    }
    if (reach.isEmpty()) continue;
    if (!pending) {
      g.clear_framebuffer(device, reach);
      f.glDepthFunc(GL_LESS);
      // Premultiplied colours, composited the way Cairo's OVER operator does.
      f.glEnable(GL_BLEND);
      f.glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
      f.glEnable(GL_PROGRAM_POINT_SIZE);
      for (int k = 0; k < 4; ++k) {
        f.glActiveTexture(GL_TEXTURE1 + k);
        f.glBindTexture(GL_TEXTURE_BUFFER, g.data_textures[k]);
      }
      f.glActiveTexture(GL_TEXTURE0);
      pending = true;
      pending_mixed = false;
      pending_colour = c.stroke ? c.color : render::Rgb{0, 0, 0};
    }
    g.draw_command(c, device);
    if (!c.stroke || !gl::same(c.color, pending_colour)) pending_mixed = true;
  }
  flush();
  f.glDisable(GL_SCISSOR_TEST);
  f.glBindFramebuffer(GL_FRAMEBUFFER, 0);
  g.context->doneCurrent();
  draw_axes_onto(image, scene, view, axes_rect, figure_height_px, dpr, render::kOverData);
  return image;
}

}  // namespace velmora::qt

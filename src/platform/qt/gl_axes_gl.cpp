// The OpenGL side of the 3-D renderer: its context and programs, the
// marker images, the drawing of one command and the read back.
#include <cairo.h>

#include <QOpenGLVersionFunctionsFactory>
#include <QVector2D>
#include <QVector4D>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/qt/gl_axes_parts.hpp"
#include "platform/qt/gl_shaders.hpp"
#include "platform/render/line_geometry.hpp"
#include "platform/render/marker.hpp"
#include "platform/render/renderer.hpp"

namespace velmora::qt {

using gl::Command;
using gl::kDepthSlices;
using gl::kMaxSprites;
using gl::kPhases;
using gl::P2;
using gl::same;
using gl::same_style;
using gl::Sprite;

namespace {

bool link(QOpenGLShaderProgram& p, const char* vertex, const char* fragment, const char* name,
          std::string& why) {
  if (p.addShaderFromSourceCode(QOpenGLShader::Vertex, vertex) &&
      p.addShaderFromSourceCode(QOpenGLShader::Fragment, fragment) && p.link())
    return true;
  why = std::string("the ") + name + " shader does not build: " + p.log().trimmed().toStdString();
  return false;
}

}  // namespace

bool GlAxesRenderer::Gl::init(std::string& why) {
  QSurfaceFormat format;
  format.setRenderableType(QSurfaceFormat::OpenGL);
  format.setVersion(3, 3);
  format.setProfile(QSurfaceFormat::CoreProfile);
  format.setDepthBufferSize(0);
  format.setStencilBufferSize(0);
  context = std::make_unique<QOpenGLContext>();
  context->setFormat(format);
  if (!context->create()) {
    why = "no OpenGL context can be made";
    return false;
  }
  if (context->format().version() < qMakePair(3, 3) || context->isOpenGLES()) {
    why = "the OpenGL context is older than version 3.3";
    return false;
  }
  surface = std::make_unique<QOffscreenSurface>();
  surface->setFormat(context->format());
  surface->create();
  if (!surface->isValid() || !make_current()) {
    why = "no OpenGL surface can be made current";
    return false;
  }
  f = QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_3_3_Core>(context.get());
  if (!f || !f->initializeOpenGLFunctions()) {
    why = "the OpenGL 3.3 functions are missing";
    return false;
  }
  stroke = std::make_unique<QOpenGLShaderProgram>();
  marker = std::make_unique<QOpenGLShaderProgram>();
  if (!link(*stroke, gl::kStrokeVertex, gl::kStrokeFragment, "stroke", why) ||
      !link(*marker, gl::kMarkerVertex, gl::kMarkerFragment, "marker", why))
    return false;

  const auto* name = reinterpret_cast<const char*>(f->glGetString(GL_RENDERER));
  renderer_name = name ? name : "";
  GLfloat range[2] = {1, 1};
  f->glGetFloatv(GL_POINT_SIZE_RANGE, range);
  max_point_size = range[1];
  f->glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_texture);
  f->glGetIntegerv(GL_MAX_TEXTURE_BUFFER_SIZE, &max_buffer_texels);
  GLint max_rb = 0, max_view[2] = {0, 0};
  f->glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &max_rb);
  f->glGetIntegerv(GL_MAX_VIEWPORT_DIMS, max_view);
  max_size = std::min({max_rb, max_view[0], max_view[1]});

  stamp_markers = is_software_renderer(renderer_name);

  f->glGenVertexArrays(1, &data_vao);
  f->glGenBuffers(1, &stroke_vertices);
  f->glGenBuffers(1, &stroke_along);
  f->glGenBuffers(1, &marker_vertices);
  f->glGenBuffers(1, &stroke_runs);
  f->glGenTextures(4, data_textures);
  const GLuint buffers[4] = {stroke_vertices, stroke_along, marker_vertices, stroke_runs};
  const GLenum formats[4] = {GL_RGBA32F, GL_R32F, GL_RGBA32F, GL_RGBA32F};
  for (int k = 0; k < 4; ++k) {
    f->glBindBuffer(GL_TEXTURE_BUFFER, buffers[k]);
    f->glBufferData(GL_TEXTURE_BUFFER, 16, nullptr, GL_STATIC_DRAW);
    f->glBindTexture(GL_TEXTURE_BUFFER, data_textures[k]);
    f->glTexBuffer(GL_TEXTURE_BUFFER, formats[k], buffers[k]);
  }
  f->glBindTexture(GL_TEXTURE_BUFFER, 0);
  f->glBindBuffer(GL_TEXTURE_BUFFER, 0);
  f->glBindVertexArray(0);
  surfaces_ok = surfaces.init(f);
  context->doneCurrent();
  return true;
}

void GlAxesRenderer::Gl::release() {
  if (!f || !make_current()) return;
  surfaces.release();
  for (auto& s : sprites) f->glDeleteTextures(1, &s->texture);
  sprites.clear();
  GLuint buffers[] = {stroke_vertices, marker_vertices, stroke_along, stroke_runs};
  f->glDeleteBuffers(4, buffers);
  f->glDeleteTextures(4, data_textures);
  f->glDeleteVertexArrays(1, &data_vao);
  if (framebuffer) {
    f->glDeleteFramebuffers(1, &framebuffer);
    GLuint rbs[] = {colour_buffer, depth_buffer};
    f->glDeleteRenderbuffers(2, rbs);
  }
  stroke.reset();
  marker.reset();
  context->doneCurrent();
  f = nullptr;
}

const Sprite& GlAxesRenderer::Gl::sprite(const render::MarkerStyle& s) {
  for (const auto& sp : sprites)
    if (same_style(sp->style, s)) {
      if (!sp->drawn && !stamp_markers) draw_sprite(*sp);
      return *sp;
    }
  auto sp = std::make_unique<Sprite>();
  sp->style = s;
  // The same images, at the same places, as render::MarkerStamper makes.
  int reach = static_cast<int>(std::ceil(0.6 * s.size_px + 0.5 * s.line_width_px)) + 1;
  sp->centre = reach;
  sp->size = 2 * reach + 2;
  // Stamped markers need only the size; their images are the stamper's.
  if (!stamp_markers) draw_sprite(*sp);
  sprites.push_back(std::move(sp));
  return *sprites.back();
}

void GlAxesRenderer::Gl::draw_sprite(Sprite& sprite) {
  Sprite* sp = &sprite;
  const render::MarkerStyle& s = sp->style;
  sp->drawn = true;
  const int side = kPhases * sp->size;
  cairo_surface_t* surf = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, side, side);
  cairo_t* cr = cairo_create(surf);
  for (int fy = 0; fy < kPhases; ++fy)
    for (int fx = 0; fx < kPhases; ++fx) {
      cairo_save(cr);
      cairo_rectangle(cr, fx * sp->size, fy * sp->size, sp->size, sp->size);
      cairo_clip(cr);
      cairo_translate(cr, fx * sp->size, fy * sp->size);
      render::draw_markers_vector(cr, s,
                                  {{sp->centre + static_cast<double>(fx) / kPhases,
                                    sp->centre + static_cast<double>(fy) / kPhases}});
      cairo_restore(cr);
    }
  cairo_destroy(cr);
  cairo_surface_flush(surf);
  const unsigned char* data = cairo_image_surface_get_data(surf);
  const int stride = cairo_image_surface_get_stride(surf);
  int x0 = sp->size, y0 = sp->size, x1 = 0, y1 = 0;
  for (int r = 0; r < side; ++r) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + r * stride);
    for (int c = 0; c < side; ++c)
      if (row[c] != 0) {
        int x = c % sp->size, y = r % sp->size;
        x0 = std::min(x0, x), x1 = std::max(x1, x + 1);
        y0 = std::min(y0, y), y1 = std::max(y1, y + 1);
      }
  }
  if (x1 <= x0) x0 = y0 = 0, x1 = y1 = 1;
  sp->ink_side = std::max(x1 - x0, y1 - y0);
  // The square stays inside the image (ink_side <= size).
  sp->ink_x = std::min(x0, sp->size - sp->ink_side);
  sp->ink_y = std::min(y0, sp->size - sp->ink_side);
  if (side <= max_texture) {  // else only stamped (build checks)
    f->glGenTextures(1, &sp->texture);
    f->glBindTexture(GL_TEXTURE_2D, sp->texture);
    f->glPixelStorei(GL_UNPACK_ROW_LENGTH, stride / 4);
    f->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, side, side, 0, GL_BGRA, GL_UNSIGNED_BYTE, data);
    f->glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  }
  cairo_surface_destroy(surf);
}

void GlAxesRenderer::Gl::set_view(const render::Projection& proj, const QRect& view, double dpr) {
  const double offset[2] = {static_cast<double>(view.x()), static_cast<double>(view.y())};
  std::array<double, 4>* rows[2] = {&row_x, &row_y};
  for (int i = 0; i < 2; ++i) {
    const std::array<double, 4> r = proj.row(i);
    std::array<double, 4>& out = *rows[i];
    out[3] = (r[3] + r[0] * centre[0] + r[1] * centre[1] + r[2] * centre[2] - offset[i]) * dpr;
    for (int d = 0; d < 3; ++d) out[d] = r[d] * dpr;
  }
  if (!dashed) return;
  // Dash patterns run along each sub-path's length on the screen.
  auto device = [&](const float* p) {
    return P2{row_x[0] * p[0] + row_x[1] * p[1] + row_x[2] * p[2] + row_x[3],
              row_y[0] * p[0] + row_y[1] * p[1] + row_y[2] * p[2] + row_y[3]};
  };
  for (const Command& c : commands) {
    if (!c.stroke || !(c.dash_total > 0)) continue;
    double at = 0;
    for (int i = c.first; i < c.first + c.count; ++i) {
      const float* p = &pieces[static_cast<std::size_t>(8 * i)];
      if (std::fmod(p[3], 2.0f) < 1) at = 0;  // a new sub-path
      along[static_cast<std::size_t>(i)] = static_cast<float>(at);
      P2 a = device(p), b = device(p + 4);
      at += std::hypot(b[0] - a[0], b[1] - a[1]);
    }
  }
  f->glBindBuffer(GL_TEXTURE_BUFFER, stroke_along);
  f->glBufferSubData(GL_TEXTURE_BUFFER, 0, static_cast<GLsizeiptr>(along.size() * sizeof(float)),
                     along.data());
  f->glBindBuffer(GL_TEXTURE_BUFFER, 0);
}

void GlAxesRenderer::Gl::ensure_framebuffer(QSize size) {
  if (framebuffer && fb_size == size) return;
  if (!framebuffer) {
    f->glGenFramebuffers(1, &framebuffer);
    f->glGenRenderbuffers(1, &colour_buffer);
    f->glGenRenderbuffers(1, &depth_buffer);
  }
  f->glBindRenderbuffer(GL_RENDERBUFFER, colour_buffer);
  f->glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, size.width(), size.height());
  f->glBindRenderbuffer(GL_RENDERBUFFER, depth_buffer);
  f->glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, size.width(), size.height());
  f->glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  f->glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                               colour_buffer);
  f->glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                               depth_buffer);
  fb_size = size;
  read_back.clear();  // sized for the old framebuffer
}

void GlAxesRenderer::Gl::clear_framebuffer(QSize size, const QRect& reach) {
  ensure_framebuffer(size);
  f->glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  f->glViewport(0, 0, size.width(), size.height());
  f->glEnable(GL_SCISSOR_TEST);
  f->glScissor(reach.x(), reach.y(), reach.width(), reach.height());
  f->glClearColor(0, 0, 0, 0);
  f->glClearDepth(1);
  f->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void GlAxesRenderer::Gl::draw_command(const Command& c, QSize size) {
  if (c.count <= 0) return;
  const QVector2D viewport(static_cast<float>(size.width()), static_cast<float>(size.height()));
  const QVector4D rx(static_cast<float>(row_x[0]), static_cast<float>(row_x[1]),
                     static_cast<float>(row_x[2]), static_cast<float>(row_x[3]));
  const QVector4D ry(static_cast<float>(row_y[0]), static_cast<float>(row_y[1]),
                     static_cast<float>(row_y[2]), static_cast<float>(row_y[3]));
  f->glBindVertexArray(data_vao);
  if (c.stroke) {
    // Pieces of one run meet at joins and may cross: like Cairo's single
    // stroke of a path, a pixel is not painted twice by one run (the
    // depth test against the run's own slice).
    if (c.run > 0 && c.run % kDepthSlices == 0) f->glClear(GL_DEPTH_BUFFER_BIT);
    f->glEnable(GL_DEPTH_TEST);
    stroke->bind();
    stroke->setUniformValue("viewport", viewport);
    stroke->setUniformValue("row_x", rx);
    stroke->setUniformValue("row_y", ry);
    stroke->setUniformValue("depth_span", 1.0f / kDepthSlices);
    stroke->setUniformValue("piece_data", 1);
    stroke->setUniformValue("along_data", 2);
    stroke->setUniformValue("run_data", 4);
    f->glDrawArrays(GL_TRIANGLES, 6 * c.first, 6 * c.count);
    f->glDisable(GL_DEPTH_TEST);
  } else {
    const Sprite& sp = *c.sprite;
    marker->bind();
    marker->setUniformValue("viewport", viewport);
    marker->setUniformValue("row_x", rx);
    marker->setUniformValue("row_y", ry);
    marker->setUniformValue("centre", sp.centre);
    f->glUniform2i(marker->uniformLocation("ink_min"), sp.ink_x, sp.ink_y);
    marker->setUniformValue("ink_side", static_cast<float>(sp.ink_side));
    marker->setUniformValue("sprite_size", sp.size);
    marker->setUniformValue("atlas", 0);
    f->glActiveTexture(GL_TEXTURE0);
    f->glBindTexture(GL_TEXTURE_2D, sp.texture);
    marker->setUniformValue("point_data", 3);
    f->glDrawArrays(GL_POINTS, c.first, c.count);
  }
  f->glBindVertexArray(0);
}

void GlAxesRenderer::Gl::composite(QImage& image, const QRect& box) {
  // Rows of the framebuffer are rows of the image (see the top of the
  // file); the pixels come back as R, G, B, A bytes.
  const std::size_t n = static_cast<std::size_t>(box.width()) * box.height();
  if (read_back.size() < n) read_back.resize(n);
  f->glPixelStorei(GL_PACK_ALIGNMENT, 4);
  f->glReadPixels(box.x(), box.y(), box.width(), box.height(), GL_RGBA, GL_UNSIGNED_BYTE,
                  read_back.data());
  for (int r = 0; r < box.height(); ++r) {
    const std::uint32_t* src = &read_back[static_cast<std::size_t>(r) * box.width()];
    auto* dst = reinterpret_cast<std::uint32_t*>(image.scanLine(box.y() + r)) + box.x();
    for (int c = 0; c < box.width(); ++c) {
      const std::uint32_t s = src[c];
      if (s == 0) continue;
      // R, G, B, A bytes in memory to Cairo's native 0xAARRGGBB.
      const std::uint32_t argb = (s & 0xFF00FF00u) | ((s & 0xFFu) << 16) | ((s >> 16) & 0xFFu);
      dst[c] = (argb >> 24) == 255 ? argb : render::premultiplied_over(argb, dst[c]);
    }
  }
}

}  // namespace velmora::qt

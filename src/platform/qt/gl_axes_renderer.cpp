// OpenGL drawing of an axes' data between Cairo's drawing of the rest.
//
// Pixel convention: the framebuffer's rows are the image's rows (row 0 at
// the bottom of GL window space is the top row of the image), so the read
// back pixels need no flipping.  Positions reach the shaders in device
// pixels; the vertex shaders only map them to clip space.
#include "platform/qt/gl_axes_renderer.hpp"

#include <cairo.h>

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions_3_3_Core>
#include <QOpenGLShaderProgram>
#include <QOpenGLVersionFunctionsFactory>
#include <QVector2D>
#include <QVector3D>
#include <QVector4D>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/qt/axes_view.hpp"
#include "platform/render/line_geometry.hpp"
#include "platform/render/renderer.hpp"

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

namespace {

using P2 = std::array<double, 2>;

// A full-size layer image: one texel per pixel.
const char* const kLayerVertex = R"(#version 330 core
layout(location = 0) in vec2 corner;
void main() { gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0); }
)";
const char* const kLayerFragment = R"(#version 330 core
uniform sampler2D layer;
out vec4 colour;
void main() { colour = texelFetch(layer, ivec2(gl_FragCoord.xy), 0); }
)";

// One stroke piece a-b as a rectangle reaching a pixel beyond the stroke
// on every side; the fragment shader keeps the covered share of each pixel.
// Ends joined to a neighbour piece are round (Cairo's round join), free
// ends are butt.  `local` is the position along (from a) and across the
// piece in pixels.
const char* const kStrokeVertex = R"(#version 330 core
layout(location = 0) in vec2 pos;
layout(location = 1) in vec2 local_in;
layout(location = 2) in vec3 piece;
uniform vec2 viewport;
out vec2 local;
flat out float seg_len;
flat out float dash_start;
flat out float flags;
void main() {
  local = local_in;
  seg_len = piece.x;
  dash_start = piece.y;
  flags = piece.z;
  gl_Position = vec4(pos / viewport * 2.0 - 1.0, 0.0, 1.0);
}
)";
const char* const kStrokeFragment = R"(#version 330 core
uniform float half_width;
uniform vec3 rgb;
uniform float dash_total;
uniform vec4 dash_on;
uniform float depth_top;
uniform float depth_span;
in vec2 local;
flat in float seg_len;
flat in float dash_start;
flat in float flags;
out vec4 colour;
// Share of a one-pixel box at distance d from the centre line covered by the stroke.
float band(float d) { return clamp(min(d + half_width, 0.5) - max(d - half_width, -0.5), 0.0, 1.0); }
// Share of the pixel box around x inside [lo, hi].
float span(float x, float lo, float hi) { return clamp(min(x + 0.5, hi) - max(x - 0.5, lo), 0.0, 1.0); }
void main() {
  float t = local.x, u = local.y;
  bool round_a = mod(flags, 2.0) >= 1.0, round_b = flags >= 2.0;
  float c;
  if (round_a && t < 0.0)
    c = band(length(local));
  else if (round_b && t > seg_len)
    c = band(length(vec2(t - seg_len, u)));
  else
    c = band(abs(u)) * span(t, round_a ? -1e30 : 0.0, round_b ? 1e30 : seg_len);
  if (dash_total > 0.0) {
    float m = mod(dash_start + clamp(t, 0.0, seg_len), dash_total);
    float on = 0.0;
    for (int k = -1; k <= 1; ++k) {
      float s = float(k) * dash_total;
      on += span(m, dash_on.x + s, dash_on.y + s) + span(m, dash_on.z + s, dash_on.w + s);
    }
    c *= min(on, 1.0);
  }
  if (c <= 0.001) discard;
  // Within one run, a pixel already drawn with at least this coverage
  // keeps its colour (the depth test), so joins and crossings are not
  // painted twice; a later run always passes.
  gl_FragDepth = depth_top - 0.999 * depth_span * c;
  colour = vec4(rgb * c, c);
}
)";

// One marker per point: the Cairo-drawn marker image for the point's
// quarter-pixel offset, laid on whole pixels exactly as the Cairo painter
// stamps it.  Each point is a square covering the inked part of the images
// (points cost software rasterizers less than pairs of triangles).
const char* const kMarkerVertex = R"(#version 330 core
layout(location = 0) in vec3 origin_phase;
uniform ivec2 ink_min;
uniform float ink_side;
uniform vec2 viewport;
flat out ivec3 origin;
void main() {
  origin = ivec3(origin_phase);
  vec2 centre = origin_phase.xy + vec2(ink_min) + 0.5 * ink_side;
  gl_Position = vec4(centre / viewport * 2.0 - 1.0, 0.0, 1.0);
  gl_PointSize = ink_side;
}
)";
const char* const kMarkerFragment = R"(#version 330 core
uniform sampler2D atlas;
uniform int sprite_size;
flat in ivec3 origin;
out vec4 colour;
void main() {
  ivec2 at = ivec2(gl_FragCoord.xy) - origin.xy;
  if (any(lessThan(at, ivec2(0))) || any(greaterThanEqual(at, ivec2(sprite_size)))) discard;
  int phase = origin.z;
  colour = texelFetch(atlas, at + sprite_size * ivec2(phase % 4, phase / 4), 0);
  if (colour.a <= 0.0) discard;
}
)";

bool same(const render::Rgb& a, const render::Rgb& b) {
  return a.r == b.r && a.g == b.g && a.b == b.b;
}

bool same_style(const render::MarkerStyle& a, const render::MarkerStyle& b) {
  return a.marker == b.marker && a.size_px == b.size_px && a.line_width_px == b.line_width_px &&
         same(a.edge, b.edge) && a.face.has_value() == b.face.has_value() &&
         (!a.face || same(*a.face, *b.face));
}

constexpr int kPhases = 4;  // sub-pixel offsets per axis, as the Cairo painter stamps

// A marker drawn by Cairo at each quarter-pixel offset: kPhases × kPhases
// square images of `size` pixels side by side in one texture, the marker
// centre at pixel corner (centre, centre) plus the offset.
struct Sprite {
  render::MarkerStyle style;  // in device pixels
  int size = 0, centre = 0;
  int ink_x = 0, ink_y = 0, ink_side = 1;  // a square holding every inked pixel
  GLuint texture = 0;
};

// One draw call: a run of stroke pieces or of markers that look alike.
struct Command {
  bool stroke = true;
  int first = 0, count = 0;
  // Strokes: colour, width and dash pattern in device pixels.
  render::Rgb color{0, 0, 0};
  double width = 0;
  render::LineStyle style = render::LineStyle::Solid;
  std::array<float, 4> dash_on{0, 0, 0, 0};
  float dash_total = 0;
  // Markers: the sprite.
  const Sprite* sprite = nullptr;
};

constexpr std::size_t kMaxSprites = 64;
constexpr int kDepthSlices = 4096;  // stroke runs between two clears of the depth buffer

}  // namespace

struct GlAxesRenderer::Gl {
  std::unique_ptr<QOpenGLContext> context;
  std::unique_ptr<QOffscreenSurface> surface;
  QOpenGLFunctions_3_3_Core* f = nullptr;
  std::unique_ptr<QOpenGLShaderProgram> layer, stroke, marker;
  GLuint framebuffer = 0, colour_buffer = 0, depth_buffer = 0;
  QSize fb_size;
  GLuint layer_textures[2] = {0, 0};
  QSize layer_size[2];
  GLuint quad_vao = 0, quad_vbo = 0;
  GLuint stroke_vao = 0, stroke_vertices = 0;
  GLuint marker_vao = 0, marker_vertices = 0;
  GLuint quad_indices = 0;  // two triangles per four vertices
  std::size_t quad_index_count = 0;
  std::string renderer_name;  // GL_RENDERER
  float max_point_size = 1;
  int max_size = 0;
  std::vector<std::unique_ptr<Sprite>> sprites;
  std::vector<float> pieces, points;  // per piece and per marker, as built
  std::vector<float> vertices;        // four corners per stroke piece, as drawn
  std::vector<Command> commands;
  QImage under, over;  // Cairo's drawing under and over the data

  bool make_current() { return context->makeCurrent(surface.get()); }

  // Builds everything; on failure `why` says what is missing.
  bool init(std::string& why);
  void release();
  const Sprite& sprite(const render::MarkerStyle& device_style);
  bool build(const render::AxesScene& scene, const QRect& view, const render::Rect& axes_rect,
             double figure_height_px, double dpr);
  void ensure_framebuffer(QSize size);
  void draw_layer(int index, const QImage& image);
  void draw_commands(QSize size);
};

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
  layer = std::make_unique<QOpenGLShaderProgram>();
  stroke = std::make_unique<QOpenGLShaderProgram>();
  marker = std::make_unique<QOpenGLShaderProgram>();
  if (!link(*layer, kLayerVertex, kLayerFragment, "layer", why) ||
      !link(*stroke, kStrokeVertex, kStrokeFragment, "stroke", why) ||
      !link(*marker, kMarkerVertex, kMarkerFragment, "marker", why))
    return false;

  const auto* name = reinterpret_cast<const char*>(f->glGetString(GL_RENDERER));
  renderer_name = name ? name : "";
  GLfloat range[2] = {1, 1};
  f->glGetFloatv(GL_POINT_SIZE_RANGE, range);
  max_point_size = range[1];
  GLint max_rb = 0, max_view[2] = {0, 0};
  f->glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &max_rb);
  f->glGetIntegerv(GL_MAX_VIEWPORT_DIMS, max_view);
  max_size = std::min({max_rb, max_view[0], max_view[1]});

  const float quad[] = {0, 0, 1, 0, 1, 1, 0, 0, 1, 1, 0, 1};
  f->glGenVertexArrays(1, &quad_vao);
  f->glBindVertexArray(quad_vao);
  f->glGenBuffers(1, &quad_vbo);
  f->glBindBuffer(GL_ARRAY_BUFFER, quad_vbo);
  f->glBufferData(GL_ARRAY_BUFFER, sizeof quad, quad, GL_STATIC_DRAW);
  f->glEnableVertexAttribArray(0);
  f->glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);

  f->glGenBuffers(1, &quad_indices);
  auto attributes = [&](GLuint& vao, GLuint& vbo, std::initializer_list<int> sizes) {
    f->glGenVertexArrays(1, &vao);
    f->glBindVertexArray(vao);
    f->glGenBuffers(1, &vbo);
    f->glBindBuffer(GL_ARRAY_BUFFER, vbo);
    f->glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, quad_indices);
    int stride = 0, at = 0, index = 0;
    for (int n : sizes) stride += n;
    for (int n : sizes) {
      f->glEnableVertexAttribArray(index);
      f->glVertexAttribPointer(
          index++, n, GL_FLOAT, GL_FALSE, stride * sizeof(float),
          reinterpret_cast<void*>(static_cast<std::uintptr_t>(at) * sizeof(float)));
      at += n;
    }
  };
  attributes(stroke_vao, stroke_vertices, {2, 2, 3});
  attributes(marker_vao, marker_vertices, {3});
  f->glBindVertexArray(0);

  f->glGenTextures(2, layer_textures);
  for (GLuint t : layer_textures) {
    f->glBindTexture(GL_TEXTURE_2D, t);
    f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  }
  context->doneCurrent();
  return true;
}

void GlAxesRenderer::Gl::release() {
  if (!f || !make_current()) return;
  for (auto& s : sprites) f->glDeleteTextures(1, &s->texture);
  sprites.clear();
  f->glDeleteTextures(2, layer_textures);
  GLuint buffers[] = {quad_vbo, stroke_vertices, marker_vertices, quad_indices};
  f->glDeleteBuffers(4, buffers);
  GLuint arrays[] = {quad_vao, stroke_vao, marker_vao};
  f->glDeleteVertexArrays(3, arrays);
  if (framebuffer) {
    f->glDeleteFramebuffers(1, &framebuffer);
    GLuint rbs[] = {colour_buffer, depth_buffer};
    f->glDeleteRenderbuffers(2, rbs);
  }
  layer.reset();
  stroke.reset();
  marker.reset();
  context->doneCurrent();
  f = nullptr;
}

const Sprite& GlAxesRenderer::Gl::sprite(const render::MarkerStyle& s) {
  for (const auto& sp : sprites)
    if (same_style(sp->style, s)) return *sp;
  auto sp = std::make_unique<Sprite>();
  sp->style = s;
  // The same images, at the same places, as render::MarkerStamper makes.
  int reach = static_cast<int>(std::ceil(0.6 * s.size_px + 0.5 * s.line_width_px)) + 1;
  sp->centre = reach;
  sp->size = 2 * reach + 2;
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
  sp->ink_x = x0;
  sp->ink_y = y0;
  f->glGenTextures(1, &sp->texture);
  f->glBindTexture(GL_TEXTURE_2D, sp->texture);
  f->glPixelStorei(GL_UNPACK_ROW_LENGTH, stride / 4);
  f->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, side, side, 0, GL_BGRA, GL_UNSIGNED_BYTE, data);
  f->glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  cairo_surface_destroy(surf);
  sprites.push_back(std::move(sp));
  return *sprites.back();
}

bool GlAxesRenderer::Gl::build(const render::AxesScene& scene, const QRect& view,
                               const render::Rect& axes_rect, double figure_height_px, double dpr) {
  pieces.clear();
  points.clear();
  commands.clear();
  if (sprites.size() > kMaxSprites) {
    // Styles come and go with the figures; keep the cache small.
    for (auto& sp : sprites) f->glDeleteTextures(1, &sp->texture);
    sprites.clear();
  }
  const render::Projection proj(scene, render::data_rect(scene, axes_rect), figure_height_px);
  const double ox = view.x(), oy = view.y();
  auto device = [&](P2 p) { return P2{(p[0] - ox) * dpr, (p[1] - oy) * dpr}; };
  for (const render::SceneLine& l : scene.lines) {
    if (render::draws_stroke(l)) {
      const double width = render::stroke_width_px(l);
      Command* c = commands.empty() ? nullptr : &commands.back();
      if (!c || !c->stroke || !same(c->color, l.color) || c->width != width * dpr ||
          c->style != l.style) {
        Command next;
        next.stroke = true;
        next.first = static_cast<int>(pieces.size() / 6);
        next.color = l.color;
        next.width = width * dpr;
        next.style = l.style;
        std::vector<double> dash = render::dash_pattern(l.style, width);
        double at = 0;
        for (std::size_t k = 0; k < dash.size() && k < 4; ++k) {
          if (k % 2 == 0) {
            next.dash_on[k] = static_cast<float>(at * dpr);
            next.dash_on[k + 1] = static_cast<float>((at + dash[k]) * dpr);
          }
          at += dash[k];
        }
        next.dash_total = static_cast<float>(at * dpr);
        commands.push_back(next);
        c = &commands.back();
      }
      double along = 0;  // distance from the start of the sub-path
      visit_stroke_pieces(l, proj, [&](P2 a, P2 b, bool joined) {
        P2 da = device(a), db = device(b);
        float flags = 0;
        if (joined) {
          pieces.back() += 2;  // the previous piece ends in a join
          flags = 1;
        } else {
          along = 0;
        }
        pieces.insert(pieces.end(), {static_cast<float>(da[0]), static_cast<float>(da[1]),
                                     static_cast<float>(db[0]), static_cast<float>(db[1]),
                                     static_cast<float>(along), flags});
        along += std::hypot(db[0] - da[0], db[1] - da[1]);
      });
      c->count = static_cast<int>(pieces.size() / 6) - c->first;
    }
    if (render::draws_markers(l)) {
      render::MarkerStyle s = render::marker_style(l);
      s.size_px *= dpr;
      s.line_width_px *= dpr;
      const Sprite& sp = sprite(s);
      if (sp.ink_side > max_point_size) return false;
      Command* c = commands.empty() ? nullptr : &commands.back();
      if (!c || c->stroke || c->sprite != &sp) {
        Command next;
        next.stroke = false;
        next.first = static_cast<int>(points.size() / 3);
        next.sprite = &sp;
        commands.push_back(next);
        c = &commands.back();
      }
      for (const P2& p : render::marker_centres(l, proj)) {
        P2 d = device(p);
        if (!(std::fabs(d[0]) < 1e7 && std::fabs(d[1]) < 1e7)) continue;
        // Whole pixel and quarter-pixel offset, rounded as the stamper does.
        double fxd = std::floor(d[0]), fyd = std::floor(d[1]);
        int ix = static_cast<int>(fxd), iy = static_cast<int>(fyd);
        int fx = static_cast<int>((d[0] - fxd) * kPhases + 0.5);
        int fy = static_cast<int>((d[1] - fyd) * kPhases + 0.5);
        if (fx == kPhases) fx = 0, ++ix;
        if (fy == kPhases) fy = 0, ++iy;
        points.insert(points.end(),
                      {static_cast<float>(ix - sp.centre), static_cast<float>(iy - sp.centre),
                       static_cast<float>(fy * kPhases + fx)});
      }
      c->count = static_cast<int>(points.size() / 3) - c->first;
    }
  }
  return true;
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
}

void GlAxesRenderer::Gl::draw_layer(int index, const QImage& image) {
  f->glActiveTexture(GL_TEXTURE0);
  f->glBindTexture(GL_TEXTURE_2D, layer_textures[index]);
  f->glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(image.bytesPerLine() / 4));
  if (layer_size[index] != image.size()) {
    f->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, image.width(), image.height(), 0, GL_BGRA,
                    GL_UNSIGNED_BYTE, image.constBits());
    layer_size[index] = image.size();
  } else {
    f->glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, image.width(), image.height(), GL_BGRA,
                       GL_UNSIGNED_BYTE, image.constBits());
  }
  f->glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  layer->bind();
  layer->setUniformValue("layer", 0);
  f->glBindVertexArray(quad_vao);
  f->glDrawArrays(GL_TRIANGLES, 0, 6);
}

void GlAxesRenderer::Gl::draw_commands(QSize size) {
  const QVector2D viewport(static_cast<float>(size.width()), static_cast<float>(size.height()));
  // Four corners per stroke piece, drawn as indexed triangles.
  const std::size_t quads = pieces.size() / 6;
  if (quads > quad_index_count) {
    std::vector<GLuint> index(6 * quads);
    for (std::size_t q = 0; q < quads; ++q) {
      const auto v = static_cast<GLuint>(4 * q);
      const GLuint corners[6] = {v, v + 1, v + 2, v, v + 2, v + 3};
      std::copy(corners, corners + 6, index.begin() + static_cast<std::ptrdiff_t>(6 * q));
    }
    f->glBindVertexArray(0);
    f->glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, quad_indices);
    f->glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(index.size() * sizeof(GLuint)),
                    index.data(), GL_STATIC_DRAW);
    quad_index_count = quads;
  }
  vertices.clear();
  vertices.reserve(28 * (pieces.size() / 6));
  for (const Command& c : commands) {
    if (!c.stroke) continue;
    const float reach = static_cast<float>(0.5 * c.width) + 1;
    for (int i = c.first; i < c.first + c.count; ++i) {
      const float* p = &pieces[static_cast<std::size_t>(6 * i)];
      float dx = p[2] - p[0], dy = p[3] - p[1];
      float len = std::sqrt(dx * dx + dy * dy);
      float ux = len > 0 ? dx / len : 1, uy = len > 0 ? dy / len : 0;
      for (int k = 0; k < 4; ++k) {
        float t = (k == 1 || k == 2) ? len + reach : -reach;
        float u = k < 2 ? -reach : reach;
        vertices.insert(vertices.end(),
                        {p[0] + ux * t - uy * u, p[1] + uy * t + ux * u, t, u, len, p[4], p[5]});
      }
    }
  }
  f->glBindBuffer(GL_ARRAY_BUFFER, stroke_vertices);
  f->glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)),
                  vertices.data(), GL_STREAM_DRAW);
  f->glBindBuffer(GL_ARRAY_BUFFER, marker_vertices);
  f->glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(points.size() * sizeof(float)),
                  points.data(), GL_STREAM_DRAW);
  f->glEnable(GL_PROGRAM_POINT_SIZE);
  f->glDepthFunc(GL_LESS);
  int run = 0;
  for (const Command& c : commands) {
    if (c.count <= 0) continue;
    if (c.stroke) {
      // Pieces of one run meet at joins and may cross: like Cairo's single
      // stroke of a path, a pixel is not painted twice by one run.  Each run
      // owns a slice of depth below the slices of the runs before it.
      if (run == kDepthSlices) {
        f->glClear(GL_DEPTH_BUFFER_BIT);
        run = 0;
      }
      const float slice = 1.0f / kDepthSlices;
      f->glEnable(GL_DEPTH_TEST);
      stroke->bind();
      stroke->setUniformValue("viewport", viewport);
      stroke->setUniformValue("half_width", static_cast<float>(0.5 * c.width));
      stroke->setUniformValue(
          "rgb", QVector3D(static_cast<float>(c.color.r), static_cast<float>(c.color.g),
                           static_cast<float>(c.color.b)));
      stroke->setUniformValue("dash_total", c.dash_total);
      stroke->setUniformValue("dash_on",
                              QVector4D(c.dash_on[0], c.dash_on[1], c.dash_on[2], c.dash_on[3]));
      stroke->setUniformValue("depth_top", 1.0f - slice * static_cast<float>(run++));
      stroke->setUniformValue("depth_span", slice);
      f->glBindVertexArray(stroke_vao);
      f->glDrawElements(
          GL_TRIANGLES, 6 * c.count, GL_UNSIGNED_INT,
          reinterpret_cast<void*>(static_cast<std::uintptr_t>(6 * c.first) * sizeof(GLuint)));
      f->glDisable(GL_DEPTH_TEST);
    } else {
      const Sprite& sp = *c.sprite;
      marker->bind();
      marker->setUniformValue("viewport", viewport);
      f->glUniform2i(marker->uniformLocation("ink_min"), sp.ink_x, sp.ink_y);
      marker->setUniformValue("ink_side", static_cast<float>(sp.ink_side));
      marker->setUniformValue("sprite_size", sp.size);
      marker->setUniformValue("atlas", 0);
      f->glActiveTexture(GL_TEXTURE0);
      f->glBindTexture(GL_TEXTURE_2D, sp.texture);
      f->glBindVertexArray(marker_vao);
      f->glDrawArrays(GL_POINTS, c.first, c.count);
    }
  }
  f->glBindVertexArray(0);
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
  // Software rasterizers draw many small primitives more slowly than
  // Cairo's marker stamping; there OpenGL is used only when asked for.
  if (setting == RendererSetting::Automatic && is_software_renderer(made->gl_renderer()))
    return nullptr;
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
  if (device.width() > g.max_size || device.height() > g.max_size || !g.make_current())
    return cairo_frame();
  if (!g.build(scene, view, axes_rect, figure_height_px, dpr)) {
    g.context->doneCurrent();
    return cairo_frame();
  }
  render_axes_into(g.under, scene, view, axes_rect, figure_height_px, dpr, false,
                   render::kUnderData);
  render_axes_into(g.over, scene, view, axes_rect, figure_height_px, dpr, false, render::kOverData);
  QOpenGLFunctions_3_3_Core& f = *g.f;
  g.ensure_framebuffer(device);
  f.glBindFramebuffer(GL_FRAMEBUFFER, g.framebuffer);
  f.glViewport(0, 0, device.width(), device.height());
  f.glDisable(GL_DEPTH_TEST);
  f.glDisable(GL_SCISSOR_TEST);
  f.glClearColor(0, 0, 0, 0);
  f.glClearDepth(1);
  f.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  // Premultiplied colours, composited the way Cairo's OVER operator does.
  f.glEnable(GL_BLEND);
  f.glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  g.draw_layer(0, g.under);
  if (scene.zoom > 1) {
    // A zoomed-in view stays inside its own rectangle.
    double left = (axes_rect.left - view.x()) * dpr;
    double top = (figure_height_px - axes_rect.bottom - axes_rect.height - view.y()) * dpr;
    int x0 = static_cast<int>(std::lround(left)), y0 = static_cast<int>(std::lround(top));
    int x1 = static_cast<int>(std::lround(left + axes_rect.width * dpr));
    int y1 = static_cast<int>(std::lround(top + axes_rect.height * dpr));
    f.glEnable(GL_SCISSOR_TEST);
    f.glScissor(x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0));
  }
  g.draw_commands(device);
  f.glDisable(GL_SCISSOR_TEST);
  g.draw_layer(1, g.over);
  QImage image(device, QImage::Format_ARGB32_Premultiplied);
  f.glPixelStorei(GL_PACK_ALIGNMENT, 4);
  f.glReadPixels(0, 0, device.width(), device.height(), GL_BGRA, GL_UNSIGNED_BYTE, image.bits());
  f.glBindFramebuffer(GL_FRAMEBUFFER, 0);
  g.context->doneCurrent();

  image.setDevicePixelRatio(dpr);
  return image;
}

}  // namespace velmora::qt

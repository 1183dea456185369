// OpenGL drawing of an axes' data between Cairo's drawing of the rest.
//
// Pixel convention: the framebuffer's rows are the image's rows (row 0 at
// the bottom of GL window space is the top row of the image), so the read
// back pixels need no flipping.  The data's points, stroke pieces and
// marker positions stay in buffers while the scene is unchanged; the vertex
// shaders map them to device pixels with the projection's matrix, so a
// turning or zooming view only changes a few uniforms each frame.
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
#include <cstring>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/qt/axes_view.hpp"
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

namespace {

using P2 = std::array<double, 2>;

// One stroke piece a-b (data coordinates less the scene's centre) as a
// rectangle reaching a pixel beyond the stroke on
// every side; the fragment shader keeps the covered share of each pixel.
// Ends joined to a neighbour piece are round (Cairo's round join), free
// ends are butt.  `local` is the position along (from a) and across the
// piece in pixels.  row_x and row_y map data to device pixels.  Six
// vertices (two triangles) per piece read the piece from buffer textures by
// their number: one plain draw, which software rasterizers handle far
// faster than instances or wide points.  The run's look (colour, width,
// dashes, depth slice) comes from a buffer too, so consecutive runs draw
// without changing uniforms, which software rasterizers pay dearly for.
const char* const kStrokeVertex = R"(#version 330 core
uniform samplerBuffer piece_data;  // a.xyz, flags; b.xyz, run
uniform samplerBuffer along_data;
uniform samplerBuffer run_data;  // rgb, half width; dash on; dash total, depth top
uniform vec4 row_x;
uniform vec4 row_y;
uniform vec2 viewport;
out vec2 local;
flat out vec3 rgb;
flat out float half_width;
flat out float dash_total;
flat out vec4 dash_on;
flat out float depth_top;
flat out float seg_len;
flat out float dash_start;
flat out float flags;
vec2 project(vec3 p) { return vec2(dot(row_x.xyz, p) + row_x.w, dot(row_y.xyz, p) + row_y.w); }
const int kCorner[6] = int[6](0, 1, 2, 2, 1, 3);
void main() {
  int i = gl_VertexID / 6, k = kCorner[gl_VertexID % 6];
  vec4 a_in = texelFetch(piece_data, 2 * i), b_in = texelFetch(piece_data, 2 * i + 1);
  int run = int(b_in.w);
  vec4 look = texelFetch(run_data, 3 * run), more = texelFetch(run_data, 3 * run + 2);
  rgb = look.rgb;
  half_width = look.a;
  dash_on = texelFetch(run_data, 3 * run + 1);
  dash_total = more.x;
  depth_top = more.y;
  float reach = half_width + 1.0;
  vec2 a = project(a_in.xyz), d = project(b_in.xyz) - a;
  float len = length(d);
  vec2 u = len > 0.0 ? d / len : vec2(1.0, 0.0);
  float t = (k & 1) != 0 ? len + reach : -reach;
  float s = (k & 2) != 0 ? reach : -reach;
  local = vec2(t, s);
  seg_len = len;
  dash_start = texelFetch(along_data, i).x;
  flags = a_in.w;
  vec2 pos = a + u * t + vec2(-u.y, u.x) * s;
  gl_Position = vec4(pos / viewport * 2.0 - 1.0, 0.0, 1.0);
}
)";
const char* const kStrokeFragment = R"(#version 330 core
uniform float depth_span;
flat in vec3 rgb;
flat in float half_width;
flat in float dash_total;
flat in vec4 dash_on;
flat in float depth_top;
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
// stamps it.  Each marker is one point, read from a buffer texture by its
// number, drawn as a square covering the inked part of the images (a point
// costs software rasterizers about half as much as two triangles).
const char* const kMarkerVertex = R"(#version 330 core
uniform samplerBuffer point_data;
uniform vec4 row_x;
uniform vec4 row_y;
uniform int centre;
uniform ivec2 ink_min;
uniform float ink_side;
uniform vec2 viewport;
uniform int sprite_size;
flat out ivec2 shift;
void main() {
  vec3 point = texelFetch(point_data, gl_VertexID).xyz;
  vec2 d = vec2(dot(row_x.xyz, point) + row_x.w, dot(row_y.xyz, point) + row_y.w);
  // Whole pixel and quarter-pixel offset, rounded as the stamper does.
  vec2 whole = floor(d);
  ivec2 at = ivec2(whole);
  ivec2 phase = ivec2((d - whole) * 4.0 + 0.5);
  if (phase.x == 4) { phase.x = 0; at.x += 1; }
  if (phase.y == 4) { phase.y = 0; at.y += 1; }
  ivec2 origin = at - ivec2(centre);
  // Image pixel = window pixel - shift, in the image for this offset.
  shift = origin - sprite_size * phase;
  vec2 middle = vec2(origin + ink_min) + 0.5 * ink_side;
  gl_Position = vec4(middle / viewport * 2.0 - 1.0, 0.0, 1.0);
  gl_PointSize = ink_side;
}
)";
// The square lies inside the marker's image, and blank texels blend to
// nothing, so every fragment simply copies its texel.
const char* const kMarkerFragment = R"(#version 330 core
uniform sampler2D atlas;
flat in ivec2 shift;
out vec4 colour;
void main() { colour = texelFetch(atlas, ivec2(gl_FragCoord.xy) - shift, 0); }
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
  bool drawn = false;  // the images, the ink square and the texture made
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
  int run = 0;  // the stroke run's number, in drawing order
  // Markers: the sprite, and the scene's lines [line_first, line_end) they
  // come from (for stamping them on the processor).
  const Sprite* sprite = nullptr;
  int line_first = 0, line_end = 0;
};

constexpr std::size_t kMaxSprites = 64;
constexpr std::size_t kSharedStamping = 20000;  // markers worth a second thread
constexpr int kDepthSlices = 4096;  // stroke runs between two clears of the depth buffer

}  // namespace

struct GlAxesRenderer::Gl {
  std::unique_ptr<QOpenGLContext> context;
  std::unique_ptr<QOffscreenSurface> surface;
  QOpenGLFunctions_3_3_Core* f = nullptr;
  std::unique_ptr<QOpenGLShaderProgram> stroke, marker;
  GLuint framebuffer = 0, colour_buffer = 0, depth_buffer = 0;
  QSize fb_size;
  GLuint data_vao = 0;  // no attributes: the shaders read buffer textures
  GLuint stroke_vertices = 0, stroke_along = 0, marker_vertices = 0;
  GLuint stroke_runs = 0;
  GLuint data_textures[4] = {0, 0, 0, 0};  // over the four buffers
  std::string renderer_name;               // GL_RENDERER
  int max_texture = 0, max_buffer_texels = 0;
  float max_point_size = 1;
  int max_size = 0;
  std::vector<std::unique_ptr<Sprite>> sprites;
  // The scene as uploaded: stroke pieces (a, b, flags: 7 floats each) and
  // marker points (3 floats each) in data coordinates less `centre`.
  std::uint64_t built_key = 0;
  bool built = false, built_ok = false, dashed = false;
  std::array<double, 3> centre{0, 0, 0};
  std::vector<float> pieces, points;
  std::vector<float> runs;  // per stroke run: rgb, half width; dash on; dash total, depth top, 0, 0
  std::vector<float> along;  // per piece: distance from its sub-path's start, for dashes
  std::vector<Command> commands;
  // Device pixel = row_x/row_y · (data − centre, 1), this frame.
  std::array<double, 4> row_x{}, row_y{};
  // Markers stamped on the processor (render::MarkerStamper, as Cairo
  // does) rather than drawn as points: software rasterizers spend about a
  // microsecond setting up each point, whatever its size.
  bool stamp_markers = false;
  std::unique_ptr<render::MarkerStamper> stampers[2];  // one a thread
  // A batch of stamped runs: each run's look, its markers, those reaching
  // the upper and the lower band of rows, and the reach of its markers.
  struct Stamped {
    render::MarkerStyle style;
    std::vector<std::array<double, 2>> centres[3];
    double reach = 0;
  };
  std::vector<Stamped> batch;
  // Two frames in turn, so the one the view still shows is not overwritten
  // and neither is made anew while the size stays.
  QImage frames[2];
  std::vector<std::uint32_t> read_back;  // the framebuffer's inked rectangle

  bool make_current() { return context->makeCurrent(surface.get()); }

  // Builds everything; on failure `why` says what is missing.
  bool init(std::string& why);
  void release();
  const Sprite& sprite(const render::MarkerStyle& device_style);
  void draw_sprite(Sprite& sprite);
  bool build(const render::AxesScene& scene, const render::Projection& proj, double dpr);
  void set_view(const render::Projection& proj, const QRect& view, double dpr);
  void ensure_framebuffer(QSize size);
  void draw_command(const Command& c, QSize size);
  void composite(QImage& image, const QRect& box);
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
  stroke = std::make_unique<QOpenGLShaderProgram>();
  marker = std::make_unique<QOpenGLShaderProgram>();
  if (!link(*stroke, kStrokeVertex, kStrokeFragment, "stroke", why) ||
      !link(*marker, kMarkerVertex, kMarkerFragment, "marker", why))
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
  context->doneCurrent();
  return true;
}

void GlAxesRenderer::Gl::release() {
  if (!f || !make_current()) return;
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

namespace {

// A fingerprint of everything the uploaded buffers depend on: the lines'
// points and looks, the limits and the pixel ratio (not the view's
// direction, zoom or place, which only change the matrix).
class Fingerprint {
 public:
  void add(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    add_bits(bits);
  }
  void add_bits(std::uint64_t bits) {
    h_ = (h_ ^ bits) * 0x100000001b3ULL;
    h_ ^= h_ >> 29;
  }
  void add(const std::vector<double>& v) {
    add_bits(v.size());
    for (double x : v) add(x);
  }
  void add(const render::Rgb& c) {
    add(c.r);
    add(c.g);
    add(c.b);
  }
  std::uint64_t value() const { return h_; }

 private:
  std::uint64_t h_ = 0xcbf29ce484222325ULL;
};

std::uint64_t fingerprint(const render::AxesScene& scene, const render::Projection& proj,
                          double dpr) {
  Fingerprint h;
  h.add(dpr);
  h.add_bits(proj.two_d() ? 1 : 0);
  for (int d = 0; d < 3; ++d) {
    h.add(proj.limit(d)[0]);
    h.add(proj.limit(d)[1]);
  }
  h.add_bits(scene.lines.size());
  for (const render::SceneLine& l : scene.lines) {
    h.add(l.x);
    h.add(l.y);
    h.add(l.z);
    h.add(l.color);
    h.add(l.line_width_pt);
    h.add_bits(static_cast<std::uint64_t>(l.style));
    h.add_bits(static_cast<std::uint64_t>(l.marker));
    h.add(l.marker_size_pt);
    h.add_bits(l.marker_face ? 1 : 0);
    if (l.marker_face) h.add(*l.marker_face);
    h.add_bits(l.marker_edge ? 1 : 0);
    if (l.marker_edge) h.add(*l.marker_edge);
  }
  return h.value();
}

}  // namespace

bool GlAxesRenderer::Gl::build(const render::AxesScene& scene, const render::Projection& proj,
                               double dpr) {
  const std::uint64_t key = fingerprint(scene, proj, dpr);
  if (built && key == built_key) return built_ok;
  built = true;
  built_key = key;
  built_ok = false;
  pieces.clear();
  runs.clear();
  points.clear();
  commands.clear();
  dashed = false;
  if (sprites.size() > kMaxSprites) {
    // Styles come and go with the figures; keep the cache small.
    for (auto& sp : sprites) f->glDeleteTextures(1, &sp->texture);
    sprites.clear();
  }
  // Coordinates relative to the middle of the limits box keep single
  // precision exact enough for data far from the origin.
  for (int d = 0; d < 3; ++d) centre[d] = 0.5 * (proj.limit(d)[0] + proj.limit(d)[1]);
  auto put = [&](std::vector<float>& to, const std::array<double, 3>& p) {
    to.insert(to.end(), {static_cast<float>(p[0] - centre[0]), static_cast<float>(p[1] - centre[1]),
                         static_cast<float>(p[2] - centre[2])});
  };
  // The images of the last scene's markers.
  for (auto& stamper : stampers) stamper = std::make_unique<render::MarkerStamper>();
  for (std::size_t line = 0; line < scene.lines.size(); ++line) {
    const render::SceneLine& l = scene.lines[line];
    if (render::draws_stroke(l)) {
      const double width = render::stroke_width_px(l);
      Command* c = commands.empty() ? nullptr : &commands.back();
      if (!c || !c->stroke || !same(c->color, l.color) || c->width != width * dpr ||
          c->style != l.style) {
        Command next;
        next.stroke = true;
        next.first = static_cast<int>(pieces.size() / 8);
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
        if (next.dash_total > 0) dashed = true;
        // Each run owns a slice of depth below the slices of the runs before
        // it (the depth buffer is cleared when the slices run out).
        next.run = static_cast<int>(runs.size() / 12);
        const float depth_top = 1.0f - static_cast<float>(next.run % kDepthSlices) / kDepthSlices;
        runs.insert(
            runs.end(),
            {static_cast<float>(l.color.r), static_cast<float>(l.color.g),
             static_cast<float>(l.color.b), static_cast<float>(0.5 * next.width), next.dash_on[0],
             next.dash_on[1], next.dash_on[2], next.dash_on[3], next.dash_total, depth_top, 0, 0});
        commands.push_back(next);
        c = &commands.back();
      }
      render::visit_stroke_pieces_3d(
          l, proj,
          [&](const std::array<double, 3>& a, const std::array<double, 3>& b, bool joined) {
            float flags = 0;
            if (joined) {
              pieces[pieces.size() - 5] += 2;  // the previous piece ends in a join
              flags = 1;
            }
            put(pieces, a);
            pieces.push_back(flags);
            put(pieces, b);
            pieces.push_back(static_cast<float>(c->run));
          });
      c->count = static_cast<int>(pieces.size() / 8) - c->first;
    }
    if (render::draws_markers(l)) {
      render::MarkerStyle s = render::marker_style(l);
      s.size_px *= dpr;
      s.line_width_px *= dpr;
      const Sprite& sp = sprite(s);
      if (!stamp_markers && (sp.ink_side > max_point_size || sp.size * kPhases > max_texture))
        return false;
      Command* c = commands.empty() ? nullptr : &commands.back();
      if (!c || c->stroke || c->sprite != &sp) {
        Command next;
        next.stroke = false;
        next.first = static_cast<int>(points.size() / 4);
        next.sprite = &sp;
        next.line_first = static_cast<int>(line);
        commands.push_back(next);
        c = &commands.back();
      }
      const std::size_t n = std::min({l.x.size(), l.y.size(), l.z.size()});
      for (std::size_t i = 0; i < n; ++i)
        if (proj.inside(l.x[i], l.y[i], l.z[i])) {
          put(points, {l.x[i], l.y[i], l.z[i]});
          points.push_back(0);
        }
      c->count = static_cast<int>(points.size() / 4) - c->first;
      c->line_end = static_cast<int>(line) + 1;
    }
  }
  along.assign(pieces.size() / 8, 0.0f);
  if (pieces.size() / 4 > static_cast<std::size_t>(max_buffer_texels) ||
      points.size() / 4 > static_cast<std::size_t>(max_buffer_texels))
    return false;
  // Never empty, so the buffer textures always have storage.
  auto upload = [&](GLuint buffer, const std::vector<float>& data, GLenum usage) {
    f->glBindBuffer(GL_TEXTURE_BUFFER, buffer);
    f->glBufferData(GL_TEXTURE_BUFFER,
                    static_cast<GLsizeiptr>(std::max<std::size_t>(4, data.size()) * sizeof(float)),
                    nullptr, usage);
    f->glBufferSubData(GL_TEXTURE_BUFFER, 0, static_cast<GLsizeiptr>(data.size() * sizeof(float)),
                       data.data());
  };
  upload(stroke_vertices, pieces, GL_STATIC_DRAW);
  upload(stroke_along, along, GL_DYNAMIC_DRAW);
  upload(marker_vertices, points, GL_STATIC_DRAW);
  upload(stroke_runs, runs, GL_STATIC_DRAW);
  f->glBindBuffer(GL_TEXTURE_BUFFER, 0);
  built_ok = true;
  return true;
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
  if (device.width() > g.max_size || device.height() > g.max_size || !g.make_current())
    return cairo_frame();
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
  for (const Command& c : g.commands)
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

  // Stamped markers go straight into the image, as the Cairo painter
  // stamps them.  Consecutive stamped runs gather in a batch; a batch of
  // many markers is shared between two threads, each stamping into its own
  // band of rows the markers that reach it: the same pixels in the same
  // order as one thread would.
  unsigned char* const bits = image.bits();
  auto stamp_band = [&](render::MarkerStamper& stamper, int list, int top, int bottom) {
    if (bottom <= top) return;
    const int stride = static_cast<int>(image.bytesPerLine());
    cairo_surface_t* band = cairo_image_surface_create_for_data(
        bits + static_cast<std::ptrdiff_t>(top) * stride, CAIRO_FORMAT_ARGB32, device.width(),
        bottom - top, stride);
    cairo_t* cr = cairo_create(band);
    cairo_translate(cr, 0, -top);
    cairo_scale(cr, dpr, dpr);
    cairo_translate(cr, -view.x(), -view.y());
    if (clipped) {
      cairo_rectangle(cr, axes_rect.left, figure_height_px - axes_rect.bottom - axes_rect.height,
                      axes_rect.width, axes_rect.height);
      cairo_clip(cr);
    }
    for (std::size_t k = 0; k < g.batch.size(); ++k)
      stamper.draw(cr, g.batch[k].style, g.batch[k].centres[list]);
    cairo_destroy(cr);
    cairo_surface_finish(band);
    cairo_surface_destroy(band);
  };
  std::size_t batch_markers = 0;
  double row_sum = 0;
  auto stamp = [&](const Command& c) {
    // One command's lines share their marker's look.
    Gl::Stamped& run = g.batch.emplace_back();
    run.style = render::marker_style(scene.lines[c.line_first]);
    run.reach = c.sprite->size + 2.0;
    for (int line = c.line_first; line < c.line_end; ++line) {
      const render::SceneLine& l = scene.lines[static_cast<std::size_t>(line)];
      if (!render::draws_markers(l)) continue;
      for (const auto& p : render::marker_centres(l, proj)) {
        run.centres[0].push_back(p);
        row_sum += (p[1] - view.y()) * dpr;
      }
    }
    batch_markers += run.centres[0].size();
  };
  auto stamp_batch = [&] {
    if (batch_markers == 0) {
      g.batch.clear();
      return;
    }
    if (batch_markers < kSharedStamping) {
      stamp_band(*g.stampers[0], 0, 0, device.height());
    } else {
      const int middle =
          std::clamp(static_cast<int>(std::lround(row_sum / static_cast<double>(batch_markers))), 0,
                     device.height());
      // Markers whose centre lies within their reach of a band.
      for (Gl::Stamped& run : g.batch)
        for (const auto& p : run.centres[0]) {
          const double row = (p[1] - view.y()) * dpr;
          if (row < middle + run.reach) run.centres[1].push_back(p);
          if (row > middle - run.reach) run.centres[2].push_back(p);
        }
      std::thread lower;
      try {
        lower = std::thread([&] { stamp_band(*g.stampers[1], 2, middle, device.height()); });
      } catch (const std::system_error&) {
        // No second thread to be had: this one stamps both bands.
        stamp_band(*g.stampers[1], 2, middle, device.height());
      }
      stamp_band(*g.stampers[0], 1, 0, middle);
      if (lower.joinable()) lower.join();
    }
    g.batch.clear();
    batch_markers = 0;
    row_sum = 0;
  };

  // Runs drawn by OpenGL gather in the framebuffer until a stamped run must
  // go over them; then they are read back and laid over the image.  Runs
  // of one colour (a stroke, a single-coloured marker) look the same laid
  // in either order, so a stamped run of the framebuffer's one colour goes
  // straight into the image.
  QOpenGLFunctions_3_3_Core& f = *g.f;
  bool pending = false, pending_mixed = false;
  render::Rgb pending_colour{0, 0, 0};
  auto flush = [&] {
    stamp_batch();
    if (!pending) return;
    g.composite(image, reach);
    pending = false;
  };
  for (const Command& c : g.commands) {
    if (c.count <= 0) continue;
    if (!c.stroke && g.stamp_markers) {
      const render::MarkerStyle style = render::marker_style(scene.lines[c.line_first]);
      const bool one_colour = !style.face || same(*style.face, style.edge);
      if (pending && (pending_mixed || !one_colour || !same(pending_colour, style.edge))) flush();
      stamp(c);
      continue;
    }
    if (reach.isEmpty()) continue;
    if (!pending) {
      if (!g.framebuffer || g.fb_size != device) {
        g.ensure_framebuffer(device);
        g.read_back.clear();
      }
      f.glBindFramebuffer(GL_FRAMEBUFFER, g.framebuffer);
      f.glViewport(0, 0, device.width(), device.height());
      f.glEnable(GL_SCISSOR_TEST);
      f.glScissor(reach.x(), reach.y(), reach.width(), reach.height());
      f.glClearColor(0, 0, 0, 0);
      f.glClearDepth(1);
      f.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
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
    if (!c.stroke || !same(c.color, pending_colour)) pending_mixed = true;
  }
  flush();
  f.glDisable(GL_SCISSOR_TEST);
  f.glBindFramebuffer(GL_FRAMEBUFFER, 0);
  g.context->doneCurrent();
  draw_axes_onto(image, scene, view, axes_rect, figure_height_px, dpr, render::kOverData);
  return image;
}

}  // namespace velmora::qt

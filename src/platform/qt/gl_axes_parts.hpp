#pragma once
// The OpenGL renderer's private parts, shared by its source files: the
// OpenGL side (gl_axes_gl.cpp, gl_axes_scene.cpp), the processor's marker
// stamping (gl_marker_stamping.cpp) and the frame loop (gl_axes_renderer.cpp).

#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions_3_3_Core>
#include <QOpenGLShaderProgram>
#include <QRect>
#include <QSize>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/qt/gl_axes_renderer.hpp"
#include "platform/qt/gl_surface.hpp"
#include "platform/render/marker.hpp"
#include "platform/render/projection.hpp"
#include "platform/render/scene.hpp"

namespace velmora::qt {

namespace gl {

using P2 = std::array<double, 2>;

inline bool same(const render::Rgb& a, const render::Rgb& b) {
  return a.r == b.r && a.g == b.g && a.b == b.b;
}

inline bool same_style(const render::MarkerStyle& a, const render::MarkerStyle& b) {
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

// Where stamped markers go in one frame: `image`, `device` pixels covering
// `view` (logical pixels of a canvas `figure_height_px` high) at `dpr`,
// clipped to the plot rectangle `axes_rect` when `clipped`.
struct StampTarget {
  QImage* image = nullptr;
  unsigned char* bits = nullptr;  // the image's pixels, taken once on the frame's thread
  QSize device;
  QRect view;
  double dpr = 1;
  bool clipped = false;
  render::Rect axes_rect;
  double figure_height_px = 0;
};

// Markers stamped on the processor straight into the frame, exactly as the
// Cairo painter stamps them.  Consecutive stamped runs gather in a batch; a
// batch of many markers is shared between two threads, each stamping into
// its own band of rows the markers that reach it: the same pixels in the
// same order as one thread would.
class MarkerStamping {
 public:
  // Drops the marker images of the last scene.
  void forget_images();
  // Adds the markers of command `c` (one look) to the batch.
  void add(const render::AxesScene& scene, const render::Projection& proj, const Command& c,
           const StampTarget& target);
  // Stamps the batch into the target's image and empties it.
  void stamp(const StampTarget& target);

 private:
  // A stamped run: its look, its markers, those reaching the upper and the
  // lower band of rows, and the reach of its markers.
  struct Stamped {
    render::MarkerStyle style;
    std::vector<P2> centres[3];
    double reach = 0;
  };
  void stamp_band(const StampTarget& target, render::MarkerStamper& stamper, int list, int top,
                  int bottom);

  std::unique_ptr<render::MarkerStamper> stampers_[2];  // one a thread
  std::vector<Stamped> batch_;
  std::size_t markers_ = 0;
  double row_sum_ = 0;  // of the markers' rows, for the bands' boundary
};

}  // namespace gl

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
  std::vector<std::unique_ptr<gl::Sprite>> sprites;
  // The scene as uploaded: stroke pieces (a, b, flags: 7 floats each) and
  // marker points (3 floats each) in data coordinates less `centre`.
  std::uint64_t built_key = 0;
  bool built = false, built_ok = false, dashed = false;
  std::array<double, 3> centre{0, 0, 0};
  std::vector<float> pieces, points;
  std::vector<float> runs;  // per stroke run: rgb, half width; dash on; dash total, depth top, 0, 0
  std::vector<float> along;  // per piece: distance from its sub-path's start, for dashes
  std::vector<gl::Command> commands;
  // Device pixel = row_x/row_y · (data − centre, 1), this frame.
  std::array<double, 4> row_x{}, row_y{};
  // Markers stamped on the processor (render::MarkerStamper, as Cairo
  // does) rather than drawn as points: software rasterizers spend about a
  // microsecond setting up each point, whatever its size.
  bool stamp_markers = false;
  gl::MarkerStamping stamping;
  // Shaded surfaces; `draft` draws a surface's coarse copy (the view turning).
  gl::SurfacePass surfaces;
  bool surfaces_ok = false, draft = false;
  // Two frames in turn, so the one the view still shows is not overwritten
  // and neither is made anew while the size stays.
  QImage frames[2];
  std::vector<std::uint32_t> read_back;  // the framebuffer's inked rectangle

  bool make_current() { return context->makeCurrent(surface.get()); }

  // Builds everything; on failure `why` says what is missing.
  bool init(std::string& why);
  void release();
  const gl::Sprite& sprite(const render::MarkerStyle& device_style);
  void draw_sprite(gl::Sprite& sprite);
  bool build(const render::AxesScene& scene, const render::Projection& proj, double dpr);
  void set_view(const render::Projection& proj, const QRect& view, double dpr);
  void ensure_framebuffer(QSize size);
  /// Binds the framebuffer, made `size` first, and clears `reach` of it to
  /// transparent and far.
  void clear_framebuffer(QSize size, const QRect& reach);
  void draw_command(const gl::Command& c, QSize size);
  void composite(QImage& image, const QRect& box);
};

}  // namespace velmora::qt

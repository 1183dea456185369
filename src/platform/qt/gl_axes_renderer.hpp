#pragma once

#include <QImage>
#include <QRect>
#include <memory>
#include <string>
#include <string_view>

#include "platform/render/scene.hpp"

namespace velmora::qt {

/// What the VELMORA_RENDERER environment variable asks of the window's 3-D
/// views: "cairo" or "opengl" (any letter case); anything else, or nothing,
/// leaves the choice to Velmora.
enum class RendererSetting { Automatic, Cairo, OpenGl };
RendererSetting renderer_setting(std::string_view setting);

/// Whether an OpenGL renderer name (GL_RENDERER) is a software rasterizer
/// such as Mesa's llvmpipe.
bool is_software_renderer(std::string_view gl_renderer);

/// Draws axes scenes with OpenGL, for 3-D views that turn smoothly under
/// the mouse however many points they hold.  The data (lines with their
/// widths, dash patterns, round joins and butt ends, and every marker) is
/// rasterized by the graphics processor from the same pixel positions the
/// Cairo painter computes (render::Projection, render::visit_stroke_pieces,
/// render::marker_centres); each marker is a texture of the Cairo-drawn
/// marker itself, or, on software rasterizers, is stamped by the processor
/// exactly as the Cairo painter stamps it.  Everything else (background,
/// grid, box, ticks, labels, texts, title) is the Cairo painter's own
/// drawing, into the same image under and over the data.
/// Lines are antialiased by their exact pixel coverage, as Cairo does, so the
/// picture looks like the exported one.  The data's points stay on the
/// graphics processor while the scene's lines, looks and limits are
/// unchanged; the shaders project them, so turning and zooming send only a
/// matrix.  Rendering happens in an offscreen framebuffer; only the part
/// the data can reach is cleared, read back and laid over Cairo's drawing,
/// in an image kept between frames that the view paints.
class GlAxesRenderer {
 public:
  ~GlAxesRenderer();
  GlAxesRenderer(const GlAxesRenderer&) = delete;
  GlAxesRenderer& operator=(const GlAxesRenderer&) = delete;

  /// A renderer with its own OpenGL 3.3 context and offscreen surface, made
  /// on the GUI thread; nullptr when none can be made, with the reason in
  /// `why`.  Destroy it before the application.
  static std::unique_ptr<GlAxesRenderer> create(std::string& why);

  /// The renderer the window's 3-D views use, made on first use, or nullptr
  /// when they draw with Cairo: VELMORA_RENDERER=cairo; no OpenGL 3.3
  /// context (said once on standard error, except on the offscreen
  /// platform).  Software OpenGL (Mesa's llvmpipe) is used too: there the
  /// markers are stamped by the processor.  Decided once; released with
  /// the application.
  static GlAxesRenderer* shared();

  /// The OpenGL renderer's name (GL_RENDERER), e.g. "llvmpipe (LLVM 15.0.6, 256 bits)".
  const std::string& gl_renderer() const;

  /// Whether markers are stamped on the processor, exactly as the Cairo
  /// painter stamps them, rather than drawn by OpenGL as points: the choice
  /// on software rasterizers, which spend about a microsecond setting up
  /// each point however small, against a few pixels' work for a stamp.
  bool stamps_markers() const;
  void set_stamps_markers(bool stamp);

  /// Whether the next frames are drafts while the view turns: a surface is
  /// drawn from its coarse copy when it has one.
  void set_draft(bool draft);

  /// The axes drawn into a transparent image covering `view` (logical pixels
  /// of a canvas `figure_height_px` high, from its top-left corner) at `dpr`
  /// device pixels per logical pixel, the plot rectangle at `axes_rect`
  /// (pixels from the canvas' bottom-left corner): the same contract as
  /// render_axes.  A scene the graphics processor cannot draw (a marker
  /// wider than the largest point sprite) is drawn with Cairo instead.
  QImage render(const render::AxesScene& scene, const QRect& view, const render::Rect& axes_rect,
                double figure_height_px, double dpr);

 private:
  struct Gl;
  explicit GlAxesRenderer(std::unique_ptr<Gl> gl);
  std::unique_ptr<Gl> gl_;
};

}  // namespace velmora::qt

#pragma once
// The OpenGL renderer's shaded surfaces: one draw of an axes' surface with a
// depth buffer, smooth normals, a head and a fill light and back faces
// darker, lit as the CPU rasterizer (render::rasterize_surface) lights it.

#include <QOpenGLFunctions_3_3_Core>
#include <QOpenGLShaderProgram>
#include <QRect>
#include <QSize>
#include <memory>

#include "platform/render/projection.hpp"
#include "platform/render/scene.hpp"
#include "platform/render/surface_raster.hpp"

namespace velmora::qt::gl {

class SurfacePass {
 public:
  /// Compiles the shaders in the current context; false when they fail.
  bool init(QOpenGLFunctions_3_3_Core* f);
  /// Frees what it made (the context current).
  void release();
  /// Draws `surface` into the bound framebuffer of `device` pixels, which
  /// shows `view` (logical pixels) at `dpr`, placed by `proj`; the surface
  /// is uploaded again only when it is another one than the last drawn.
  void draw(const std::shared_ptr<const render::SceneSurface>& surface,
            const render::Projection& proj, const QRect& view, double dpr, QSize device,
            const render::SurfaceStyle& style = {});

 private:
  QOpenGLFunctions_3_3_Core* f_ = nullptr;
  std::unique_ptr<QOpenGLShaderProgram> program_;
  GLuint vao_ = 0, vertices_ = 0, indices_ = 0;
  std::shared_ptr<const render::SceneSurface> uploaded_;  // kept, so no other takes its address
  GLsizei index_count_ = 0;
  double centre_[3] = {0, 0, 0};
  double radius_ = 1;
};

}  // namespace velmora::qt::gl

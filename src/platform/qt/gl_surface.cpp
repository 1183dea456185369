#include "platform/qt/gl_surface.hpp"

#include <Eigen/Geometry>
#include <QVector2D>
#include <QVector3D>
#include <QVector4D>
#include <algorithm>
#include <cmath>
#include <vector>

namespace velmora::qt::gl {

namespace {

// Positions less the surface's centre, normals and colours; the picture's
// rows run down, as the framebuffer's rows are the image's.
const char* const kVertex = R"(#version 330 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal_in;
layout(location = 2) in vec3 colour_in;
uniform vec2 viewport;
uniform vec4 row_x;
uniform vec4 row_y;
uniform vec3 toward;
uniform float depth_scale;
out vec3 normal;
out vec3 colour;
void main() {
  vec2 px = vec2(dot(row_x, vec4(position, 1.0)), dot(row_y, vec4(position, 1.0)));
  normal = normal_in;
  colour = colour_in;
  gl_Position = vec4(px / viewport * 2.0 - 1.0, -dot(toward, position) * depth_scale, 1.0);
}
)";

const char* const kFragment = R"(#version 330 core
in vec3 normal;
in vec3 colour;
uniform vec3 toward;
uniform vec3 fill_dir;
uniform vec4 lights;  // ambient, head, fill, specular
uniform vec2 finish;  // shininess, back
out vec4 out_colour;
void main() {
  vec3 n = normal;
  float len = length(n);
  if (len > 0.0) n /= len;
  bool back = !gl_FrontFacing;
  if (back) n = -n;
  float head = max(0.0, dot(n, toward));
  float light = lights.x + lights.y * head + lights.z * max(0.0, dot(n, fill_dir)) +
                lights.w * pow(head, finish.x);
  if (back) light *= finish.y;
  out_colour = vec4(clamp(colour * light, 0.0, 1.0), 1.0);
}
)";

}  // namespace

bool SurfacePass::init(QOpenGLFunctions_3_3_Core* f) {
  f_ = f;
  program_ = std::make_unique<QOpenGLShaderProgram>();
  if (!program_->addShaderFromSourceCode(QOpenGLShader::Vertex, kVertex) ||
      !program_->addShaderFromSourceCode(QOpenGLShader::Fragment, kFragment) || !program_->link())
    return false;
  f_->glGenVertexArrays(1, &vao_);
  f_->glGenBuffers(1, &vertices_);
  f_->glGenBuffers(1, &indices_);
  return true;
}

void SurfacePass::release() {
  if (!f_) return;
  f_->glDeleteBuffers(1, &vertices_);
  f_->glDeleteBuffers(1, &indices_);
  f_->glDeleteVertexArrays(1, &vao_);
  program_.reset();
  f_ = nullptr;
  uploaded_.reset();
}

void SurfacePass::draw(const std::shared_ptr<const render::SceneSurface>& surface,
                       const render::Projection& proj, const QRect& view, double dpr, QSize device,
                       const render::SurfaceStyle& style) {
  if (!f_ || !surface || surface->vertices.rows() == 0 || surface->triangles.rows() == 0) return;
  const render::SceneSurface& s = *surface;
  if (uploaded_ != surface) {
    for (int d = 0; d < 3; ++d) centre_[d] = 0.5 * (s.lo[std::size_t(d)] + s.hi[std::size_t(d)]);
    const Eigen::RowVector3d c(centre_[0], centre_[1], centre_[2]);
    radius_ = std::max(1e-300, (s.vertices.rowwise() - c).rowwise().norm().maxCoeff());
    const Eigen::Index n = s.vertices.rows();
    std::vector<float> data(static_cast<std::size_t>(9 * n));
    for (Eigen::Index i = 0; i < n; ++i) {
      float* p = &data[static_cast<std::size_t>(9 * i)];
      const render::Rgb k = s.colours.empty() ? style.colour : s.colours[std::size_t(i)];
      for (int d = 0; d < 3; ++d) {
        p[d] = static_cast<float>(s.vertices(i, d) - centre_[d]);
        p[3 + d] = static_cast<float>(s.normals(i, d));
      }
      p[6] = static_cast<float>(k.r), p[7] = static_cast<float>(k.g),
      p[8] = static_cast<float>(k.b);
    }
    // A surface of the same triangles (a slider step) keeps their indices.
    const bool same_triangles = uploaded_ && uploaded_->triangles.rows() == s.triangles.rows() &&
                                uploaded_->triangles == s.triangles;
    std::vector<std::uint32_t> idx;
    if (!same_triangles) {
      idx.resize(static_cast<std::size_t>(3 * s.triangles.rows()));
      for (Eigen::Index t = 0; t < s.triangles.rows(); ++t)
        for (int k = 0; k < 3; ++k)
          idx[static_cast<std::size_t>(3 * t + k)] = static_cast<std::uint32_t>(s.triangles(t, k));
    }
    f_->glBindVertexArray(vao_);
    f_->glBindBuffer(GL_ARRAY_BUFFER, vertices_);
    f_->glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data.size() * sizeof(float)),
                     data.data(), GL_STATIC_DRAW);
    for (GLuint a = 0; a < 3; ++a) {
      f_->glEnableVertexAttribArray(a);
      f_->glVertexAttribPointer(a, 3, GL_FLOAT, GL_FALSE, 9 * sizeof(float),
                                reinterpret_cast<void*>(std::size_t(3 * a) * sizeof(float)));
    }
    f_->glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices_);
    if (!same_triangles) {
      f_->glBufferData(GL_ELEMENT_ARRAY_BUFFER,
                       static_cast<GLsizeiptr>(idx.size() * sizeof(std::uint32_t)), idx.data(),
                       GL_STATIC_DRAW);
      index_count_ = static_cast<GLsizei>(idx.size());
    }
    f_->glBindVertexArray(0);
    uploaded_ = surface;
  }
  // Device pixel = row · (data − centre, 1), as the lines are placed.
  const double offset[2] = {static_cast<double>(view.x()), static_cast<double>(view.y())};
  QVector4D rows[2];
  for (int i = 0; i < 2; ++i) {
    const std::array<double, 4> r = proj.row(i);
    const double w = (r[3] + r[0] * centre_[0] + r[1] * centre_[1] + r[2] * centre_[2] - offset[i]);
    rows[i] = QVector4D(static_cast<float>(r[0] * dpr), static_cast<float>(r[1] * dpr),
                        static_cast<float>(r[2] * dpr), static_cast<float>(w * dpr));
  }
  const render::SurfaceCamera camera = render::camera_of(proj);
  const Eigen::Vector3d right = camera.up.cross(camera.toward);
  const Eigen::Vector3d fill = (camera.toward + 0.7 * camera.up - 0.6 * right).normalized();
  auto v3 = [](const Eigen::Vector3d& v) {
    return QVector3D(static_cast<float>(v(0)), static_cast<float>(v(1)), static_cast<float>(v(2)));
  };
  program_->bind();
  program_->setUniformValue("viewport", QVector2D(static_cast<float>(device.width()),
                                                  static_cast<float>(device.height())));
  program_->setUniformValue("row_x", rows[0]);
  program_->setUniformValue("row_y", rows[1]);
  program_->setUniformValue("toward", v3(camera.toward));
  program_->setUniformValue("depth_scale", static_cast<float>(1 / (1.01 * radius_)));
  program_->setUniformValue("fill_dir", v3(fill));
  program_->setUniformValue(
      "lights", QVector4D(static_cast<float>(style.ambient), static_cast<float>(style.head),
                          static_cast<float>(style.fill), static_cast<float>(style.specular)));
  program_->setUniformValue(
      "finish", QVector2D(static_cast<float>(style.shininess), static_cast<float>(style.back)));
  // A triangle turning counter-clockwise to the viewer (its normal toward
  // them) turns clockwise in rows that run down.
  f_->glFrontFace(GL_CW);
  f_->glEnable(GL_DEPTH_TEST);
  f_->glDepthFunc(GL_LESS);
  f_->glDisable(GL_BLEND);
  f_->glBindVertexArray(vao_);
  f_->glDrawElements(GL_TRIANGLES, index_count_, GL_UNSIGNED_INT, nullptr);
  f_->glBindVertexArray(0);
  f_->glDisable(GL_DEPTH_TEST);
  f_->glFrontFace(GL_CCW);
  program_->release();
}

}  // namespace velmora::qt::gl

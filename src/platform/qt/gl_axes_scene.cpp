// The scene as the OpenGL renderer keeps it: stroke pieces, marker points
// and the looks of their runs in buffers, made anew only when what they
// depend on changes.
#include <cairo.h>

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
  stamping.forget_images();
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

}  // namespace velmora::qt

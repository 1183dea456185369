// The OpenGL renderer's shader programs, as GLSL 3.30 sources.
#include "platform/qt/gl_shaders.hpp"

namespace velmora::qt::gl {

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
extern const char* const kStrokeVertex = R"(#version 330 core
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
extern const char* const kStrokeFragment = R"(#version 330 core
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
extern const char* const kMarkerVertex = R"(#version 330 core
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
extern const char* const kMarkerFragment = R"(#version 330 core
uniform sampler2D atlas;
flat in ivec2 shift;
out vec4 colour;
void main() { colour = texelFetch(atlas, ivec2(gl_FragCoord.xy) - shift, 0); }
)";

}  // namespace velmora::qt::gl

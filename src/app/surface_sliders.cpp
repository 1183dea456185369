// The sliders under the 3-D window's surface: its exaggeration and its X
// (or component score), redrawn live as they move.
#include <algorithm>
#include <cstdio>
#include <string>

#include "app/app_state.hpp"
#include "app/surface_view.hpp"
#include "app/switchyard.hpp"
#include "platform/graphics/graphics.hpp"
#include "platform/value/value.hpp"

namespace velmora::app {

using gfx::graphics;
using gfx::Handle;

namespace {

constexpr const char* kExaggerationTag = "SurfaceExaggeration";
constexpr const char* kScoreTag = "SurfaceScore";

// The slider tagged `tag` in the 3-D window, made with its label the first
// time; `row` 0 is the lower of the two.
Handle slider(Handle fig, const char* tag, int row) {
  auto& g = graphics();
  for (Handle c : g.children(fig))
    if (g.type(c) == gfx::Type::UiControl && g.get_text(c, "Tag") == tag) return c;
  const double y = 0.01 + 0.045 * row;
  const Handle label = g.create(gfx::Type::UiControl, fig,
                                {{"Style", Value("text")},
                                 {"Tag", Value(std::string(tag) + "Label")},
                                 {"Units", Value("normalized")},
                                 {"Position", Value::row({0.02, y, 0.3, 0.04})},
                                 {"HorizontalAlignment", Value("left")},
                                 {"BackgroundColor", Value::row({1, 1, 1})}});
  const Handle h = g.create(gfx::Type::UiControl, fig,
                            {{"Style", Value("slider")},
                             {"Tag", Value(tag)},
                             {"Units", Value("normalized")},
                             {"Position", Value::row({0.33, y, 0.62, 0.04})}});
  // The window's own controls: exported pictures leave them out.
  g.set_appdata(label, "NoPrint", Value(1.0));
  g.set_appdata(h, "NoPrint", Value(1.0));
  return h;
}

void set_label(Handle fig, const char* tag, const std::string& text, bool visible) {
  auto& g = graphics();
  for (Handle c : g.children(fig)) {
    if (g.type(c) != gfx::Type::UiControl) continue;
    const std::string t = g.get_text(c, "Tag");
    if (t == std::string(tag) + "Label") g.set(c, "String", Value(text));
    if (t == tag || t == std::string(tag) + "Label") g.set(c, "Visible", visible ? "on" : "off");
  }
}

std::string number(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.4g", v);
  return buf;
}

// What the sliders last showed, for their callbacks.
struct Sliders {
  analysis::SurfaceWarpParams params;
  void (*moved)(const analysis::SurfaceWarpParams&) = nullptr;
};
Sliders& sliders() {
  static Sliders s;
  return s;
}

void on_slide(Handle) {
  auto& g = graphics();
  Sliders& s = sliders();
  if (!s.moved) return;
  analysis::SurfaceWarpParams p = s.params;
  const Handle ex = g.find_tag(kExaggerationTag), sc = g.find_tag(kScoreTag);
  if (ex >= 0) p.exaggeration = g.get_number(ex, "Value");
  const Handle fig = g.figure_of(ex >= 0 ? ex : sc);
  if (sc >= 0) {
    const double v = g.get_number(sc, "Value");
    if (p.target == analysis::SurfaceTarget::Regression) {
      p.x = v;
      set_label(fig, kScoreTag, "X = " + number(v), true);
    } else {
      p.factor = v;
      set_label(fig, kScoreTag, "PC " + std::to_string(p.component) + " score " + number(v) + " SD",
                true);
    }
  }
  set_label(fig, kExaggerationTag, "Exaggeration ×" + number(p.exaggeration), true);
  if (p.target == analysis::SurfaceTarget::Component) p.factor *= p.exaggeration;
  s.moved(p);
}

}  // namespace

void show_surface_sliders(const analysis::SurfaceWarpParams& params,
                          const analysis::SurfaceWarpReport& report,
                          void (*moved)(const analysis::SurfaceWarpParams&)) {
  auto& g = graphics();
  const Handle fig = figure3d();
  using analysis::SurfaceTarget;
  const bool any = params.target != SurfaceTarget::Mean;
  const Handle ex = slider(fig, kExaggerationTag, 0), sc = slider(fig, kScoreTag, 1);
  for (Handle h : {ex, sc}) g.set_native_callback(h, "Callback", on_slide);
  Sliders& s = sliders();
  s.moved = moved;
  s.params = params;
  const double exaggeration =
      params.target == SurfaceTarget::Regression ? params.exaggeration : 1.0;
  g.set(ex, "Min", 0.0);
  g.set(ex, "Max", 4.0);
  g.set(ex, "Value", exaggeration);
  set_label(fig, kExaggerationTag, "Exaggeration ×" + number(exaggeration), any);
  if (params.target == SurfaceTarget::Regression) {
    const double lo = report.x_low, hi = std::max(report.x_high, report.x_low + 1e-12);
    g.set(sc, "Min", lo);
    g.set(sc, "Max", hi);
    g.set(sc, "Value", std::clamp(params.x, lo, hi));
    set_label(fig, kScoreTag, "X = " + number(params.x), true);
  } else {
    if (params.target == SurfaceTarget::Component) s.params.factor = params.factor;
    g.set(sc, "Min", -3.0);
    g.set(sc, "Max", 3.0);
    g.set(sc, "Value", std::clamp(params.factor, -3.0, 3.0));
    set_label(fig, kScoreTag,
              "PC " + std::to_string(params.component) + " score " + number(params.factor) + " SD",
              params.target == SurfaceTarget::Component);
  }
}

}  // namespace velmora::app

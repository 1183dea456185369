// The sliders under the 3-D window's surface: its exaggeration and its X
// (or component score), redrawn live as they move; where a move ends, the
// action that gives the same picture runs, so that the session script and
// the results log keep it.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "platform/graphics/graphics.hpp"
#include "platform/value/value.hpp"
#include "view/document.hpp"
#include "view/figure3d.hpp"
#include "view/surface_view.hpp"

namespace velmora::app {

using gfx::graphics;
using gfx::Handle;

namespace {

constexpr const char* kExaggerationTag = "SurfaceExaggeration";
constexpr const char* kScoreTag = "SurfaceScore";

// The rows of sliders, in normalized units of the figure: each this tall,
// the first this far from the bottom, one above the other.
constexpr double kRowHeight = 0.04, kRowPitch = 0.045, kFirstRow = 0.01;
// The axes' own place in a new figure (bottom, top), which the sliders push
// up by the height of their rows so that the lowest tick labels of the
// 3-D axes stay clear of them.
constexpr double kAxesBottom = 0.11, kAxesTop = 0.925;

// The slider tagged `tag` in the 3-D window, made with its label the first
// time; `row` 0 is the lower of the two.
Handle slider(Handle fig, const char* tag, int row) {
  auto& g = graphics();
  for (Handle c : g.children(fig))
    if (g.type(c) == gfx::Type::UiControl && g.get_text(c, "Tag") == tag) return c;
  const double y = kFirstRow + kRowPitch * row;
  const Handle label = g.create(gfx::Type::UiControl, fig,
                                {{"Style", Value("text")},
                                 {"Tag", Value(std::string(tag) + "Label")},
                                 {"Units", Value("normalized")},
                                 {"Position", Value::row({0.02, y, 0.3, kRowHeight})},
                                 {"HorizontalAlignment", Value("left")},
                                 {"BackgroundColor", Value::row({1, 1, 1})}});
  const Handle h = g.create(gfx::Type::UiControl, fig,
                            {{"Style", Value("slider")},
                             {"Tag", Value(tag)},
                             {"Units", Value("normalized")},
                             {"Position", Value::row({0.33, y, 0.62, kRowHeight})}});
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

// The figure's axes above the `rows` rows of sliders shown.
void make_room(Handle fig, int rows) {
  auto& g = graphics();
  const double bottom = kAxesBottom + (rows > 0 ? kFirstRow + kRowPitch * rows : 0);
  for (Handle c : g.children(fig)) {
    if (g.type(c) != gfx::Type::Axes) continue;
    Value pos = g.get(c, "Position");
    if (!pos.is_double() || pos.numel() != 4) continue;
    g.set(c, "Position", Value::row({pos(0), bottom, pos(2), kAxesTop - bottom}));
  }
}

std::string number(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.4g", v);
  return buf;
}

// A slider's value rounded to the decimal nearest its step (a thousandth of
// its range), so that labels, logs and scripts carry short numbers.
double slider_value(Handle h) {
  const auto& g = graphics();
  const double v = g.get_number(h, "Value"), lo = g.get_number(h, "Min"),
               hi = g.get_number(h, "Max"), step = (hi - lo) / 1000;
  if (!(step > 0) || !std::isfinite(v)) return v;
  const int digits = static_cast<int>(std::floor(std::log10(step)));
  // Through a power of ten held exactly: the nearest double to the decimal.
  const double unit = std::pow(10.0, std::abs(digits));
  const double r = digits >= 0 ? std::round(v / unit) * unit : std::round(v * unit) / unit;
  return r >= lo && r <= hi ? r : v;  // the ends themselves (X above 0 on the ln scale)
}

// What the sliders last showed, for their callbacks.
struct Sliders {
  analysis::SurfaceWarpParams params;
  Document* doc = nullptr;  ///< the document the sliders show
  SliderMoved moved = nullptr;
  SliderSettled settled = nullptr;
};
Sliders& sliders() {
  static Sliders s;
  return s;
}

// The target the sliders now give, their labels updated.
analysis::SurfaceWarpParams slid_params() {
  auto& g = graphics();
  analysis::SurfaceWarpParams p = sliders().params;
  const Handle ex = g.find_tag(kExaggerationTag), sc = g.find_tag(kScoreTag);
  if (ex >= 0) p.exaggeration = slider_value(ex);
  const Handle fig = g.figure_of(ex >= 0 ? ex : sc);
  if (sc >= 0 && p.target == analysis::SurfaceTarget::Regression) {
    p.x = slider_value(sc);
    set_label(fig, kScoreTag, "X = " + number(p.x), true);
  } else if (sc >= 0 && p.target == analysis::SurfaceTarget::Component) {
    p.factor = slider_value(sc);
    set_label(fig, kScoreTag,
              "PC " + std::to_string(p.component) + " score " + number(p.factor) + " SD", true);
  }
  set_label(fig, kExaggerationTag, "Exaggeration ×" + number(p.exaggeration), true);
  return p;
}

void on_slide(Handle) {
  if (sliders().moved && sliders().doc) sliders().moved(*sliders().doc, slid_params());
}

// A move has ended (the slider let go, or a step by key or click): the
// action of the same target runs, recorded and logged as any other.
void on_settle(Handle h) {
  const analysis::SurfaceWarpParams p = slid_params();
  const SliderSettled settled = sliders().settled;
  if (!settled) return;
  auto& g = graphics();
  if (g.get_text(h, "Tag") == kExaggerationTag) {
    settled("SetSurfaceExaggeration", Value::cell_row({Value(p.exaggeration)}));
  } else if (p.target == analysis::SurfaceTarget::Regression) {
    settled("SetSurfaceTarget", Value::cell_row({Value("x"), Value(p.x)}));
  } else if (p.target == analysis::SurfaceTarget::Component) {
    settled(
        "SetSurfaceTarget",
        Value::cell_row({Value("pc"), Value(static_cast<double>(p.component)), Value(p.factor)}));
  }
}

}  // namespace

void show_surface_sliders(Document& doc, const analysis::SurfaceWarpParams& params,
                          const analysis::SurfaceWarpReport& report, SliderMoved moved,
                          SliderSettled settled) {
  auto& g = graphics();
  const Handle fig = figure3d(doc);
  using analysis::SurfaceTarget;
  const bool any = params.target != SurfaceTarget::Mean;
  const bool scored =
      params.target == SurfaceTarget::Regression || params.target == SurfaceTarget::Component;
  const Handle ex = slider(fig, kExaggerationTag, 0), sc = slider(fig, kScoreTag, 1);
  for (Handle h : {ex, sc}) {
    g.set_native_callback(h, "Callback", on_slide);
    g.set_native_callback(h, "ValueChangedFcn", on_settle);
  }
  Sliders& s = sliders();
  s.doc = &doc;
  s.moved = moved;
  s.settled = settled;
  s.params = params;
  g.set(ex, "Min", 0.0);
  g.set(ex, "Max", 4.0);
  g.set(ex, "Value", params.exaggeration);
  set_label(fig, kExaggerationTag, "Exaggeration ×" + number(params.exaggeration), any);
  if (params.target == SurfaceTarget::Regression) {
    const double lo = report.x_low, hi = std::max(report.x_high, report.x_low + 1e-12);
    g.set(sc, "Min", lo);
    g.set(sc, "Max", hi);
    g.set(sc, "Value", std::clamp(params.x, lo, hi));
    set_label(fig, kScoreTag, "X = " + number(params.x), true);
  } else {
    g.set(sc, "Min", -3.0);
    g.set(sc, "Max", 3.0);
    g.set(sc, "Value", std::clamp(params.factor, -3.0, 3.0));
    set_label(fig, kScoreTag,
              "PC " + std::to_string(params.component) + " score " + number(params.factor) + " SD",
              scored);
  }
  make_room(fig, any ? (scored ? 2 : 1) : 0);
}

}  // namespace velmora::app

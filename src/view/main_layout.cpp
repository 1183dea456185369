#include "view/main_layout.hpp"

#include <algorithm>
#include <vector>

namespace velmora::app {

namespace {

constexpr const char* kDesignSize = "VelmoraDesignSize";
constexpr const char* kDesignRect = "VelmoraDesignRect";
constexpr const char* kLogShift = "VelmoraLogShift";

std::array<double, 4> rect_of(const Value& v) {
  return {v(0), v(1), v(2), v(3)};
}

}  // namespace

Anchor anchor_of(std::string_view tag) {
  if (tag == "axes1") return Anchor::kPlot;
  if (tag == "ResultsLog") return Anchor::kLog;
  if (tag == "StatusBar") return Anchor::kBottom;
  if (tag == "LogSplitter") return Anchor::kSplitter;
  return Anchor::kTopLeft;
}

std::array<double, 4> laid_out(const std::array<double, 4>& rect, Anchor anchor,
                               const std::array<double, 2>& design,
                               const std::array<double, 2>& size, double log_shift) {
  const double wider = std::max(0.0, size[0] - design[0]);
  const double taller = std::max(0.0, size[1] - design[1]);
  const double plot_extra = taller * kPlotShareOfHeight - log_shift;
  const double log_extra = taller - plot_extra;
  auto [left, bottom, width, height] = rect;
  switch (anchor) {
    case Anchor::kTopLeft:
      return {left, bottom + taller, width, height};
    case Anchor::kPlot:
      return {left, bottom + log_extra, width + wider, height + plot_extra};
    case Anchor::kLog:
      return {left, bottom, width + wider, height + log_extra};
    case Anchor::kSplitter:
      return {left, bottom + log_extra, width + wider, height};
    case Anchor::kBottom:
      return {left, bottom, width + wider, height};
  }
  return rect;
}

void install_main_layout(gfx::Handle fig) {
  gfx::Graphics& g = gfx::graphics();
  const auto& size = g.object(fig).pos_px;
  g.set_appdata(fig, kDesignSize, Value::row({size[2], size[3]}));
  for (gfx::Handle c : g.children(fig)) {
    gfx::Type t = g.type(c);
    if (t != gfx::Type::UiControl && t != gfx::Type::Axes) continue;
    // Children sized relative to the window already follow it.
    if (g.get_text(c, "Units") == "normalized") continue;
    const auto& r = g.object(c).pos_px;
    g.set_appdata(c, kDesignRect, Value::row({r[0], r[1], r[2], r[3]}));
  }
  g.set_native_callback(fig, "SizeChangedFcn", [](gfx::Handle f) { lay_out_main_window(f); });
  for (double grip : g.find_by_tag("LogSplitter")) {
    if (!g.valid(grip) || g.figure_of(grip) != fig) continue;
    g.set_native_callback(grip, "Callback", [](gfx::Handle h) { log_splitter_moved(h); });
  }
}

namespace {

// The design rectangle of the child of `fig` tagged `tag`, if it has one.
std::optional<std::array<double, 4>> design_rect(gfx::Handle fig, const char* tag) {
  gfx::Graphics& g = gfx::graphics();
  for (double h : g.find_by_tag(tag))
    if (g.valid(h) && g.figure_of(h) == fig && g.has_appdata(h, kDesignRect))
      return rect_of(g.appdata(h, kDesignRect));
  return std::nullopt;
}

double log_shift_of(gfx::Handle fig) {
  gfx::Graphics& g = gfx::graphics();
  return g.has_appdata(fig, kLogShift) ? g.appdata(fig, kLogShift)(0) : 0.0;
}

}  // namespace

void log_splitter_moved(gfx::Handle grip) {
  gfx::Graphics& g = gfx::graphics();
  const gfx::Handle fig = g.figure_of(grip);
  if (!g.has_appdata(fig, kDesignSize) || !g.has_appdata(grip, kDesignRect)) return;
  const auto& now = g.object(fig).pos_px;
  const Value d = g.appdata(fig, kDesignSize);
  const std::array<double, 2> design{d(0), d(1)}, size{now[2], now[3]};
  double shift = log_shift_of(fig);
  const std::array<double, 4> at =
      laid_out(rect_of(g.appdata(grip, kDesignRect)), Anchor::kSplitter, design, size, shift);
  shift += g.get_number(grip, "Value") - at[1];
  // The log and the plot each keep their least height.
  const auto log = design_rect(fig, "ResultsLog"), plot = design_rect(fig, "axes1");
  if (log && plot) {
    const double log_h = laid_out(*log, Anchor::kLog, design, size)[3];
    const double plot_h = laid_out(*plot, Anchor::kPlot, design, size)[3];
    shift = std::clamp(shift, kLeastLogPx - log_h,
                       std::max(kLeastLogPx - log_h, plot_h - kLeastPlotPx));
  }
  g.set_appdata(fig, kLogShift, Value(shift));
  lay_out_main_window(fig);
}

void lay_out_main_window(gfx::Handle fig) {
  gfx::Graphics& g = gfx::graphics();
  if (!g.valid(fig) || !g.has_appdata(fig, kDesignSize)) return;
  Value d = g.appdata(fig, kDesignSize);
  const std::array<double, 2> design{d(0), d(1)};
  const auto& now = g.object(fig).pos_px;
  const std::array<double, 2> size{now[2], now[3]};
  const double shift = log_shift_of(fig);
  for (gfx::Handle c : g.children(fig)) {
    if (!g.has_appdata(c, kDesignRect)) continue;
    std::array<double, 4> r = laid_out(rect_of(g.appdata(c, kDesignRect)),
                                       anchor_of(g.get_text(c, "Tag")), design, size, shift);
    Value units = g.get(c, "Units");
    g.set(c, "Units", "pixels");
    g.set(c, "Position", Value::row({r[0], r[1], r[2], r[3]}));
    g.set(c, "Units", units);
  }
}

namespace {

// Room the plot's tick labels and axis labels take left of and above its box.
constexpr double kPlotLabelsLeftPx = 74, kPlotTitlePx = 16;

}  // namespace

std::optional<gui::ScreenRect> open_area(gfx::Handle fig) {
  gfx::Graphics& g = gfx::graphics();
  std::vector<double> plot = g.find_by_tag("axes1"), log = g.find_by_tag("ResultsLog");
  auto in_fig = [&](const std::vector<double>& hs) -> const std::array<double, 4>* {
    for (double h : hs)
      if (g.valid(h) && g.figure_of(h) == fig) return &g.object(h).pos_px;
    return nullptr;
  };
  const std::array<double, 4>* p = in_fig(plot);
  if (!p) return std::nullopt;
  double left = (*p)[0] - kPlotLabelsLeftPx, bottom = 0;
  double right = (*p)[0] + (*p)[2], top = (*p)[1] + (*p)[3] + kPlotTitlePx;
  if (const std::array<double, 4>* l = in_fig(log)) {
    left = std::min(left, (*l)[0]);
    bottom = (*l)[1];
    right = std::max(right, (*l)[0] + (*l)[2]);
  }
  const auto& f = g.object(fig).pos_px;
  return gui::ScreenRect{f[0] + left, f[1] + bottom, right - left, top - bottom};
}

gui::ScreenRect beside_main_window(gfx::Handle fig, const std::array<double, 2>& want) {
  gfx::Graphics& g = gfx::graphics();
  auto s = g.backend().screen_size_px();
  Value units = g.get(fig, "Units");
  g.set(fig, "Units", "pixels");
  Value outer = g.get(fig, "OuterPosition");
  g.set(fig, "Units", units);
  const gui::ScreenRect main{outer(0), outer(1), outer(2), outer(3)};
  // Without a plot to cover, the new window may take the main window's place.
  return gui::place_beside(main, open_area(fig).value_or(main), want, {s[0], s[1]});
}

}  // namespace velmora::app

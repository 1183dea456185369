#include "gui/window_placement.hpp"

#include <algorithm>

#include "gui/arguments.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::gui {

using gfx::Handle;

namespace {

constexpr const char* kPlacementNames[] = {"north",     "south",     "east",      "west",
                                           "northeast", "southeast", "northwest", "southwest",
                                           "center",    "onscreen"};

// Extra frame added when the inner area is reported larger than the frame.
constexpr double kFrameWidthPx = 6;
constexpr double kFrameHeightPx = 24;

}  // namespace

std::array<double, 2> screen_size(std::string_view units) {
  gfx::Graphics& g = gfx::graphics();
  Value old_units = g.get(gfx::kRoot, "Units");
  g.set(gfx::kRoot, "Units", Value(units));
  Value s = g.get(gfx::kRoot, "ScreenSize");
  g.set(gfx::kRoot, "Units", old_units);
  return {s(2), s(3)};
}

bool is_placement_name(std::string_view name) {
  return std::find(std::begin(kPlacementNames), std::end(kPlacementNames), name) !=
         std::end(kPlacementNames);
}

ScreenRect place_beside(const ScreenRect& main, const ScreenRect& open,
                        const std::array<double, 2>& want, const std::array<double, 2>& screen) {
  const auto [sw, sh] = screen;
  const double height = std::min(want[1], sh);
  const double main_top = main[1] + main[3];
  const double bottom = std::clamp(main_top - height, 0.0, std::max(0.0, sh - height));
  const double right_free = sw - (main[0] + main[2]), left_free = main[0];
  if (right_free >= std::min(want[0], kMinBesideWidthPx)) {
    const double width = std::min(want[0], right_free);
    return {main[0] + main[2], bottom, width, height};
  }
  if (left_free >= std::min(want[0], kMinBesideWidthPx)) {
    const double width = std::min(want[0], left_free);
    return {main[0] - width, bottom, width, height};
  }
  // No room on either side: cover the plot, never the controls.
  const double left = std::max(0.0, open[0]), low = std::max(0.0, open[1]);
  const double right = std::min(sw, open[0] + open[2]), top = std::min(sh, open[1] + open[3]);
  const double width = std::min(want[0], std::max(0.0, right - left));
  const double tall = std::min(want[1], std::max(0.0, top - low));
  return {right - width, top - tall, width, tall};
}

void movegui(Handle fig, const Placement& where) {
  gfx::Graphics& g = gfx::graphics();
  if (const auto* name = std::get_if<std::string>(&where); name && !is_placement_name(*name))
    throw RuntimeError("unrecognized position");

  Value old_active = g.get(fig, "ActivePositionProperty");
  Value old_units = g.get(fig, "Units");
  g.set(fig, "Units", "pixels");
  Value inner = g.get(fig, "Position");
  Value outer = g.get(fig, "OuterPosition");

  auto [sw, sh] = screen_size("pixels");
  double fwidth = std::min(outer(2), sw);
  double fheight = std::min(outer(3), sh);
  double left = 0, bottom = 0;
  const double mid_x = (sw - fwidth) / 2, mid_y = (sh - fheight) / 2;
  const double right = sw - fwidth, top = sh - fheight;

  if (const auto* xy = std::get_if<std::array<double, 2>>(&where)) {
    left = (*xy)[0] < 0 ? right + (*xy)[0] : (*xy)[0];
    bottom = (*xy)[1] < 0 ? top + (*xy)[1] : (*xy)[1];
  } else {
    const std::string& n = std::get<std::string>(where);
    struct Spot {
      const char* name;
      double left, bottom;
    };
    const Spot spots[] = {
        {"north", mid_x, top}, {"south", mid_x, 0},       {"east", right, mid_y},
        {"west", 0, mid_y},    {"northeast", right, top}, {"southeast", right, 0},
        {"northwest", 0, top}, {"southwest", 0, 0},       {"center", mid_x, mid_y}};
    // "onscreen": the least move that puts the whole frame on the screen.
    left = std::clamp(outer(0), 0.0, std::max(0.0, right));
    bottom = std::clamp(outer(1), 0.0, std::max(0.0, top));
    for (const Spot& spot : spots)
      if (n == spot.name) left = spot.left, bottom = spot.bottom;
  }
  if (inner(2) > outer(2) && inner(3) > outer(3)) {
    fwidth += kFrameWidthPx;
    fheight += kFrameHeightPx;
  }
  g.set(fig, "OuterPosition", Value::row({left, bottom, fwidth, fheight}));
  g.set(fig, "Units", old_units);
  g.set(fig, "ActivePositionProperty", old_active);
}

void movegui(const ValueList& args) {
  gfx::Graphics& g = gfx::graphics();
  if (args.size() > 3) throw RuntimeError(kTooManyInputsText);
  Handle fig = -1;
  Placement where = std::string("onscreen");
  const bool in_callback = g.valid(g.callback_object());
  for (std::size_t i = 0; i < args.size(); ++i) {
    const Value& a = args[i];
    if (a.is_char()) {
      std::string name = a.to_string();
      if (!is_placement_name(name)) throw RuntimeError("unrecognized position");
      where = name;
    } else if (a.is_double() && a.numel() == 2) {
      where = std::array<double, 2>{a(0), a(1)};
    } else if (g.valid(a)) {
      fig = g.figure_of(a(0));
      if (fig < 0) throw RuntimeError("handle of figure or descendant required");
    } else if (!(i == 0 && in_callback)) {
      throw RuntimeError("unrecognized input argument");
    }
  }
  if (fig < 0) {
    Handle cbf = g.callback_figure();
    fig = g.valid(cbf) ? cbf : g.current_figure();
  }
  movegui(fig, where);
}

}  // namespace velmora::gui

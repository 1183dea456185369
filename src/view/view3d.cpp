#include "view/view3d.hpp"

#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "platform/graphics/graphics.hpp"
#include "view/document.hpp"

namespace velmora::app {

using gfx::graphics;
using gfx::Handle;

namespace {

/// The application data under which the renderer and the window keep an
/// axes' zoom.
constexpr std::string_view kZoomData = "ViewZoom";

std::optional<Handle> open_figure3d(Document& doc) {
  const auto& g = graphics();
  const std::optional<Handle>& h = doc.window.figure3d;
  if (h && g.valid(*h) && g.type(*h) == gfx::Type::Figure) return *h;
  return std::nullopt;
}

bool three_d(const Value& view) {
  return !(std::fabs(view(1) - 90) < 1e-12 && std::fabs(view(0)) < 1e-12);
}

// The figure's 3-D axes, its current axes first.
std::vector<Handle> axes3d(Handle fig) {
  const auto& g = graphics();
  std::vector<Handle> out;
  const Value current = g.get(fig, "CurrentAxes");
  if (g.valid(current) && g.type(current.to_scalar()) == gfx::Type::Axes &&
      three_d(g.get(current.to_scalar(), "View")))
    out.push_back(current.to_scalar());
  for (Handle c : g.children(fig)) {
    if (g.type(c) != gfx::Type::Axes || !three_d(g.get(c, "View"))) continue;
    if (out.empty() || out.front() != c) out.push_back(c);
  }
  return out;
}

double zoom_of(Handle ax) {
  const auto& g = graphics();
  if (!g.has_appdata(ax, kZoomData)) return 1;
  const double z = g.appdata(ax, kZoomData).to_scalar();
  return z > 0 && std::isfinite(z) ? z : 1;
}

}  // namespace

void resize_figure(Handle fig, double width, double height) {
  auto& g = graphics();
  const auto px = g.object(fig).pos_px;
  // Children in normalized units keep their share of the new size, as when
  // the user resizes the window.
  std::vector<std::pair<Handle, Value>> relative;
  for (Handle c : g.children(fig))
    if (g.has_property(c, "Units") && g.get_text(c, "Units") == "normalized" &&
        g.has_property(c, "Position"))
      relative.emplace_back(c, g.get(c, "Position"));
  const Value units = g.get(fig, "Units");
  g.set(fig, "Units", "pixels");
  g.set(fig, "Position", Value::row({px[0], px[1] + px[3] - height, width, height}));
  g.set(fig, "Units", units);
  for (auto& [c, position] : relative) g.set(c, "Position", position);
}

void capture_view3d(Document& doc) {
  const auto fig = open_figure3d(doc);
  if (!fig) return;
  auto& g = graphics();
  View3d& v = doc.window.view3d;
  const auto& px = g.object(*fig).pos_px;
  if (px[2] > 0 && px[3] > 0) v.width = px[2], v.height = px[3];
  const std::vector<Handle> axes = axes3d(*fig);
  if (axes.empty()) return;
  const Value view = g.get(axes.front(), "View");
  v.azimuth = view(0);
  v.elevation = view(1);
  v.zoom = zoom_of(axes.front());
}

void apply_view3d(Document& doc) {
  const auto fig = open_figure3d(doc);
  if (!fig) return;
  auto& g = graphics();
  const View3d& v = doc.window.view3d;
  const auto px = g.object(*fig).pos_px;
  if (px[2] != v.width || px[3] != v.height) resize_figure(*fig, v.width, v.height);
  const Value view = Value::row({v.azimuth, v.elevation});
  for (Handle ax : axes3d(*fig)) {
    const bool zoomed = zoom_of(ax) != v.zoom;
    if (!zoomed && g.get(ax, "View") == view) continue;
    // The zoom first: setting View tells the window to read both again.
    g.set_appdata(ax, kZoomData, v.zoom);
    g.set(ax, "View", view);
  }
}

}  // namespace velmora::app

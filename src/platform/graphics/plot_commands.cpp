// Plot commands: lines and texts in axes, hold, axis modes, clearing.
#include <set>
#include <string>

#include "platform/graphics/graphics.hpp"
#include "platform/render/line_spec.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::gfx {

Handle Graphics::plot(Handle ax, const std::vector<double>& x, const std::vector<double>& y,
                      const std::vector<double>& z, std::string_view line_spec, bool three_d) {
  if (type(ax) != Type::Axes) throw RuntimeError("Lines can only be plotted into axes.");
  if (x.size() != y.size() || (!z.empty() && z.size() != x.size()))
    throw RuntimeError("Vectors must be the same length.");
  render::LineSpec spec = render::parse_line_spec(line_spec);
  if (get_text(ax, "NextPlot") == "replace") {
    clear_axes(ax);
    Object& a = mut(ax);
    a.props["view"] = three_d ? Value::row({-37.5, 30}) : Value::row({0, 90});
    for (const char* m : {"xlimmode", "ylimmode", "zlimmode", "dataaspectratiomode"})
      a.props[m] = Value("auto");
  }
  PropList props = {{"XData", Value::row(x)},
                    {"YData", Value::row(y)},
                    {"ZData", z.empty() ? Value() : Value::row(z)},
                    {"LineStyle", std::string(render::line_style_name(spec.style))},
                    {"Marker", std::string(render::marker_name(spec.marker))}};
  if (spec.color)
    props.push_back({"Color", Value::row({spec.color->r, spec.color->g, spec.color->b})});
  return create(Type::Line, ax, props);
}

Handle Graphics::text(Handle ax, double x, double y, double z, const Value& string) {
  return create(Type::Text, ax, {{"Position", Value::row({x, y, z})}, {"String", string}});
}

void Graphics::hold(Handle ax, bool on) {
  set(ax, "NextPlot", on ? "add" : "replace");
}

void Graphics::axis(Handle ax, std::string_view mode) {
  std::string m = lower(mode);
  if (m == "auto") {
    set(ax, {{"XLimMode", "auto"}, {"YLimMode", "auto"}, {"ZLimMode", "auto"}});
  } else if (m == "manual") {
    set(ax, {{"XLimMode", "manual"}, {"YLimMode", "manual"}, {"ZLimMode", "manual"}});
  } else if (m == "equal") {
    set(ax, {{"DataAspectRatio", Value::row({1, 1, 1})}, {"DataAspectRatioMode", "manual"}});
  } else if (m == "normal") {
    set(ax, "DataAspectRatioMode", "auto");
  } else if (m == "on") {
    set(ax, "Visible", "on");
  } else if (m == "off") {
    set(ax, "Visible", "off");
  } else if (m == "tight") {
    set(ax, {{"XLimMode", "auto"}, {"YLimMode", "auto"}, {"ZLimMode", "auto"}});
  } else {
    throw RuntimeError("Unknown axis mode \"" + std::string(mode) + "\".");
  }
}

void Graphics::clear_axes(Handle ax) {
  if (type(ax) != Type::Axes) throw RuntimeError("cla needs an axes.");
  std::set<Handle> labels;
  for (const char* l : {"xlabel", "ylabel", "zlabel", "title"})
    labels.insert(object(ax).props.at(l)(0));
  std::vector<Handle> kids = children(ax);
  for (Handle c : kids) {
    if (labels.count(c)) continue;
    if (get_text(c, "HandleVisibility") != "on") continue;
    destroy(c);
  }
  mut(ax).surface.reset();
  // A colour bar describes what was drawn: it goes with the drawing.
  for (const char* key : {"ColorBar", "SurfaceColorBar"})
    if (has_appdata(ax, key)) set_appdata(ax, key, Value());
  touch(object(ax), "children");
}

void Graphics::set_surface(Handle ax, std::shared_ptr<const render::SceneSurface> surface) {
  if (type(ax) != Type::Axes) throw RuntimeError("A surface needs an axes.");
  mut(ax).surface = std::move(surface);
  touch(object(ax), "children");
}

void Graphics::clear_figure(Handle fig) {
  if (type(fig) != Type::Figure) throw RuntimeError("clf needs a figure.");
  std::vector<Handle> kids = children(fig);
  for (Handle c : kids) {
    if (get_text(c, "HandleVisibility") != "on") continue;
    destroy(c);
  }
  touch(object(fig), "children");
}

}  // namespace velmora::gfx

#include "platform/graphics/graphics.hpp"

#include <algorithm>
#include <cmath>
#include <set>

#include "platform/render/line_spec.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/function_table.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::gfx {

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string_view type_name(Type t) {
  switch (t) {
    case Type::Root: return "root";
    case Type::Figure: return "figure";
    case Type::Axes: return "axes";
    case Type::Line: return "line";
    case Type::Text: return "text";
    case Type::Image: return "image";
    case Type::UiControl: return "uicontrol";
    case Type::UiMenu: return "uimenu";
  }
  return "object";
}

namespace {

Value rgb(double r, double g, double b) { return Value::row({r, g, b}); }

// Properties whose values are on/off words, read back in lower case.
const std::set<std::string>& switch_props() {
  static const std::set<std::string> s = {
      "visible", "enable", "checked", "xgrid", "ygrid", "zgrid", "box", "handlevisibility",
      "nextplot", "clipping", "separator", "resize", "numbertitle", "integerhandle",
      "xlimmode", "ylimmode", "zlimmode", "dataaspectratiomode", "menubar", "toolbar",
      "windowstyle", "units", "style", "interpreter", "horizontalalignment",
      "verticalalignment", "fontweight", "fontangle", "pointer", "showhiddenhandles",
      "activepositionproperty", "linestyle", "paperpositionmode"};
  return s;
}

// Properties that are never set by the user.
const std::set<std::string>& read_only_props() {
  static const std::set<std::string> s = {"type", "children", "extent", "callbackobject"};
  return s;
}

bool is_positive_number(const Value& v) {
  return v.is_double() && v.numel() == 1 && std::isfinite(v(0)) && v(0) > 0;
}

PropList defaults_for(Type t, const Backend& backend) {
  auto screen = backend.screen_size_px();
  switch (t) {
    case Type::Root:
      return {{"Tag", ""},
              {"Units", "pixels"},
              {"CurrentFigure", Value()},
              {"ShowHiddenHandles", "off"},
              {"defaultUicontrolBackgroundColor", rgb(0.94, 0.94, 0.94)},
              {"FactoryUicontrolFontName", "DejaVu Sans"},
              {"HandleVisibility", "on"},
              {"Visible", "on"},
              {"UserData", Value()}};
    case Type::Figure:
      return {{"Tag", ""},
              {"Units", "pixels"},
              {"Name", ""},
              {"NumberTitle", "on"},
              {"Visible", "on"},
              {"Color", rgb(0.94, 0.94, 0.94)},
              {"MenuBar", "figure"},
              {"ToolBar", "auto"},
              {"WindowStyle", "normal"},
              {"HandleVisibility", "on"},
              {"KeyPressFcn", Value()},
              {"CloseRequestFcn", Value()},
              {"CurrentCharacter", Value()},
              {"CurrentAxes", Value()},
              {"Pointer", "arrow"},
              {"Resize", "on"},
              {"IntegerHandle", "on"},
              {"Colormap", Value()},
              {"FileName", ""},
              {"PaperPositionMode", "auto"},
              {"ActivePositionProperty", "outerposition"},
              {"UserData", Value()},
              {"Position", Value::row({std::floor((screen[0] - 640) / 2),
                                       std::floor((screen[1] - 560) / 2), 640, 560})}};
    case Type::Axes:
      return {{"Tag", ""},
              {"Units", "normalized"},
              {"Position", Value::row({0.13, 0.11, 0.775, 0.815})},
              {"Visible", "on"},
              {"HandleVisibility", "on"},
              {"NextPlot", "replace"},
              {"XLim", Value::row({0, 1})},
              {"YLim", Value::row({0, 1})},
              {"ZLim", Value::row({0, 1})},
              {"XLimMode", "auto"},
              {"YLimMode", "auto"},
              {"ZLimMode", "auto"},
              {"DataAspectRatio", Value::row({1, 1, 1})},
              {"DataAspectRatioMode", "auto"},
              {"View", Value::row({0, 90})},
              {"XGrid", "off"},
              {"YGrid", "off"},
              {"ZGrid", "off"},
              {"Box", "off"},
              {"Color", rgb(1, 1, 1)},
              {"FontAngle", "normal"},
              {"FontName", "DejaVu Sans"},
              {"FontSize", 10.0},
              {"FontWeight", "normal"},
              {"ButtonDownFcn", Value()},
              {"Clipping", "on"},
              {"UserData", Value()}};
    case Type::Line:
      return {{"Tag", ""},
              {"XData", Value()},
              {"YData", Value()},
              {"ZData", Value()},
              {"Color", rgb(0, 0.447, 0.741)},
              {"LineStyle", "-"},
              {"LineWidth", 0.5},
              {"Marker", "none"},
              {"MarkerSize", 6.0},
              {"MarkerFaceColor", "none"},
              {"MarkerEdgeColor", "auto"},
              {"Visible", "on"},
              {"HandleVisibility", "on"},
              {"Clipping", "on"},
              {"ButtonDownFcn", Value()},
              {"UserData", Value()}};
    case Type::Text:
      return {{"Tag", ""},
              {"String", ""},
              {"Position", Value::row({0, 0, 0})},
              {"Units", "data"},
              {"Color", rgb(0, 0, 0)},
              {"FontAngle", "normal"},
              {"FontName", "DejaVu Sans"},
              {"FontSize", 10.0},
              {"FontWeight", "normal"},
              {"HorizontalAlignment", "left"},
              {"VerticalAlignment", "middle"},
              {"Interpreter", "tex"},
              {"Visible", "on"},
              {"HandleVisibility", "on"},
              {"Clipping", "off"},
              {"UserData", Value()}};
    case Type::Image:
      return {{"Tag", ""},
              {"CData", Value()},
              {"XData", Value::row({1, 1})},
              {"YData", Value::row({1, 1})},
              {"Visible", "on"},
              {"HandleVisibility", "on"},
              {"UserData", Value()}};
    case Type::UiControl:
      return {{"Tag", ""},
              {"Style", "pushbutton"},
              {"String", ""},
              {"Value", 0.0},
              {"Min", 0.0},
              {"Max", 1.0},
              {"Enable", "on"},
              {"Units", "pixels"},
              {"Position", Value::row({20, 20, 60, 20})},
              {"Callback", Value()},
              {"BackgroundColor", rgb(0.94, 0.94, 0.94)},
              {"ForegroundColor", rgb(0, 0, 0)},
              {"FontName", "DejaVu Sans"},
              {"FontSize", 9.0},
              {"FontWeight", "normal"},
              {"FontAngle", "normal"},
              {"HorizontalAlignment", "center"},
              {"TooltipString", ""},
              {"Visible", "on"},
              {"HandleVisibility", "on"},
              {"KeyPressFcn", Value()},
              {"UserData", Value()}};
    case Type::UiMenu:
      return {{"Tag", ""},
              {"Label", ""},
              {"Callback", Value()},
              {"Checked", "off"},
              {"Enable", "on"},
              {"Separator", "off"},
              {"Accelerator", ""},
              {"Visible", "on"},
              {"HandleVisibility", "on"},
              {"UserData", Value()}};
  }
  return {};
}

// Rectangles kept in pixels and converted to the object's units.
bool is_rect_prop(Type t, std::string_view lname) {
  switch (t) {
    case Type::Root: return lname == "screensize";
    case Type::Figure: return lname == "position" || lname == "outerposition";
    case Type::Axes:
    case Type::UiControl: return lname == "position";
    default: return false;
  }
}

}  // namespace

// ----------------------------------------------------------------------------

Graphics::Graphics(std::unique_ptr<Backend> backend) : backend_(std::move(backend)) {
  Object root;
  root.type = Type::Root;
  root.handle = kRoot;
  root.parent = -1;
  apply_defaults(root);
  auto s = backend_->screen_size_px();
  root.pos_px = {0, 0, s[0], s[1]};
  objects_.emplace(kRoot, std::move(root));
}

Graphics::~Graphics() = default;

void Graphics::apply_defaults(Object& o) {
  for (auto& [name, v] : defaults_for(o.type, *backend_)) {
    std::string ln = lower(name);
    if (is_rect_prop(o.type, ln)) {
      // Default rectangles go through the unit conversion like user values;
      // the units default comes first in every list.
      set_position(o, ln, v);
    } else {
      o.props[ln] = v;
    }
  }
}

Handle Graphics::next_handle(Type t) {
  if (t == Type::Figure) {
    Handle h = 1;
    while (objects_.count(h)) h += 1;
    return h;
  }
  // Non-integer and deterministic: the same script gives the same handles.
  next_object_ += 1;
  return 1000 + next_object_ + 0.0001220703125;
}

Handle Graphics::create(Type type, Handle parent, const PropList& props) {
  if (type == Type::Root) throw RuntimeError("There is only one root object.");
  const Object& p = object(parent);
  auto parent_ok = [&] {
    switch (type) {
      case Type::Figure: return p.type == Type::Root;
      case Type::Axes: return p.type == Type::Figure;
      case Type::UiControl: return p.type == Type::Figure;
      case Type::UiMenu: return p.type == Type::Figure || p.type == Type::UiMenu;
      default: return p.type == Type::Axes;
    }
  }();
  if (!parent_ok) {
    throw RuntimeError(std::string("A ") + std::string(type_name(type)) +
                       " cannot be a child of a " + std::string(type_name(p.type)) + ".");
  }
  Object o;
  o.type = type;
  o.handle = next_handle(type);
  o.parent = parent;
  apply_defaults(o);
  Handle h = o.handle;
  objects_.emplace(h, std::move(o));
  mut(parent).children.push_back(h);

  if (type == Type::Axes) {
    for (const char* label : {"xlabel", "ylabel", "zlabel", "title"}) {
      Object t;
      t.type = Type::Text;
      t.handle = next_handle(Type::Text);
      t.parent = h;
      apply_defaults(t);
      t.props["handlevisibility"] = Value("off");
      t.props["horizontalalignment"] = Value("center");
      Handle th = t.handle;
      objects_.emplace(th, std::move(t));
      objects_.at(h).children.push_back(th);
      objects_.at(h).props[label] = Value(th);
    }
  }
  try {
    for (const auto& [name, v] : props) set_one(objects_.at(h), lower(name), v);
  } catch (...) {
    std::vector<Handle> closed;
    destroy_tree(h, closed);
    throw;
  }
  Handle fig = figure_of(h);
  if (type == Type::Figure) {
    figure_order_.push_back(h);
    objects_.at(kRoot).props["currentfigure"] = Value(h);
  } else if (type == Type::Axes) {
    mut(fig).props["currentaxes"] = Value(h);
  }
  backend_->object_created(h, fig);
  return h;
}

void Graphics::destroy_tree(Handle h, std::vector<Handle>& closed_figures) {
  auto it = objects_.find(h);
  if (it == objects_.end()) return;
  std::vector<Handle> kids = it->second.children;
  for (Handle c : kids) destroy_tree(c, closed_figures);
  Handle parent = it->second.parent;
  Type type = it->second.type;
  Handle fig = figure_of(h);
  backend_->object_deleted(h, fig);
  if (type == Type::Figure) closed_figures.push_back(h);
  objects_.erase(h);
  auto pit = objects_.find(parent);
  if (pit != objects_.end()) {
    auto& ch = pit->second.children;
    ch.erase(std::remove(ch.begin(), ch.end(), h), ch.end());
    if (pit->second.type == Type::Figure && type == Type::Axes) {
      Value& cur = pit->second.props["currentaxes"];
      if (!cur.empty() && cur.to_scalar() == h) {
        // The newest remaining axes become current.
        cur = Value();
        for (auto rit = ch.rbegin(); rit != ch.rend(); ++rit)
          if (objects_.at(*rit).type == Type::Axes) {
            cur = Value(*rit);
            break;
          }
      }
    }
  }
}

void Graphics::destroy(Handle h) {
  if (h == kRoot) throw RuntimeError("The root object cannot be deleted.");
  object(h);
  std::vector<Handle> closed;
  destroy_tree(h, closed);
  for (Handle f : closed)
    figure_order_.erase(std::remove(figure_order_.begin(), figure_order_.end(), f),
                        figure_order_.end());
  if (!closed.empty()) {
    Handle cur = figure_order_.empty() ? -1 : figure_order_.back();
    objects_.at(kRoot).props["currentfigure"] = cur < 0 ? Value() : Value(cur);
  }
}

bool Graphics::valid(Handle h) const { return objects_.count(h) != 0; }

bool Graphics::valid(const Value& v) const {
  return v.is_double() && v.numel() == 1 && valid(v(0));
}

const Object& Graphics::object(Handle h) const {
  auto it = objects_.find(h);
  if (it == objects_.end()) {
    throw RuntimeError("Invalid or deleted graphics object (handle " + format_number(h) + ").");
  }
  return it->second;
}

Object& Graphics::mut(Handle h) { return const_cast<Object&>(object(h)); }

Handle Graphics::figure_of(Handle h) const {
  while (h >= 0) {
    const Object& o = object(h);
    if (o.type == Type::Figure) return h;
    h = o.parent;
  }
  return -1;
}

std::vector<Handle> Graphics::all_objects(Handle figure) const {
  std::vector<Handle> out;
  std::function<void(Handle)> walk = [&](Handle h) {
    out.push_back(h);
    for (Handle c : object(h).children) walk(c);
  };
  walk(figure);
  return out;
}

std::vector<Handle> Graphics::figures() const { return object(kRoot).children; }

std::vector<Handle> Graphics::find_by_tag(std::string_view tag) const {
  std::vector<Handle> out;
  for (Handle f : figures())
    for (Handle h : all_objects(f))
      if (get_text(h, "Tag") == tag) out.push_back(h);
  return out;
}

Handle Graphics::find_tag(std::string_view tag) const {
  auto found = find_by_tag(tag);
  if (found.empty()) {
    throw RuntimeError("No open window holds a control tagged \"" + std::string(tag) + "\".");
  }
  return found.front();
}

// --- properties --------------------------------------------------------------

double Graphics::pixels_per_unit(std::string_view units, bool vertical) const {
  std::string u = lower(units);
  double ppi = backend_->pixels_per_inch();
  if (u == "pixels") return 1;
  if (u == "points") return ppi / 72;
  if (u == "inches") return ppi;
  if (u == "centimeters") return ppi / 2.54;
  if (u == "characters") return vertical ? ppi * 13 / 96 : ppi * 5 / 96;
  throw RuntimeError("Unknown units \"" + std::string(units) + "\".");
}

std::array<double, 2> Graphics::parent_size_px(const Object& o) const {
  if (o.type == Type::Root) return backend_->screen_size_px();
  const Object& p = object(o.parent);
  if (p.type == Type::Root) return backend_->screen_size_px();
  return {p.pos_px[2], p.pos_px[3]};
}

namespace {
// A figure's frame: the outer position adds a title bar above the inner area.
constexpr double kTitleBarPx = 24;
}  // namespace

Value Graphics::get_position(const Object& o, std::string_view which) const {
  std::array<double, 4> px = o.pos_px;
  if (o.type == Type::Root) {
    auto s = backend_->screen_size_px();
    px = {0, 0, s[0], s[1]};
  }
  if (which == "outerposition" && o.type == Type::Figure) px[3] += kTitleBarPx;
  std::string units = lower(o.props.at("units").text_or_empty());
  if (units == "normalized") {
    auto ps = parent_size_px(o);
    return Value::row({px[0] / ps[0], px[1] / ps[1], px[2] / ps[0], px[3] / ps[1]});
  }
  double fx = pixels_per_unit(units, false), fy = pixels_per_unit(units, true);
  if (o.type == Type::Root) {
    // The screen size counts from 1, as the run-time reports it.
    return Value::row({1, 1, px[2] / fx, px[3] / fy});
  }
  return Value::row({px[0] / fx, px[1] / fy, px[2] / fx, px[3] / fy});
}

void Graphics::set_position(Object& o, std::string_view which, const Value& v) {
  if (o.type == Type::Root) throw RuntimeError("The screen size cannot be set.");
  if (!v.is_double() || v.numel() != 4) {
    throw RuntimeError("Position must be a vector of four numbers [left bottom width height].");
  }
  for (double x : v.data())
    if (!std::isfinite(x)) throw RuntimeError("Position values must be finite numbers.");
  std::string units = lower(o.props.at("units").text_or_empty());
  std::array<double, 4> px;
  if (units == "normalized") {
    auto ps = parent_size_px(o);
    px = {v(0) * ps[0], v(1) * ps[1], v(2) * ps[0], v(3) * ps[1]};
  } else {
    double fx = pixels_per_unit(units, false), fy = pixels_per_unit(units, true);
    px = {v(0) * fx, v(1) * fy, v(2) * fx, v(3) * fy};
  }
  if (which == "outerposition" && o.type == Type::Figure) px[3] = std::max(0.0, px[3] - kTitleBarPx);
  o.pos_px = px;
}

Value Graphics::get(Handle h, std::string_view name) const {
  const Object& o = object(h);
  std::string ln = lower(name);
  if (ln == "type") return Value(std::string(type_name(o.type)));
  if (ln == "parent") return o.parent < 0 ? Value() : Value(o.parent);
  if (ln == "children") {
    // Newest first, without the hidden axis-label texts.
    std::vector<double> kids;
    for (auto it = o.children.rbegin(); it != o.children.rend(); ++it) {
      const Object& c = object(*it);
      if (c.type == Type::Text && o.type == Type::Axes && lower(c.props.at("handlevisibility").text_or_empty()) == "off")
        continue;
      kids.push_back(*it);
    }
    return Value::column(kids);
  }
  if (is_rect_prop(o.type, ln)) return get_position(o, ln);
  if (ln == "callbackobject" && o.type == Type::Root) {
    return callback_object_ < 0 ? Value() : Value(callback_object_);
  }
  if (ln == "extent" && (o.type == Type::UiControl || o.type == Type::Text)) {
    double size = o.props.at("fontsize").to_scalar();
    auto e = backend_->text_extent_pt(o.props.at("string").is_char()
                                          ? o.props.at("string").to_string()
                                          : std::string(),
                                      size, o.props.at("fontname").text_or_empty());
    std::string units = o.type == Type::Text ? "points" : lower(o.props.at("units").text_or_empty());
    double f = units == "normalized" ? 1 : (backend_->pixels_per_inch() / 72) /
                                               pixels_per_unit(units, false);
    return Value::row({0, 0, e[0] * f, e[1] * f});
  }
  auto it = o.props.find(ln);
  if (it == o.props.end()) {
    throw RuntimeError("There is no \"" + std::string(name) + "\" property of the " +
                       std::string(type_name(o.type)) + " object.");
  }
  return it->second;
}

std::string Graphics::get_text(Handle h, std::string_view name) const {
  Value v = get(h, name);
  return v.text_or_empty();
}

double Graphics::get_number(Handle h, std::string_view name) const {
  return get(h, name).to_scalar(name);
}

bool Graphics::has_property(Handle h, std::string_view name) const {
  const Object& o = object(h);
  std::string ln = lower(name);
  return o.props.count(ln) || ln == "type" || ln == "parent" || ln == "children" ||
         is_rect_prop(o.type, ln);
}

void Graphics::touch(const Object& o, std::string_view name) {
  backend_->property_changed(o.handle, figure_of(o.handle), name);
}

void Graphics::set_one(Object& o, std::string_view lname, Value v) {
  std::string ln(lname);
  if (read_only_props().count(ln)) {
    throw RuntimeError("The \"" + ln + "\" property of the " + std::string(type_name(o.type)) +
                       " object is read-only.");
  }
  if (ln == "parent") throw RuntimeError("Objects cannot be moved to another parent.");
  if (is_rect_prop(o.type, ln)) {
    set_position(o, ln, v);
    touch(o, ln);
    return;
  }
  auto it = o.props.find(ln);
  if (it == o.props.end()) {
    throw RuntimeError("There is no \"" + ln + "\" property of the " +
                       std::string(type_name(o.type)) + " object.");
  }
  if (v.is_char() && switch_props().count(ln)) v = Value(lower(v.to_string()));
  if (ln == "linewidth" || ln == "markersize" || ln == "fontsize") {
    if (!is_positive_number(v)) {
      std::string got = v.is_double() && v.numel() == 1 ? format_number(v(0)) : "a non-number";
      throw RuntimeError("Bad value for the \"" + std::string(ln == "linewidth" ? "LineWidth"
                                                             : ln == "markersize" ? "MarkerSize"
                                                                                  : "FontSize") +
                         "\" property: it must be a number greater than 0, not " + got + ".");
    }
  }
  if (ln == "units" && o.type != Type::Text) {
    // Changing units keeps the object where it is.
    std::string u = v.to_string();
    if (u != "normalized") pixels_per_unit(u, false);
  }
  if (ln == "handlevisibility") {
    std::string s = v.text_or_empty();
    if (s != "on" && s != "off" && s != "callback")
      throw RuntimeError("HandleVisibility must be \"on\", \"off\" or \"callback\".");
  }
  if (ln == "currentfigure" && o.type == Type::Root) {
    if (!v.empty()) {
      make_current(v.to_scalar("CurrentFigure"));
      return;
    }
  }
  if (ln == "currentaxes" && o.type == Type::Figure && !v.empty()) {
    Handle ax = v.to_scalar("CurrentAxes");
    if (!valid(ax) || type(ax) != Type::Axes || parent(ax) != o.handle)
      throw RuntimeError("CurrentAxes must be an axes of this figure.");
  }
  if ((ln == "xlim" || ln == "ylim" || ln == "zlim") && o.type == Type::Axes) {
    if (!v.is_double() || v.numel() != 2 || !(v(0) < v(1)))
      throw RuntimeError("Axis limits must be two increasing numbers.");
    o.props[ln + "mode"] = Value("manual");
  }
  it->second = std::move(v);
  touch(o, ln);
}

void Graphics::set(Handle h, std::string_view name, Value v) {
  set_one(mut(h), lower(name), std::move(v));
}

void Graphics::set(Handle h, const PropList& props) {
  for (const auto& [name, v] : props) set(h, name, v);
}

void Graphics::set_native_callback(Handle h, std::string_view name, NativeCallback fn) {
  Object& o = mut(h);
  std::string ln = lower(name);
  if (!o.props.count(ln)) {
    throw RuntimeError("There is no \"" + std::string(name) + "\" property of the " +
                       std::string(type_name(o.type)) + " object.");
  }
  o.native[ln] = std::move(fn);
  o.props[ln] = Value("<built-in>");
}

bool Graphics::has_appdata(Handle h, std::string_view name) const {
  return object(h).appdata.count(std::string(name)) != 0;
}

Value Graphics::appdata(Handle h, std::string_view name) const {
  const Object& o = object(h);
  auto it = o.appdata.find(std::string(name));
  return it == o.appdata.end() ? Value() : it->second;
}

void Graphics::set_appdata(Handle h, std::string_view name, Value v) {
  mut(h).appdata[std::string(name)] = std::move(v);
}

// --- current figure and axes ------------------------------------------------

bool Graphics::eligible_current(Handle fig) const {
  std::string hv = get_text(fig, "HandleVisibility");
  if (hv == "on") return true;
  if (hv == "callback") return callback_figure_ == fig;
  return false;
}

Handle Graphics::current_figure_or_none() const {
  for (auto it = figure_order_.rbegin(); it != figure_order_.rend(); ++it)
    if (eligible_current(*it)) return *it;
  return -1;
}

Handle Graphics::current_figure() {
  Handle f = current_figure_or_none();
  if (f >= 0) return f;
  return new_figure();
}

void Graphics::make_current(Handle fig) {
  if (!valid(fig) || type(fig) != Type::Figure)
    throw RuntimeError("Invalid figure handle " + format_number(fig) + ".");
  figure_order_.erase(std::remove(figure_order_.begin(), figure_order_.end(), fig),
                      figure_order_.end());
  figure_order_.push_back(fig);
  mut(kRoot).props["currentfigure"] = Value(fig);
  if (get_text(fig, "Visible") == "on") backend_->figure_raised(fig);
}

Handle Graphics::current_axes_or_none() const {
  Handle f = current_figure_or_none();
  if (f < 0) return -1;
  const Value& cur = object(f).props.at("currentaxes");
  if (cur.empty() || !valid(cur(0))) return -1;
  return cur(0);
}

Handle Graphics::current_axes() {
  Handle f = current_figure();
  const Value& cur = object(f).props.at("currentaxes");
  if (!cur.empty() && valid(cur(0))) return cur(0);
  return create(Type::Axes, f);
}

void Graphics::set_current_axes(Handle ax) {
  if (!valid(ax) || type(ax) != Type::Axes)
    throw RuntimeError("Invalid axes handle " + format_number(ax) + ".");
  Handle f = figure_of(ax);
  mut(f).props["currentaxes"] = Value(ax);
  make_current(f);
}

// --- callbacks ---------------------------------------------------------------

Graphics::CallbackScope::CallbackScope(Graphics& g, Handle source)
    : g_(g), old_object_(g.callback_object_), old_figure_(g.callback_figure_) {
  g_.callback_object_ = source;
  g_.callback_figure_ = g.valid(source) ? g.figure_of(source) : -1;
}

Graphics::CallbackScope::~CallbackScope() {
  g_.callback_object_ = old_object_;
  g_.callback_figure_ = old_figure_;
}

void Graphics::run_callback(Handle h, std::string_view name) {
  if (!valid(h)) return;
  const Object& o = object(h);
  std::string ln = lower(name);
  try {
    CallbackScope scope(*this, h);
    auto nit = o.native.find(ln);
    if (nit != o.native.end()) {
      NativeCallback fn = nit->second;  // the object may be deleted inside
      fn(h);
      return;
    }
    Value cb = get(h, name);
    if (cb.empty()) return;
    std::string fname;
    ValueList args;
    if (cb.is_char()) {
      fname = cb.to_string();
    } else if (cb.is_cell() && cb.numel() > 0) {
      fname = cb.at(0).to_string("callback function name");
      Handle fig = figure_of(h);
      for (std::size_t i = 1; i < cb.numel(); ++i) {
        const Value& a = cb.at(i);
        std::string token = a.text_or_empty();
        if (token == "$gcbo") {
          args.emplace_back(h);
        } else if (token == "$gcbf") {
          args.emplace_back(fig);
        } else if (token == "$guidata") {
          args.push_back(fig >= 0 ? appdata(fig, "UsedByGUIData_m") : Value());
        } else {
          args.push_back(a);
        }
      }
    } else {
      throw RuntimeError("A callback must be a function name or a cell {name, arguments...}.");
    }
    function_table().call(fname, args, 0);
  } catch (const DataRefusal& e) {
    backend_->message_box(e.what(), e.title());
  } catch (const std::exception& e) {
    console().error(e.what());
  }
}

// --- dialogs ----------------------------------------------------------------

std::optional<FilePick> Graphics::open_file_dialog(std::string_view filter,
                                                   std::string_view title) {
  auto pick = backend_->open_file_dialog(filter, title);
  if (dialog_observer_) dialog_observer_("open", pick);
  return pick;
}

std::optional<FilePick> Graphics::save_file_dialog(std::string_view filter,
                                                   std::string_view title) {
  auto pick = backend_->save_file_dialog(filter, title);
  if (dialog_observer_) dialog_observer_("save", pick);
  return pick;
}

// --- plotting ---------------------------------------------------------------

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
  if (spec.color) props.push_back({"Color", Value::row({spec.color->r, spec.color->g, spec.color->b})});
  return create(Type::Line, ax, props);
}

Handle Graphics::text(Handle ax, double x, double y, double z, const Value& string) {
  return create(Type::Text, ax, {{"Position", Value::row({x, y, z})}, {"String", string}});
}

void Graphics::hold(Handle ax, bool on) { set(ax, "NextPlot", on ? "add" : "replace"); }

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

// --- the process-wide instance ------------------------------------------------

namespace {
std::unique_ptr<Graphics>& instance() {
  static std::unique_ptr<Graphics> g;
  return g;
}
}  // namespace

Graphics& install_graphics(std::unique_ptr<Backend> backend) {
  instance().reset();
  instance() = std::make_unique<Graphics>(std::move(backend));
  return *instance();
}

Graphics& graphics() {
  if (!instance()) install_graphics(std::make_unique<HeadlessBackend>());
  return *instance();
}

HeadlessBackend* headless_backend() { return dynamic_cast<HeadlessBackend*>(&graphics().backend()); }

}  // namespace velmora::gfx

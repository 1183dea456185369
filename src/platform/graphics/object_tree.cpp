// The object tree: handles, creation with each type's defaults, deletion of
// whole branches, lookup by tag, application data, and the current figure and
// axes.
#include <algorithm>
#include <functional>
#include <string>

#include "platform/graphics/graphics.hpp"
#include "platform/graphics/property_schema.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::gfx {

std::string_view type_name(Type t) {
  switch (t) {
    case Type::Root:
      return "root";
    case Type::Figure:
      return "figure";
    case Type::Axes:
      return "axes";
    case Type::Line:
      return "line";
    case Type::Text:
      return "text";
    case Type::Image:
      return "image";
    case Type::UiControl:
      return "uicontrol";
    case Type::UiMenu:
      return "uimenu";
  }
  return "object";
}

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
    if (is_rect_property(o.type, ln)) {
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
      case Type::Figure:
        return p.type == Type::Root;
      case Type::Axes:
        return p.type == Type::Figure;
      case Type::UiControl:
        return p.type == Type::Figure;
      case Type::UiMenu:
        return p.type == Type::Figure || p.type == Type::UiMenu;
      default:
        return p.type == Type::Axes;
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

bool Graphics::valid(Handle h) const {
  return objects_.count(h) != 0;
}

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

Object& Graphics::mut(Handle h) {
  return const_cast<Object&>(object(h));
}

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

std::vector<Handle> Graphics::figures() const {
  return object(kRoot).children;
}

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

// --- application data ------------------------------------------------------

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

}  // namespace velmora::gfx

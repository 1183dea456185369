// Callbacks: a property holding a function name, a cell {name, arguments…}
// or native code, run with the callback object and figure set.
#include <exception>
#include <string>

#include "platform/graphics/graphics.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/function_table.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::gfx {

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

}  // namespace velmora::gfx

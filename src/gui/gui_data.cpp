#include "gui/gui_data.hpp"

#include "gui/names.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::gui {

using gfx::Handle;

Handle parent_figure(const Value& h) {
  gfx::Graphics& g = gfx::graphics();
  if (!g.valid(h)) return -1;
  Value cur = h;
  while (!cur.empty() && g.get_text(cur(0), "Type") != "figure") cur = g.get(cur(0), "Parent");
  return cur.empty() ? -1 : cur(0);
}

namespace {

Handle figure_or_refuse(const Value& h) {
  Handle fig = parent_figure(h);
  if (fig < 0) throw RuntimeError(kNotFigureHandleText);
  return fig;
}

}  // namespace

Value guihandles(Handle fig) {
  gfx::Graphics& g = gfx::graphics();
  Value handles;
  for (Handle h : g.all_objects(fig)) {
    Value tag = g.get(h, "Tag");
    if (tag.empty() || !isvarname(tag)) continue;
    std::string name = tag.to_string();
    if (handles.empty()) handles = Value::record();
    if (!handles.has_field(name)) {
      handles.set_field(name, Value(h));
      continue;
    }
    std::vector<double> row = handles.field(name).data();
    row.push_back(h);
    handles.set_field(name, Value::row(row));
  }
  return handles;
}

Value guihandles(const Value& h) {
  return guihandles(figure_or_refuse(h));
}

Value guihandles() {
  return guihandles(gfx::graphics().current_figure());
}

Value guidata(const Value& h) {
  return gfx::graphics().appdata(figure_or_refuse(h), kGuiDataName);
}

void guidata(const Value& h, Value data) {
  gfx::graphics().set_appdata(figure_or_refuse(h), kGuiDataName, std::move(data));
}

}  // namespace velmora::gui

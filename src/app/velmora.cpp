#include "app/velmora.hpp"

#include <algorithm>

#include "app/actions.hpp"
#include "app/loaders.hpp"
#include "app/switchyard.hpp"
#include "gui/gui_data.hpp"
#include "gui/open_figure.hpp"
#include "gui/register.hpp"
#include "io/register.hpp"
#include "platform/graphics/graphics.hpp"
#include "platform/runtime/console.hpp"
#include "plot/deformation.hpp"
#include "plot/primitives.hpp"
#include "shape/register.hpp"
#include "stats/register.hpp"
#include "tps/register.hpp"

namespace velmora::app {

const std::vector<std::string_view>& window_callbacks() {
  static const std::vector<std::string_view> names = {
      "axes1_ButtondownFcn",  "pushbutton4_Callback",  "pushbutton5_Callback",
      "ScaleBox_Callback",    "ExclusionBox_Callback", "FiveBox_Callback",
      "alphabox_Callback",    "pushbutton1_Callback",  "pushbutton2_Callback",
      "pushbutton3_Callback", "edit2_Callback",        "edit3_Callback",
      "edit4_Callback",       "edit5_Callback",        "pushbutton6_Callback",
      "pushbutton7_Callback", "edit6_Callback",        "pushbutton8_Callback",
      "edit7_Callback",       "pushbutton9_Callback",  "VarianceBox_Callback",
      "listbox1_Callback",    "pushbutton10_Callback", "pushbutton11_Callback",
      "pushbutton12_Callback", "pushbutton13_Callback", "pushbutton14_Callback",
      "pushbutton15_Callback", "BaseBox1_Callback",    "BaseBox2_Callback",
      "pushbutton16_Callback", "pushbutton17_Callback", "RangeBox_Callback",
      "PCALabel_Callback",    "pushbutton21_Callback", "pushbutton22_Callback",
      "pushbutton23_Callback", "edit12_Callback",      "listbox2_Callback",
      "edit13_Callback"};
  return names;
}

namespace {

ValueList open_main_window(int nargout) {
  auto& g = gfx::graphics();
  gfx::Handle fig = gui::openfig("Velmora", "reuse");
  g.set(fig, "Color", g.get(gfx::kRoot, "defaultUicontrolBackgroundColor"));
  gui::guidata(Value(fig), gui::guihandles(fig));
  if (nargout >= 1) return {Value(fig)};
  return {};
}

}  // namespace

ValueList velmora(const ValueList& args, int nargout) {
  if (args.empty()) return open_main_window(nargout);
  if (!args[0].is_char()) return {};
  std::string name = args[0].to_string();
  ValueList rest(args.begin() + 1, args.end());
  try {
    const auto& cbs = window_callbacks();
    if (std::find(cbs.begin(), cbs.end(), name) != cbs.end()) {
      // The control's name, then which of its callbacks this is.
      auto cut = name.rfind('_');
      console().line(name.substr(0, cut) + " " + name.substr(cut + 1) + " not implemented yet.");
      return {};
    }
    return call_by_name(name, rest, nargout);
  } catch (const std::exception& e) {
    console().error(e.what());
    return {};
  }
}

void register_all_functions() {
  FunctionTable& t = function_table();
  t.add({"Velmora", velmora, kAny, kAny});
  register_switchyard(t);
  register_loader_functions(t);
  register_export_functions(t);
  gui::register_gui_functions(t);
  io::register_io_functions(t);
  plot::register_plot_functions(t);
  plot::register_deformation_functions(t);
  shape::register_shape_functions(t);
  tps::register_tps_functions(t);
  stats::register_stats_functions(t);
}

}  // namespace velmora::app

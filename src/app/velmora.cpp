#include "app/velmora.hpp"

#include <algorithm>
#include <filesystem>
#include <set>

#include "app/actions.hpp"
#include "app/batch.hpp"
#include "app/inputs.hpp"
#include "app/switchyard.hpp"
#include "app/workspace.hpp"
#include "bindings/io_functions.hpp"
#include "bindings/shape_functions.hpp"
#include "bindings/stats_functions.hpp"
#include "bindings/tps_functions.hpp"
#include "core/file_bytes.hpp"
#include "core/shown_text.hpp"
#include "gui/gui_data.hpp"
#include "gui/layout_file.hpp"
#include "gui/open_figure.hpp"
#include "gui/register.hpp"
#include "gui/window_placement.hpp"
#include "platform/graphics/graphics.hpp"
#include "platform/runtime/console.hpp"
#include "plot/deformation.hpp"
#include "plot/plot_calls.hpp"
#include "plot/primitives.hpp"
#include "view/display_style.hpp"
#include "view/figure_export.hpp"
#include "view/loaders.hpp"
#include "view/main_layout.hpp"
#include "view/main_window.hpp"

namespace velmora::app {

const std::vector<std::string_view>& window_callbacks() {
  static const std::vector<std::string_view> names = {
      "axes1_ButtondownFcn",   "pushbutton4_Callback",  "pushbutton5_Callback",
      "ScaleBox_Callback",     "ExclusionBox_Callback", "FiveBox_Callback",
      "alphabox_Callback",     "pushbutton1_Callback",  "pushbutton2_Callback",
      "pushbutton3_Callback",  "edit2_Callback",        "edit3_Callback",
      "edit4_Callback",        "edit5_Callback",        "pushbutton6_Callback",
      "pushbutton7_Callback",  "edit6_Callback",        "pushbutton8_Callback",
      "edit7_Callback",        "pushbutton9_Callback",  "VarianceBox_Callback",
      "listbox1_Callback",     "pushbutton10_Callback", "pushbutton11_Callback",
      "pushbutton12_Callback", "pushbutton13_Callback", "pushbutton14_Callback",
      "pushbutton15_Callback", "BaseBox1_Callback",     "BaseBox2_Callback",
      "pushbutton16_Callback", "pushbutton17_Callback", "RangeBox_Callback",
      "PCALabel_Callback",     "pushbutton21_Callback", "pushbutton22_Callback",
      "pushbutton23_Callback", "edit12_Callback",       "listbox2_Callback",
      "edit13_Callback"};
  return names;
}

const std::vector<std::string_view>& required_tags() {
  static const std::vector<std::string_view> tags = [] {
    std::vector<std::string_view> t = {
        "FileBox",    "WireBox",     "GroupBox",    "RotX",         "RotZ",       "LinearButton",
        "LnButton",   "DotCheck",    "ArrowHeads",  "NoArrowHeads", "Density10",  "Density20",
        "Density30",  "Density50",   "RefSquare",   "RefDiamond",   "RefCircle",  "RefPlus",
        "Line1Red",   "Line1Black",  "Line1Dotted", "Weight5",      "Weight10",   "Weight15",
        "Weight20",   "Weight25",    "TestStatus",  "axes1",        "ResultsLog", "StatusBar",
        "RecentNone", "RecentFile1", "RecentFile8"};
    // Every input control.
    for (const InputControl& c : input_controls()) t.push_back(c.tag);
    return t;
  }();
  return tags;
}

void check_main_layout(gfx::Handle fig) {
  auto& g = gfx::graphics();
  const std::string path = g.get_text(fig, "FileName");
  std::set<std::string> tags, actions;
  for (gfx::Handle h : g.all_objects(fig)) {
    if (g.has_property(h, "Tag")) tags.insert(g.get_text(h, "Tag"));
    if (!g.has_property(h, "Callback")) continue;
    const Value cb = g.get(h, "Callback");
    if (cb.is_cell() && cb.numel() >= 2 && cb.at(0).text_or_empty() == "velmorasw")
      actions.insert(cb.at(1).text_or_empty());
  }
  std::string missing;
  for (std::string_view tag : required_tags())
    if (!tags.count(std::string(tag))) {
      missing = "no control is tagged \"" + std::string(tag) + "\"";
      break;
    }
  if (missing.empty()) {
    for (const ActionSpec& a : action_table())
      if (!actions.count(std::string(a.name))) {
        missing = "no control or menu runs the action \"" + std::string(a.name) + "\"";
        break;
      }
  }
  if (missing.empty()) return;
  g.destroy(fig);
  throw gui::LayoutError("Layout file \"" + path + "\": " + missing +
                         "; the main window needs it.");
}

namespace {

/// Says on the console which layout file a new main window came from when
/// it is not the installed one, so that a stray copy in the working folder
/// cannot go unnoticed.
void announce_layout(const std::string& used) {
  namespace fs = std::filesystem;
  const std::string installed = gui::installed_layout("Velmora.fig");
  std::error_code ec;
  if (!installed.empty() && fs::equivalent(used, installed, ec)) return;
  const std::string absolute = fs::absolute(used, ec).lexically_normal().string();
  console().line("Using the layout file \"" + (ec ? used : absolute) + "\"" +
                 (installed.empty() || !fs::exists(installed, ec)
                      ? std::string(" (no layout is installed beside the program).")
                      : ", not the installed \"" + installed + "\"."));
}

ValueList open_main_window(int nargout) {
  Workspace& ws = workspace();
  auto& g = gfx::graphics();
  const std::size_t windows = g.figures().size();
  gfx::Handle fig = gui::openfig("Velmora", "reuse");
  if (g.figures().size() > windows) {
    check_main_layout(fig);
    announce_layout(g.get_text(fig, "FileName"));
    // A new main window starts in the top-left corner, leaving the rest of
    // the screen to the 3D window beside it.
    gui::movegui(fig, std::string("northwest"));
    install_main_layout(fig);
    show_recent_files(ws);
  }
  g.set(fig, "Color", g.get(gfx::kRoot, "defaultUicontrolBackgroundColor"));
  // The menus show the display settings as they are, not as the layout
  // file was saved.
  sync_display_menus(ws);
  // Buttons that need data greyed, the start hint and the log's placeholder.
  sync_main_controls(ws);
  show_results_log(ws);
  gui::guidata(Value(fig), gui::guihandles(fig));
  connect_inputs(ws, fig);
  if (nargout >= 1) return {Value(fig)};
  return {};
}

}  // namespace

namespace {

// The window callback or the function named by args[0], with the others.
ValueList call_named(const std::string& name, const ValueList& rest, int nargout) {
  const auto& cbs = window_callbacks();
  if (std::find(cbs.begin(), cbs.end(), name) != cbs.end()) {
    // The control's name, then which of its callbacks this is.
    auto cut = name.rfind('_');
    console().line(name.substr(0, cut) + " " + name.substr(cut + 1) + " not implemented yet.");
    return {};
  }
  return call_by_name(name, rest, nargout);
}

}  // namespace

ValueList velmora(const ValueList& args, int nargout) {
  if (args.empty()) return open_main_window(nargout);
  if (!args[0].is_char()) return {};
  try {
    return call_named(args[0].to_string(), ValueList(args.begin() + 1, args.end()), nargout);
  } catch (const std::exception& e) {
    console().error(e.what());
    return {};
  }
}

const std::vector<std::string>& function_order() {
  static const std::vector<std::string> order = {
      "Velmora",
      "velmorasw",
      "CopyBigImage",
      "CopyBigImageNA",
      "guidata",
      "guihandles",
      "openfig",
      "cla",
      "clf",
      "fcdf",
      "getWilkslambda",
      "getfprocon3",
      "getpdistance3",
      "getpproc3",
      "getpw3d",
      "grid",
      "incrementlinethickness",
      "incrementsymbolsize",
      "mfload",
      "mfloadtxt",
      "msgboxd",
      "normcdf",
      "pcaref3d",
      "plotpw3d",
      "regstuf",
      "rotate3da",
      "setlinethickness",
      "setsymbolfill",
      "showshape3D",
      "vertxy3D",
      "wire3d",
      "x1y1z1",
      "xlabel",
      "ylabel",
      "zlabel",
      "isvarname",
      "movegui",
      "chi2cdf",
      "distchck",
      "fullprocrustes3",
      "centsize3Da",
      "partialprocrustes3a",
      "lmatrix3da",
      "dload",
      "defimppw3",
      "disvec3d",
      "iskeyword",
      "gamcdf",
      "svdrot2",
  };
  return order;
}

ValueList command_line_call(const ValueList& args) {
  if (args.empty() || !args[0].is_char()) return velmora(args, 1);
  const std::string name = args[0].to_string();
  const FunctionSpec* spec = find_by_name(name);
  return call_named(name, ValueList(args.begin() + 1, args.end()),
                    spec && spec->nargout == 0 ? 0 : 1);
}

void register_all_functions() {
  FunctionTable& t = function_table();
  t.set_order(function_order());
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

namespace {

bool ends_with_any(const std::string& name, std::initializer_list<const char*> ends) {
  const std::string lower = lower_text(name);
  for (const char* e : ends)
    if (lower.ends_with(e)) return true;
  return false;
}

bool is_script(const std::string& path) {
  return ends_with_any(path, {".velmora"});
}

bool is_markup(const std::string& path) {
  return ends_with_any(path, {".fcsv", ".mrk.json"});
}

}  // namespace

bool names_a_file(const std::string& argument) {
  std::error_code ec;
  if (std::filesystem::is_regular_file(argument, ec)) return true;
  return ends_with_any(
      argument, {".velmora", ".txt", ".tps", ".nts", ".fcsv", ".json", ".csv", ".tsv", ".tab"});
}

void open_in_window(const std::vector<std::string>& paths, gfx::Handle main) {
  auto& g = gfx::graphics();
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const std::string& path = paths[i];
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
      g.backend().message_box("Cannot open \"" + shown_name(path) + "\": there is no such file.",
                              "File not opened");
      return;
    }
    if (!g.valid(main)) return;
    if (is_script(path)) {
      if (run_script_in_window(path, main) != kBatchOk) return;
      continue;
    }
    // Consecutive markup files are one sample, as chosen together.
    std::vector<std::string> files{path};
    while (is_markup(path) && i + 1 < paths.size() && is_markup(paths[i + 1]))
      files.push_back(paths[++i]);
    for (const std::string& f : files) {
      const std::filesystem::path p = std::filesystem::absolute(f);
      g.queue_file_answer({{p.parent_path().string() + "/", p.filename().string()}});
    }
    g.make_current(main);
    gfx::Graphics::CallbackScope scope(g, main);
    const ActionReport r = run_action(workspace(), Value("LoadData"), Value());
    g.clear_queued_answers();
    if (r.outcome != Outcome::Done) return;
  }
}

}  // namespace velmora::app

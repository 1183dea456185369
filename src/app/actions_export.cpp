// Figure export: the 3D figure to the clipboard, to EPS or to any picture
// format, and enlarged copies of the current axes.
#include <string>

#include "app/actions.hpp"
#include "app/app_state.hpp"
#include "app/main_window.hpp"
#include "app/switchyard.hpp"
#include "platform/graphics/graphics.hpp"
#include "app/session.hpp"
#include "io/result_files.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "platform/runtime/safe_file.hpp"

namespace velmora::app {

using gfx::graphics;
using gfx::Handle;

void actions::copy_d_clipboard(const Value&) {
  graphics().print(*state().figure3d, {"-dmeta"});
  show_status("Copied the 3D figure to the clipboard (SVG and PNG)");
}

void actions::copy_d_eps(const Value&) {
  auto& g = graphics();
  auto pick = g.save_file_dialog("*.eps", "Save File Name for EPS file");
  if (!pick) return;
  g.print(*state().figure3d, {"-depsc"}, pick->folder + pick->name);
  show_status("Saved the 3D figure as EPS: " + pick->path());
}

void actions::export_figure(const Value&) {
  auto& g = graphics();
  auto pick = g.save_file_dialog("*.png;*.svg;*.pdf;*.eps", "Export 3D Figure");
  if (!pick) return;
  std::string name = pick->name;
  auto dot = name.find_last_of('.');
  std::string ext = dot == std::string::npos ? "" : gfx::lower(name.substr(dot + 1));
  std::vector<std::string> options;
  if (ext == "png") {
    options = {"-dpng", "-r300"};
  } else if (ext == "svg") {
    options = {"-dsvg"};
  } else if (ext == "pdf") {
    options = {"-dpdf"};
  } else if (ext == "eps") {
    options = {"-depsc"};
  } else {
    refuse("\"" + name + "\" has no picture extension: end the name with .png, .svg, .pdf or .eps.",
           "Export 3D Figure");
  }
  g.print(*state().figure3d, options, pick->path());
  show_status("Exported the 3D figure: " + pick->path());
}

namespace {

// Enlarges the current axes to fill its figure (10 units from the lower-left
// corner, 120 narrower and 100 lower than the figure), copies the figure
// without its controls to the clipboard, and puts the axes back – also when
// the copy fails.
void copy_big_image(bool equal) {
  auto& g = graphics();
  Handle fig = g.current_figure();
  Handle ax = g.current_axes();
  Value old_position = g.get(ax, "Position");
  Value old_units = g.get(ax, "Units");
  Value fig_position = g.get(fig, "Position");
  struct Restore {
    gfx::Graphics& g;
    Handle ax, fig;
    Value units, position;
    ~Restore() {
      if (!g.valid(ax)) return;
      g.set(ax, "Units", units);
      g.set(ax, "Position", position);
      if (g.valid(fig)) g.make_current(fig);
    }
  } restore{g, ax, fig, old_units, old_position};
  g.set(ax, "Units", g.get(fig, "Units"));
  g.set(ax, "Position",
        Value::row({10, 10, fig_position(2) - 120, fig_position(3) - 100}));
  g.axis(ax, "auto");
  if (equal) g.axis(ax, "equal");
  g.print(fig, {"-noui", "-dmeta"});
}

NamedFunction copier(bool equal) {
  return [equal](const ValueList&, int) {
    copy_big_image(equal);
    show_status("Copied the enlarged plot to the clipboard (SVG and PNG)");
    return ValueList{};
  };
}

}  // namespace

void register_export_functions(FunctionTable& table) {
  table.add({"CopyBigImage", copier(true), 1, 0});
  table.add({"CopyBigImageNA", copier(false), 1, 0});
}

void actions::save_session_script(const Value&) {
  auto pick = graphics().save_file_dialog("*.txt", "Save Session Script");
  if (!pick) return;
  std::string text = session().script();
  try {
    write_file_safely(pick->path(), text);
  } catch (const std::exception& e) {
    refuse(e.what(), "Session script not saved");
  }
  show_status("Saved session script: " + pick->path());
}

}  // namespace velmora::app

// Figure export: the 3D figure to the clipboard, to EPS or to any picture
// format, and enlarged copies of the current axes.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "app/actions.hpp"
#include "app/script_recorder.hpp"
#include "app/switchyard.hpp"
#include "app/workspace.hpp"
#include "core/file_bytes.hpp"
#include "io/result_files.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "platform/runtime/safe_file.hpp"
#include "view/figure_export.hpp"
#include "view/main_window.hpp"

namespace velmora::app {

void actions::copy_d_clipboard(Workspace& ws, const Value&) {
  print_picture(ws, Pictured::Figure3d, {"-dmeta"});
  show_status("Copied the 3D figure to the clipboard (SVG and PNG)");
}

void actions::copy_d_eps(Workspace& ws, const Value&) {
  auto pick = ask_save_file("*.eps", "Save File Name for EPS file");
  if (!pick) return;
  print_picture(ws, Pictured::Figure3d, {"-depsc"}, pick->folder + pick->name);
  show_status("Saved the 3D figure as EPS: " + pick->path());
}

namespace {

// The print options of an export of `what` to `pick`; a size asked in the
// export dialog is recorded as the action's argument, and a cancelled
// dialog leaves no step in the session script.  nullopt: cancelled.
std::optional<std::vector<std::string>> export_options_for(Workspace& ws, Pictured what,
                                                           const Value& size,
                                                           const gfx::FilePick& pick,
                                                           const std::string& title) {
  ExportChoice choice = export_choice(ws, what, size, pick, title);
  if (choice.cancelled) {
    ws.recorder.drop_step();
    return std::nullopt;
  }
  if (choice.asked) ws.recorder.record_argument(script_word(*choice.asked));
  return std::move(choice.options);
}

}  // namespace

void actions::export_figure(Workspace& ws, const Value& size) {
  auto pick = ask_save_file("*.png;*.svg;*.pdf;*.eps", "Export 3D Figure");
  if (!pick) return;
  const auto options = export_options_for(ws, Pictured::Figure3d, size, *pick, "Export 3D Figure");
  if (!options) return;
  print_picture(ws, Pictured::Figure3d, *options, pick->path());
  show_status("Exported the 3D figure: " + pick->path());
}

// The main window's plot to a picture file, enlarged as Copy Plot Enlarged
// copies it; a plot drawn with equal units (the principal component
// scatter) keeps them.
void actions::export_plot(Workspace& ws, const Value& size) {
  if (main_plot_empty())
    refuse("There is no plot to export: draw one first (Plot Procrustes Distance or Show PCA).",
           "Export Plot");
  auto pick = ask_save_file("*.png;*.svg;*.pdf;*.eps", "Export Plot");
  if (!pick) return;
  const auto options = export_options_for(ws, Pictured::Plot, size, *pick, "Export Plot");
  if (!options) return;
  print_picture(ws, Pictured::Plot, *options, pick->path());
  show_status("Exported the plot: " + pick->path());
}

void actions::save_session_script(Workspace& ws, const Value&) {
  auto pick = ask_save_file("*.txt", "Save Session Script");
  if (!pick) return;
  std::string text = ws.recorder.script();
  try {
    write_file_safely(pick->path(), text);
  } catch (const std::exception& e) {
    refuse(e.what(), "Session script not saved");
  }
  show_status("Saved session script: " + pick->path());
}

}  // namespace velmora::app

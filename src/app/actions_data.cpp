// Loading the landmark, X and wireframe files; drawing the sample; turning
// the reference.
#include <Eigen/Core>
#include <cmath>
#include <filesystem>

#include "app/actions.hpp"
#include "app/script_recorder.hpp"
#include "app/script_text.hpp"
#include "app/switchyard.hpp"
#include "app/workspace.hpp"
#include "core/file_bytes.hpp"
#include "core/shown_text.hpp"
#include "io/landmark_file.hpp"
#include "io/landmark_import.hpp"
#include "io/list_files.hpp"
#include "io/text_matrix.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "platform/runtime/safe_file.hpp"
#include "shape/types.hpp"
#include "view/display_style.hpp"
#include "view/figure3d.hpp"
#include "view/loaders.hpp"
#include "view/main_window.hpp"
#include "view/places.hpp"
#include "view/recent_files.hpp"
#include "view/shown_shapes.hpp"

namespace velmora::app::actions {

namespace {

// The chosen files as the window names them: "a.fcsv", "a.fcsv, b.fcsv", or
// the first and the last with the count; control bytes escaped, so that a
// name never breaks a line of the file box or the log.
std::string chosen_names(const std::vector<gfx::FilePick>& picks) {
  const auto name = [&](std::size_t i) { return shown_name(picks[i].name); };
  if (picks.size() == 1) return name(0);
  if (picks.size() == 2) return name(0) + ", " + name(1);
  return name(0) + " … " + name(picks.size() - 1) + " (" + std::to_string(picks.size()) + " files)";
}

// Makes X the independent variable, as Load X List does: the session checks
// the count and computes the scores before anything changes; then the
// reference can no longer be turned.
void take_x(Workspace& ws, analysis::SetXParams params) {
  WindowState& s = ws.window;
  const analysis::SetXReport r = ws.session.set_x(std::move(params));
  show_x_source(ws);
  allow_rotation(ws, false);
  // The scores depend on the sample alone: computed again, they are the ones
  // saved before.
  if (r.scores_new) s.scores_unsaved = true;
}

}  // namespace

namespace {

// Reads, superimposes and shows the landmark file(s) `picks`: the 3D window
// (reused when it is open) shows the new reference and the main window's
// plot is emptied, so no picture of the previous sample stays.
void load_landmark_files(Workspace& ws, const std::vector<gfx::FilePick>& picks,
                         gfx::Handle main_window) {
  WindowState& s = ws.window;
  // One file of any format the importers know (chosen by extension and
  // checked by content), or several one-specimen markup files.
  std::vector<std::string> paths;
  for (const gfx::FilePick& p : picks) paths.push_back(p.path());
  io::ImportedSample imported = io::import_landmark_selection(paths);
  const std::string shown = chosen_names(picks);
  // The independent variable and the results of the previous sample do not
  // describe this one; the reference may be turned again until new scores.
  const analysis::LoadSampleReport r = ws.session.load_sample({std::move(imported), shown});
  for (const std::string& note : r.notes) console().line(note);

  s.main_window = main_window;
  show_data_box(ws);
  s.display = DisplaySettings{};
  show_x_source(ws);
  allow_rotation(ws, true);
  // A new sample: what the status line said of the last one is gone.
  show_status("Loaded " + std::to_string(r.specimens) + " specimens of " +
              std::to_string(r.landmarks) + " landmarks from " + shown + ".");
  if (!r.wire_note.empty()) show_wire_box("No Wireframe Loaded");
  clear_main_plot();
  show_new_reference(ws);
  if (!r.semilandmark_note.empty()) console().line(r.semilandmark_note);
  if (!r.pairs_note.empty()) console().line(r.pairs_note);
  if (!r.wire_note.empty()) {
    console().line(r.wire_note);
    show_message_box(r.wire_note, "Wireframe removed");
  }
}

// The loaded file's full path, as the recent-files list keeps it: the
// dialog's folder is the working folder by now.
std::string absolute_path(const gfx::FilePick& pick) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(pick.path(), ec);
  return ec ? pick.path() : p.lexically_normal().string();
}

}  // namespace

// Every loader reads and checks its file completely, and computes what
// depends on it, before it replaces anything: a refused or failed load leaves
// the state, the controls and the figures as they were.
void load_data(Workspace& ws, const Value&) {
  const gfx::Handle main_window = current_window();
  const std::vector<gfx::FilePick> picks = pick_files_to_load("*.*");
  if (picks.empty()) return;
  load_landmark_files(ws, picks, main_window);
  // A selection of several markup files is not one file to open again.
  if (picks.size() == 1) remember_recent_file(ws, absolute_path(picks.front()));
}

void open_recent(Workspace& ws, const Value& fpass) {
  const gfx::Handle main_window = current_window();
  const double slot = fpass.is_double() && fpass.numel() == 1 ? fpass(0) : 0;
  std::string path;
  if (slot >= 1 && slot <= static_cast<double>(kRecentFiles) && slot == std::floor(slot)) {
    path = recent_file_in_menu(static_cast<int>(slot));
  }
  if (path.empty()) {
    refuse("There is no recent file in place " + shown_text(script_argument(fpass)) +
           " of File > Recent Files.");
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    forget_recent_file(ws, path);
    refuse("The file \"" + shown_name(path) +
               "\" is no longer there; it was taken off the recent files. Use Load Landmarks "
               "to find it.",
           "Recent file missing");
  }
  const auto slash = path.find_last_of('/');
  const gfx::FilePick pick{path.substr(0, slash + 1), path.substr(slash + 1)};
  enter_folder(pick);
  note_opened_input(path);
  load_landmark_files(ws, {pick}, main_window);
  remember_recent_file(ws, path);
  // A replay loads the same file through the dialog.
  ws.recorder.record_as("LoadData", "open " + quote_script_text(path));
}

void load_x_list(Workspace& ws, const Value&) {
  auto pick = pick_file_to_load("*.*");
  if (!pick) return;
  io::TextMatrix x = io::load_x_list(pick->path());
  take_x(ws,
         {analysis::XSource::File, x.matrix().col(0),
          shown_name(std::filesystem::path(pick->path()).stem().string()), shown_name(pick->name)});
}

void use_label_as_x(Workspace& ws, const Value&) {
  const std::vector<std::string> names = ws.session.label_names();
  std::size_t at = 0;
  if (names.size() > 1) {
    const auto chosen =
        choose_from_list("Use Label as X", "Which label is the independent variable X?", names);
    if (!chosen) return;
    at = *chosen;
  }
  analysis::SetXParams params;
  params.source = analysis::XSource::Label;
  params.label = at;
  take_x(ws, std::move(params));
}

void load_wire_frame(Workspace& ws, const Value&) {
  auto pick = pick_file_to_load("*.txt");
  if (!pick) return;
  const analysis::WireframeReport r =
      ws.session.set_wireframe({io::load_wire_list(pick->path()), pick->path(), pick->name});
  if (!r.note.empty()) console().line(r.note);
  show_wire_box(shown_name(pick->name) + ", " + std::to_string(r.wires) +
                (r.wires == 1 ? " wire" : " wires"));
}

namespace {

// Turns reference and sample a quarter turn about `axis` and redraws.
void turn_reference(Workspace& ws, analysis::Axis axis) {
  ws.session.rotate({axis});
  echo("ans", redraw_reference_in_current_axes(ws));
}

}  // namespace

void rotate_ref_x(Workspace& ws, const Value&) {
  turn_reference(ws, analysis::Axis::X);
}

void rotate_ref_z(Workspace& ws, const Value&) {
  turn_reference(ws, analysis::Axis::Z);
}

void show_procrustes(Workspace& ws, const Value&) {
  draw_procrustes_fit(ws);
}

void show_mean(Workspace& ws, const Value&) {
  draw_mean_shape(ws);
}

}  // namespace velmora::app::actions

// Loading the landmark, X and wireframe files; drawing the sample; turning
// the reference.
#include <Eigen/Core>
#include <cmath>
#include <filesystem>

#include "app/actions.hpp"
#include "app/display_style.hpp"
#include "app/loaders.hpp"
#include "app/main_window.hpp"
#include "app/recent_files.hpp"
#include "app/script_recorder.hpp"
#include "app/script_text.hpp"
#include "app/shown_shapes.hpp"
#include "app/switchyard.hpp"
#include "app/workspace.hpp"
#include "core/file_bytes.hpp"
#include "core/shown_text.hpp"
#include "io/landmark_file.hpp"
#include "io/landmark_import.hpp"
#include "io/list_files.hpp"
#include "io/text_matrix.hpp"
#include "platform/runtime/cformat.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "platform/runtime/safe_file.hpp"
#include "plot/primitives.hpp"
#include "shape/types.hpp"

namespace velmora::app::actions {

using gfx::graphics;

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
  auto& g = graphics();
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
  g.set(control("FileBox"), "String",
        cformat("File: %s \\n %3.0f Specimens \\n %3.0f Landmarks",
                {shown, static_cast<double>(r.specimens), static_cast<double>(r.landmarks)}));
  s.display = DisplaySettings{};
  show_x_source(ws);
  allow_rotation(ws, true);
  // A new sample: what the status line said of the last one is gone.
  show_status("Loaded " + std::to_string(r.specimens) + " specimens of " +
              std::to_string(r.landmarks) + " landmarks from " + shown + ".");
  if (!r.wire_note.empty()) g.set(control("WireBox"), "String", "No Wireframe Loaded");
  clear_main_plot();
  const std::optional<gfx::Handle>& open3d = s.figure3d;
  if (open3d && g.valid(*open3d) && g.type(*open3d) == gfx::Type::Figure) {
    g.clear_figure(*open3d);
    g.make_current(*open3d);
  } else {
    g.make_current(new_figure3d(ws));
  }
  draw_reference(ws);
  if (!r.wire_note.empty()) {
    console().line(r.wire_note);
    g.backend().message_box(r.wire_note, "Wireframe removed");
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
  const gfx::Handle main_window = graphics().current_figure();
  const std::vector<gfx::FilePick> picks = pick_files_to_load("*.*");
  if (picks.empty()) return;
  load_landmark_files(ws, picks, main_window);
  // A selection of several markup files is not one file to open again.
  if (picks.size() == 1) remember_recent_file(ws, absolute_path(picks.front()));
}

void open_recent(Workspace& ws, const Value& fpass) {
  auto& g = graphics();
  const gfx::Handle main_window = g.current_figure();
  const double slot = fpass.is_double() && fpass.numel() == 1 ? fpass(0) : 0;
  std::string path;
  if (slot >= 1 && slot <= static_cast<double>(kRecentFiles) && slot == std::floor(slot)) {
    const Value kept =
        g.get(control("RecentFile" + std::to_string(static_cast<int>(slot))), "UserData");
    path = kept.text_or_empty();
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
    const auto chosen = graphics().list_dialog("Use Label as X",
                                               "Which label is the independent variable X?", names);
    if (!chosen) return;
    at = *chosen;
  }
  analysis::SetXParams params;
  params.source = analysis::XSource::Label;
  params.label = at;
  take_x(ws, std::move(params));
}

void load_wire_frame(Workspace& ws, const Value&) {
  auto& g = graphics();
  auto pick = pick_file_to_load("*.txt");
  if (!pick) return;
  const analysis::WireframeReport r =
      ws.session.set_wireframe({io::load_wire_list(pick->path()), pick->path(), pick->name});
  if (!r.note.empty()) console().line(r.note);
  g.set(control("WireBox"), "String",
        shown_name(pick->name) + ", " + std::to_string(r.wires) +
            (r.wires == 1 ? " wire" : " wires"));
}

namespace {

// Turns reference and sample a quarter turn about `axis` and redraws.
void turn_reference(Workspace& ws, analysis::Axis axis) {
  auto& g = graphics();
  ws.session.rotate({axis});
  gfx::Handle ax = g.current_axes();
  g.clear_axes(ax);
  echo("ans", Value(ax));
  draw_reference(ws);
}

}  // namespace

void rotate_ref_x(Workspace& ws, const Value&) {
  turn_reference(ws, analysis::Axis::X);
}

void rotate_ref_z(Workspace& ws, const Value&) {
  turn_reference(ws, analysis::Axis::Z);
}

namespace {

// The mean shape in the reference symbol, with the wireframe, on top of
// everything drawn before.
void draw_mean_on_top(Workspace& ws) {
  const WindowState& s = ws.window;
  const shape::Config& ref = ws.session.superimposition()->reference();
  if (ws.session.wires())
    assign_role(plot::wire3d(ref, *ws.session.wires(), "k-"), role::kReferenceWire, "");
  const std::vector<gfx::Handle> points = plot::showshape3D(ref, s.display.reference_symbol);
  assign_role(points, role::kMean, "Mean shape");
  mark_shown_shape(points, ref, "Mean shape");
}

}  // namespace

void show_procrustes(Workspace& ws, const Value&) {
  auto& g = graphics();
  const shape::Stack& fitted = ws.session.superimposition()->fitted();
  // The figure shows this display alone: nothing of an earlier one stays,
  // in the plot or in its legend.
  g.clear_figure(g.current_figure());
  const std::vector<std::string>& names = ws.session.sample().names;
  for (Eigen::Index i = 0; i < fitted.n(); ++i) {
    const shape::Config specimen = fitted.slice(i);
    std::vector<gfx::Handle> drawn = plot::showshape3D(specimen, "bo");
    assign_role(drawn, role::kSpecimen, i == 0 ? "Specimens" : "");
    // Saved under its own name: the legend names them all at once.
    mark_shown_shape(drawn, specimen, names[static_cast<std::size_t>(i)]);
    g.set(drawn.front(), "UserData", Value(static_cast<double>(i)));
  }
  draw_mean_on_top(ws);
  style_figure3d(ws);
}

void show_mean(Workspace& ws, const Value&) {
  auto& g = graphics();
  g.clear_figure(g.current_figure());
  // The wireframe goes first into the new axes: they keep every line and
  // show the 3-D view from the start.
  const gfx::Handle ax = g.current_axes();
  g.hold(ax, true);
  g.set(ax, "View", Value::row({ws.window.view3d.azimuth, ws.window.view3d.elevation}));
  draw_mean_on_top(ws);
  style_figure3d(ws);
}

}  // namespace velmora::app::actions

// Loading the landmark, X and wireframe files; drawing the sample; turning
// the reference.
#include <Eigen/Core>
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "app/actions.hpp"
#include "app/app_state.hpp"
#include "app/display_style.hpp"
#include "app/loaders.hpp"
#include "app/main_window.hpp"
#include "app/recent_files.hpp"
#include "app/script_text.hpp"
#include "app/session.hpp"
#include "app/superimpose.hpp"
#include "app/switchyard.hpp"
#include "bindings/numeric_calls.hpp"
#include "core/file_bytes.hpp"
#include "io/landmark_file.hpp"
#include "io/landmark_import.hpp"
#include "io/list_files.hpp"
#include "io/row_layout.hpp"
#include "io/text_matrix.hpp"
#include "platform/runtime/cformat.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "plot/primitives.hpp"
#include "shape/procrustes.hpp"
#include "shape/rotation.hpp"
#include "shape/types.hpp"
#include "tps/scores.hpp"
#include "tps/warp_basis.hpp"

namespace velmora::app::actions {

using gfx::graphics;

/// The thin-plate spline basis of the loaded sample's reference: computed
/// once, then kept with the sample until its reference changes.
std::shared_ptr<const tps::WarpBasis> current_basis() {
  Sample& s = *state().sample;
  if (!s.basis) {
    s.basis =
        std::make_shared<const tps::WarpBasis>(tps::thin_plate_basis(s.reference, console_note()));
  }
  return s.basis;
}

/// The scores of the loaded sample on its reference: computed once, then
/// kept with the sample until its reference or specimens change.
std::shared_ptr<const Eigen::MatrixXd> current_scores() {
  Sample& s = *state().sample;
  if (!s.scores) {
    const auto basis = current_basis();
    s.scores =
        std::make_shared<const Eigen::MatrixXd>(tps::warp_scores(*basis, s.reference, s.fitted));
  }
  return s.scores;
}

namespace {

// The largest landmark number that the loaded wireframe joins (0 without one).
Eigen::Index wire_landmarks_needed() {
  const AppState& s = state();
  if (!s.wires || s.wires->rows() == 0 || s.wires->cols() < 3) return 0;
  return static_cast<Eigen::Index>(s.wires->middleCols(1, 2).maxCoeff());
}

// The chosen files as the window names them: "a.fcsv", "a.fcsv, b.fcsv", or
// the first and the last with the count; control bytes escaped, so that a
// name never breaks a line of the file box or the log.
std::string chosen_names(const std::vector<gfx::FilePick>& picks) {
  const auto name = [&](std::size_t i) { return shown_name(picks[i].name); };
  if (picks.size() == 1) return name(0);
  if (picks.size() == 2) return name(0) + ", " + name(1);
  return name(0) + " … " + name(picks.size() - 1) + " (" + std::to_string(picks.size()) + " files)";
}

// Makes `x` the independent variable, as Load X List does: the count is
// checked and the scores computed before anything changes; then the
// reference can no longer be turned.
// `name` is what axes call X (a file's stem or a label's name), `source` what
// the X slot shows.
void take_x(Eigen::VectorXd x, const std::string& name, const std::string& source) {
  AppState& s = state();
  if (x.size() != s.sample->specimens()) {
    refuse(
        "There was a mismatch in the number of specimens and the number of independent "
        "variable values.  Recheck the files and reload");
  }
  // A sample of three landmarks has no spline basis, but X serves the tests
  // that need none; those that do refuse with the reason.
  const bool spline = s.sample->landmarks() >= tps::kMinBasisLandmarks;
  auto scores = spline ? current_scores() : nullptr;
  replace_x(std::move(x), name, source);
  allow_rotation(false);
  if (!spline) return;
  // The scores depend on the sample alone: computed again, they are the ones
  // saved before.
  if (!s.scores) s.scores_unsaved = true;
  s.scores = std::move(scores);
}

}  // namespace

namespace {

// Reads, superimposes and shows the landmark file(s) `picks`: the 3D window
// (reused when it is open) shows the new reference and the main window's
// plot is emptied, so no picture of the previous sample stays.
void load_landmark_files(const std::vector<gfx::FilePick>& picks, gfx::Handle main_window) {
  auto& g = graphics();
  AppState& s = state();
  // One file of any format the importers know (chosen by extension and
  // checked by content), or several one-specimen markup files.
  std::vector<std::string> paths;
  for (const gfx::FilePick& p : picks) paths.push_back(p.path());
  io::ImportedSample imported = io::import_landmark_selection(paths);
  const std::string shown = chosen_names(picks);
  const Eigen::MatrixXd& rows = imported.rows;
  const auto n = static_cast<std::size_t>(rows.rows()), c = static_cast<std::size_t>(rows.cols()),
             k = c / 3;
  shape::Stack stack(static_cast<Eigen::Index>(k), static_cast<Eigen::Index>(n),
                     io::rows_to_stack(n, c, {rows.data(), n * c}));
  SuperimposedSample fit = superimpose_sample(std::move(stack));
  for (const std::string& note : imported.notes) console().line(note);
  const Eigen::Index wires_need = wire_landmarks_needed();

  s.main_window = main_window;
  s.sample = Sample{shown,
                    std::move(imported.rows),
                    std::move(fit.fitted),
                    std::move(fit.reference),
                    std::move(imported.names),
                    std::move(imported.labels),
                    {},
                    {},
                    std::move(fit.note)};
  g.set(control("FileBox"), "String",
        cformat("File: %s \\n %3.0f Specimens \\n %3.0f Landmarks",
                {shown, static_cast<double>(n), (static_cast<double>(c) - 1) / 3}));
  s.display = DisplaySettings{};
  s.ln_scale = false;
  // The independent variable and the results of the previous sample do not
  // describe this one; the reference may be turned again until new scores.
  s.x.reset();
  s.x_name.clear();
  s.scores.reset();
  s.regression.reset();
  show_x_source();
  allow_rotation(true);
  std::string wire_note;
  if (wires_need > static_cast<Eigen::Index>(k)) {
    wire_note = "The wireframe needs " + std::to_string(wires_need) +
                " landmarks; this sample has " + std::to_string(k) + ": wireframe removed.";
  } else if (s.wires && s.wire_landmarks != 0 && s.wire_landmarks != static_cast<Eigen::Index>(k)) {
    // A wireframe belongs to its landmark scheme, even where its numbers fit.
    wire_note = "The wireframe was loaded for samples of " + std::to_string(s.wire_landmarks) +
                " landmarks; this sample has " + std::to_string(k) + ": wireframe removed.";
  }
  if (!wire_note.empty()) {
    s.wires.reset();
    g.set(control("WireBox"), "String", "No Wireframe Loaded");
  }
  s.wire_landmarks = s.wires ? static_cast<Eigen::Index>(k) : 0;
  clear_main_plot();
  const std::optional<gfx::Handle>& open3d = s.figure3d;
  if (open3d && g.valid(*open3d) && g.type(*open3d) == gfx::Type::Figure) {
    g.clear_figure(*open3d);
    g.make_current(*open3d);
  } else {
    g.make_current(new_figure3d());
  }
  draw_reference();
  if (!wire_note.empty()) {
    console().line(wire_note);
    g.backend().message_box(wire_note, "Wireframe removed");
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
void load_data(const Value&) {
  const gfx::Handle main_window = graphics().current_figure();
  const std::vector<gfx::FilePick> picks = pick_files_to_load("*.*");
  if (picks.empty()) return;
  load_landmark_files(picks, main_window);
  // A selection of several markup files is not one file to open again.
  if (picks.size() == 1) remember_recent_file(absolute_path(picks.front()));
}

void open_recent(const Value& fpass) {
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
    refuse("There is no recent file in place " + script_argument(fpass) +
           " of File > Recent Files.");
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    forget_recent_file(path);
    refuse("The file \"" + path +
               "\" is no longer there; it was taken off the recent files. Use Load Landmarks "
               "to find it.",
           "Recent file missing");
  }
  const auto slash = path.find_last_of('/');
  const gfx::FilePick pick{path.substr(0, slash + 1), path.substr(slash + 1)};
  enter_folder(pick);
  load_landmark_files({pick}, main_window);
  remember_recent_file(path);
  // A replay loads the same file through the dialog.
  session().record_as("LoadData", "open " + quote_script_text(path));
}

void load_x_list(const Value&) {
  auto pick = pick_file_to_load("*.*");
  if (!pick) return;
  io::TextMatrix x = io::load_x_list(pick->path());
  take_x(x.matrix().col(0), shown_name(std::filesystem::path(pick->path()).stem().string()),
         shown_name(pick->name));
}

void use_label_as_x(const Value&) {
  AppState& s = state();
  const std::vector<io::SpecimenLabel>& labels = s.sample->labels;
  if (labels.empty()) {
    refuse(
        "The loaded sample has no labels to use as X: a Morphologika file gives them in its "
        "[labels] and [labelvalues] sections.");
  }
  std::size_t at = 0;
  if (labels.size() > 1) {
    std::vector<std::string> names;
    for (const io::SpecimenLabel& l : labels) names.push_back(l.name);
    const auto chosen = graphics().list_dialog("Use Label as X",
                                               "Which label is the independent variable X?", names);
    if (!chosen) return;
    at = *chosen;
  }
  const io::SpecimenLabel& label = labels[at];
  if (!label.numeric()) {
    refuse("The label \"" + label.name + "\" is not a number for every specimen (" +
           label.not_numeric + "), so it cannot be X.");
  }
  take_x(label.values, label.name, "label \"" + label.name + "\"");
}

void load_wire_frame(const Value&) {
  auto& g = graphics();
  AppState& s = state();
  auto pick = pick_file_to_load("*.txt");
  if (!pick) return;
  const io::TextMatrix listed = io::load_wire_list(pick->path());
  if (s.sample) {
    io::check_wire_file(listed, static_cast<std::size_t>(s.sample->landmarks()), pick->path());
  }
  const io::WireCleanup clean = io::without_repeated_wires(listed);
  const io::TextMatrix& wires = clean.wires;
  if (clean.self + clean.repeated > 0) {
    console().line("Wireframe \"" + pick->name + "\": left out " + std::to_string(clean.repeated) +
                   " repeated wires and " + std::to_string(clean.self) +
                   " that join a landmark to itself; " + std::to_string(wires.rows) +
                   " wires remain.");
  }
  s.wires = wires.matrix();
  s.wire_landmarks = s.sample ? s.sample->landmarks() : 0;
  g.set(control("WireBox"), "String",
        cformat("Loaded Wirelist: %s \\n,with %i wires",
                {shown_name(pick->name), static_cast<double>(wires.rows)}));
}

namespace {

// Turns reference and sample by `roto` (applied on the right) and redraws.
void turn_reference(const Eigen::Matrix3d& roto) {
  auto& g = graphics();
  Sample& s = *state().sample;
  shape::rotate_all(s.fitted, roto);
  s.reference = s.reference * roto;
  s.forget_scores();
  gfx::Handle ax = g.current_axes();
  g.clear_axes(ax);
  echo("ans", Value(ax));
  draw_reference();
}

}  // namespace

void rotate_ref_x(const Value&) {
  Eigen::Matrix3d roto;
  roto << 1, 0, 0, 0, 0, -1, 0, 1, 0;
  turn_reference(roto);
}

void rotate_ref_z(const Value&) {
  Eigen::Matrix3d roto;
  roto << 0, -1, 0, 1, 0, 0, 0, 0, 1;
  turn_reference(roto);
}

namespace {

// The mean shape in the reference symbol, with the wireframe, on top of
// everything drawn before.
void draw_mean_on_top() {
  const AppState& s = state();
  const Value ref = Value::matrix(s.sample->reference);
  if (s.wires) assign_role(plot::wire3d(ref, wires_value(), "k-"), role::kReferenceWire, "");
  assign_role(plot::showshape3D(ref, s.display.reference_symbol), role::kMean, "Mean shape");
}

}  // namespace

void show_procrustes(const Value&) {
  auto& g = graphics();
  const AppState& s = state();
  const shape::Stack& fitted = s.sample->fitted;
  // The figure shows this display alone: nothing of an earlier one stays,
  // in the plot or in its legend.
  g.clear_figure(g.current_figure());
  for (Eigen::Index i = 0; i < fitted.n(); ++i) {
    std::vector<gfx::Handle> drawn = plot::showshape3D(Value::matrix(fitted.slice(i)), "bo");
    assign_role(drawn, role::kSpecimen, i == 0 ? "Specimens" : "");
    g.set(drawn.front(), "UserData", Value(static_cast<double>(i)));
  }
  draw_mean_on_top();
  style_figure3d();
}

void show_mean(const Value&) {
  auto& g = graphics();
  g.clear_figure(g.current_figure());
  // The wireframe goes first into the new axes: they keep every line and
  // show the 3-D view from the start.
  const gfx::Handle ax = g.current_axes();
  g.hold(ax, true);
  g.set(ax, "View", Value::row({state().view3d.azimuth, state().view3d.elevation}));
  draw_mean_on_top();
  style_figure3d();
}

}  // namespace velmora::app::actions

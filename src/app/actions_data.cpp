// Loading the landmark, X and wireframe files; drawing the sample; turning
// the reference.
#include <Eigen/Core>
#include <algorithm>

#include "app/actions.hpp"
#include "app/app_state.hpp"
#include "app/loaders.hpp"
#include "app/superimpose.hpp"
#include "app/switchyard.hpp"
#include "bindings/numeric_calls.hpp"
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

namespace velmora::app::actions {

using gfx::graphics;

/// The scores of the loaded sample on its reference: computed once, then
/// kept with the sample until its reference or specimens change.
std::shared_ptr<const Eigen::MatrixXd> current_scores() {
  Sample& s = *state().sample;
  if (!s.scores) {
    if (!s.basis) {
      s.basis =
          std::make_shared<const tps::WarpBasis>(tps::lmatrix3da(s.reference, console_note()));
    }
    s.scores =
        std::make_shared<const Eigen::MatrixXd>(tps::warp_scores(*s.basis, s.reference, s.fitted));
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

void set_rotation_buttons(const char* enable) {
  auto& g = graphics();
  g.set(control("RotX"), "Enable", enable);
  g.set(control("RotZ"), "Enable", enable);
}

}  // namespace

// Every loader reads and checks its file completely, and computes what
// depends on it, before it replaces anything: a refused or failed load leaves
// the state, the controls and the figures as they were.
void load_data(const Value&) {
  auto& g = graphics();
  AppState& s = state();
  const gfx::Handle main_window = g.current_figure();
  auto pick = pick_file_to_load("*.*");
  if (!pick) return;
  // Any format the importers know, chosen by extension and checked by content.
  io::ImportedSample imported = io::import_landmarks(pick->path());
  const Eigen::MatrixXd& rows = imported.rows;
  const auto n = static_cast<std::size_t>(rows.rows()), c = static_cast<std::size_t>(rows.cols()),
             k = c / 3;
  shape::Stack stack(static_cast<Eigen::Index>(k), static_cast<Eigen::Index>(n),
                     io::vertxy3D(n, c, {rows.data(), n * c}));
  SuperimposedSample fit = superimpose_sample(std::move(stack));
  for (const std::string& note : imported.notes) console().line(note);
  const Eigen::Index wires_need = wire_landmarks_needed();

  s.main_window = main_window;
  s.sample = Sample{pick->name,
                    std::move(imported.rows),
                    std::move(fit.fitted),
                    std::move(fit.reference),
                    std::move(imported.names),
                    {},
                    {}};
  g.set(control("FileBox"), "String",
        cformat("File: %s \\n %3.0f Specimens \\n %3.0f Landmarks",
                {pick->name, static_cast<double>(n), (static_cast<double>(c) - 1) / 3}));
  s.display = DisplaySettings{};
  s.ln_scale = false;
  // The independent variable and the results of the previous sample do not
  // describe this one; the reference may be turned again until new scores.
  s.x.reset();
  s.scores.reset();
  s.regression.reset();
  set_rotation_buttons("On");
  std::string wire_note;
  if (wires_need > static_cast<Eigen::Index>(k)) {
    wire_note = "The wireframe needs " + std::to_string(wires_need) +
                " landmarks; this sample has " + std::to_string(k) + ": wireframe removed.";
    s.wires.reset();
    g.set(control("WireBox"), "String", "No Wireframe Loaded");
  }
  g.make_current(new_figure3d());
  draw_reference();
  if (!wire_note.empty()) {
    console().line(wire_note);
    g.backend().message_box(wire_note, "Wireframe removed");
  }
}

void load_x_list(const Value&) {
  AppState& s = state();
  auto pick = pick_file_to_load("*.*");
  if (!pick) return;
  io::TextMatrix x = io::load_x_list(pick->path());
  if (static_cast<Eigen::Index>(x.rows) != s.sample->specimens()) {
    refuse(
        "There was a mismatch in the number of specimens and the number of independent "
        "variable values.  Recheck the files and reload");
  }
  auto scores = current_scores();
  s.x = x.matrix().col(0);
  set_rotation_buttons("Off");
  s.scores = std::move(scores);
}

void load_wire_frame(const Value&) {
  auto& g = graphics();
  AppState& s = state();
  auto pick = pick_file_to_load("*.txt");
  if (!pick) return;
  io::TextMatrix wires = io::load_wire_list(pick->path());
  if (s.sample) {
    io::check_wire_file(wires, static_cast<std::size_t>(s.sample->landmarks()), pick->path());
  }
  s.wires = wires.matrix();
  g.set(control("WireBox"), "String",
        cformat("Loaded Wirelist: %s \\n,with %i wires",
                {pick->name, static_cast<double>(wires.rows)}));
}

namespace {

// Turns reference and sample by `roto` (applied on the right) and redraws.
void turn_reference(const Eigen::Matrix3d& roto) {
  auto& g = graphics();
  Sample& s = *state().sample;
  shape::rotate3da(s.fitted, roto);
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

void show_procrustes(const Value&) {
  auto& g = graphics();
  const AppState& s = state();
  const shape::Stack& fitted = s.sample->fitted;
  for (Eigen::Index i = 0; i < fitted.n(); ++i)
    plot::showshape3D(Value::matrix(fitted.slice(i)), "bo");
  plot::setsymbolfill(g.current_axes(), 1);
  if (s.wires) plot::wire3d(Value::matrix(s.sample->reference), wires_value(), "k-");
}

void show_mean(const Value&) {
  auto& g = graphics();
  const AppState& s = state();
  const Value ref = Value::matrix(s.sample->reference);
  plot::showshape3D(ref, s.display.reference_symbol);
  plot::setsymbolfill(g.current_axes(), 1);
  if (s.wires) plot::wire3d(ref, wires_value(), "k-");
}

}  // namespace velmora::app::actions

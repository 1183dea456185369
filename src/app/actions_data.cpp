// Loading the landmark, X and wireframe files; drawing the sample; turning
// the reference.
#include <Eigen/Core>
#include <algorithm>

#include "app/actions.hpp"
#include "app/app_state.hpp"
#include "app/loaders.hpp"
#include "app/superimpose.hpp"
#include "app/switchyard.hpp"
#include "io/landmark_file.hpp"
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

namespace {

// The scores of the sample on its reference, as a score matrix value.
Value scores_of_sample() {
  const AppState& s = state();
  shape::Config ref = shape::config_from_value(s.reference, "reference");
  shape::Stack data = shape::stack_from_value(s.DATAV, "DATAV");
  return Value::matrix(tps::getpw3d(ref, data));
}

}  // namespace

Value current_scores() {
  return scores_of_sample();
}

namespace {

// The largest landmark number that the loaded wireframe joins (0 without one).
std::size_t wire_landmarks_needed() {
  const AppState& s = state();
  if (!s.wireactive.is_true() || s.wirelist.empty() || s.wirelist.cols() < 3) return 0;
  double most = 0;
  for (std::size_t i = 0; i < s.wirelist.rows(); ++i)
    most = std::max({most, s.wirelist(i, 1), s.wirelist(i, 2)});
  return static_cast<std::size_t>(most);
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
  const Value main_window(g.current_figure());
  auto pick = pick_file_to_load("*.*");
  if (!pick) return;
  io::TextMatrix rows = io::load_landmarks(pick->path());

  const std::size_t n = rows.rows, c = rows.cols, k = c / 3;
  shape::Stack stack(static_cast<Eigen::Index>(k), static_cast<Eigen::Index>(n),
                     io::vertxy3D(rows));
  SuperimposedSample fit = superimpose_sample(std::move(stack));
  const std::size_t wires_need = wire_landmarks_needed();

  s.h2dfig = main_window;
  s.DATA = rows.to_value();
  g.set(control("FileBox"), "String",
        cformat("File: %s \\n %3.0f Specimens \\n %3.0f Landmarks",
                {pick->name, static_cast<double>(n), (static_cast<double>(c) - 1) / 3}));
  s.deftypelist = Value::cell_row({"a", "b", "c", "d"});
  s.vplotdensity = Value(20.0);
  s.vlinewidth = Value(1.5);
  s.vlineformat1 = Value("k-");
  s.vrefsymbol = Value("ko");
  s.vtargetsymbol = Value("ro");
  s.vaheads = Value(1.0);
  s.linregress = Value(1.0);
  s.DATAV = shape::stack_to_value(std::move(fit.fitted));
  s.reference = Value::matrix(fit.reference);
  // The independent variable and the results of the previous sample do not
  // describe this one; the reference may be turned again until new scores.
  s.XVariable = Value();
  s.pwscores = Value();
  s.gvector = Value();
  s.delta = Value();
  set_rotation_buttons("On");
  std::string wire_note;
  if (wires_need > k) {
    wire_note = "The wireframe needs " + std::to_string(wires_need) +
                " landmarks; this sample has " + std::to_string(k) + ": wireframe removed.";
    s.wirelist = Value();
    s.wireactive = Value();
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
  if (x.rows != s.DATA.rows()) {
    refuse(
        "There was a mismatch in the number of specimens and the number of independent "
        "variable values.  Recheck the files and reload");
  }
  Value scores = scores_of_sample();
  s.XVariable = x.to_value();
  set_rotation_buttons("Off");
  s.pwscores = std::move(scores);
}

void load_wire_frame(const Value&) {
  auto& g = graphics();
  AppState& s = state();
  auto pick = pick_file_to_load("*.txt");
  if (!pick) return;
  io::TextMatrix wires = io::load_wire_list(pick->path());
  if (!s.reference.empty()) io::check_wire_file(wires, s.reference.rows(), pick->path());
  s.wirelist = wires.to_value();
  s.wireactive = Value(1.0);
  g.set(control("WireBox"), "String",
        cformat("Loaded Wirelist: %s \\n,with %i wires",
                {pick->name, static_cast<double>(wires.rows)}));
}

namespace {

// Turns reference and sample by `roto` (applied on the right) and redraws.
void turn_reference(const Eigen::Matrix3d& roto) {
  auto& g = graphics();
  AppState& s = state();
  shape::Config ref = shape::config_from_value(s.reference, "reference");
  shape::Stack data = shape::stack_from_value(s.DATAV, "DATAV");
  shape::rotate3da(data, roto);
  s.reference = Value::matrix(ref * roto);
  s.DATAV = shape::stack_to_value(std::move(data));
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
  const std::size_t n = s.DATA.rows(), k = s.DATAV.rows();
  const std::vector<double>& all = s.DATAV.data();
  for (std::size_t i = 0; i < n && i < s.DATAV.pages(); ++i) {
    auto first = all.begin() + static_cast<std::ptrdiff_t>(i * k * 3);
    plot::showshape3D(Value::array(k, 3, 1, std::vector<double>(first, first + k * 3)), "bo");
  }
  plot::setsymbolfill(g.current_axes(), 1);
  if (s.wireactive.is_true()) plot::wire3d(s.reference, s.wirelist, "k-");
}

void show_mean(const Value&) {
  auto& g = graphics();
  const AppState& s = state();
  plot::showshape3D(s.reference, s.vrefsymbol.to_string("vrefsymbol"));
  plot::setsymbolfill(g.current_axes(), 1);
  if (s.wireactive.is_true()) plot::wire3d(s.reference, s.wirelist, "k-");
}

}  // namespace velmora::app::actions

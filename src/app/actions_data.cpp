// Loading the landmark, X and wireframe files; drawing the sample; turning
// the reference.
#include <Eigen/Core>

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

Value current_scores() { return scores_of_sample(); }

void load_data(const Value&) {
  auto& g = graphics();
  AppState& s = state();
  s.h2dfig = Value(g.current_figure());
  auto pick = pick_file_to_load("*.*");
  if (!pick) return;
  io::TextMatrix rows = io::load_landmarks(pick->path());

  // Superimpose first: a failure leaves the previous sample in place.
  const std::size_t n = rows.rows, c = rows.cols, k = c / 3;
  shape::Stack stack(static_cast<Eigen::Index>(k), static_cast<Eigen::Index>(n), io::vertxy3D(rows));
  SuperimposedSample fit = superimpose_sample(std::move(stack));

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
  // Results computed for the previous sample no longer describe this one.
  s.pwscores = Value();
  s.gvector = Value();
  s.delta = Value();
  g.make_current(new_figure3d());
  draw_reference();
}

void load_x_list(const Value&) {
  auto& g = graphics();
  AppState& s = state();
  auto pick = pick_file_to_load("*.*");
  if (!pick) return;
  io::TextMatrix x = io::load_x_list(pick->path());
  s.XVariable = x.to_value();
  if (x.rows != s.DATA.rows()) {
    refuse("There was a mismatch in the number of specimens and the number of independent "
           "variable values.  Recheck the files and reload");
  }
  g.set(control("RotX"), "Enable", "Off");
  g.set(control("RotZ"), "Enable", "Off");
  s.pwscores = scores_of_sample();
}

void load_wire_frame(const Value&) {
  auto& g = graphics();
  AppState& s = state();
  auto pick = pick_file_to_load("*.txt");
  if (!pick) return;
  io::TextMatrix wires = io::load_wire_list(pick->path());
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

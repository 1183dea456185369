// The regression of shape on X, its two tests, the permutation test, the
// principal components and the deformation display.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>

#include "analysis/messages.hpp"
#include "app/actions.hpp"
#include "app/inputs.hpp"
#include "app/presenting.hpp"
#include "app/switchyard.hpp"
#include "app/workspace.hpp"
#include "platform/runtime/cformat.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "report/analysis_text.hpp"
#include "shape/principal_components.hpp"
#include "shape/types.hpp"
#include "view/analysis_plots.hpp"
#include "view/display_style.hpp"
#include "view/figure3d.hpp"
#include "view/group_plots.hpp"
#include "view/main_window.hpp"
#include "view/places.hpp"
#include "view/plot_style.hpp"
#include "view/shown_shapes.hpp"

namespace velmora::app::actions {

namespace {

bool on_ln_scale(Workspace& ws) {
  return ws.session.scale() == analysis::Scale::Log;
}

}  // namespace

void linear_down(Workspace& ws, const Value&) {
  show_x_scale(false);
  ws.session.set_scale(analysis::Scale::Linear);
}

void ln_down(Workspace& ws, const Value&) {
  show_x_scale(true);
  ws.session.set_scale(analysis::Scale::Log);
}

void use_cs(Workspace& ws, const Value&) {
  analysis::SetXParams params;
  params.source = analysis::XSource::CentroidSize;
  // As Load X List: the scores come with X, and the reference stays as it is.
  const analysis::SetXReport r = ws.session.set_x(std::move(params));
  show_x_source(ws);
  allow_rotation(ws, false);
  if (r.scores_new) ws.window.scores_unsaved = true;
}

void do_regression(Workspace& ws, const Value&) {
  WindowState& s = ws.window;
  const analysis::RegressionReport r = ws.session.regression({ws.session.choices().factor});
  allow_rotation(ws, false);
  if (r.scores_new) s.scores_unsaved = true;
  echo("ans", Value(static_cast<double>(r.x_count)));
  s.regression_unsaved = true;
  // Say what was regressed on what.
  const std::shared_ptr<const analysis::XVariable> xv = ws.session.x();
  const std::string x_name = xv && !xv->name.empty() ? xv->name : std::string("X");
  const std::string on = on_ln_scale(ws) ? "ln(" + x_name + ")" : x_name;
  const Eigen::Index columns = r.scores ? r.scores->cols() : 0;
  const std::string within = report::within_text(r.regression->within);
  const std::string what = "Regressed " + std::to_string(columns) +
                           " partial warp and uniform scores on " + on + within + ", " +
                           std::to_string(r.x_count) + " specimens";
  log_report(ws, "Regression of shape on " + on + within, what + ".");
  show_status(what + ". Show Regression draws the change.");
}

void plot_p_distance(Workspace& ws, const Value&) {
  const analysis::DistanceTestReport t = ws.session.distance_test({ws.session.choices().factor});
  std::vector<double> first;
  for (Eigen::Index i : t.test.first) first.push_back(static_cast<double>(i + 1));
  echo("ans", Value::row(first));
  echo("count", Value(static_cast<double>(t.specimens)));
  plot_distance_test(ws, t);
  const stats::RegressionStats& r = t.test.fit;
  const std::string within = report::within_text(t.within);
  const std::string printed = report::pdistance_report(r, t.test.z, t.test.p) +
                              analysis::tied_start_text(t.start_specimens, t.start_x_limit);
  std::string title =
      (t.scale == analysis::Scale::Log ? "Regression of Procrustes Distance from reference on Ln(X)"
                                       : "Regression of Procrustes Distance from reference on X") +
      within;
  log_with_numbers(ws, title, printed, t.fit_note,
                   {{"Regression Slope", r.slope},
                    {"Regression Intercept", r.intercept},
                    {"Std. Deviation in Slope", r.slope_sd},
                    {"Correlation Coefficient", r.r},
                    {"Zscore", t.test.z},
                    {"p score", t.test.p}});
  if (!within.empty()) show_status("Procrustes distance" + within + " plotted");
  echo("ans", show_message_window(with_fit_note(printed, t.fit_note), title));
}

void get_wilks(Workspace& ws, const Value&) {
  const WindowState& s = ws.window;
  const analysis::WilksReport report = ws.session.wilks({});
  const stats::WilksResult& w = report.wilks;
  const double p = report.p;
  const std::string text = with_fit_note(report::wilks_report(w, p), report.fit_note);
  // Named as the distance plot names X; centroid size as CS or LCS, as the
  // check box chooses.
  const std::string regressor = ws.session.x()->name == kCentroidSizeX
                                    ? (s.inputs.report_cs ? "CS" : "LCS")
                                    : report.axis_label;
  const std::string title = "Multivariate regression of shape on " + regressor + " (Wilks' lambda)";
  echo("ans", Value(text));
  log_with_numbers(ws, title, report::wilks_report(w, p, report::kWilksLogShareLabel),
                   report.fit_note,
                   {{"Wilks Lambda", w.lambda},
                    {"F score", w.F},
                    {report::kWilksLogShareLabel, 1 - w.lambda},
                    {"df1", w.df1},
                    {"df2", w.df2},
                    {"p value", p}});
  echo("ans", show_message_window(text, title));
}

namespace {

// The display types that draw two configurations.
bool draws_two(const std::string& type) {
  return type == "a" || type == "b";
}

}  // namespace

void show_regression(Workspace& ws, const Value&) {
  const WindowState& s = ws.window;
  const std::string type = display_code(s.inputs);
  const analysis::RegressionShapeReport r = ws.session.regression_shape({s.inputs.exaggeration});
  const std::string within = report::within_text(ws.session.regression()->within);
  // The switchyard has made the 3D figure current.
  clear_current_figure();
  const std::shared_ptr<const analysis::XVariable> xv = ws.session.x();
  if (draws_two(type)) {
    // The predicted shapes at both ends of X, named by their X.
    const std::string name = xv && !xv->name.empty() ? xv->name : std::string("X");
    const std::string times = " (×" + format_number(s.inputs.exaggeration) + ")" + within;
    draw_shape_pair(ws, r.at_smallest, r.at_largest, type,
                    name + " = " + format_number(r.smallest_x) + times,
                    name + " = " + format_number(r.largest_x) + times);
    return;
  }
  draw_deformation(ws, r.reference, r.target, type,
                   "change over the range of " +
                       analysis::x_axis_label(xv ? xv->name : std::string(), on_ln_scale(ws)) +
                       ", ×" + format_number(s.inputs.exaggeration) + within);
  if (!within.empty())
    show_status("Regression" + within + ", ×" + format_number(s.inputs.exaggeration));
}

// --- permutation test and principal components --------------------------

void permutation_test(Workspace& ws, const Value&) {
  const WindowState& s = ws.window;
  analysis::PermutationParams params;
  params.permutations = static_cast<int>(s.inputs.permutations);
  params.seed = static_cast<std::uint64_t>(s.inputs.seed);
  // Long runs show how far they are, a few times a second at most.
  auto last = std::chrono::steady_clock::now();
  params.progress = [&](int done, int total) {
    const auto now = std::chrono::steady_clock::now();
    if (now - last < std::chrono::milliseconds(200)) return true;
    last = now;
    show_test_status("Permutation test: " + std::to_string(done) + " of " + std::to_string(total) +
                     " orderings");
    return true;
  };
  std::optional<analysis::PermutationReport> report;
  try {
    report = ws.session.permutation_test(params);
  } catch (const analysis::Error& e) {
    // A test that ran (and was cancelled) leaves no progress behind.
    if (e.kind() == analysis::ErrorKind::Cancelled) show_test_status("");
    throw;
  }
  show_test_status("");
  const stats::PermutationTestResult& r = report->result;
  const std::string printed = report::permutation_report(r);
  const std::string text = with_fit_note(printed, report->fit_note);
  const std::string title = report->scale == analysis::Scale::Log
                                ? "Permutation Test of Shape on Ln(X)"
                                : "Permutation Test of Shape on X";
  echo("ans", Value(text));
  log_with_numbers(ws, title, printed, report->fit_note,
                   {{"R-squared", r.r_squared}, {"F score", r.F}, {"p value", r.p}});
  echo("ans", show_message_window(text, title));
}

void show_pca(Workspace& ws, const Value&) {
  const WindowState& s = ws.window;
  // The component was checked when typed, against the sample loaded then.
  const long long component = s.inputs.component;
  const double factor = s.inputs.component_factor;
  const std::string corrected = ws.session.pca_correction();
  const analysis::ComponentShapeReport shape =
      ws.session.component_shape({component, factor, corrected});
  const shape::ShapePca& pca = *shape.pca;
  const std::string& fit_note = ws.session.superimposition()->note();
  const std::string symmetry = pca_symmetry_text(ws);
  const std::string of = symmetry.empty() ? pca_shapes_text(corrected) : symmetry;

  console().write(report::pca_shares_text(pca.shares, of, fit_note));
  const std::string log_text = report::pca_log_text(pca.shares, of, fit_note, s.full_precision);
  log_report(ws, "Principal components of " + of, log_text);

  // PC1 against PC2 in the main window's plot.
  plot_pca_scatter(ws, pca, !corrected.empty(), symmetry);

  // The mean shape moved along the chosen component, in the 3D window.
  begin_figure3d_display(ws);
  const std::string type = display_code(s.inputs);
  const std::string pc = "PC" + std::to_string(component) + " ";
  if (draws_two(type)) {
    draw_shape_pair(ws, shape.opposite, shape.target, type, pc + signed_number(-factor) + " SD",
                    pc + signed_number(factor) + " SD");
  } else {
    draw_deformation(ws, shape.reference, shape.target, type,
                     "PC" + std::to_string(component) + ", " + format_number(factor) + " SD");
  }
  make_main_current(ws);
}

}  // namespace velmora::app::actions

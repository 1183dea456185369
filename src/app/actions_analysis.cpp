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
#include "app/display_style.hpp"
#include "app/group_plots.hpp"
#include "app/inputs.hpp"
#include "app/main_window.hpp"
#include "app/plot_style.hpp"
#include "app/reports.hpp"
#include "app/switchyard.hpp"
#include "app/workspace.hpp"
#include "gui/axes_helpers.hpp"
#include "gui/message_box.hpp"
#include "platform/render/scene.hpp"
#include "platform/runtime/cformat.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "plot/deformation.hpp"
#include "plot/primitives.hpp"
#include "shape/principal_components.hpp"
#include "shape/types.hpp"

namespace velmora::app::actions {

using gfx::graphics;

namespace {

bool on_ln_scale(Workspace& ws) {
  return ws.session.scale() == analysis::Scale::Log;
}

Value show_message_window(const std::string& text, const std::string& title) {
  std::optional<gfx::Handle> box = gui::msgboxd({Value(text), Value(title)});
  return box ? Value(*box) : Value();
}

// A report with the superimposition's note, when its passes ran out before
// the reference settled.
std::string with_fit_note(std::string text, const std::string& note) {
  return note.empty() ? text : text + "\n" + note;
}

// Logs a report (`log_text`, as printed) with its note and, while result
// files are written in full precision, every number of it exactly.
void log_with_numbers(Workspace& ws, const std::string& title, const std::string& log_text,
                      const std::string& fit_note,
                      std::initializer_list<std::pair<std::string_view, double>> numbers) {
  std::string text = with_fit_note(log_text, fit_note);
  if (ws.window.full_precision) text += "\n" + full_precision_line(numbers);
  log_report(ws, title, text);
}

// " within groups of population": what a pooled within-group analysis
// adds to its name; empty for one over all specimens.
std::string within_text(const std::string& factor) {
  return factor.empty() ? std::string() : " within groups of " + factor;
}

}  // namespace

void linear_down(Workspace& ws, const Value&) {
  auto& g = graphics();
  g.set(control("LinearButton"), "Value", 1.0);
  g.set(control("LnButton"), "Value", 0.0);
  ws.session.set_scale(analysis::Scale::Linear);
}

void ln_down(Workspace& ws, const Value&) {
  auto& g = graphics();
  g.set(control("LinearButton"), "Value", 0.0);
  g.set(control("LnButton"), "Value", 1.0);
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
  const std::string within = within_text(r.regression->within);
  const std::string what = "Regressed " + std::to_string(columns) +
                           " partial warp and uniform scores on " + on + within + ", " +
                           std::to_string(r.x_count) + " specimens";
  log_report(ws, "Regression of shape on " + on + within, what + ".");
  show_status(what + ". Show Regression draws the change.");
}

void plot_p_distance(Workspace& ws, const Value&) {
  auto& g = graphics();
  const analysis::DistanceTestReport t = ws.session.distance_test({ws.session.choices().factor});
  std::vector<double> first;
  for (Eigen::Index i : t.test.first) first.push_back(static_cast<double>(i + 1));
  echo("ans", Value::row(first));
  echo("count", Value(static_cast<double>(t.specimens)));
  const Eigen::RowVectorXd& dist = t.test.distances;
  const Eigen::VectorXd& x = t.regressor;

  gfx::Handle ax = g.current_axes();
  // The groups are drawn over an empty plot.
  if (!t.within.empty()) g.clear_axes(ax);
  style_value_plot(ax);
  std::vector<double> xs(x.data(), x.data() + x.size()), ys(dist.data(), dist.data() + dist.size());
  // A colour a group of the chosen factor, with their legend.
  if (!plot_by_groups(ws, ax, x, dist.transpose())) g.plot(ax, xs, ys, {}, "ko", false);
  const std::string within = within_text(t.within);
  // The start shape by its count and by X's name ("the 3 specimens of
  // smallest age"), the plot by what it is against.
  const std::shared_ptr<const analysis::XVariable> xv = ws.session.x();
  const std::string start = "from the mean of the " + std::to_string(t.start_specimens);
  g.set(g.get(ax, "XLabel")(0), "String", t.axis_label);
  g.set(g.get(ax, "Title")(0), "String",
        "Squared Procrustes distance " + start + " specimens of smallest " +
            (xv && !xv->name.empty() ? xv->name : std::string("X")) + ", on " + t.axis_label +
            within);
  g.set(g.get(ax, "YLabel")(0), "String", "Squared Procrustes distance " + start + " smallest X");

  const stats::RegressionStats& r = t.test.fit;
  // The fitted line across the range of the regressor, over the points.
  const double x0 = x.minCoeff(), x1 = x.maxCoeff();
  const std::string next_plot = g.get_text(ax, "NextPlot");
  g.hold(ax, true);
  g.plot(ax, {x0, x1}, {r.intercept + r.slope * x0, r.intercept + r.slope * x1}, {}, "k-", false);
  g.set(ax, "NextPlot", next_plot);
  const std::string printed = pdistance_report(r, t.test.z, t.test.p) +
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
  const std::string text = with_fit_note(wilks_report(w, p), report.fit_note);
  // Named as the distance plot names X; centroid size as CS or LCS, as the
  // check box chooses.
  const std::string regressor = ws.session.x()->name == kCentroidSizeX
                                    ? (s.inputs.report_cs ? "CS" : "LCS")
                                    : report.axis_label;
  const std::string title = "Multivariate regression of shape on " + regressor + " (Wilks' lambda)";
  echo("ans", Value(text));
  log_with_numbers(ws, title, wilks_report(w, p, kWilksLogShareLabel), report.fit_note,
                   {{"Wilks Lambda", w.lambda},
                    {"F score", w.F},
                    {kWilksLogShareLabel, 1 - w.lambda},
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
  auto& g = graphics();
  const WindowState& s = ws.window;
  const std::string type = display_code(s.inputs);
  const analysis::RegressionShapeReport r = ws.session.regression_shape({s.inputs.exaggeration});
  const std::string within = within_text(ws.session.regression()->within);
  // The switchyard has made the 3D figure current.
  g.clear_figure(g.current_figure());
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
                       x_axis_label(xv ? xv->name : std::string(), on_ln_scale(ws)) + ", ×" +
                       format_number(s.inputs.exaggeration) + within);
  if (!within.empty())
    show_status("Regression" + within + ", ×" + format_number(s.inputs.exaggeration));
}

// --- permutation test and principal components --------------------------

namespace {

std::string percent(double share) {
  return cformat("%.1f %%", {100 * share});
}

}  // namespace

void permutation_test(Workspace& ws, const Value&) {
  auto& g = graphics();
  const WindowState& s = ws.window;
  const gfx::Handle status = control("TestStatus");
  analysis::PermutationParams params;
  params.permutations = static_cast<int>(s.inputs.permutations);
  params.seed = static_cast<std::uint64_t>(s.inputs.seed);
  // Long runs show how far they are, a few times a second at most.
  auto last = std::chrono::steady_clock::now();
  params.progress = [&](int done, int total) {
    const auto now = std::chrono::steady_clock::now();
    if (now - last < std::chrono::milliseconds(200)) return true;
    last = now;
    g.set(status, "String",
          "Permutation test: " + std::to_string(done) + " of " + std::to_string(total) +
              " orderings");
    g.backend().process_events();
    return true;
  };
  std::optional<analysis::PermutationReport> report;
  try {
    report = ws.session.permutation_test(params);
  } catch (const analysis::Error& e) {
    // A test that ran (and was cancelled) leaves no progress behind.
    if (e.kind() == analysis::ErrorKind::Cancelled) g.set(status, "String", "");
    throw;
  }
  g.set(status, "String", "");
  const stats::PermutationTestResult& r = report->result;
  const std::string printed =
      cformat(
          "R-squared= %1.4f   F score= %2.4f  Permutations: %i ,  seed: %i ,  ",
          {r.r_squared, r.F, static_cast<double>(r.permutations), static_cast<double>(r.seed)}) +
      p_value_text("p value=", r.p);
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
  auto& g = graphics();
  const WindowState& s = ws.window;
  // The component was checked when typed, against the sample loaded then.
  const long long component = s.inputs.component;
  const double factor = s.inputs.component_factor;
  const std::string corrected = pca_correction(ws);
  const analysis::ComponentShapeReport shape =
      ws.session.component_shape({component, factor, corrected});
  const shape::ShapePca& pca = *shape.pca;
  const auto r = static_cast<long long>(pca.variances.size());
  const std::string& fit_note = ws.session.superimposition()->note();
  const std::string of = pca_shapes_text(corrected);

  std::string shares = "Principal components of " + of + " (share of the variance):\n";
  for (long long j = 0; j < r; ++j)
    shares += "  PC" + std::to_string(j + 1) + "  " + percent(pca.shares(j)) + "\n";
  if (!fit_note.empty()) shares += fit_note + "\n";
  console().write(shares);
  // The log lists the components up to 95 % of the variance (ten at most)
  // and sums the rest in one line; its numbers are exact where asked.
  std::string log_text = "Principal components of " + of + " (share of the variance):\n";
  double listed = 0;
  long long shown = 0;
  while (shown < r && shown < 10 && listed < 0.95) {
    log_text += "  PC" + std::to_string(shown + 1) + "  " + percent(pca.shares(shown)) + "\n";
    listed += pca.shares(shown++);
  }
  if (shown < r) {
    log_text += "  PC" + std::to_string(shown + 1) +
                (shown + 1 < r ? "–PC" + std::to_string(r) : "") + "  " +
                percent(std::max(0.0, 1 - listed)) + " together\n";
  }
  if (!fit_note.empty()) log_text += fit_note + "\n";
  if (s.full_precision) {
    log_text += "Full precision (shares of the variance):";
    for (long long j = 0; j < r; ++j)
      log_text +=
          (j ? "; PC" : " PC") + std::to_string(j + 1) + " = " + format_number_exact(pca.shares(j));
  }
  log_report(ws, "Principal components of " + of, log_text);

  // PC1 against PC2 in the main window's plot, coloured by X when it is loaded.
  const gfx::Handle ax = control("axes1");
  clear_main_plot();
  if (!corrected.empty())
    g.set(g.get(ax, "Title")(0), "String", "Principal components of size-corrected shapes");
  const Eigen::VectorXd pc1 = pca.scores.col(0), pc2 = pca.scores.col(1);
  const std::shared_ptr<const analysis::XVariable> xv = ws.session.x();
  const Eigen::VectorXd* x = xv ? &xv->values : nullptr;
  if (plot_by_groups(ws, ax, pc1, pc2)) {
    x = nullptr;  // coloured by the chosen factor's groups
  } else if (x && x->size() == pc1.size() && x->maxCoeff() > x->minCoeff()) {
    // Eight colour classes from blue (smallest X) to red (largest).
    constexpr int kClasses = 8;
    const double lo = x->minCoeff(), hi = x->maxCoeff();
    g.hold(ax, true);
    for (int c = 0; c < kClasses; ++c) {
      std::vector<double> xs, ys;
      for (Eigen::Index i = 0; i < pc1.size(); ++i) {
        const int cls =
            std::min(kClasses - 1, static_cast<int>(kClasses * ((*x)(i)-lo) / (hi - lo)));
        if (cls == c) xs.push_back(pc1(i)), ys.push_back(pc2(i));
      }
      if (xs.empty()) continue;
      const gfx::Handle line = g.plot(ax, xs, ys, {}, "o", false);
      const render::Rgb rgb = render::blue_red_class(c, kClasses);
      const Value colour = Value::row({rgb.r, rgb.g, rgb.b});
      g.set(line, "Color", colour);
      g.set(line, "MarkerFaceColor", colour);
    }
    g.hold(ax, false);
  } else {
    g.plot(ax, std::vector<double>(pc1.data(), pc1.data() + pc1.size()),
           std::vector<double>(pc2.data(), pc2.data() + pc2.size()), {}, "ko", false);
  }
  g.set(g.get(ax, "XLabel")(0), "String", "PC1 (" + percent(pca.shares(0)) + ")");
  g.set(g.get(ax, "YLabel")(0), "String", "PC2 (" + percent(pca.shares(1)) + ")");
  style_pca_scatter(ax, x && x->size() == pc1.size() ? x : nullptr, xv ? xv->name : std::string());
  double marker_pt = 6;
  for (gfx::Handle c : g.children(ax))
    if (g.type(c) == gfx::Type::Line) marker_pt = g.get_number(c, "MarkerSize");
  label_specimens(ax, pc1, pc2, ws.session.sample().names, marker_pt, s.display.specimen_labels);

  // The mean shape moved along the chosen component, in the 3D window.
  g.make_current(figure3d(ws));
  g.clear_figure(g.current_figure());
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

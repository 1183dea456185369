// The regression of shape on X, its two tests, the deformation display and
// the result files.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numeric>
#include <span>

#include "analysis/messages.hpp"
#include "app/actions.hpp"
#include "app/app_state.hpp"
#include "app/display_style.hpp"
#include "app/inputs.hpp"
#include "app/loaders.hpp"
#include "app/main_window.hpp"
#include "app/plot_style.hpp"
#include "app/reports.hpp"
#include "app/superimpose.hpp"
#include "app/switchyard.hpp"
#include "bindings/numeric_calls.hpp"
#include "core/tolerances.hpp"
#include "gui/axes_helpers.hpp"
#include "gui/message_box.hpp"
#include "io/result_files.hpp"
#include "io/result_tables.hpp"
#include "io/row_layout.hpp"
#include "io/sample_text.hpp"
#include "platform/render/scene.hpp"
#include "platform/runtime/cformat.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "platform/runtime/safe_file.hpp"
#include "plot/deformation.hpp"
#include "plot/primitives.hpp"
#include "shape/distance.hpp"
#include "shape/principal_components.hpp"
#include "shape/procrustes.hpp"
#include "shape/tangent_coordinates.hpp"
#include "shape/types.hpp"
#include "stats/distance_test.hpp"
#include "stats/distributions.hpp"
#include "stats/messages.hpp"
#include "stats/permutation_test.hpp"
#include "stats/regression.hpp"
#include "stats/wilks.hpp"
#include "tps/deformation.hpp"

namespace velmora::app::actions {

std::shared_ptr<const Eigen::MatrixXd> current_scores();  // actions_data.cpp
std::shared_ptr<const tps::WarpBasis> current_basis();    // actions_data.cpp

using gfx::graphics;

namespace {

bool on_ln_scale() {
  return state().ln_scale;
}

// The switchyard has checked that X is loaded.
const Eigen::VectorXd& x_values() {
  return *state().x;
}

// Under the ln scale every X must be positive.
void check_positive_x(const Eigen::VectorXd& x, std::string_view test) {
  if (!on_ln_scale()) return;
  for (Eigen::Index i = 0; i < x.size(); ++i) {
    if (!(x(i) > 0)) {
      refuse(std::string(test) + " on ln X needs every X value above 0, but specimen " +
             std::to_string(i + 1) + " has X = " + format_number(x(i)) +
             ". Choose the linear scale (Regress on X) or load positive X values.");
    }
  }
}

void check_x_count(std::size_t count, std::size_t specimens, std::string_view test) {
  if (count != specimens) {
    refuse(std::string(test) + " needs one X value per specimen: there are " +
           std::to_string(count) + " X values for " + std::to_string(specimens) +
           " specimens. Load a matching X list.");
  }
}

Eigen::VectorXd regressor(const Eigen::VectorXd& x) {
  return on_ln_scale() ? Eigen::VectorXd(x.array().log()) : x;
}

// The regressor (after the scale choice) of a test or regression, refused
// when its values are equal up to rounding: the mean of equal values may
// differ from them in the last bit, which would leave a spread of noise that
// the slope and its tests divide by.
Eigen::VectorXd varying_regressor(const Eigen::VectorXd& x) {
  Eigen::VectorXd r = regressor(x);
  if (r.size() > 0 && r.maxCoeff() - r.minCoeff() <= kEqualXTolerance * r.cwiseAbs().maxCoeff()) {
    refuse("All X values are equal (" + format_number(x(0)) +
           "), so the regression slope is undefined. Load an independent variable that varies.");
  }
  return r;
}

// Every shape statistic first: a sample whose superimposed specimens do not
// differ has nothing to analyse but rounding noise.
void require_shape_variation() {
  const Sample& sample = *state().sample;
  shape::require_shape_variation(sample.reference, sample.fitted);
}

Value show_message_window(const std::string& text, const std::string& title) {
  std::optional<gfx::Handle> box = gui::msgboxd({Value(text), Value(title)});
  return box ? Value(*box) : Value();
}

// A report of the loaded sample, with the superimposition's note when its
// passes ran out before the reference settled.
std::string with_fit_note(std::string text) {
  const std::string& note = state().sample->fit_note;
  return note.empty() ? text : text + "\n" + note;
}

// Logs a report (`log_text`, as printed) with its note and, while result
// files are written in full precision, every number of it exactly.
void log_with_numbers(const std::string& title, const std::string& log_text,
                      std::initializer_list<std::pair<std::string_view, double>> numbers) {
  std::string text = with_fit_note(log_text);
  if (state().full_precision) text += "\n" + full_precision_line(numbers);
  log_report(title, text);
}

}  // namespace

void linear_down(const Value&) {
  auto& g = graphics();
  g.set(control("LinearButton"), "Value", 1.0);
  g.set(control("LnButton"), "Value", 0.0);
  state().ln_scale = false;
}

void ln_down(const Value&) {
  auto& g = graphics();
  g.set(control("LinearButton"), "Value", 0.0);
  g.set(control("LnButton"), "Value", 1.0);
  state().ln_scale = true;
}

void use_cs(const Value&) {
  const AppState& s = state();
  replace_x(s.sample->centroid_sizes(), kCentroidSizeX, kCentroidSizeX);
}

void do_regression(const Value&) {
  AppState& s = state();
  const Eigen::VectorXd x = x_values();
  check_positive_x(x, "The regression");
  const Eigen::VectorXd on_scale = varying_regressor(x);
  require_shape_variation();
  allow_rotation(false);
  if (!s.scores) s.scores_unsaved = true;
  s.scores = current_scores();
  const auto mpw = s.scores->rows();
  const double xmax = x.maxCoeff(), xmin = x.minCoeff();
  // Logs before the ratio: the ratio of X from 1e-300 to 1e300 overflows.
  const double xrange = on_ln_scale() ? std::log(xmax) - std::log(xmin) : xmax - xmin;
  echo("ans", Value(static_cast<double>(x.size())));
  if (x.size() != mpw) {
    throw DataRefusal(
        "The number of dependent and independent variables do no match.  Please Reload");
  }
  // Every score column is regressed, the last uniform score included.
  Eigen::RowVectorXd slopes = stats::column_slopes(*s.scores, on_scale);
  s.regression = Regression{slopes, xrange * slopes};
  s.regression_unsaved = true;
}

void plot_p_distance(const Value&) {
  auto& g = graphics();
  const AppState& s = state();
  const auto n = static_cast<std::size_t>(s.sample->specimens());
  const Eigen::VectorXd& xv = x_values();
  if (n <= 3) {
    refuse(
        stats::too_few_specimens_text("The Procrustes-distance test", static_cast<long long>(n)));
  }
  check_x_count(static_cast<std::size_t>(xv.size()), n, "The Procrustes-distance test");
  check_positive_x(xv, "The Procrustes-distance test");
  const Eigen::VectorXd x = varying_regressor(xv);
  require_shape_variation();

  const stats::DistanceTest t = stats::procrustes_distance_test(s.sample->fitted, xv, x);
  std::vector<double> first;
  for (Eigen::Index i : t.first) first.push_back(static_cast<double>(i + 1));
  echo("ans", Value::row(first));
  echo("count", Value(static_cast<double>(s.sample->fitted.n())));
  const Eigen::RowVectorXd& dist = t.distances;

  gfx::Handle ax = g.current_axes();
  style_value_plot(ax);
  std::vector<double> xs(x.data(), x.data() + x.size()), ys(dist.data(), dist.data() + dist.size());
  g.plot(ax, xs, ys, {}, "ko", false);
  g.set(g.get(ax, "XLabel")(0), "String", x_axis_label(s.x_name, on_ln_scale()));
  g.set(g.get(ax, "YLabel")(0), "String", "Squared Procrustes distance");

  const stats::RegressionStats& r = t.fit;
  // The fitted line across the range of the regressor, over the points.
  const double x0 = x.minCoeff(), x1 = x.maxCoeff();
  const std::string next_plot = g.get_text(ax, "NextPlot");
  g.hold(ax, true);
  g.plot(ax, {x0, x1}, {r.intercept + r.slope * x0, r.intercept + r.slope * x1}, {}, "k-", false);
  g.set(ax, "NextPlot", next_plot);
  double third = xv(t.first.front());
  for (Eigen::Index i : t.first) third = std::max(third, xv(i));
  const std::string printed =
      pdistance_report(r, t.z, t.p) +
      analysis::tied_start_text(static_cast<long long>(t.first.size()), third);
  std::string title = on_ln_scale() ? "Regression of Procrustes Distance from reference on Ln(X)"
                                    : "Regression of Procrustes Distance from reference on X";
  log_with_numbers(title, printed,
                   {{"Regression Slope", r.slope},
                    {"Regression Intercept", r.intercept},
                    {"Std. Deviation in Slope", r.slope_sd},
                    {"Correlation Coefficient", r.r},
                    {"Zscore", t.z},
                    {"p score", t.p}});
  echo("ans", show_message_window(with_fit_note(printed), title));
}

void get_wilks(const Value&) {
  const AppState& s = state();
  const Eigen::VectorXd& xv = x_values();
  check_x_count(static_cast<std::size_t>(xv.size()), static_cast<std::size_t>(s.scores->rows()),
                "The Wilks' lambda test");
  check_positive_x(xv, "The Wilks' lambda test");
  const Eigen::VectorXd x = varying_regressor(xv);
  require_shape_variation();
  // wilks_lambda leaves out its input's last column (the centroid size of
  // the score-file layout); a column of zeros in that place lets every score
  // column take part.
  const Eigen::MatrixXd& scores = *s.scores;
  Eigen::MatrixXd padded(scores.rows(), scores.cols() + 1);
  padded << scores, Eigen::VectorXd::Zero(scores.rows());
  stats::WilksResult w = stats::wilks_lambda(padded, x);
  if (w.degenerate) {
    refuse("The multivariate test cannot be computed: this sample has " + std::to_string(w.N) +
           " specimens; the test of " + std::to_string(w.p) + " score columns needs at least " +
           std::to_string(w.p + 2) + ". Load a larger sample or use fewer landmarks.");
  }
  const double p = stats::f_upper_tail(w.F, w.df1, w.df2);
  const std::string text = with_fit_note(wilks_report(w, p));
  // Named as the distance plot names X; centroid size as CS or LCS, as the
  // check box chooses.
  const std::string regressor = s.x_name == kCentroidSizeX ? (s.inputs.report_cs ? "CS" : "LCS")
                                                           : x_axis_label(s.x_name, on_ln_scale());
  const std::string title =
      "Multivariate Regression of PW+Uniform on " + regressor + " -Manova Results";
  echo("ans", Value(text));
  log_with_numbers(title, wilks_report(w, p, kWilksLogShareLabel),
                   {{"Wilks Lambda", w.lambda},
                    {"F score", w.F},
                    {kWilksLogShareLabel, 1 - w.lambda},
                    {"df1", w.df1},
                    {"df2", w.df2},
                    {"p value", p}});
  echo("ans", show_message_window(text, title));
}

namespace {

// The deformation display of `target` against the reference in the current
// axes: every part with its role and legend name, arrowheads on the
// displacement vectors, and the display settings applied.
void draw_deformation(const shape::Config& reference, const shape::Config& target,
                      const std::string& type, const std::string& change_name) {
  const AppState& s = state();
  const Value wires = wires_value();
  const Value ref = Value::matrix(reference), tgt = Value::matrix(target);
  plot::DeformationLines lines = plot::plot_deformation(
      ref, tgt, s.display.reference_symbol, s.display.target_symbol, type, wires, wires, "r");
  assign_role(lines.reference, role::kMean, "Mean shape (reference)");
  assign_role(lines.reference_wires, role::kReferenceWire, "");
  assign_role(lines.target, role::kTarget, "Target: " + change_name);
  assign_role(lines.target_wires, role::kTargetWire, "");
  assign_role(lines.vectors, role::kVector, "Displacement: " + change_name);
  if (!lines.vectors.empty()) {
    // Heads in proportion to the shape, so that long vectors keep slim heads.
    const Eigen::RowVector3d extent =
        reference.colwise().maxCoeff() - reference.colwise().minCoeff();
    assign_role({plot::arrowheads3d(ref, tgt, "b-", 0.05 * extent.maxCoeff())}, role::kArrowHead,
                "");
  }
  style_figure3d();
}

}  // namespace

void show_regression(const Value&) {
  auto& g = graphics();
  const AppState& s = state();
  const std::string type = display_code(s.inputs);
  // The switchyard has made the 3D figure current.
  g.clear_figure(g.current_figure());
  const Eigen::MatrixXd scores = s.inputs.exaggeration * s.regression->delta;
  const shape::Config& reference = s.sample->reference;
  // The basis kept with the sample: a dense reference's takes seconds to build.
  shape::Stack deformed = as_runtime_error(
      [&] { return tps::deformations_from_scores(*current_basis(), reference, scores); });
  draw_deformation(reference, deformed.slice(0), type,
                   "change over the range of " + std::string(on_ln_scale() ? "ln X" : "X") + ", ×" +
                       format_number(s.inputs.exaggeration));
}

namespace {

io::NumberFormat number_format() {
  return state().full_precision ? io::NumberFormat::FullPrecision : io::NumberFormat::SixDigits;
}

// Asks for the file, then writes the text `write_pieces` makes safely; a
// failed write is shown with the path and the reason.  The path written, or
// nullopt when the user cancelled.
// A name ending in .csv gets the text `table` makes instead, when given.
std::optional<std::string> save_text(std::string_view title, const PieceWriter& write_pieces,
                                     const std::function<std::string()>& table = {}) {
  auto pick = pick_file_to_save("*.*", title);
  if (!pick) return std::nullopt;
  try {
    if (table && io::names_a_table(pick->name))
      write_file_safely(pick->path(), table());
    else
      write_file_safely(pick->path(), write_pieces);
  } catch (const std::exception& e) {
    refuse(e.what(), "File not saved");
  }
  return pick->path();
}

std::optional<std::string> save_text(std::string_view title, const std::string& content,
                                     const std::function<std::string()>& table = {}) {
  return save_text(
      title, [&content](const auto& put) { put(content); }, table);
}

// "80 × 30": the rows and columns of a file written.
std::string size_text(Eigen::Index rows, Eigen::Index cols) {
  return std::to_string(rows) + " × " + std::to_string(cols);
}

}  // namespace

void save_warp(const Value&) {
  const AppState& s = state();
  echo("ans",
       Value::row({static_cast<double>(s.scores->rows()), static_cast<double>(s.scores->cols())}));
  const Eigen::VectorXd cs = s.sample->centroid_sizes();
  const std::span<const double> sizes(cs.data(), static_cast<std::size_t>(cs.size()));
  // A large score file is written while it is being formatted.
  const auto path = save_text(
      "File Name for Partial Warp Scores",
      [&](const auto& put) { io::put_score_file(*s.scores, sizes, number_format(), put); },
      [&] { return io::score_table_text(s.sample->names, *s.scores, sizes, number_format()); });
  if (!path) return;
  state().scores_unsaved = false;
  // The scores and the centroid size column.
  show_status("Saved scores: " + *path + " (" + size_text(s.scores->rows(), s.scores->cols() + 1) +
              ")");
}

void save_ref(const Value&) {
  const shape::Config& ref = state().sample->reference;
  echo("m", Value(static_cast<double>(ref.rows())));
  echo("n", Value(static_cast<double>(ref.cols())));
  const std::vector<double> row =
      io::config_to_row({ref.data(), static_cast<std::size_t>(ref.size())},
                        static_cast<std::size_t>(ref.rows()), 1.0);
  const auto path = save_text("File Name for Reference", io::row_file_text(row, number_format()),
                              [&] { return io::reference_table_text(ref, number_format()); });
  if (path) {
    show_status("Saved reference: " + *path + " (" + std::to_string(ref.rows()) + " landmarks)");
  }
}

void save_vector(const Value&) {
  const Eigen::RowVectorXd& row = state().regression->slopes;
  const std::span<const double> slopes(row.data(), static_cast<std::size_t>(row.size()));
  const auto path =
      save_text("File Name for Regression Vector", io::vector_file_text(slopes, number_format()),
                [&] { return io::vector_table_text(slopes, number_format()); });
  if (!path) return;
  state().regression_unsaved = false;
  show_status("Saved regression vector: " + *path + " (" + std::to_string(slopes.size()) +
              " slopes)");
}

// --- permutation test and principal components --------------------------

namespace {

std::string percent(double share) {
  return cformat("%.1f %%", {100 * share});
}

// The principal components of the superimposed sample's tangent coordinates.
shape::ShapePca sample_components() {
  const Sample& s = *state().sample;
  require_shape_variation();
  shape::ShapePca pca =
      shape::principal_components(shape::tangent_coordinates(s.reference, s.fitted));
  if (pca.variances.size() < 2) {
    refuse(
        "The principal component analysis needs shape variation in at least two directions; "
        "this sample has " +
        std::to_string(pca.variances.size()) + ".");
  }
  return pca;
}

}  // namespace

void permutation_test(const Value&) {
  auto& g = graphics();
  const AppState& s = state();
  const auto n = s.sample->specimens();
  if (n < 4) {
    refuse(stats::too_few_specimens_text("The permutation test", n));
  }
  const Eigen::VectorXd& xv = x_values();
  check_x_count(static_cast<std::size_t>(xv.size()), static_cast<std::size_t>(n),
                "The permutation test");
  check_positive_x(xv, "The permutation test");
  const Eigen::VectorXd x = varying_regressor(xv);
  require_shape_variation();
  const auto permutations = static_cast<int>(s.inputs.permutations);
  const auto seed = static_cast<std::uint64_t>(s.inputs.seed);

  const Eigen::MatrixXd tangent = shape::tangent_coordinates(s.sample->reference, s.sample->fitted);
  const gfx::Handle status = control("TestStatus");
  // Long runs show how far they are, a few times a second at most.
  auto last = std::chrono::steady_clock::now();
  auto progress = [&](int done, int total) {
    const auto now = std::chrono::steady_clock::now();
    if (now - last < std::chrono::milliseconds(200)) return true;
    last = now;
    g.set(status, "String",
          "Permutation test: " + std::to_string(done) + " of " + std::to_string(total) +
              " orderings");
    g.backend().process_events();
    return true;
  };
  auto r = stats::permutation_test(tangent, x, permutations, seed, progress);
  g.set(status, "String", "");
  if (!r) refuse("The permutation test was cancelled.");
  const std::string printed =
      cformat("R-squared= %1.4f   F score= %2.4f  Permutations: %i ,  seed: %i ,  ",
              {r->r_squared, r->F, static_cast<double>(r->permutations),
               static_cast<double>(r->seed)}) +
      p_value_text("p value=", r->p);
  const std::string text = with_fit_note(printed);
  const std::string title =
      on_ln_scale() ? "Permutation Test of Shape on Ln(X)" : "Permutation Test of Shape on X";
  echo("ans", Value(text));
  log_with_numbers(title, printed,
                   {{"R-squared", r->r_squared}, {"F score", r->F}, {"p value", r->p}});
  echo("ans", show_message_window(text, title));
}

void show_pca(const Value&) {
  auto& g = graphics();
  const AppState& s = state();
  const shape::ShapePca pca = sample_components();
  const auto r = static_cast<long long>(pca.variances.size());
  // The component was checked when typed, against the sample loaded then.
  const long long component = s.inputs.component;
  if (component > r) {
    refuse(not_whole_number_text("principal component", std::to_string(component), 1, r));
  }
  const double factor = s.inputs.component_factor;

  std::string shares = "Principal components of shape (share of the variance):\n";
  for (long long j = 0; j < r; ++j)
    shares += "  PC" + std::to_string(j + 1) + "  " + percent(pca.shares(j)) + "\n";
  if (!s.sample->fit_note.empty()) shares += s.sample->fit_note + "\n";
  console().write(shares);
  // The log's numbers: every share, exactly.
  std::string log_text = shares;
  if (s.full_precision) {
    log_text += "Full precision (shares of the variance):";
    for (long long j = 0; j < r; ++j)
      log_text +=
          (j ? "; PC" : " PC") + std::to_string(j + 1) + " = " + format_number_exact(pca.shares(j));
  }
  log_report("Principal components of shape", log_text);

  // PC1 against PC2 in the main window's plot, coloured by X when it is loaded.
  const gfx::Handle ax = control("axes1");
  g.clear_axes(ax);
  const Eigen::VectorXd pc1 = pca.scores.col(0), pc2 = pca.scores.col(1);
  if (s.x && s.x->size() == pc1.size() && s.x->maxCoeff() > s.x->minCoeff()) {
    // Eight colour classes from blue (smallest X) to red (largest).
    constexpr int kClasses = 8;
    const double lo = s.x->minCoeff(), hi = s.x->maxCoeff();
    g.hold(ax, true);
    for (int c = 0; c < kClasses; ++c) {
      std::vector<double> xs, ys;
      for (Eigen::Index i = 0; i < pc1.size(); ++i) {
        const int cls =
            std::min(kClasses - 1, static_cast<int>(kClasses * ((*s.x)(i)-lo) / (hi - lo)));
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
  style_pca_scatter(ax, s.x && s.x->size() == pc1.size() ? &*s.x : nullptr, s.x_name);

  // The mean shape moved along the chosen component, in the 3D window.
  const shape::Config target =
      shape::component_shape(s.sample->reference, pca, component - 1, factor);
  g.make_current(figure3d());
  g.clear_figure(g.current_figure());
  draw_deformation(s.sample->reference, target, display_code(s.inputs),
                   "PC" + std::to_string(component) + ", " + format_number(factor) + " SD");
  make_main_current();
}

void save_pca(const Value&) {
  const shape::ShapePca pca = sample_components();
  const std::span<const double> variances(pca.variances.data(),
                                          static_cast<std::size_t>(pca.variances.size()));
  // One line of component scores a specimen, then one line of the variances.
  std::string text = io::format_g_lines(pca.scores, number_format());
  io::append_g_line(text, variances, number_format());
  const auto path = save_text("File Name for Principal Component Scores", text, [&] {
    return io::pca_table_text(state().sample->names, pca.scores, variances, number_format());
  });
  if (path) {
    show_status("Saved principal component scores: " + *path + " (" +
                size_text(pca.scores.rows(), pca.scores.cols()) + ", then the variances)");
  }
}

// --- the loaded sample as files ----------------------------------------------

void save_names(const Value&) {
  const AppState& s = state();
  const Sample& sample = *s.sample;
  // The names beside what was computed for each specimen, so that other
  // programs can match the rows of the score file to specimens.
  std::vector<std::string> headers;
  Eigen::MatrixXd values;
  if (s.scores && s.scores->rows() == sample.specimens()) {
    values.resize(sample.specimens(), s.scores->cols() + 1);
    values << *s.scores, sample.centroid_sizes();
    headers = io::score_names(s.scores->cols());
  } else {
    values = sample.centroid_sizes();
  }
  headers.push_back("CS");
  const auto path =
      save_text("File Name for Specimen Names",
                io::specimen_names_text(sample.names, values, headers, number_format()));
  if (!path) return;
  if (s.scores && s.scores->rows() == sample.specimens()) state().scores_unsaved = false;
  show_status("Saved specimen names: " + *path + " (" + std::to_string(sample.specimens()) +
              " specimens, " + std::to_string(values.cols()) + " values each)");
}

void save_landmarks(const Value&) {
  const Sample& sample = *state().sample;
  auto pick = pick_file_to_save("*.*", "File Name for Landmarks");
  if (!pick) return;
  io::ImportedSample out;
  out.rows = sample.rows;
  out.names = sample.names;
  // A .csv name gets the table that spreadsheets and R read; any other the
  // native layout, one specimen a line.
  std::string ext = pick->name.substr(std::min(pick->name.size(), pick->name.find_last_of('.')));
  for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  const std::string text = ext == ".csv" ? io::csv_sample_text(out) : io::native_sample_text(out);
  try {
    write_file_safely(pick->path(), text);
  } catch (const std::exception& e) {
    refuse(e.what(), "File not saved");
  }
  show_status("Saved landmarks: " + pick->path() + " (" + std::to_string(sample.specimens()) +
              " specimens × " + std::to_string(sample.landmarks()) + " landmarks)");
}

}  // namespace velmora::app::actions

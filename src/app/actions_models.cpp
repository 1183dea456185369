// Groups and linear models in the window and in batch: the specimen table,
// the model, the factor and the sums of squares chosen, the Procrustes
// ANOVA, pairwise group comparisons, size-corrected shapes, canonical
// variates and the change from one group's mean shape to another's.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <map>

#include "app/actions.hpp"
#include "app/inputs.hpp"
#include "app/presenting.hpp"
#include "app/script_text.hpp"
#include "app/switchyard.hpp"
#include "app/workspace.hpp"
#include "core/file_bytes.hpp"
#include "core/number_text.hpp"
#include "core/shown_text.hpp"
#include "io/result_files.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/safe_file.hpp"
#include "report/analysis_text.hpp"
#include "report/tables.hpp"
#include "stats/model_formula.hpp"
#include "view/analysis_plots.hpp"
#include "view/display_style.hpp"
#include "view/figure3d.hpp"
#include "view/group_plots.hpp"
#include "view/loaders.hpp"
#include "view/main_window.hpp"
#include "view/places.hpp"
#include "view/shown_shapes.hpp"

namespace velmora::app::actions {

namespace {

// How many models Set Model keeps to offer again.
constexpr std::size_t kRecentModels = 5;

// The choice of the Set Factor list that chooses none.
constexpr const char* kNoFactor = "No factor (all specimens together)";

std::vector<std::string> factor_names(Workspace& ws) {
  std::vector<std::string> names;
  for (const stats::ModelVariable& v : ws.session.model_variables())
    if (!v.numeric) names.push_back(v.name);
  return names;
}

// The first covariate term of the chosen model (`log(CS)`), or empty.
std::string model_covariate(Workspace& ws) {
  if (ws.session.choices().formula.empty()) return {};
  const stats::ModelFormula f = stats::parse_model_formula(ws.session.choices().formula);
  const std::vector<stats::ModelVariable> variables = ws.session.model_variables();
  for (const stats::ModelTerm& t : f.terms) {
    if (t.parts.size() != 1) continue;
    for (const stats::ModelVariable& v : variables)
      if (v.name == t.parts[0].variable && v.numeric) return t.parts[0].text();
  }
  return {};
}

}  // namespace

void load_specimen_table(Workspace& ws, const Value&) {
  auto pick = pick_file_to_load("*.*");
  if (!pick) return;
  const analysis::SpecimenTableReport r = ws.session.load_specimen_table({pick->path()});
  std::string text = std::to_string(r.factors) + (r.factors == 1 ? " factor, " : " factors, ") +
                     std::to_string(r.covariates) +
                     (r.covariates == 1 ? " covariate" : " covariates") + " for " +
                     std::to_string(ws.session.sample().specimens()) + " specimens" +
                     (r.rows_in_order ? ", one a row in file order (no column names them):" : ":");
  for (const std::string& line : r.lines) text += "\n  " + line;
  // The data panel: the sample, then each factor with its levels and counts.
  const analysis::Sample& sample = ws.session.sample();
  std::string groups;
  for (const stats::ModelVariable& v : ws.session.model_variables()) {
    if (v.numeric) continue;
    std::map<std::string, int> counts;
    for (const std::string& l : v.levels) ++counts[l];
    groups += (groups.empty() ? "" : "; ") + shown_text(v.name) + ":";
    for (const auto& [level, count] : counts)
      groups += " " + shown_text(level) + " " + std::to_string(count);
  }
  show_file_box("File: " + shown_name(sample.file_name) + "\n" +
                std::to_string(sample.specimens()) + " specimens, " +
                std::to_string(sample.landmarks()) + " landmarks\n" +
                (groups.empty() ? "No factor" : groups));
  const std::string title = "Specimen table " + shown_name(r.file_name);
  console().write(title + "\n" + text + "\n");
  log_report(ws, title, text);
  show_status("Loaded specimen table " + shown_name(r.file_name) + ": " +
              std::to_string(r.factors) + " factors, " + std::to_string(r.covariates) +
              " covariates");
}

void set_model(Workspace& ws, const Value& fpass) {
  std::optional<std::string> formula =
      text_argument(fpass, "SetModel \"shape ~ log(CS) * population\"");
  if (!formula) {
    // The window offers the usual models of the factors the sample has.
    std::vector<std::string> offered;
    for (const std::string& f : factor_names(ws)) {
      // A name of other characters than letters, digits, `_` and `.` in backquotes.
      const bool plain = std::all_of(f.begin(), f.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.';
      });
      const std::string name = plain ? f : "`" + f + "`";
      offered.push_back("shape ~ log(CS) * " + name);
      offered.push_back("shape ~ log(CS) + " + name);
      offered.push_back("shape ~ " + name);
    }
    offered.push_back("shape ~ log(CS)");
    if (ws.session.x()) offered.push_back("shape ~ X");
    // The models set before come first; any other may be typed.
    std::vector<std::string> list = ws.window.recent_models;
    for (const std::string& m : offered)
      if (std::find(list.begin(), list.end(), m) == list.end()) list.push_back(m);
    formula = choose_or_type("Set Model",
                             "Which model does the Procrustes ANOVA fit? Choose one, or type a "
                             "formula (shape ~ log(CS) * population).",
                             list);
    if (!formula) {
      ws.recorder.drop_step();  // cancelled: nothing changed, nothing to replay
      return;
    }
    ws.recorder.record_argument(quote_script_text(*formula));
  }
  // Names and degenerate terms are checked by the session, against the
  // sample loaded; a refused model leaves the one before.
  const std::vector<std::string> labels = ws.session.choose_model(*formula);
  std::vector<std::string>& recent = ws.window.recent_models;
  recent.erase(std::remove(recent.begin(), recent.end(), ws.session.choices().formula),
               recent.end());
  recent.insert(recent.begin(), ws.session.choices().formula);
  if (recent.size() > kRecentModels) recent.resize(kRecentModels);
  std::string terms;
  for (const std::string& t : labels) terms += (terms.empty() ? "" : " + ") + shown_text(t);
  console().line("Model: shape ~ " + terms);
  show_status("Model: shape ~ " + terms);
}

void set_factor(Workspace& ws, const Value& fpass) {
  const std::vector<std::string> names = factor_names(ws);
  std::optional<std::string> name = text_argument(fpass, "SetFactor population");
  if (!name) {
    if (names.empty())
      refuse("The sample has no factor: load a specimen table with a column of text first.");
    std::vector<std::string> offered = names;
    offered.push_back(kNoFactor);
    const auto chosen = choose_from_list("Set Factor", "Which factor makes the groups?", offered);
    if (!chosen) return;
    name = offered[*chosen];
  }
  // A factor's own name comes first: only a sample without a factor
  // `none` reads it as no factor.
  const bool named = std::find(names.begin(), names.end(), *name) != names.end();
  if (!named && (*name == kNoFactor || *name == "none")) {
    ws.session.set_factor("");
    console().line("Factor: none");
    show_status("No factor: the regression and the plots take all specimens together");
    return;
  }
  if (!named) {
    std::string listed;
    for (const std::string& n : names) listed += (listed.empty() ? "" : ", ") + shown_text(n);
    refuse("The sample has no factor \"" + shown_text(*name) + "\"" +
           (names.empty() ? std::string("; load a specimen table with a column of text first.")
                          : "; its factors are " + listed + "."));
  }
  ws.session.set_factor(*name);
  console().line("Factor: " + shown_text(*name));
  show_status("Groups by " + shown_text(*name));
}

void set_ss_type(Workspace& ws, const Value& fpass) {
  const std::optional<std::string> word = text_argument(fpass, "SetSSType II");
  if (!word || (*word != "I" && *word != "II"))
    refuse(
        "The sums of squares are I (sequential) or II (each term after the terms that do not "
        "contain it), as in SetSSType II.");
  ws.session.set_sums_of_squares(*word == "I" ? stats::SumsOfSquares::Sequential
                                              : stats::SumsOfSquares::Marginal);
  console().line(std::string("Sums of squares: type ") + *word);
}

void procrustes_anova(Workspace& ws, const Value&) {
  const analysis::ModelChoice& c = ws.session.choices();
  analysis::AnovaParams params = randomized(ws, analysis::AnovaParams{});
  params.formula = ws.session.chosen_formula();
  params.type = c.sums;
  const analysis::AnovaReport r = ws.session.procrustes_anova(params);
  const bool sequential = c.sums == stats::SumsOfSquares::Sequential;
  std::string text =
      "Model: " + r.formula + "\n" + (sequential ? "Sequential (type I)" : "Type II") +
      " sums of squares, " + randomization_text(params.permutations, params.seed) +
      " (randomized residuals)\n" + stats::anova_table_text(r.anova, ws.window.full_precision);
  if (!r.verdict.empty()) text += (text.back() == '\n' ? "" : "\n") + r.verdict;
  if (!r.fit_note.empty()) text += "\n" + r.fit_note;
  stats::ProcrustesAnova table = r.anova;
  table.log_f.clear();  // the table needs none of the permutations' values
  ws.window.last_table = LastTable{
      "Procrustes ANOVA", [table](bool full) { return stats::anova_table_rows(table, full); }};
  present(ws, "Procrustes ANOVA", text);
}

void pairwise_groups(Workspace& ws, const Value&) {
  analysis::PairwiseParams params = randomized(ws, analysis::PairwiseParams{});
  params.factor = ws.session.chosen_factor().name;
  params.covariate = model_covariate(ws);
  const analysis::PairwiseReport r = ws.session.pairwise_groups(params);
  std::string text =
      "Groups: " + shown_text(params.factor) +
      (r.slopes ? ", covariate " + shown_text(params.covariate) +
                      " (least-squares means at its mean; angles in degrees between slope "
                      "vectors; differences of their lengths)"
                : " (Procrustes distances between group means)") +
      "\n" + randomization_text(params.permutations, params.seed) + " (randomized residuals)\n" +
      report::aligned(report::pairwise_table(r, ws.window.full_precision));
  text.pop_back();
  if (!r.fit_note.empty()) text += "\n" + r.fit_note;
  ws.window.last_table = LastTable{"Pairwise group comparisons",
                                   [r](bool full) { return report::pairwise_table(r, full); }};
  present(ws, "Pairwise group comparisons", text);
}

void save_residuals(Workspace& ws, const Value&) {
  const std::string formula = ws.session.chosen_formula();
  const analysis::SizeCorrectionReport r = ws.session.size_corrected_shapes({formula});
  const analysis::Sample& sample = ws.session.sample();
  // The layout of a landmark file (x1 y1 z1 … centroid size), so that Load
  // Landmarks reads the shapes back, for a PCA of them.
  Eigen::MatrixXd rows(r.shapes.rows(), r.shapes.cols() + 1);
  rows << r.shapes, sample.centroid_sizes();
  const io::NumberFormat format =
      ws.window.full_precision ? io::NumberFormat::FullPrecision : io::NumberFormat::SixDigits;
  const std::string text = io::format_g_lines(rows, format);
  auto pick = pick_file_to_save("*.*", "File Name for Size-Corrected Shapes");
  if (!pick) return;
  try {
    write_file_safely(pick->path(), text);
  } catch (const std::exception& e) {
    refuse(e.what(), "File not saved");
  }
  const std::string what = "Saved size-corrected shapes: " + shown_name(pick->path()) + " (" +
                           std::to_string(rows.rows()) + " × " + std::to_string(rows.cols()) +
                           ": the residuals of " + shown_text(r.formula, kShownFormulaBytes) +
                           " added to the consensus, then centroid size)";
  console().line(what);
  show_status(what);
}

void canonical_variates(Workspace& ws, const Value&) {
  const stats::ModelVariable factor = ws.session.chosen_factor();
  analysis::CvaParams params = randomized(ws, analysis::CvaParams{});
  params.factor = factor.name;
  const analysis::CvaReport r = ws.session.canonical_variates(params);
  const stats::CanonicalVariates& cva = r.cva;
  std::string text = "Groups: " + shown_text(factor.name) + ", on " + r.components_text + "\n";
  text += "Eigenvalues:";
  for (Eigen::Index i = 0; i < cva.eigenvalues.size(); ++i)
    text += " " + report_number(ws, cva.eigenvalues(i));
  text +=
      "\n" + randomization_text(params.permutations, params.seed) + " (group labels permuted)\n";
  text += report::aligned(report::cva_distance_table(cva, ws.window.full_precision));
  text += "Leave-one-out classification (rows: group, columns: assigned):\n";
  text += report::aligned(report::cva_classification_table(cva));
  const Eigen::Index right = cva.classification.diagonal().sum();
  text += std::to_string(right) + " of " + std::to_string(cva.classification.sum()) +
          " specimens assigned to their own group";
  if (!r.fit_note.empty()) text += "\n" + r.fit_note;

  // CV1 against CV2 in the main window's plot, a colour a group; with two
  // groups, one canonical variate: a histogram of CV1 a group.
  plot_cv_scores(ws, cva.scores);
  ws.window.last_table = LastTable{
      "Canonical variates", [cva](bool full) { return report::cva_distance_table(cva, full); }};
  present(ws, "Canonical variates", text);
}

void show_group_difference(Workspace& ws, const Value& fpass) {
  const ValueList args = action_arguments(fpass);
  const stats::ModelVariable factor = ws.session.chosen_factor();
  const std::vector<std::string> levels = stats::factor_levels(factor.levels);
  std::string listed;
  for (const std::string& l : levels) listed += (listed.empty() ? "" : ", ") + shown_text(l);
  const std::string groups_of = shown_text(factor.name) + " (" + listed + ")";
  std::vector<std::string> pair;
  if (levels.size() < 2)
    refuse("Show Group Difference needs two different groups of " + shown_text(factor.name) +
           "; it has only " + listed + ".");
  if (args.empty()) {
    // The window asks for the two groups in turn; the second list offers
    // the groups other than the first's choice.
    std::vector<std::string> offered = levels;
    for (const char* prompt : {"From the mean shape of which group?", "To which group's mean?"}) {
      const auto chosen = choose_from_list("Show Group Difference", prompt, offered);
      if (!chosen) return;
      pair.push_back(offered[*chosen]);
      offered.erase(offered.begin() + static_cast<std::ptrdiff_t>(*chosen));
    }
  } else {
    for (const Value& a : args) {
      // A group is named by its text; a number or a list of them names none.
      if (!a.is_char() || a.to_string().empty())
        refuse("Show Group Difference takes the names of two groups of " + groups_of +
               " as text, not " +
               (a.is_char()                       ? std::string("an empty text")
                : a.is_double() && a.numel() == 1 ? "the number " + shortest_number(a(0))
                                                  : std::string("a list of numbers")) +
               ".");
      pair.push_back(a.to_string());
    }
  }
  if (pair.size() != 2) refuse("Show Group Difference takes two groups of " + groups_of + ".");
  for (const std::string& p : pair)
    if (std::find(levels.begin(), levels.end(), p) == levels.end())
      refuse("\"" + shown_text(p) + "\" is not a group of " + groups_of + ".");
  if (pair[0] == pair[1])
    refuse("Show Group Difference needs two different groups of " + groups_of + ", not " +
           shown_text(pair[0]) + " twice.");
  const auto fit = ws.session.superimposition();
  const Eigen::MatrixXd& tangent = *fit->tangent();
  const shape::Config& consensus = fit->reference();
  // Each group's mean tangent coordinates (stacked: all x, all y, all z).
  auto group_mean = [&](const std::string& level) {
    Eigen::RowVectorXd sum = Eigen::RowVectorXd::Zero(tangent.cols());
    double count = 0;
    for (Eigen::Index i = 0; i < tangent.rows(); ++i)
      if (factor.levels[static_cast<std::size_t>(i)] == level) sum += tangent.row(i), ++count;
    return Eigen::RowVectorXd(sum / count);
  };
  const Eigen::RowVectorXd from = group_mean(pair[0]), to = group_mean(pair[1]);
  const double factor_times = ws.window.inputs.exaggeration;
  const shape::Config reference = consensus + shape::config_of_stacked(from);
  const shape::Config target =
      consensus + shape::config_of_stacked(from + factor_times * (to - from));
  clear_current_figure();
  const std::string name =
      shown_text(pair[0]) + " to " + shown_text(pair[1]) + ", ×" + format_number(factor_times);
  draw_deformation(ws, reference, target, display_code(ws.window.inputs), name,
                   "Mean shape of " + shown_text(pair[0]));
  show_status("Group difference: " + name);
}

}  // namespace velmora::app::actions

namespace velmora::app::actions {

void set_group_outline(Workspace& ws, const Value& fpass) {
  const std::optional<std::string> word = text_argument(fpass, "SetGroupOutline ellipses");
  GroupOutline& outline = ws.window.outline;
  if (word == "none")
    outline = GroupOutline::None;
  else if (word == "ellipses")
    outline = GroupOutline::Ellipses;
  else if (word == "hulls")
    outline = GroupOutline::Hulls;
  else
    refuse(
        "Groups are outlined by none, ellipses (95 % confidence of each mean) or hulls, as in "
        "SetGroupOutline ellipses.");
}

void show_group_means(Workspace& ws, const Value&) {
  const stats::ModelVariable factor = ws.session.chosen_factor();
  const std::vector<std::string> levels = stats::factor_levels(factor.levels);
  const auto fit = ws.session.superimposition();
  const Eigen::MatrixXd& tangent = *fit->tangent();
  const shape::Config& consensus = fit->reference();
  std::vector<ShownShape> means;
  for (std::size_t c = 0; c < levels.size(); ++c) {
    Eigen::RowVectorXd sum = Eigen::RowVectorXd::Zero(tangent.cols());
    double count = 0;
    for (Eigen::Index i = 0; i < tangent.rows(); ++i)
      if (factor.levels[static_cast<std::size_t>(i)] == levels[c]) sum += tangent.row(i), ++count;
    means.push_back({"Mean of " + levels[c] + " (" + std::to_string(int(count)) + ")",
                     consensus + shape::config_of_stacked(sum / count)});
  }
  draw_group_shapes(ws, means);
  show_status("Mean shapes of the groups of " + shown_text(factor.name));
}

}  // namespace velmora::app::actions

// Integration, modularity and disparity in the window and in batch: the
// partition of the landmarks into blocks, the two-block PLS and how its
// blocks are superimposed, the covariance ratio test of modularity, the
// comparison of integration between groups, and the Procrustes variances
// of groups.
#include <algorithm>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "app/actions.hpp"
#include "app/inputs.hpp"
#include "app/presenting.hpp"
#include "app/script_recorder.hpp"
#include "app/switchyard.hpp"
#include "app/workspace.hpp"
#include "core/file_bytes.hpp"
#include "core/shown_text.hpp"
#include "platform/runtime/console.hpp"
#include "platform/value/value.hpp"
#include "report/report_text.hpp"
#include "view/figure3d.hpp"
#include "view/integration_plots.hpp"
#include "view/loaders.hpp"
#include "view/main_window.hpp"
#include "view/places.hpp"
#include "view/shown_shapes.hpp"

namespace velmora::app::actions {

namespace {

using Numbers = std::vector<std::pair<std::string, double>>;

// The least share of squared covariance of a pair of PLS axes the report
// prints.
constexpr double kShownPlsShare = 1e-3;

// The report, in the log with every number of `numbers` in full while result
// files are written in full precision, and in its message window.
void present_with_numbers(Workspace& ws, const std::string& title, const std::string& text,
                          const std::string& fit_note, const Numbers& numbers) {
  std::string logged = with_fit_note(text, fit_note);
  if (ws.window.full_precision) {
    logged += "\nFull precision:";
    const char* sep = " ";
    for (const auto& [name, value] : numbers) {
      logged += sep + name + " = " + format_number_exact(value);
      sep = "; ";
    }
  }
  log_report(ws, title, logged);
  echo("ans", show_table_window(with_fit_note(text, fit_note), title));
}

// A long test shows how far it is, a few times a second at most.
stats::PermutationProgress progress_of(const std::string& what) {
  auto last = std::make_shared<std::chrono::steady_clock::time_point>();
  return [what, last](int done, int total) {
    const auto now = std::chrono::steady_clock::now();
    if (now - *last < std::chrono::milliseconds(200)) return true;
    *last = now;
    show_test_status(what + ": " + std::to_string(done) + " of " + std::to_string(total) +
                     " orderings");
    return true;
  };
}

// Runs a test with a progress line that is cleared afterwards, cancelled too.
template <typename Run>
auto with_progress(Run&& run) {
  try {
    auto r = run();
    show_test_status("");
    return r;
  } catch (const analysis::Error& e) {
    if (e.kind() == analysis::ErrorKind::Cancelled) show_test_status("");
    throw;
  }
}

// The pairs of PLS axes that hold a thousandth of the squared covariance or
// more (at least the first), then how many more there are and their share
// together: Save Table and the full-precision line give every pair.
std::string pls_pairs_text(const stats::TwoBlockPls& pls, bool full) {
  report::TableRows rows = stats::pls_table_rows(pls, full);
  const Eigen::VectorXd& share = pls.covariance_share;
  Eigen::Index shown = 1;
  while (shown < share.size() && share(shown) >= kShownPlsShare) ++shown;
  rows.resize(static_cast<std::size_t>(shown) + 1);
  std::string text = report::aligned(rows);
  const Eigen::Index rest = share.size() - shown;
  if (rest > 0)
    text += "(" + std::to_string(rest) + (rest == 1 ? " more pair, " : " more pairs, ") +
            "together " + report::table_cell(share.tail(rest).sum(), full) +
            " of the squared covariance)\n";
  return text;
}

std::string fit_text(analysis::PlsFit fit) {
  return fit == analysis::PlsFit::Joint ? "one joint superimposition"
                                        : "a separate superimposition of each block";
}

// The factor an analysis of groups takes: its argument, else the factor
// chosen, else (in the window) one chosen from a list.
std::optional<std::string> factor_argument(Workspace& ws, const Value& fpass,
                                           const std::string& action) {
  if (auto name = text_argument(fpass, action + " population")) return name;
  if (!ws.session.choices().factor.empty()) return ws.session.choices().factor;
  std::vector<std::string> names;
  for (const stats::ModelVariable& v : ws.session.model_variables())
    if (!v.numeric) names.push_back(v.name);
  if (names.empty())
    refuse(action +
           " needs a factor: load a specimen table with a column of text first, then name it (" +
           action + " population).");
  const auto chosen = choose_from_list(action, "Which factor makes the groups?", names);
  if (!chosen) {
    ws.recorder.drop_step();
    return std::nullopt;
  }
  ws.recorder.record_argument(names[*chosen]);
  return names[*chosen];
}

}  // namespace

void load_partition(Workspace& ws, const Value&) {
  auto pick = pick_file_to_load("*.*");
  if (!pick) return;
  const analysis::PartitionReport r = ws.session.load_partition(pick->path());
  const std::string line = "Partition \"" + shown_name(pick->name) + "\": " + r.message;
  console().line(line);
  show_status(line);
}

void set_pls_fit(Workspace& ws, const Value& fpass) {
  const std::string word = fpass.is_char() ? fpass.to_string() : std::string();
  if (word != "joint" && word != "separate")
    refuse(
        "SetPLSFit takes \"joint\" (one superimposition of the whole configuration) or "
        "\"separate\" (each block superimposed on its own), not \"" +
        shown_text(script_argument(fpass)) + "\".");
  const bool joint = word == "joint";
  ws.session.set_pls_fit(joint ? analysis::PlsFit::Joint : analysis::PlsFit::Separate);
  check_menu_pair("PLSFitJoint", "PLSFitSeparate", joint);
}

void two_block_pls(Workspace& ws, const Value& fpass) {
  analysis::PlsParams params = randomized(ws, analysis::PlsParams{});
  std::vector<std::string> words = argument_words(fpass);
  const std::string usage =
      "TwoBlockPLS takes no words (the first two blocks of the partition), or \"covariates\" and "
      "the names of columns of numbers, as in TwoBlockPLS covariates age weight.";
  if (!words.empty()) {
    if (words[0] != "covariates") refuse(usage);
    if (words.size() == 1) {
      // The window's menu item asks for the columns.
      std::vector<std::string> offered;
      for (const stats::ModelVariable& v : ws.session.model_variables())
        if (v.numeric) offered.push_back(v.name);
      const std::optional<std::string> typed = choose_or_type(
          "Two-Block PLS",
          "Shape against which covariates? Choose one, or type names (age weight).", offered);
      if (!typed) {
        ws.recorder.drop_step();
        return;
      }
      words = argument_words(Value(*typed));
      words.insert(words.begin(), "covariates");
      if (words.size() == 1) refuse(usage);
      std::string argument;
      for (const std::string& w : words) argument += (argument.empty() ? "" : " ") + w;
      ws.recorder.record_argument(argument);
    }
    params.covariates.assign(words.begin() + 1, words.end());
  }
  params.progress = progress_of("Two-block PLS");
  params.shape_factor = ws.window.inputs.component_factor;
  const analysis::PlsReport r = with_progress([&] { return ws.session.two_block_pls(params); });
  const stats::TwoBlockPls& pls = r.pls;
  const bool full = ws.window.full_precision;
  std::string text =
      "Blocks: " + r.left + " against " + r.right +
      (r.covariates ? std::string(", shape as superimposed") : ", after " + fit_text(r.fit)) +
      "\n" + std::to_string(pls.n) + " specimens, " +
      randomization_text(params.permutations, params.seed) + " (rows of one block permuted)\n" +
      pls_pairs_text(pls, full) + report::aligned(stats::pls_summary_rows(pls, full));
  text.pop_back();
  Numbers numbers;
  for (Eigen::Index i = 0; i < pls.singular_values.size(); ++i)
    numbers.emplace_back("SV" + std::to_string(i + 1), pls.singular_values(i));
  for (Eigen::Index i = 0; i < pls.covariance_share.size(); ++i)
    numbers.emplace_back("Share" + std::to_string(i + 1), pls.covariance_share(i));
  numbers.insert(numbers.end(), {{"r-PLS", pls.r_pls}, {"RV", pls.rv}, {"p", pls.p}, {"Z", pls.z}});
  plot_pls_scores(ws, pls.left_scores, pls.right_scores, r.left, r.right, pls.r_pls);
  // Each shape block moved along its first PLS axis, in the 3-D view.
  if (r.shape_change) {
    begin_figure3d_display(ws);
    const std::string type = display_code(ws.window.inputs);
    const std::string name = "PLS1, " + format_number(params.shape_factor) + " SD of the scores" +
                             (r.covariates ? std::string() : " of each block");
    if (type == "a" || type == "b")
      draw_shape_pair(ws, r.reference, r.target, type, "Mean shape", name);
    else
      draw_deformation(ws, r.reference, r.target, type, name);
    make_main_current(ws);
  } else {
    show_status(
        "The shape change along the PLS axes is drawn after the joint superimposition "
        "(SetPLSFit joint), where both blocks share the mean shape's frame.");
  }
  ws.window.last_table = LastTable{"Two-block PLS", [pls](bool f) {
                                     report::TableRows rows = stats::pls_table_rows(pls, f);
                                     for (auto& row : stats::pls_summary_rows(pls, f))
                                       rows.push_back(row);
                                     return rows;
                                   }};
  present_with_numbers(ws, "Two-block PLS", text, r.fit_note, numbers);
}

void modularity_test(Workspace& ws, const Value&) {
  analysis::ModularityParams params = randomized(ws, analysis::ModularityParams{});
  params.progress = progress_of("Modularity test");
  const analysis::ModularityReport r =
      with_progress([&] { return ws.session.modularity_test(params); });
  const stats::ModularityTest& t = r.test;
  std::string blocks;
  for (const std::string& l : r.labels) blocks += (blocks.empty() ? "" : ", ") + shown_text(l);
  std::string text =
      "Blocks: " + blocks + "\n" + randomization_text(params.permutations, params.seed) +
      " (landmarks reassigned to blocks at random, block sizes kept)\n" +
      report::aligned(stats::modularity_rows(t, ws.window.full_precision)) +
      "CR is Velmora's covariance ratio, each landmark's own 3×3 block of covariances set to zero "
      "(unchanged by any rotation); CR (geomorph) sets only the diagonal to zero, at its angle "
      "about z.\nCR below the null (a small p, a negative Z) indicates modularity: " +
      (t.p <= 0.05 ? "here the blocks covary less than random partitions do (p = " +
                         report_number(ws, t.p) + ")."
                   : "here it is not below them (p = " + report_number(ws, t.p) + ").");
  ws.window.last_table =
      LastTable{"Modularity test", [t](bool f) { return stats::modularity_rows(t, f); }};
  present_with_numbers(ws, "Modularity test (covariance ratio)", text, r.fit_note,
                       {{"CR", t.cr},
                        {"CR (geomorph)", t.geomorph_cr},
                        {"Angle", t.geomorph_angle},
                        {"p", t.p},
                        {"Z", t.z}});
}

void compare_integration(Workspace& ws, const Value& fpass) {
  const std::optional<std::string> factor = factor_argument(ws, fpass, "CompareIntegration");
  if (!factor) return;
  analysis::IntegrationComparisonParams params =
      randomized(ws, analysis::IntegrationComparisonParams{});
  params.factor = *factor;
  const analysis::IntegrationComparisonReport r = ws.session.compare_integration(params);
  const stats::IntegrationComparison& c = r.comparison;
  std::string text =
      "Blocks: " + r.left + " against " + r.right + ", after " + fit_text(r.fit) +
      "\nGroups: " + shown_text(*factor) + ", " +
      randomization_text(params.permutations, params.seed) + " in each group\n" +
      report::aligned(stats::integration_comparison_rows(c, ws.window.full_precision));
  text.pop_back();
  Numbers numbers;
  const auto g = static_cast<Eigen::Index>(c.levels.size());
  for (Eigen::Index i = 0; i < g; ++i)
    numbers.emplace_back("Z " + c.levels[static_cast<std::size_t>(i)], c.z(i));
  for (Eigen::Index i = 0; i < g; ++i)
    for (Eigen::Index j = i + 1; j < g; ++j) {
      const std::string pair =
          c.levels[static_cast<std::size_t>(i)] + "-" + c.levels[static_cast<std::size_t>(j)];
      numbers.emplace_back("z " + pair, c.pairwise_z(i, j));
      numbers.emplace_back("p " + pair, c.pairwise_p(i, j));
    }
  ws.window.last_table = LastTable{
      "Integration compared", [c](bool f) { return stats::integration_comparison_rows(c, f); }};
  present_with_numbers(ws, "Integration compared between groups of " + shown_text(*factor), text,
                       r.fit_note, numbers);
}

void disparity(Workspace& ws, const Value& fpass) {
  const std::optional<std::string> factor = factor_argument(ws, fpass, "Disparity");
  if (!factor) return;
  analysis::DisparityParams params = randomized(ws, analysis::DisparityParams{});
  params.factor = *factor;
  const analysis::DisparityReport r = ws.session.disparity(params);
  const stats::Disparity& d = r.disparity;
  std::string text = "Groups: " + shown_text(*factor) + ", " +
                     (r.model.empty() ? std::string("residuals of the group means")
                                      : "residuals of " + shown_text(r.model, kShownFormulaBytes)) +
                     "\n" + randomization_text(params.permutations, params.seed) +
                     " (residual vectors permuted among the specimens)\n" +
                     report::aligned(stats::disparity_rows(d, ws.window.full_precision));
  text.pop_back();
  Numbers numbers;
  const auto g = static_cast<Eigen::Index>(d.levels.size());
  for (Eigen::Index i = 0; i < g; ++i)
    numbers.emplace_back("ProcVar " + d.levels[static_cast<std::size_t>(i)], d.variance(i));
  for (Eigen::Index i = 0; i < g; ++i)
    for (Eigen::Index j = i + 1; j < g; ++j) {
      const std::string pair =
          d.levels[static_cast<std::size_t>(i)] + "-" + d.levels[static_cast<std::size_t>(j)];
      numbers.emplace_back("|diff| " + pair, d.difference(i, j));
      numbers.emplace_back("p " + pair, d.p(i, j));
    }
  ws.window.last_table =
      LastTable{"Disparity", [d](bool f) { return stats::disparity_rows(d, f); }};
  present_with_numbers(ws, "Disparity of the groups of " + shown_text(*factor), text, r.fit_note,
                       numbers);
}

}  // namespace velmora::app::actions

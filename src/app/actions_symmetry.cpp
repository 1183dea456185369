// Bilateral symmetry and repeatability in the window and in batch: the
// landmark pairs, the symmetry ANOVA with its asymmetry indices, the
// symmetric and asymmetric components saved, the directional asymmetry drawn
// in 3-D and the repeatability of replicated configurations.
#include <string>
#include <vector>

#include "app/actions.hpp"
#include "app/inputs.hpp"
#include "app/presenting.hpp"
#include "app/switchyard.hpp"
#include "app/workspace.hpp"
#include "core/number_text.hpp"
#include "core/shown_text.hpp"
#include "io/pair_files.hpp"
#include "io/result_files.hpp"
#include "io/result_tables.hpp"
#include "platform/runtime/cformat.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/safe_file.hpp"
#include "report/report_text.hpp"
#include "report/symmetry_text.hpp"
#include "stats/procrustes_anova.hpp"
#include "view/figure3d.hpp"
#include "view/loaders.hpp"
#include "view/main_window.hpp"
#include "view/places.hpp"
#include "view/shown_shapes.hpp"

namespace velmora::app::actions {

namespace {

std::vector<std::string> factor_columns(Workspace& ws) {
  std::vector<std::string> names;
  for (const stats::ModelVariable& v : ws.session.model_variables())
    if (!v.numeric) names.push_back(v.name);
  return names;
}

// The columns an analysis names: as the action's words, or chosen from the
// factors in the window.  `side` offers object symmetry (no column) first.
std::optional<std::vector<std::string>> named_columns(Workspace& ws, const Value& fpass,
                                                      const std::string& title, bool side,
                                                      const std::string& example) {
  std::vector<std::string> words = argument_words(fpass);
  if (words.size() > (side ? 2u : 1u))
    refuse("The action names " + std::string(side ? "one or two columns" : "one column") +
           " of the specimen table, as in " + example + ".");
  if (!words.empty()) return words;
  const std::vector<std::string> factors = factor_columns(ws);
  if (factors.empty())
    refuse(
        "The sample has no factor to name the individuals: load a specimen table with a text "
        "column first.");
  const auto chosen = choose_from_list(title, "Which column names the individuals?", factors);
  if (!chosen) return std::nullopt;
  words.push_back(factors[*chosen]);
  if (side) {
    std::vector<std::string> offered{"None: object symmetry (the landmark pairs)"};
    offered.insert(offered.end(), factors.begin(), factors.end());
    const auto s = choose_from_list(title, "Which column names the sides?", offered);
    if (!s) return std::nullopt;
    if (*s > 0) words.push_back(offered[*s]);
  }
  return words;
}

io::NumberFormat result_format(const Workspace& ws) {
  return ws.window.full_precision ? io::NumberFormat::FullPrecision : io::NumberFormat::SixDigits;
}

void save_component(Workspace& ws, const Value& fpass, analysis::SymmetryPart part) {
  const bool symmetric = part == analysis::SymmetryPart::Symmetric;
  const std::string action = symmetric ? "SaveSymmetricComponent" : "SaveAsymmetricComponent";
  const std::optional<std::string> word = text_argument(fpass, action + " individual");
  if (word && *word != "individual")
    refuse(action + " takes no argument (one specimen a line) or \"individual\" (one " +
           "individual a line), not \"" + shown_text(*word) + "\".");
  const analysis::SymmetryComponentReport r =
      ws.session.symmetry_component({part, word.has_value()});
  const std::string what = symmetric ? "symmetric component" : "asymmetric component";
  auto pick = pick_file_to_save(
      "*.*",
      "File Name for the " + std::string(symmetric ? "Symmetric" : "Asymmetric") + " Component");
  if (!pick) return;
  try {
    if (io::names_a_table(pick->name))
      write_file_safely(pick->path(), io::shapes_table_text(r.names, r.rows, result_format(ws)));
    else
      write_file_safely(pick->path(), io::format_g_lines(r.rows, result_format(ws)));
  } catch (const std::exception& e) {
    refuse(e.what(), "File not saved");
  }
  const std::string text = "Saved the " + what + ": " + shown_name(pick->path()) + " (" +
                           std::to_string(r.rows.rows()) + (word ? " individuals" : " specimens") +
                           " × " + std::to_string((r.rows.cols() - 1) / 3) +
                           " landmarks in the joint superimposition, then centroid size)";
  console().line(text);
  show_status(text);
}

}  // namespace

void load_landmark_pairs(Workspace& ws, const Value&) {
  auto pick = pick_file_to_load("*.*");
  if (!pick) return;
  const auto k = static_cast<std::size_t>(ws.session.sample().landmarks());
  const analysis::LandmarkPairsReport r =
      ws.session.set_landmark_pairs(io::load_landmark_pairs(pick->path(), k), pick->name);
  console().line("Landmark pairs \"" + shown_name(pick->name) + "\": " + r.message);
  show_data_box(ws);
  show_status("Landmark pairs loaded from " + shown_name(pick->name) + ": " + r.message);
}

void symmetry_anova(Workspace& ws, const Value& fpass) {
  const auto columns = named_columns(ws, fpass, "Symmetry ANOVA", true,
                                     "SymmetryANOVA individual or SymmetryANOVA individual side");
  if (!columns) return;
  analysis::SymmetryParams params = randomized(ws, analysis::SymmetryParams{});
  params.individual = (*columns)[0];
  if (columns->size() > 1) params.side = (*columns)[1];
  const analysis::SymmetryReport r = ws.session.symmetry_anova(params);
  const bool full = ws.window.full_precision;
  const std::string text =
      report::symmetry_report_text(r, randomization_text(params.permutations, params.seed), full);
  stats::SymmetryAnova table = r.anova;
  table.log_f.clear();  // the table needs none of the permutations' values
  ws.window.last_table =
      LastTable{"Symmetry ANOVA", [table](bool f) { return stats::symmetry_table_rows(table, f); }};
  present(ws, "Symmetry ANOVA",
          full ? text + "\n" + report::symmetry_full_precision_line(r) : text);
}

void save_symmetric_component(Workspace& ws, const Value& fpass) {
  save_component(ws, fpass, analysis::SymmetryPart::Symmetric);
}

void save_asymmetric_component(Workspace& ws, const Value& fpass) {
  save_component(ws, fpass, analysis::SymmetryPart::Asymmetric);
}

void show_directional_asymmetry(Workspace& ws, const Value&) {
  const WindowState& s = ws.window;
  const double e = s.inputs.exaggeration;
  const analysis::DirectionalAsymmetryReport r = ws.session.directional_asymmetry({e});
  // The switchyard has made the 3D figure current.
  clear_current_figure();
  const std::string type = display_code(s.inputs);
  const std::string times = " (×" + format_number(e) + ")";
  if (type == "a" || type == "b") {
    draw_shape_pair(ws, r.opposite, r.target, type, "Mirror image" + times,
                    "Directional asymmetry" + times);
  } else {
    draw_deformation(ws, r.reference, r.target, type, "Directional asymmetry" + times,
                     "Symmetric mean shape");
  }
  show_status("Directional asymmetry of " + shown_text(ws.session.symmetry()->individual) +
              ": norm " + report_number(ws, r.size) + ", drawn ×" + format_number(e));
}

void repeatability(Workspace& ws, const Value& fpass) {
  const auto columns = named_columns(ws, fpass, "Repeatability", false, "Repeatability individual");
  if (!columns) return;
  analysis::RepeatabilityParams params = randomized(ws, analysis::RepeatabilityParams{});
  params.individual = (*columns)[0];
  const analysis::RepeatabilityReport r = ws.session.repeatability(params);
  const bool full = ws.window.full_precision;
  const std::string text = report::repeatability_report_text(
      r, randomization_text(params.permutations, params.seed), full);
  stats::ProcrustesAnova table = r.result.anova;
  table.log_f.clear();
  ws.window.last_table =
      LastTable{"Repeatability", [table](bool f) { return stats::anova_table_rows(table, f); }};
  const stats::Repeatability& q = r.result;
  const stats::AnovaLine& term = q.anova.terms.front();
  present(ws, "Repeatability",
          full ? text + "\n" +
                     report::full_precision_line({{"MS individual", term.ms},
                                                  {"F", term.F},
                                                  {"p", term.p},
                                                  {"replicates", q.replicates},
                                                  {"among", q.among},
                                                  {"error", q.error},
                                                  {"repeatability", q.repeatability},
                                                  {"measurement error share", q.error_share}})
               : text);
}

}  // namespace velmora::app::actions

#include "app/switchyard.hpp"

#include <cstdio>
#include <new>

#include "app/actions.hpp"
#include "app/script_recorder.hpp"
#include "app/workspace.hpp"
#include "core/errors.hpp"
#include "platform/runtime/cformat.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "view/display_style.hpp"
#include "view/figure3d.hpp"
#include "view/main_window.hpp"
#include "view/places.hpp"
#include "view/view3d.hpp"

namespace velmora::app {

namespace a = actions;

const std::vector<ActionSpec>& action_table() {
  constexpr unsigned S = kNeedSample, X = kNeedX, P = kNeedScores, R = kNeedRegression, F = kNeed3D,
                     M = kNeedSurface, N = kNeedNothing;
  using FR = FigureRule;
  static const std::vector<ActionSpec> table = {
      {"LoadData", a::load_data, N, FR::AsIs},
      {"LoadXList", a::load_x_list, S, FR::AsIs},
      {"UseCS", a::use_cs, S, FR::AsIs},
      {"DoRegression", a::do_regression, S | X, FR::AsIs},
      {"PlotPDistance", a::plot_p_distance, S | X, FR::AsIs},
      {"GetWilks", a::get_wilks, S | X | P, FR::AsIs},
      {"LinearDown", a::linear_down, N, FR::AsIs},
      {"LnDown", a::ln_down, N, FR::AsIs},
      {"LoadWireFrame", a::load_wire_frame, N, FR::AsIs},
      {"RotateRefX", a::rotate_ref_x, S | F, FR::Start3D},
      {"RotateRefZ", a::rotate_ref_z, S | F, FR::Start3D},
      {"LineThicknessUp", a::line_thickness_up, S | F, FR::AsIs},
      {"LineThicknessDown", a::line_thickness_down, S | F, FR::AsIs},
      {"SymbolSizeUp", a::symbol_size_up, S | F, FR::AsIs},
      {"SymbolSizeDown", a::symbol_size_down, S | F, FR::AsIs},
      {"SymbolFill", a::symbol_fill, S | F, FR::AsIs},
      {"SymbolEmpty", a::symbol_empty, S | F, FR::AsIs},
      {"TurnGridOn", a::turn_grid_on, S | F, FR::Start3D},
      {"ShowProcrustes", a::show_procrustes, S | F, FR::Start3D},
      {"ShowMean", a::show_mean, S | F, FR::Start3D},
      {"ShowRegression", a::show_regression, S | R | F, FR::Start3D},
      {"SaveWarp", a::save_warp, S | P, FR::AsIs},
      {"SaveRef", a::save_ref, S, FR::AsIs},
      {"SaveVector", a::save_vector, S | R, FR::AsIs},
      {"SetPlotDensity", a::set_plot_density, N, FR::AsIs},
      {"ArrowHeads", a::arrow_heads, N, FR::AsIs},
      {"NoArrowHeads", a::no_arrow_heads, N, FR::AsIs},
      {"SetReferenceSymbol", a::set_reference_symbol, N, FR::AsIs},
      {"SetLineFormat1", a::set_line_format1, N, FR::AsIs},
      {"SetLineWidth", a::set_line_width, N, FR::AsIs},
      {"ClearData", a::clear_data, N, FR::AsIs},
      {"DAxisOn", a::d_axis_on, S | F, FR::Start3DEnd2D},
      {"DAxisOff", a::d_axis_off, S | F, FR::Start3DEnd2D},
      {"DFigureClear", a::d_figure_clear, S | F, FR::Start3DEnd2D},
      {"CopyDClipboard", a::copy_d_clipboard, S | F, FR::Start3DEnd2D},
      {"CopyDEPS", a::copy_d_eps, S | F, FR::Start3DEnd2D},
      {"LabelAxis", a::label_axis, S | F, FR::Start3D},
      {"LabelLandmarks", a::label_landmarks, S | F, FR::Start3D},
      {"ToggleDots", a::toggle_dots, N, FR::AsIs},
      // Velmora's own actions come after the 39 of the main window.
      {"ExportFigure", a::export_figure, S | F, FR::Start3DEnd2D},
      {"ExportPlot", a::export_plot, S, FR::AsIs},
      {"SaveSessionScript", a::save_session_script, N, FR::AsIs},
      {"PermutationTest", a::permutation_test, S | X, FR::AsIs},
      {"ShowPCA", a::show_pca, S | F, FR::AsIs},
      {"SavePCA", a::save_pca, S, FR::AsIs},
      {"SaveSpecimenNames", a::save_names, S, FR::AsIs},
      {"SaveLandmarks", a::save_landmarks, S, FR::AsIs},
      {"SetSuperimposition", a::set_superimposition, N, FR::AsIs},
      {"SetFullPrecision", a::set_full_precision, N, FR::AsIs},
      {"ToggleLegend", a::toggle_legend, N, FR::AsIs},
      {"ColourByX", a::colour_by_x, N, FR::AsIs},
      {"SaveResultsLog", a::save_results_log, N, FR::AsIs},
      {"OpenRecent", a::open_recent, N, FR::AsIs},
      {"Quit", a::quit, N, FR::AsIs},
      {"About", a::about, N, FR::AsIs},
      {"UserGuide", a::user_guide, N, FR::AsIs},
      {"UseLabelAsX", a::use_label_as_x, S, FR::AsIs},
      {"LoadSpecimenTable", a::load_specimen_table, S, FR::AsIs},
      {"SetModel", a::set_model, S, FR::AsIs},
      {"SetFactor", a::set_factor, S, FR::AsIs},
      {"SetSSType", a::set_ss_type, N, FR::AsIs},
      {"ProcrustesANOVA", a::procrustes_anova, S, FR::AsIs},
      {"PairwiseGroups", a::pairwise_groups, S, FR::AsIs},
      {"SaveResiduals", a::save_residuals, S, FR::AsIs},
      {"CVA", a::canonical_variates, S, FR::AsIs},
      {"ShowGroupDifference", a::show_group_difference, S | F, FR::Start3D, 2},
      {"SetGroupOutline", a::set_group_outline, N, FR::AsIs},
      {"ShowGroupMeans", a::show_group_means, S | F, FR::Start3D},
      {"SetPCAShapes", a::set_pca_shapes, N, FR::AsIs},
      {"ShowCV", a::show_cv, S | F, FR::Start3D},
      {"LoadSurface", a::load_surface, S, FR::AsIs},
      {"ShowSurface", a::show_surface, S | M | F, FR::Start3D},
      {"SetSurfaceTarget", a::set_surface_target, S | M | F, FR::Start3D, 3},
      {"SetSurfaceExaggeration", a::set_surface_exaggeration, S | M | F, FR::Start3D},
      {"SaveSurface", a::save_surface, S | M, FR::AsIs},
      {"SaveShownShapes", a::save_shown_shapes, N, FR::AsIs},
      {"ExportAnimation", a::export_animation, S | M | F, FR::Start3DEnd2D},
      {"SetSpecimenLabels", a::set_specimen_labels, N, FR::AsIs},
      {"DockView", a::dock_view, N, FR::AsIs},
      {"SaveTable", a::save_table, N, FR::AsIs},
      {"SetHeatScale", a::set_heat_scale, S | M | F, FR::Start3D},
      {"LoadCurves", a::load_curves, S | kDefersSliding, FR::AsIs},
      {"LoadSurfacePoints", a::load_surface_points, S | kDefersSliding, FR::AsIs},
      {"SetSliding", a::set_sliding, N, FR::AsIs},
      {"SetSlidingPasses", a::set_sliding_passes, N, FR::AsIs},
      {"LoadSurfaces", a::load_surfaces, S | kDefersSliding, FR::AsIs},
      {"SetSlidingProjection", a::set_sliding_projection, N, FR::AsIs},
      {"PlaceSemilandmarks", a::place_semilandmarks, S | kDefersSliding, FR::AsIs},
      {"SaveProcrustes", a::save_procrustes, S, FR::AsIs},
      // Bilateral symmetry and repeatability.
      {"LoadLandmarkPairs", a::load_landmark_pairs, S, FR::AsIs},
      {"SymmetryANOVA", a::symmetry_anova, S, FR::AsIs, 2},
      {"SaveSymmetricComponent", a::save_symmetric_component, S, FR::AsIs},
      {"SaveAsymmetricComponent", a::save_asymmetric_component, S, FR::AsIs},
      {"ShowDirectionalAsymmetry", a::show_directional_asymmetry, S | F, FR::Start3D},
      {"Repeatability", a::repeatability, S, FR::AsIs},
      // Integration, modularity and disparity.
      {"LoadPartition", a::load_partition, S, FR::AsIs},
      {"SetPLSFit", a::set_pls_fit, N, FR::AsIs},
      {"TwoBlockPLS", a::two_block_pls, S | F, FR::AsIs, 16},
      {"ModularityTest", a::modularity_test, S, FR::AsIs},
      {"CompareIntegration", a::compare_integration, S, FR::AsIs},
      {"Disparity", a::disparity, S, FR::AsIs},
  };
  return table;
}

const ActionSpec* find_action(std::string_view name) {
  for (const ActionSpec& s : action_table())
    if (s.name == name) return &s;
  return nullptr;
}

ValueList action_arguments(const Value& fpass) {
  if (fpass.is_cell()) return fpass.items();
  if (fpass.empty()) return {};
  return {fpass};
}

namespace {

// The slide the semilandmark settings asked for, before the first action
// that needs the superimposition: said on the console and in the log, with
// its passes.
void settle_sliding(Workspace& ws) {
  if (!ws.session.slide_pending()) return;
  show_status("Sliding the semilandmarks…");
  const analysis::SettleReport r = ws.session.settle_sliding();
  if (!r.done) return;
  for (const std::string& note : r.notes) console().line(note);
  console().line(r.message);
  std::string text = r.message;
  if (!r.moves.empty()) {
    text += "\nPass  largest move     criterion";
    const std::size_t n = r.moves.size();
    for (std::size_t i = 0; i < n; ++i) {
      // The first passes and the last, where a long run would fill the log.
      if (n > 24 && i == 20) text += "\n …";
      if (n > 24 && i >= 20 && i + 3 < n) continue;
      char line[96];
      std::snprintf(line, sizeof line, "\n%4zu  %12.4g  %12.8g", i + 1, r.moves[i], r.criterion[i]);
      text += line;
    }
  }
  log_report(ws, "Sliding semilandmarks", text);
  show_status(r.message);
}

}  // namespace

ActionReport run_action(Workspace& ws, const Value& action, const Value& fpass) {
  ActionReport& r = ws.last_action;
  r = ActionReport{};
  r.action = action.text_or_empty();
  const ActionSpec* spec = action.is_char() ? find_action(r.action) : nullptr;
  if (!spec) {
    console().write(cformat("Fell through Case, dang! \\n ", {}));
    r.outcome = Outcome::FellThrough;
    return r;
  }
  // The user may have turned, zoomed or resized the 3-D window since the
  // last action; the model (and a recorded export) takes what is shown.
  capture_view3d(ws);
  ws.recorder.begin_action(spec->name, fpass, ws.window.inputs, ws.window.view3d);
  // What tells whether the action drew or reported (below).
  const std::size_t status_before = status_count(), log_before = ws.window.log.entries().size();
  const analysis::Superimposition* fit_before = ws.session.superimposition().get();
  // Where the 3-D view is a tab of the main window, only actions made to
  // show something in it bring that tab forward: a load, a setting or a
  // report leaves the controls, plot and log in view.
  const bool view_in_front = docked_view_in_front(ws);
  try {
    ws.session.require(spec->needs & ~(kNeed3D | kDefersSliding));
    if ((spec->needs & (kNeedSample | kNeedX | kNeedScores | kNeedRegression | kNeedSurface)) &&
        !(spec->needs & kDefersSliding))
      settle_sliding(ws);
    if (spec->needs & kNeed3D) figure3d(ws);
    if (spec->figure != FigureRule::AsIs) make_figure3d_current(ws);
    spec->run(ws, fpass);
    if (spec->figure == FigureRule::Start3DEnd2D) make_main_current(ws);
  } catch (const analysis::Error& e) {
    // Whatever the session could not do is the user's data or order of
    // steps deciding: refused, in a message box, as every check.
    r.outcome = Outcome::Refused;
    r.message = e.what();
    show_message_box(e.what(), "");
  } catch (const DataRefusal& e) {
    r.outcome = Outcome::Refused;
    r.message = e.what();
    show_message_box(e.what(), e.title());
  } catch (const WriteError& e) {
    // A file the action was to write was refused: nothing was changed, as
    // with a data check, whatever the writer.
    r.outcome = Outcome::Refused;
    r.message = e.what();
    show_message_box(e.what(), "File not written");
  } catch (const NumericError& e) {
    // A data file the readers refused, or data the numerics cannot work with
    // (equal values, coincident landmarks, identical specimens …): the user's
    // data decide, so it is shown as any other refusal.
    r.outcome = Outcome::Refused;
    r.message = e.what();
    show_message_box(e.what(), "");
  } catch (const std::bad_alloc&) {
    r.outcome = Outcome::Failed;
    r.message = out_of_memory_text(spec->name);
    console().error("Error in velmorasw action " + std::string(spec->name) + ": " + r.message);
  } catch (const std::exception& e) {
    r.outcome = Outcome::Failed;
    r.message = e.what();
    console().error("Error in velmorasw action " + std::string(spec->name) + ": " + e.what());
  }
  try {
    apply_view3d(ws);
  } catch (const std::exception& e) {
    console().error("Error in velmorasw action " + std::string(spec->name) + ": " + e.what());
  }
  ws.recorder.end_action(r.outcome == Outcome::Done);
  // (The first load names the main window.)  A refused action shows
  // nothing new either.
  if (!view_in_front && (spec->figure == FigureRule::AsIs || r.outcome != Outcome::Done))
    show_main_window_contents(ws);
  // The status line never tells of an earlier action: one that drew in the
  // 3-D window, reported (a results log entry) or changed the sample or its
  // fit without a line of its own clears it.  A refused or cancelled action,
  // or a setting, leaves it.
  const bool drew_or_reported = spec->figure == FigureRule::Start3D ||
                                ws.window.log.entries().size() != log_before ||
                                ws.session.superimposition().get() != fit_before;
  if (r.outcome == Outcome::Done && drew_or_reported && status_count() == status_before)
    show_status("");
  sync_display_menus(ws);
  sync_main_controls(ws);
  return r;
}

void register_switchyard(FunctionTable& table) {
  table.add({"velmorasw",
             [](const ValueList& args, int) {
               const Value& action = arg(args, 0, "velmorasw", "action");
               run_action(workspace(), action, args.size() > 1 ? args[1] : Value());
               return ValueList{};
             },
             2, 0});
}

// --- helpers -------------------------------------------------------------------

void echo(std::string_view name, const Value& v) {
  console().display(name, v);
}

// --- the main window's buttons ----------------------------------------------

std::string why_disabled(Workspace& ws, unsigned needs) {
  const analysis::Session& a = ws.session;
  if ((needs & kNeedSample) && !a.has_sample()) return kLoadLandmarksFirst;
  // The scores come with X.
  if ((needs & (kNeedX | kNeedScores)) && !a.x()) return kLoadXFirst;
  return a.missing(needs & ~kNeed3D);
}

void sync_main_controls(Workspace& ws) {
  sync_controls(ws, [&ws](std::string_view action) -> std::optional<std::string> {
    const ActionSpec* spec = find_action(action);
    if (!spec || spec->needs == kNeedNothing) return std::nullopt;
    return why_disabled(ws, spec->needs);
  });
}

void allow_rotation(Workspace& ws, bool allowed) {
  ws.window.rotation_allowed = allowed;
  sync_main_controls(ws);
}

// --- ClearData ---------------------------------------------------------------

void actions::clear_data(Workspace& ws, const Value&) {
  // The main window's plot and the 3D window show the forgotten sample:
  // both are emptied (their windows stay).
  echo("ans", clear_plot_and_figure3d(ws));
  // The independent variable and the results of the forgotten sample go
  // with it.
  ws.session.clear();
  show_file_box("No File Loaded");
  show_x_source(ws);
  allow_rotation(ws, true);
  show_x_scale(false);
}

}  // namespace velmora::app

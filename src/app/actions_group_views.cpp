// What the groups change in the views: the PCA of size-corrected shapes and
// the shape change along a canonical variate.
#include <cmath>
#include <string>
#include <vector>

#include "analysis/messages.hpp"
#include "app/actions.hpp"
#include "app/inputs.hpp"
#include "app/switchyard.hpp"
#include "app/workspace.hpp"
#include "core/shown_text.hpp"
#include "platform/runtime/console.hpp"
#include "view/display_style.hpp"
#include "view/group_plots.hpp"
#include "view/main_window.hpp"
#include "view/places.hpp"
#include "view/shown_shapes.hpp"

namespace velmora::app {

std::string pca_shapes_text(const std::string& corrected) {
  return corrected.empty() ? std::string("shape")
                           : "size-corrected shapes (residuals of " +
                                 shown_text(corrected, kShownFormulaBytes) + ")";
}

std::string pca_symmetry_text(const Workspace& ws) {
  const auto sym = ws.session.symmetry();
  if (!sym || ws.session.pca_symmetry() == analysis::SymmetryPart::None) return {};
  return std::string(ws.session.pca_symmetry() == analysis::SymmetryPart::Symmetric
                         ? "symmetric"
                         : "asymmetric") +
         " component (" +
         (sym->side.empty() ? "object symmetry of " + shown_text(sym->individual)
                            : "matching symmetry of " + shown_text(sym->individual) + " by " +
                                  shown_text(sym->side)) +
         ")";
}

}  // namespace velmora::app

namespace velmora::app::actions {

void set_pca_shapes(Workspace& ws, const Value& fpass) {
  const ValueList args = action_arguments(fpass);
  bool corrected = !ws.session.choices().pca_corrected;  // the menu item toggles
  if (!args.empty()) {
    const std::string word = args[0].is_char() ? args[0].to_string() : std::string();
    // Bilateral symmetry and repeatability: a component of the symmetry analysis.
    if (word == "symmetric" || word == "asymmetric") {
      ws.session.set_pca_symmetry(word == "symmetric" ? analysis::SymmetryPart::Symmetric
                                                      : analysis::SymmetryPart::Asymmetric);
      const std::string text = "The PCA analyses the " + pca_symmetry_text(ws);
      check_menu_items({{"PCACorrectedCheck", false}});
      console().line(text);
      show_status(text);
      return;
    }
    if (word != "corrected" && word != "raw")
      refuse(
          "The PCA analyses the raw shapes, the size-corrected ones, or a component of the "
          "symmetry analysis, as in SetPCAShapes corrected (raw, symmetric, asymmetric).");
    corrected = word == "corrected";
  }
  const analysis::ModelChoice& c = ws.session.choices();
  if (corrected && c.formula.empty())
    refuse(
        "The size-corrected shapes are the residuals of the model: choose Groups > Set Model "
        "first (in batch: SetModel \"shape ~ log(CS)\").");
  ws.session.set_pca_symmetry(analysis::SymmetryPart::None);
  ws.session.set_pca_corrected(corrected);
  const std::string text =
      "The PCA analyses " + pca_shapes_text(corrected ? c.formula : std::string());
  console().line(text);
  show_status(text);
}

void show_cv(Workspace& ws, const Value& fpass) {
  const ValueList args = action_arguments(fpass);
  const WindowState& s = ws.window;
  analysis::CvShapeParams params{ws.session.chosen_factor_name(), 1, s.inputs.component_factor};
  analysis::CvShapeReport r = ws.session.cv_shape(params);
  if (!args.empty()) {
    const Value& a = args[0];
    const bool number = a.is_double() && a.numel() == 1;
    const double v = number ? a(0) : 0.0;
    if (!(number && std::floor(v) == v && v >= 1 && v <= static_cast<double>(r.variates)))
      refuse(analysis::not_whole_number_text(
          "canonical variate", a.is_char() ? a.to_string() : format_number(v), 1, r.variates));
    params.variate = static_cast<long long>(v);
  } else if (r.variates > 1) {
    // The window asks which variate, when there is a choice.
    std::vector<std::string> offered;
    for (long long v = 1; v <= r.variates; ++v) offered.push_back("CV" + std::to_string(v));
    const auto chosen =
        choose_from_list("Show CV Shape Change", "Along which canonical variate?", offered);
    if (!chosen) return;
    params.variate = static_cast<long long>(*chosen) + 1;
  }
  if (params.variate != 1) r = ws.session.cv_shape(params);
  clear_current_figure();
  const std::string type = display_code(s.inputs);
  const std::string cv = "CV" + std::to_string(params.variate) + " ";
  if (type == "a" || type == "b") {
    draw_shape_pair(ws, r.opposite, r.target, type, cv + signed_number(-params.score),
                    cv + signed_number(params.score));
  } else {
    draw_deformation(ws, r.reference, r.target, type,
                     "CV" + std::to_string(params.variate) + ", " + format_number(params.score));
  }
  show_status("Shape change along CV" + std::to_string(params.variate) + " of " +
              shown_text(ws.session.choices().factor) + ", ±" + format_number(params.score) +
              " within-group standard deviations");
}

}  // namespace velmora::app::actions

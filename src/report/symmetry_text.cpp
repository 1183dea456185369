#include "report/symmetry_text.hpp"

#include "core/number_text.hpp"
#include "core/shown_text.hpp"
#include "stats/procrustes_anova.hpp"

namespace velmora::report {

namespace {

std::string number(double x, bool full_precision) {
  return full_precision ? shortest_number(x) : message_number(x);
}

std::string design_text(const analysis::SymmetryReport& r) {
  const stats::SymmetryFit& fit = *r.fit;
  const std::size_t n = fit.individuals.size();
  const std::string individuals =
      "individuals: " + shown_text(r.individual) + " (" + std::to_string(n) + ")";
  if (fit.design == stats::SymmetryDesign::Object) {
    return "Object symmetry: " + std::to_string(fit.fitted.n() / 2) +
           " configurations and their reflections, " + std::to_string(fit.pairs) +
           " landmark pairs and " + std::to_string(fit.midline) + " on the midline" +
           (r.pairs_label.empty() ? std::string() : " (" + shown_text(r.pairs_label) + ")") + "; " +
           individuals;
  }
  return "Matching symmetry: " + std::to_string(fit.fitted.n()) + " configurations, sides " +
         shown_text(r.side) + " (" + shown_text(fit.sides[0]) + ", " + shown_text(fit.sides[1]) +
         " reflected); " + individuals;
}

}  // namespace

TableRows asymmetry_index_table(const analysis::SymmetryReport& r, bool full_precision) {
  const stats::SymmetryComponents& c = *r.components;
  TableRows rows{{shown_text(r.individual), "AI", "FA"}};
  for (std::size_t i = 0; i < r.fit->individuals.size(); ++i) {
    const auto e = static_cast<Eigen::Index>(i);
    rows.push_back({shown_text(r.fit->individuals[i]),
                    table_cell(c.asymmetry_index(e), full_precision),
                    table_cell(c.fluctuating_index(e), full_precision)});
  }
  return rows;
}

std::string symmetry_report_text(const analysis::SymmetryReport& r,
                                 const std::string& randomization, bool full_precision) {
  const stats::SymmetryAnova& a = r.anova;
  std::string text = design_text(r) + "\n" + randomization + " (randomized residuals)\n" +
                     stats::symmetry_table_text(a, full_precision);
  if (text.back() != '\n') text += '\n';
  text += "F of " + shown_text(r.individual) + " and side over " + a.terms[2].term +
          (a.replicates ? ", of " + a.terms[2].term + " over Residuals (the replicate error)"
                        : std::string(" (no replicates: it is the residual)")) +
          "; Df.shape, F.shape and P.param count the shape dimensions (Klingenberg et al. "
          "2002).\n";
  text += "Directional asymmetry (the mean asymmetric component): norm " +
          number(r.components->directional.norm(), full_precision) +
          "; Show Directional Asymmetry draws it.\n";
  text +=
      "Unsigned asymmetry index of each individual (AI: the norm of its asymmetric component, "
      "without the mean shape; FA: of its deviation from the directional asymmetry):\n";
  text += aligned(asymmetry_index_table(r, full_precision));
  for (const std::string& note : r.notes) text += note + "\n";
  text.pop_back();
  return text;
}

std::string symmetry_full_precision_line(const analysis::SymmetryReport& r) {
  std::string s = "Full precision:";
  bool first = true;
  auto put = [&](const std::string& name, double x) {
    s += (first ? " " : "; ") + name + " = " + shortest_number(x);
    first = false;
  };
  for (const stats::SymmetryLine& l : r.anova.terms) {
    put(l.term + " SS", l.ss);
    put(l.term + " MS", l.ms);
    if (l.tested) {
      put(l.term + " F", l.F);
      put(l.term + " p", l.p);
    }
    if (l.shape_tested) {
      put(l.term + " F.shape", l.shape_F);
      put(l.term + " P.param", l.shape_p);
    }
  }
  put("Total SS", r.anova.total.ss);
  put("directional asymmetry", r.components->directional.norm());
  return s;
}

std::string repeatability_report_text(const analysis::RepeatabilityReport& r,
                                      const std::string& randomization, bool full_precision) {
  const stats::Repeatability& q = r.result;
  const stats::AnovaLine& term = q.anova.terms.front();
  std::string text = "Repeatability of " + shown_text(term.term) + ": " +
                     std::to_string(q.anova.n) + " configurations, " +
                     (q.balanced ? number(q.replicates, false) + " replicates an individual"
                                 : "unbalanced, n0 = " + number(q.replicates, full_precision) +
                                       " replicates an individual") +
                     "\n" + randomization + " (randomized residuals)\n" +
                     stats::anova_table_text(q.anova, full_precision);
  if (text.back() != '\n') text += '\n';
  text += "Variance among individuals (MS_ind − MS_err)/r: " + number(q.among, full_precision) +
          "\nVariance of the replicates (MS_err): " + number(q.error, full_precision) +
          "\nRepeatability (MS_ind − MS_err)/(MS_ind + (r − 1)·MS_err): " +
          number(q.repeatability, full_precision) +
          "\nMeasurement error: " + percent_text(q.error_share) + " of the variance";
  if (!r.fit_note.empty()) text += "\n" + r.fit_note;
  return text;
}

}  // namespace velmora::report

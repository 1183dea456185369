#include "stats/repeatability.hpp"

#include <map>

#include "core/errors.hpp"
#include "stats/model_formula.hpp"

namespace velmora::stats {

std::optional<Repeatability> repeatability(const Eigen::Ref<const Eigen::MatrixXd>& shape,
                                           const std::vector<std::string>& individual,
                                           const std::string& name, int permutations,
                                           std::uint64_t seed,
                                           const PermutationProgress& progress) {
  const Eigen::Index n = shape.rows();
  if (static_cast<Eigen::Index>(individual.size()) != n)
    throw NumericError("The individual labels number " + std::to_string(individual.size()) +
                       " but the shape data hold " + std::to_string(n) + " specimens.");
  ModelVariable variable;
  variable.name = name;
  variable.levels = individual;
  ModelFormula formula;
  formula.text = "shape ~ " + name;
  formula.terms.push_back(ModelTerm{{TermPart{name, false}}});
  const ModelDesign design = model_design(formula, {variable}, n);
  std::optional<ProcrustesAnova> anova =
      procrustes_anova(shape, design, SumsOfSquares::Sequential, permutations, seed, progress);
  if (!anova) return std::nullopt;

  Repeatability out;
  std::map<std::string, double> count;
  for (const std::string& s : individual) count[s] += 1;
  const double total = static_cast<double>(n), groups = static_cast<double>(count.size());
  double squares = 0;
  for (const auto& [level, c] : count) {
    squares += c * c;
    out.balanced = out.balanced && c == count.begin()->second;
  }
  out.replicates = (total - squares / total) / (groups - 1);
  const double ms_ind = anova->terms.front().ms, ms_err = anova->residuals.ms;
  out.among = (ms_ind - ms_err) / out.replicates;
  out.error = ms_err;
  out.repeatability = out.among / (out.among + out.error);
  out.error_share = out.error / (out.among + out.error);
  out.anova = std::move(*anova);
  return out;
}

}  // namespace velmora::stats

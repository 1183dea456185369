#pragma once

#include <Eigen/Core>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "stats/model_formula.hpp"
#include "stats/permutation_test.hpp"

namespace velmora::stats {

/// Which sums of squares a Procrustes ANOVA reports.
enum class SumsOfSquares {
  /// Type I: each term after the terms before it.
  Sequential,
  /// Type II: each term after every term that does not contain it.
  Marginal,
};

/// One line of the table.  The cells that do not apply (F, Z and p of the
/// residuals and the total, MS of the total) are flagged, never NaN.
struct AnovaLine {
  std::string term;
  Eigen::Index df = 0;
  double ss = 0;         ///< summed over the shape variables
  double ms = 0;         ///< ss/df; applies unless the line is the total
  double r_squared = 0;  ///< ss / total ss
  double F = 0;          ///< (ss/df)/(residual ss/residual df)
  double z = 0;          ///< standard deviate of ln F among the permutations
  double p = 0;          ///< (permutations reaching F + 1)/(permutations + 1)
  bool tested = false;   ///< F, Z and p apply
  bool has_ms = true;
};

/// A Procrustes ANOVA with randomized residuals (Goodall 1991; Collyer,
/// Sekora & Adams 2015).
struct ProcrustesAnova {
  std::vector<AnovaLine> terms;
  AnovaLine residuals, total;
  SumsOfSquares type = SumsOfSquares::Sequential;
  int permutations = 0;
  std::uint64_t seed = 0;
  Eigen::Index n = 0;
  /// ln F of each term: the observed value first, then one a permutation.
  std::vector<Eigen::VectorXd> log_f;
};

/// Procrustes ANOVA of shape on a model, with RRPP.
///
/// SS of a term is the drop in residual SS, summed over the shape
/// variables, when the term joins its reduced model: the terms before it
/// (sequential) or the terms that do not contain it (marginal); the
/// intercept is in every model.  F divides its mean square by the full
/// model's residual mean square.
///
/// Randomization (RRPP): for each term, the residuals of its reduced model
/// are permuted among the specimens and added to that model's fitted
/// values; SS and the full model's residual SS of these data give F.  No
/// model is refitted: with Q an orthonormal basis of the full model whose
/// leading columns span the reduced model and the next ones the term,
/// SS = ‖Dᵀ·P·E‖² and residual SS = ‖E‖² − ‖Qᵀ·P·E‖², so a permutation costs
/// one product of the permuted n×p basis with the n×m residuals.  Every
/// term sees the same orderings: std::mt19937_64(seed) and stats::shuffle,
/// each applied to the observed order afresh, so a seed gives the same
/// table on every platform.  p = (orderings with F reaching the observed,
/// within kPermutationTieTolerance, + 1)/(permutations + 1).  Z = (ln F −
/// mean)/sd over the observed and permuted values of ln F (sd with divisor
/// permutations + 1).
///
/// @param shape       n×m shape variables (tangent coordinates)
/// @param design      from model_design on the same n specimens
/// @param permutations ≥ 1
/// @return nothing when `progress` cancelled
/// @throws NumericError for mismatched counts, values that are not finite,
///         shape without variation, or fewer than one permutation
std::optional<ProcrustesAnova> procrustes_anova(const Eigen::Ref<const Eigen::MatrixXd>& shape,
                                                const ModelDesign& design, SumsOfSquares type,
                                                int permutations = kDefaultPermutations,
                                                std::uint64_t seed = kDefaultPermutationSeed,
                                                const PermutationProgress& progress = {});

/// The cells of the printed table, as text: the header `TERM Df SS MS Rsq
/// F Z Pr(>F)`, then one row a term, then Residuals and Total; "NA" where
/// a cell does not apply.  Numbers have six significant digits, or with
/// `full_precision` the shortest text that reads back to the same double.
std::vector<std::vector<std::string>> anova_table_rows(const ProcrustesAnova& anova,
                                                       bool full_precision);

/// The table as geomorph prints it: a header `TERM Df SS MS Rsq F Z Pr(>F)`,
/// one line a term, then Residuals and Total, the columns aligned with
/// blanks: the cells of anova_table_rows, one line a row.
std::string anova_table_text(const ProcrustesAnova& anova, bool full_precision);

/// The orderings of a randomization: `count` shuffles of 0…n−1 from
/// std::mt19937_64(seed), each of the identity afresh.  Column b is
/// ordering b.
Eigen::MatrixXi random_orderings(Eigen::Index n, int count, std::uint64_t seed);

}  // namespace velmora::stats

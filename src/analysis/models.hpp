#pragma once

#include <Eigen/Core>
#include <cstdint>
#include <string>
#include <vector>

#include "io/specimen_table.hpp"
#include "shape/types.hpp"
#include "stats/canonical_variates.hpp"
#include "stats/permutation_test.hpp"
#include "stats/procrustes_anova.hpp"

// The parameters and reports of the session's groups and linear models.

namespace velmora::analysis {

/// The choices the group analyses and displays share: the model of the
/// Procrustes ANOVA, the factor, the sums of squares and what the PCA
/// analyses.  A new sample and Clear Data forget the model, the factor and
/// the corrected-shapes choice (they name the variables of the sample
/// before), not the sums of squares.
struct ModelChoice {
  std::string formula;  ///< `shape ~ log(CS) * population`; empty: none set
  std::string factor;   ///< empty: none chosen
  stats::SumsOfSquares sums = stats::SumsOfSquares::Sequential;
  /// The PCA (its scatter, Show PCA and Save PCA) analyses the size-corrected
  /// shapes: the residuals of `formula`.
  bool pca_corrected = false;
};

struct SpecimenTableParams {
  std::string path;  ///< a CSV or TSV file (io::read_specimen_table)
};
struct SpecimenTableReport {
  std::string file_name;
  std::size_t covariates = 0, factors = 0;
  /// No column named the specimens: the rows were taken in file order.
  bool rows_in_order = false;
  /// One line a column for the log: `population: factor, 2 levels (coast 40,
  /// inland 40)` or `age: covariate, 1 to 20`.
  std::vector<std::string> lines;
};

struct AnovaParams {
  std::string formula;  ///< `shape ~ log(CS) * species`
  stats::SumsOfSquares type = stats::SumsOfSquares::Sequential;
  int permutations = stats::kDefaultPermutations;
  std::uint64_t seed = stats::kDefaultPermutationSeed;
  /// Called once a term is randomized (done terms, all terms); false cancels.
  stats::PermutationProgress progress;
};
struct AnovaReport {
  stats::ProcrustesAnova anova;
  std::string formula;       ///< as read back: `shape ~ log(CS) + species + log(CS):species`
  std::string table_source;  ///< where the factors came from, for the log
  std::string fit_note;
  /// For the slopes model (a covariate times one factor): whether the
  /// interaction says the groups' slopes differ (p ≤ 0.05), in words.
  std::string verdict;
};

/// A factor whose group means and slopes on a covariate are compared pair
/// by pair.
struct PairwiseParams {
  std::string factor;
  std::string covariate;  ///< empty: group means only; may be `log(CS)`
  int permutations = stats::kDefaultPermutations;
  std::uint64_t seed = stats::kDefaultPermutationSeed;
};
/// One pair of groups.
struct GroupPair {
  std::string first, second;
  double distance = 0;  ///< Procrustes distance between the least-squares means
  double distance_p = 0;
  double angle = 0;  ///< degrees between the slope vectors (with a covariate)
  double angle_p = 0;
  double length_difference = 0;  ///< |slope first| − |slope second|
  double length_p = 0;
};
struct PairwiseReport {
  std::vector<GroupPair> pairs;
  bool slopes = false;
  int permutations = 0;
  std::string fit_note;
};

struct SizeCorrectionParams {
  /// `shape ~ log(CS) + species`: the residuals of this model, added to the
  /// consensus, are the size-corrected shapes.
  std::string formula;
};
struct SizeCorrectionReport {
  Eigen::MatrixXd shapes;  ///< n×3k: consensus + residuals, x1 y1 z1 …
  std::string formula;
};

struct CvaParams {
  std::string factor;
  int permutations = stats::kDefaultPermutations;
  std::uint64_t seed = stats::kDefaultPermutationSeed;
};
/// The mean shape moved along a canonical variate of `factor`, by `score`
/// units of the CV score each way (one unit: one pooled within-group
/// standard deviation), as the within-group regression of shape on the
/// score predicts.
struct CvShapeParams {
  std::string factor;
  long long variate = 1;  ///< 1-based
  double score = 2;
};
struct CvShapeReport {
  shape::Config reference;         ///< the mean shape
  shape::Config target, opposite;  ///< moved by +score and −score
  long long variates = 0;          ///< how many the factor has (groups − 1)
};

struct CvaReport {
  stats::CanonicalVariates cva;
  /// The rule that chose the components, with their number, for the log:
  /// `29 principal components (those above 1e-08 of the total variance, at
  /// most n − g − 1 = 77)` for the 80 specimens and two groups of the
  /// example.
  std::string components_text;
  std::string fit_note;
};

}  // namespace velmora::analysis

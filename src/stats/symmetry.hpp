#pragma once

#include <Eigen/Core>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "shape/types.hpp"
#include "stats/permutation_test.hpp"

namespace velmora::stats {

/// Where the two sides of a bilateral structure are.
enum class SymmetryDesign {
  /// One configuration holds both sides, about a midline.
  Object,
  /// Each configuration holds one side; a label says which.
  Matching,
};

/// The joint superimposition of a bilateral sample and the layout of its
/// rows for the symmetry ANOVA.
///
/// Object symmetry: every configuration is reflected (x → −x) and its
/// paired landmarks swap labels, so that the mirror image's landmark j is
/// the original's landmark j again; the n originals (rows 0…n−1) and their
/// n relabelled reflections (rows n…2n−1) are superimposed together.
/// Matching symmetry: the configurations of the second side (in the sorted
/// order of the side labels) are reflected, and all are superimposed
/// together, one row a configuration.
///
/// The superimposition is the program's own: gpa_to_convergence (or the
/// three passes of generalized_procrustes), the result turned into the
/// principal axes of its consensus, then tangent_coordinates.
struct SymmetryFit {
  SymmetryDesign design = SymmetryDesign::Object;
  shape::Config reference;               ///< k×3 consensus of originals and reflections
  shape::Stack fitted;                   ///< one configuration a row of the ANOVA
  Eigen::MatrixXd tangent;               ///< rows × 3k tangent coordinates of `fitted`
  std::vector<std::string> individuals;  ///< the individuals' names, sorted as text
  std::vector<Eigen::Index> individual;  ///< each row's index into `individuals`
  std::vector<int> side;                 ///< each row's side, 0 or 1
  std::vector<std::string> sides;        ///< the two sides' names
  std::vector<Eigen::Index> specimen;    ///< each row's configuration in the raw sample
  Eigen::Index pairs = 0;                ///< paired landmarks (object symmetry), q
  Eigen::Index midline = 0;              ///< landmarks on the midline (object symmetry), m
  std::vector<Eigen::Index> mirrored;    ///< rows that fitted best as mirror images (0-based)
  bool converged = true;                 ///< the superimposition settled
};

/// Superimposes a sample of object-symmetric configurations with their
/// relabelled reflections.
/// @param raw        n ≥ 2 configurations of k landmarks
/// @param relabel    k entries: the landmark that takes landmark j's place in
///                   the mirror image (io::reflection_relabelling), an involution
/// @param individual n names, one a configuration; a name given more than
///                   once marks replicates of one individual
/// @param converged  gpa_to_convergence when true, else generalized_procrustes
/// @throws NumericError for mismatched counts, a relabelling that is not an
///         involution of 0…k−1, fewer than two individuals, landmarks that
///         hold no asymmetric shape (3q + m − 3 < 1), or a fit that fails
SymmetryFit object_symmetry_fit(const shape::Stack& raw, const std::vector<std::size_t>& relabel,
                                const std::vector<std::string>& individual, bool converged = true);

/// Superimposes a sample of one-sided configurations: `side` names two
/// sides, and each individual needs one configuration of each at least.
/// @throws NumericError for mismatched counts, a side label of other than
///         two values, fewer than two individuals, an individual without one
///         of the sides, or a fit that fails
SymmetryFit matching_symmetry_fit(const shape::Stack& raw,
                                  const std::vector<std::string>& individual,
                                  const std::vector<std::string>& side, bool converged = true);

/// One line of the symmetry table.  Cells that do not apply are flagged,
/// never NaN.
struct SymmetryLine {
  std::string term;
  Eigen::Index df = 0;  ///< counted on observations (rows of the fit)
  double ss = 0;        ///< summed over the tangent coordinates
  double ms = 0;        ///< ss/df
  double F = 0;         ///< ms over the error term's ms
  double p = 0;         ///< (permutations reaching F + 1)/(permutations + 1)
  bool has_ms = true;   ///< false for the total
  bool tested = false;  ///< F and p apply
  /// Degrees of freedom counted on the shape dimensions (Klingenberg,
  /// Barluenga & Meyer 2002), the F of those and its parametric p.
  Eigen::Index shape_df = 0;
  double shape_F = 0;
  double shape_p = 0;
  bool shape_tested = false;
};

/// Procrustes ANOVA of bilateral symmetry.
struct SymmetryAnova {
  SymmetryDesign design = SymmetryDesign::Object;
  /// individual, side, individual:side, then Residuals (the replicate error)
  /// when some individual has several configurations of one side.
  std::vector<SymmetryLine> terms;
  SymmetryLine total;
  bool replicates = false;
  int permutations = 0;
  std::uint64_t seed = 0;
  /// F of each tested term: the observed value first, then one a
  /// permutation (as ln F, one vector a tested term in table order).
  std::vector<Eigen::VectorXd> log_f;
};

/// The Procrustes ANOVA of a symmetry fit: shape ~ individual + side +
/// individual:side with sequential sums of squares, and the within-cell
/// residual as the replicate error.  Without replicates individual:side is
/// the residual.  Df are counted on observations: n−1, 1, n−1 and rows − 2n
/// for n individuals.  F of individual and side divides their mean squares
/// by that of individual:side, and F of individual:side by that of the
/// error (as geomorph's bilat.symmetry).  A term whose error mean square is
/// roundoff (below kCoincidentTolerance² of the total SS a Df) is not
/// tested.
///
/// The shape Df: object symmetry with q pairs, m midline landmarks and
/// p = 2q + m: individual (n−1)(3q+2m−4), side 3q+m−3, individual:side
/// (n−1)(3q+m−3), error (N−n)(3p−7) for N configurations (n(r−1)(3p−7)
/// with r replicates); matching symmetry: each observation Df times
/// 3p − 7.  Their F has the same error terms; its p is the F
/// distribution's upper tail.
///
/// Randomization as procrustes_anova does it (RRPP): for each term the
/// residuals of its reduced model (the terms before it) are permuted among
/// the rows and added to that model's fitted values, and the term's SS and
/// its error term's SS are taken from these data.  All terms see the same
/// orderings (random_orderings(rows, permutations, seed)).  The model's
/// cells (individual × side) make every SS a function of the cell sums of
/// the permuted residuals (a sparse product of the cell indicators with the
/// permuted residuals), so a permutation costs one sum of the permuted rows
/// a cell and no fit; the columns are taken in blocks that stay in the cache
/// for every ordering.
/// The work is split among two threads when it is large; `progress`
/// hears, on the calling thread, of each block of columns done.
/// @param individual_name the name of the individual column, naming the rows
/// @return nothing when `progress` cancelled
/// @throws NumericError for shape without variation, fewer than one
///         permutation, or a sample too large to hold
std::optional<SymmetryAnova> symmetry_anova(const SymmetryFit& fit,
                                            const std::string& individual_name,
                                            int permutations = kDefaultPermutations,
                                            std::uint64_t seed = kDefaultPermutationSeed,
                                            const PermutationProgress& progress = {});

/// The cells of the printed table, as text: the header `TERM Df SS MS F
/// Pr(>F) Df.shape F.shape P.param`, one row a term, then Total; "NA" where
/// a cell does not apply.  Numbers have six significant digits, or with
/// `full_precision` the shortest text that reads back to the same double.
std::vector<std::vector<std::string>> symmetry_table_rows(const SymmetryAnova& anova,
                                                          bool full_precision);

/// The table with its columns aligned by blanks, one line a row.
std::string symmetry_table_text(const SymmetryAnova& anova, bool full_precision);

/// The symmetric and asymmetric components of a symmetry fit, in the
/// joint superimposition, as stacked rows (all x, then all y, then all z).
///
/// A specimen's symmetric component is the mean of its two sides (object
/// symmetry: of the configuration and its relabelled reflection); its
/// asymmetric component is their difference (the first side, or the
/// original, minus the other).  An individual's components are the means of
/// its specimens'.  The directional asymmetry is the mean of the
/// individuals' asymmetric components; the unsigned asymmetry index of an
/// individual is the norm of its asymmetric component (its fluctuating
/// index that of its deviation from the directional asymmetry).
struct SymmetryComponents {
  Eigen::MatrixXd symmetric;   ///< specimens × 3k
  Eigen::MatrixXd asymmetric;  ///< specimens × 3k
  /// Each specimen's two rows of the fit: (original, reflection) or
  /// (first side, second side).
  std::vector<std::pair<Eigen::Index, Eigen::Index>> specimen_rows;
  /// Matching symmetry pairs the j-th configuration of an individual's
  /// first side with the j-th of its second; when an individual has more of
  /// one side this says which, and the specimen components are empty.
  std::string unpaired;
  Eigen::MatrixXd symmetric_individual;   ///< individuals × 3k
  Eigen::MatrixXd asymmetric_individual;  ///< individuals × 3k
  shape::Config directional;              ///< k×3 mean asymmetry
  Eigen::VectorXd asymmetry_index;        ///< one an individual
  Eigen::VectorXd fluctuating_index;      ///< one an individual
};

SymmetryComponents symmetry_components(const SymmetryFit& fit);

}  // namespace velmora::stats

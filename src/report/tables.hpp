#pragma once
// The tables of the group reports as rows of printed cells, for the
// reports' texts and for Save Table's CSV.

#include <string>
#include <vector>

#include "analysis/models.hpp"
#include "report/report_text.hpp"
#include "stats/canonical_variates.hpp"

namespace velmora::report {

/// The pairwise group comparisons: `GROUPS distance Pr(>d)`, with a
/// covariate also `angle Pr(>angle) length Pr(>length)`; one row a pair,
/// named `first:second`.
TableRows pairwise_table(const analysis::PairwiseReport& r, bool full_precision);

/// The distances between the canonical variates' groups: `GROUPS
/// Mahalanobis Pr(>D) Procrustes Pr(>d)`, one row a pair of groups.
TableRows cva_distance_table(const stats::CanonicalVariates& cva, bool full_precision);

/// The leave-one-out classification: a blank corner and the groups
/// assigned, then one row a true group with its counts.
TableRows cva_classification_table(const stats::CanonicalVariates& cva);

}  // namespace velmora::report

#pragma once
// The texts of the symmetry and repeatability reports, from the session's
// reports alone.

#include <string>

#include "analysis/operations.hpp"
#include "report/report_text.hpp"

namespace velmora::report {

/// The symmetry report: the design and its counts, the randomization, the
/// table (stats::symmetry_table_text), how each F is formed, the
/// directional asymmetry's size and the table of asymmetry indices.
/// @param randomization "999 permutations, seed 1"
std::string symmetry_report_text(const analysis::SymmetryReport& r,
                                 const std::string& randomization, bool full_precision);

/// One row an individual: `INDIVIDUAL AI FA`, its unsigned asymmetry index
/// (the norm of its asymmetric component, without the mean shape) and its
/// fluctuating index (the norm of its deviation from the directional
/// asymmetry).
TableRows asymmetry_index_table(const analysis::SymmetryReport& r, bool full_precision);

/// "Full precision: …" with every SS, MS, F and p of the symmetry table and
/// the directional asymmetry's norm.
std::string symmetry_full_precision_line(const analysis::SymmetryReport& r);

/// The repeatability report: the ANOVA of shape ~ individual, the
/// replicates an individual, both variance components, the repeatability
/// and the share of measurement error.
std::string repeatability_report_text(const analysis::RepeatabilityReport& r,
                                      const std::string& randomization, bool full_precision);

}  // namespace velmora::report

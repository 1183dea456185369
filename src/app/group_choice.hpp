#pragma once

#include <string>

#include "stats/procrustes_anova.hpp"

namespace velmora::app {

/// What the scatter plots draw around each group when they are coloured by
/// a factor.
enum class GroupOutline { None, Ellipses, Hulls };

/// What the Groups menu chose: the model of the Procrustes ANOVA, the factor
/// the group analyses and displays use, and the sums of squares.  A new
/// sample and Clear Data forget the model and the factor, not the rest.
struct GroupChoice {
  std::string formula;  ///< `shape ~ log(CS) * population`; empty: none set
  std::string factor;   ///< empty: none chosen
  stats::SumsOfSquares sums = stats::SumsOfSquares::Sequential;
  /// Around each group: the 95 % confidence ellipse of its mean, or its
  /// convex hull.
  GroupOutline outline = GroupOutline::None;
  /// The PCA (its scatter, Show PCA and Save PCA) analyses the size-corrected
  /// shapes: the residuals of `formula`.
  bool pca_corrected = false;
};

}  // namespace velmora::app

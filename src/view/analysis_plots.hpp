#pragma once
// The main window's plots of the analyses: what each report draws in the
// plot, with its axis labels and title.

#include "analysis/session.hpp"
#include "shape/principal_components.hpp"

namespace velmora::app {

struct Document;

/// The squared Procrustes distance of every specimen from the start shape
/// against the regressor, with the fitted line over the points (a colour a
/// group of the chosen factor), in the current axes.
void plot_distance_test(Document& doc, const analysis::DistanceTestReport& t);

/// PC1 against PC2 in the main window's plot, coloured by the chosen
/// factor's groups, else by X on a blue-to-red scale when X is loaded, with
/// the specimens' labels when asked; titled by what it analyses, shape or
/// the size-corrected shapes (`corrected`), or `of` when given (a component
/// of the symmetry analysis).
void plot_pca_scatter(Document& doc, const shape::ShapePca& pca, bool corrected,
                      const std::string& of = {});

/// The canonical variate scores in the main window's plot, a colour a
/// group: CV1 against CV2, or with one variate (two groups) a histogram of
/// CV1 a group.  The plot is emptied first, its labels too.
void plot_cv_scores(Document& doc, const Eigen::MatrixXd& scores);

}  // namespace velmora::app

#pragma once
// The main window's plot of a two-block PLS: the first pair of scores.

#include <Eigen/Core>
#include <string>

namespace velmora::app {

struct Document;

/// The scores of the first PLS axis of the left block (horizontal) against
/// those of the right block (vertical), a colour a group of the chosen
/// factor, with the specimens' labels when asked; the plot is emptied
/// first, its labels too.
/// @param left_name, right_name what the axes name: "face (12 landmarks)"
/// @param r_pls the correlation of the two, for the title
void plot_pls_scores(Document& doc, const Eigen::VectorXd& left, const Eigen::VectorXd& right,
                     const std::string& left_name, const std::string& right_name, double r_pls);

}  // namespace velmora::app

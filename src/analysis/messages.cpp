#include "analysis/messages.hpp"

#include "core/number_text.hpp"
#include "core/shown_text.hpp"

namespace velmora::analysis {

std::string number_text(double x) {
  return message_number(x);
}

std::string no_sample_text() {
  return "Load a landmark file first (Load Landmarks).";
}

std::string no_x_text() {
  return "Load the independent variable first (Load X List), or use centroid size as X "
         "(Use CS).";
}

std::string no_scores_text() {
  return "Compute the partial warp scores first: load the independent variable (Load X List) "
         "or run the regression (Do Regression).";
}

std::string no_regression_text() {
  return "Run the regression first (Do Regression).";
}

std::string no_surface_text() {
  return "There is no surface: load one first (Load Surface…).";
}

std::string x_count_text(std::string_view test, long long count, long long specimens) {
  return std::string(test) + " needs one X value per specimen: there are " + std::to_string(count) +
         " X values for " + std::to_string(specimens) + " specimens. Load a matching X list.";
}

std::string x_not_positive_text(std::string_view test, long long specimen, double x) {
  return std::string(test) + " on ln X needs every X value above 0, but specimen " +
         std::to_string(specimen) + " has X = " + number_text(x) +
         ". Choose the linear scale (Regress on X) or load positive X values.";
}

std::string x_constant_text(double x) {
  return "All X values are equal (" + number_text(x) +
         "), so the regression slope is undefined. Load an independent variable that varies.";
}

std::string tied_start_text(long long specimens, double x_limit) {
  if (specimens <= 3) return {};
  return " The starting shape is the mean of " + std::to_string(specimens) +
         " specimens, all those with X at most " + number_text(x_limit) +
         " (the third-smallest X is tied).";
}

std::string x_axis_label(const std::string& x_name, bool ln_scale) {
  if (x_name.empty()) return ln_scale ? "ln X" : "X";
  return ln_scale ? "ln(" + x_name + ")" : x_name;
}

std::string not_whole_number_text(std::string_view what, std::string_view text, long long lo,
                                  long long hi) {
  return "The " + std::string(what) + " \"" + shown_text(text) + "\" is not a whole number from " +
         std::to_string(lo) + " to " + std::to_string(hi) + ".";
}

}  // namespace velmora::analysis

// Reads a landmark file (one specimen per line: x1 y1 z1 ... xk yk zk, then
// the centroid size), superimposes the specimens (three Procrustes passes),
// turns the sample into the principal axes of its consensus, and prints every
// specimen's partial warp and uniform scores, one line each, as Velmora's
// scores file holds them.

#include <Eigen/Core>
#include <iostream>
#include <string>
#include <utility>

#include "core/errors.hpp"
#include "io/landmark_file.hpp"
#include "io/result_files.hpp"
#include "io/row_layout.hpp"
#include "shape/procrustes.hpp"
#include "shape/rotation.hpp"
#include "tps/scores.hpp"

int main(int argc, char** argv) {
  using namespace velmora;
  if (argc != 2) {
    std::cerr << "usage: velmora_scores LANDMARK-FILE\n";
    return 2;
  }
  try {
    const io::TextMatrix rows = io::load_landmarks(argv[1]);
    const auto k = static_cast<Eigen::Index>(rows.cols / 3);
    const auto n = static_cast<Eigen::Index>(rows.rows);

    shape::GpaResult gpa =
        shape::generalized_procrustes(shape::Stack(k, n, io::rows_to_stack(rows)));
    const shape::PrincipalAxes axes = shape::principal_axes(gpa.reference);
    shape::rotate_all(gpa.fitted, axes.axes);

    // A reference of thousands of landmarks takes a while; say so.
    const Eigen::MatrixXd scores = tps::partial_warp_scores(
        axes.reference, gpa.fitted, [](const std::string& note) { std::cerr << note << '\n'; });

    std::cout << n << " specimens of " << k << " landmarks\n"
              << scores.cols() << " scores each: partial warps, then U1 U2 U3 T1 T2\n";
    std::cout << io::format_g_lines(scores);
  } catch (const NumericError& e) {
    // Unreadable files, malformed lines and degenerate samples all land here.
    std::cerr << e.what() << '\n';
    return 1;
  }
  return 0;
}

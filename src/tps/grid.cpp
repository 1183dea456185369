#include "tps/grid.hpp"

#include <Eigen/SVD>
#include <algorithm>
#include <cmath>

namespace velmora::tps {

TransformationGrid transformation_grid(const shape::Config& reference, const shape::Config& target,
                                       int cells) {
  // The spline first, so that a degenerate reference is refused before any
  // grid is laid.
  const ThinPlateSpline spline(reference, target);
  const Eigen::RowVector3d centre = reference.colwise().mean();
  const Eigen::MatrixXd centred = reference.rowwise() - centre;
  const Eigen::JacobiSVD<Eigen::MatrixXd> svd(centred, Eigen::ComputeThinV);
  const Eigen::Vector3d u = svd.matrixV().col(0), v = svd.matrixV().col(1);
  const Eigen::VectorXd a = centred * u, b = centred * v;
  const double a_pad = 0.1 * (a.maxCoeff() - a.minCoeff());
  const double a0 = a.minCoeff() - a_pad, a1 = a.maxCoeff() + a_pad;
  const double side = (a1 - a0) / std::max(1, cells);
  // The second axis' cells are as wide as the first's, centred on its span.
  const double b_mid = 0.5 * (b.maxCoeff() + b.minCoeff());
  const double b_span = 1.2 * (b.maxCoeff() - b.minCoeff());
  TransformationGrid grid;
  grid.columns = std::max(1, cells);
  grid.rows = std::max<Eigen::Index>(1, static_cast<Eigen::Index>(std::ceil(b_span / side - 1e-9)));
  const double b0 = b_mid - 0.5 * grid.rows * side;
  grid.plane.resize((grid.columns + 1) * (grid.rows + 1), 3);
  for (Eigen::Index j = 0; j <= grid.rows; ++j)
    for (Eigen::Index i = 0; i <= grid.columns; ++i)
      grid.plane.row(j * (grid.columns + 1) + i) =
          centre + (a0 + i * side) * u.transpose() + (b0 + j * side) * v.transpose();
  grid.warped = spline.warp(grid.plane, 1);
  grid.normal = svd.matrixV().col(2).transpose();
  return grid;
}

}  // namespace velmora::tps

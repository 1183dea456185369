#include "shape/principal_components.hpp"

#include <Eigen/SVD>
#include <cmath>
#include <string>

#include "core/errors.hpp"
#include "core/tolerances.hpp"
#include "shape/decompositions.hpp"
#include "shape/distance.hpp"

namespace velmora::shape {

void orient_by_largest_entry(Eigen::Ref<Eigen::MatrixXd> vectors) {
  for (Eigen::Index j = 0; j < vectors.cols(); ++j) {
    auto v = vectors.col(j);
    if (v.size() == 0) continue;
    const double bar = (1 - kSignTieTolerance) * v.cwiseAbs().maxCoeff();
    Eigen::Index first = 0;
    while (first + 1 < v.size() && std::abs(v(first)) < bar) ++first;
    if (v(first) < 0) v *= -1;
  }
}

ShapePca principal_components(const Eigen::Ref<const Eigen::MatrixXd>& variables) {
  const Eigen::Index n = variables.rows(), p = variables.cols();
  if (n < 2) {
    throw NumericError("Principal components need at least two specimens; the sample has " +
                       std::to_string(n) + ".");
  }
  if (!variables.allFinite()) {
    throw NumericError(
        "Principal components cannot be found: the data include values that are not finite "
        "numbers.");
  }
  ShapePca pca;
  pca.mean = variables.colwise().mean();
  const Eigen::MatrixXd centred = variables.rowwise() - pca.mean;
  const double total = centred.squaredNorm();
  // Centring identical rows leaves rounding noise of about 1e-16 of their
  // magnitude.
  const double magnitude = p > 0 ? variables.cwiseAbs().maxCoeff() : 0.0;
  if (!(std::sqrt(total) >
        kCoincidentTolerance * magnitude * std::sqrt(static_cast<double>(n * p)))) {
    throw NumericError(kNoShapeVariationText);
  }
  const Eigen::BDCSVD<Eigen::MatrixXd> svd(centred, Eigen::ComputeThinV);
  const Eigen::VectorXd& s = svd.singularValues();
  Eigen::Index r = 0;
  while (r < s.size() && s(r) > kComponentTolerance * s(0)) ++r;

  const double dof = static_cast<double>(n - 1);
  pca.variances = s.head(r).array().square() / dof;
  pca.shares = s.head(r).array().square() / total;
  pca.loadings = svd.matrixV().leftCols(r);
  orient_by_largest_entry(pca.loadings);
  pca.scores.noalias() = centred * pca.loadings;
  return pca;
}

Config component_shape(const Config& reference, const ShapePca& pca, Eigen::Index component,
                       double factor) {
  const Eigen::Index k = reference.rows();
  if (pca.loadings.rows() != 3 * k || pca.mean.size() != 3 * k) {
    throw NumericError("The principal components describe " + std::to_string(pca.loadings.rows()) +
                       " shape variables, but a reference of " + std::to_string(k) +
                       " landmarks has " + std::to_string(3 * k) + ".");
  }
  const Eigen::Index r = pca.variances.size();
  if (component < 0 || component >= r) {
    throw NumericError("Principal component " + std::to_string(component + 1) +
                       " does not exist: the sample has " + std::to_string(r) + ".");
  }
  if (!std::isfinite(factor) || !reference.allFinite()) {
    throw NumericError(
        "The shape along a principal component cannot be formed: a value is not a finite "
        "number.");
  }
  const Eigen::VectorXd moved = pca.mean.transpose() + factor *
                                                           std::sqrt(pca.variances(component)) *
                                                           pca.loadings.col(component);
  return reference + Eigen::Map<const Config>(moved.data(), k, 3);
}

}  // namespace velmora::shape

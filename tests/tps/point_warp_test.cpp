#include "tps/point_warp.hpp"

#include <gtest/gtest.h>

#include <Eigen/Geometry>
#include <random>

#include "core/errors.hpp"
#include "tps/warp_basis.hpp"

namespace velmora::tps {
namespace {

shape::Config random_points(std::mt19937& rng, Eigen::Index n, double scale, double offset) {
  std::normal_distribution<double> g(0, 1);
  shape::Config p(n, 3);
  for (Eigen::Index i = 0; i < p.size(); ++i) p.data()[i] = offset + scale * g(rng);
  return p;
}

// Sizes and positions far from unit, as specimens in millimetres or metres.
TEST(ThinPlateSpline, MapsSourceOntoTargetAndLeavesEqualLandmarksAlone) {
  for (unsigned seed = 1; seed <= 6; ++seed) {
    std::mt19937 rng(seed);
    const Eigen::Index k = 4 + 17 * seed;
    const double size = seed % 2 ? 80.0 : 0.02, offset = seed % 3 ? 500.0 : -3.0;
    SCOPED_TRACE("seed " + std::to_string(seed));
    const shape::Config source = random_points(rng, k, size, offset);
    const shape::Config target = source + random_points(rng, k, 0.1 * size, 0);
    // Enough points to run on two threads, some far outside the landmarks.
    const PointRows points = random_points(rng, 30000, 3 * size, offset);

    const ThinPlateSpline spline(source, target);
    EXPECT_LE((spline.warp(source, 1) - target).cwiseAbs().maxCoeff(), 1e-9 * size);
    EXPECT_EQ(spline.warp(points, 2), spline.warp(points, 1));

    const ThinPlateSpline identity(source, source);
    EXPECT_LE((identity.warp(points) - points).cwiseAbs().maxCoeff(),
              1e-10 * (size + std::abs(offset)));
    EXPECT_LE(identity.weights().cwiseAbs().maxCoeff(), 1e-10);

    // An affine target: the spline is that affine map everywhere.
    const Eigen::Matrix3d a =
        Eigen::AngleAxisd(0.3 * seed, Eigen::Vector3d(1, 2, 3).normalized()).toRotationMatrix() *
        Eigen::Vector3d(1.5, 0.7, 1.1).asDiagonal();
    const Eigen::RowVector3d t(3 * size, -size, 0.5);
    const shape::Config affine = (source * a.transpose()).rowwise() + t;
    const PointRows expected = (points * a.transpose()).rowwise() + t;
    EXPECT_LE((ThinPlateSpline(source, affine).warp(points) - expected).cwiseAbs().maxCoeff(),
              1e-9 * (size + std::abs(offset)));
  }
}

// The spline's weights are the bending-energy matrix of the basis applied to
// the target: the same kernel as the partial warps.
TEST(ThinPlateSpline, WeightsAreTheBendingEnergyOfTheBasis) {
  std::mt19937 rng(11);
  shape::Config source = random_points(rng, 12, 1, 0);
  source = source.rowwise() - source.colwise().mean();
  source /= source.norm();
  const shape::Config target = source + random_points(rng, 12, 0.05, 0);
  const WarpBasis basis = thin_plate_basis(source);
  const Eigen::MatrixXd energy =
      basis.eigenvectors * basis.eigenvalues.asDiagonal() * basis.eigenvectors.transpose();
  EXPECT_LE((ThinPlateSpline(source, target).weights() - energy * target).cwiseAbs().maxCoeff(),
            1e-9 * energy.cwiseAbs().maxCoeff());
}

TEST(ThinPlateSpline, DegenerateLandmarksAreRefused) {
  std::mt19937 rng(3);
  shape::Config source = random_points(rng, 6, 1, 0);
  auto message = [](const shape::Config& s, const shape::Config& t) {
    try {
      ThinPlateSpline spline(s, t);
    } catch (const NumericError& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  const std::string head = "The thin-plate spline cannot be built: ";
  EXPECT_EQ(message(source, source.topRows(5)),
            head + "the source has 6 landmarks and the target 5.");
  EXPECT_EQ(message(source.topRows(3), source.topRows(3)),
            head + "it needs at least four landmarks, and has 3.");
  shape::Config flat = source;
  flat.col(2).setConstant(4);
  EXPECT_EQ(message(flat, source), head + "its source landmarks lie in one plane.");
  shape::Config twice = source;
  twice.row(1) = twice.row(0);
  EXPECT_EQ(message(twice, source), head + "source landmarks 1 and 2 coincide.");
  shape::Config inf = source;
  inf(2, 1) = std::numeric_limits<double>::infinity();
  EXPECT_EQ(message(source, inf), head + "a landmark is not finite.");
}

}  // namespace
}  // namespace velmora::tps

// The session's canonical variates against independent numpy computations
// (tools/check_canonical_variates.py, each on its own superimposition): the
// shape change along CV1 of the two-population example, and a small sample
// where the component cap binds, whose leave-one-out table must not depend
// on the pose of the raw specimens.
#include <gtest/gtest.h>

#include <Eigen/SVD>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/session.hpp"
#include "io/landmark_import.hpp"
#include "shape/random_shapes.hpp"

namespace velmora::analysis {
namespace {

const std::string kExamples = std::string(VELMORA_SOURCE_DIR) + "/examples/";
const std::string kGolden = std::string(VELMORA_SOURCE_DIR) + "/tests/analysis/data/";

/// NAME → the numbers after it on its line of a golden file.
std::map<std::string, std::vector<double>> golden(const std::string& file) {
  std::ifstream in(kGolden + file);
  std::map<std::string, std::vector<double>> out;
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string name;
    words >> name;
    for (double v; words >> v;) out[name].push_back(v);
  }
  return out;
}

shape::Config config(const std::vector<double>& xyz) {
  shape::Config c(static_cast<Eigen::Index>(xyz.size() / 3), 3);
  for (Eigen::Index l = 0; l < c.rows(); ++l)
    for (Eigen::Index d = 0; d < 3; ++d) c(l, d) = xyz[static_cast<std::size_t>(3 * l + d)];
  return c;
}

Session population_session(io::ImportedSample sample, const std::string& table) {
  Session s;
  s.superimpose({Method::Optimal});
  s.load_sample({std::move(sample), "populations.txt"});
  s.load_specimen_table({table});
  return s;
}

// numpy finds the change as the least-squares slope of the coordinates on
// the score within the populations; the session as S_w a.  The two
// superimpositions agree to their convergence, up to a rotation (numpy's
// mean shape turned onto the reference, Kabsch) and the sign of the CV.
TEST(CanonicalVariates, ShapeChangeIsTheWithinGroupRegressionOnTheScore) {
  Session s = population_session(io::import_landmarks(kExamples + "populations.txt"),
                                 kExamples + "populations.csv");
  const auto want = golden("populations_cv_shape.txt");
  const shape::Config& ref = s.superimposition()->reference();
  const Eigen::JacobiSVD<Eigen::Matrix3d> svd(config(want.at("mean")).transpose() * ref,
                                              Eigen::ComputeFullU | Eigen::ComputeFullV);
  const Eigen::Matrix3d turn = svd.matrixU() * svd.matrixV().transpose();
  ASSERT_GT(turn.determinant(), 0);
  shape::Config expected = config(want.at("cv1")) * turn;
  for (const double factor : {1.0, 2.5}) {
    const CvShapeReport r = s.cv_shape({"population", 1, factor});
    EXPECT_EQ(r.variates, 1);
    const shape::Config change = (r.target - r.reference) / factor;
    if (change.cwiseProduct(expected).sum() < 0) expected = -expected;
    EXPECT_LT((change - expected).norm(), 1e-6 * expected.norm()) << factor;
    EXPECT_LT((r.reference - r.opposite - factor * change).norm(), 1e-12);
    EXPECT_NEAR(change.rowwise().norm().maxCoeff(), want.at("largest")[0],
                1e-6 * want.at("largest")[0]);
  }
}

// The first 20 specimens, 10 of each population, on 29 shape dimensions:
// the cap n − g − 1 = 17 binds.  Every leave-one-out assignment equals that
// of a discriminant analysis refitted without the specimen, whatever the
// pose of the raw specimens.
TEST(CanonicalVariates, LeaveOneOutIgnoresPoseAndMatchesRefittedDiscriminants) {
  const io::ImportedSample all = io::import_landmarks(kExamples + "populations.txt");
  constexpr Eigen::Index n = 20;
  io::ImportedSample small = all;
  small.rows = all.rows.topRows(n);
  small.names.resize(n);
  const std::string table =
      (std::filesystem::temp_directory_path() / "velmora-cva-small.csv").string();
  {
    std::ifstream in(kExamples + "populations.csv");
    std::ofstream out(table);
    std::string line;
    for (Eigen::Index i = 0; i <= n && std::getline(in, line); ++i) out << line << "\n";
  }
  const auto want = golden("populations_small_cva.txt");
  testing::RandomShapes random(3);
  for (int pose = 0; pose < 4; ++pose) {
    io::ImportedSample moved = small;
    const Eigen::Index k = small.rows.cols() / 3;
    for (Eigen::Index i = 0; pose > 0 && i < n; ++i) {
      shape::Config c(k, 3);
      for (Eigen::Index j = 0; j < k; ++j) c.row(j) = small.rows.block(i, 3 * j, 1, 3);
      c = random.moved_copy(c);
      for (Eigen::Index j = 0; j < k; ++j) moved.rows.block(i, 3 * j, 1, 3) = c.row(j);
    }
    const Session s = population_session(std::move(moved), table);
    const CvaReport r = s.canonical_variates({"population", 9, 1});
    EXPECT_EQ(r.components_text,
              "17 principal components (those above 1e-08 of the total variance, at most n − g "
              "− 1 = 17)");
    EXPECT_EQ(static_cast<double>(r.cva.components), want.at("components")[0]);
    EXPECT_NEAR(r.cva.mahalanobis(0, 1), want.at("mahalanobis")[0],
                1e-6 * want.at("mahalanobis")[0]);
    ASSERT_EQ(r.cva.assigned.size(), want.at("assigned").size());
    for (std::size_t i = 0; i < r.cva.assigned.size(); ++i)
      EXPECT_EQ(r.cva.assigned[i], want.at("assigned")[i]) << "pose " << pose << " specimen " << i;
  }
  std::remove(table.c_str());
}

}  // namespace
}  // namespace velmora::analysis

// The session's integration, modularity and disparity on the bundled
// bilateral example: each report carries exactly the library's numbers on
// the session's own blocks, the partition follows the landmark scheme, and
// each refusal says what is missing and changes nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <utility>

#include "analysis/session.hpp"
#include "io/landmark_import.hpp"

namespace velmora::analysis {
namespace {

const std::string kSymmetry = std::string(VELMORA_SOURCE_DIR) + "/examples/symmetry/";

Session example_session() {
  Session s;
  s.load_sample({io::import_landmarks(kSymmetry + "skulls.txt"), "skulls.txt"});
  s.load_specimen_table({kSymmetry + "skulls.csv"});
  s.load_partition(kSymmetry + "modules.txt");
  return s;
}

std::string refusal(auto&& operation) {
  try {
    operation();
  } catch (const Error& e) {
    return e.what();
  }
  return "accepted";
}

TEST(IntegrationSession, ReportsCarryTheLibrarysNumbersOnTheSessionsBlocks) {
  Session s = example_session();
  const auto partition = s.partition();
  ASSERT_TRUE(partition);
  const Eigen::MatrixXd& tangent = *s.superimposition()->tangent();

  // Joint: the blocks' columns of the one superimposition.
  const PlsReport joint = s.two_block_pls({{}, 199, 3, {}});
  const auto direct =
      stats::two_block_pls(stats::block_coordinates(tangent, partition->block, 0),
                           stats::block_coordinates(tangent, partition->block, 1), 199, 3);
  EXPECT_EQ(joint.left, "face (13 landmarks)");
  EXPECT_EQ(joint.right, "braincase (13 landmarks)");
  EXPECT_EQ(joint.pls.singular_values, direct->singular_values);
  EXPECT_EQ(joint.pls.r_pls, direct->r_pls);
  EXPECT_EQ(joint.pls.rv, direct->rv);
  EXPECT_EQ(joint.pls.p, direct->p);
  EXPECT_EQ(joint.pls.z, direct->z);
  // The shape change moves each block along its own first axis.
  ASSERT_TRUE(joint.shape_change);
  const Eigen::MatrixXd moved =
      shape::stacked_of_config(joint.target) - shape::stacked_of_config(joint.reference);
  for (std::size_t b = 0; b < 2; ++b) {
    const Eigen::VectorXd d = stats::block_coordinates(moved, partition->block, b).transpose();
    const Eigen::VectorXd axis = (b ? direct->right_vectors : direct->left_vectors).col(0);
    EXPECT_NEAR(d.normalized().dot(axis), 1, 1e-12) << b;
  }

  // Separate: each block by its own superimposition of the raw specimens.
  s.set_pls_fit(PlsFit::Separate);
  const PlsReport separate = s.two_block_pls({{}, 199, 3, {}});
  const stats::BlockTangents t =
      stats::separate_block_tangents(s.sample().raw(), partition->block, 0, 1);
  EXPECT_EQ(separate.pls.r_pls, stats::two_block_pls(t.left, t.right, 199, 3)->r_pls);
  EXPECT_NE(separate.pls.r_pls, joint.pls.r_pls);
  EXPECT_FALSE(separate.shape_change);
  s.set_pls_fit(PlsFit::Joint);

  // Shape against a covariate column: log(CS).
  const PlsReport cs = s.two_block_pls({{"log(CS)"}, 99, 1, {}});
  const Eigen::MatrixXd log_cs = s.sample().centroid_sizes().array().log().matrix();
  EXPECT_EQ(cs.right, "log(CS)");
  EXPECT_EQ(cs.pls.r_pls, stats::two_block_pls(tangent, log_cs, 99, 1)->r_pls);

  // The planted modules: CR below every random partition.
  const ModularityReport m = s.modularity_test({199, 5, {}});
  const auto cr = stats::modularity_test(tangent, partition->block, 199, 5);
  EXPECT_EQ(m.test.cr, cr->cr);
  EXPECT_EQ(m.test.geomorph_cr, cr->geomorph_cr);
  EXPECT_EQ(m.test.p, cr->p);
  EXPECT_LT(m.test.cr, 1);
  EXPECT_DOUBLE_EQ(m.test.p, 1.0 / 200);
  EXPECT_LT(m.test.z, 0);

  std::vector<std::string> sex;
  for (const stats::ModelVariable& v : s.model_variables())
    if (v.name == "sex") sex = v.levels;
  ASSERT_EQ(sex.size(), 48u);
  const IntegrationComparisonReport c = s.compare_integration({"sex", 99, 2});
  const stats::IntegrationComparison cd = stats::compare_integration(
      stats::block_coordinates(tangent, partition->block, 0),
      stats::block_coordinates(tangent, partition->block, 1), sex, 99, 2);
  EXPECT_EQ(c.comparison.z, cd.z);
  EXPECT_EQ(c.comparison.pairwise_z, cd.pairwise_z);

  // Disparity: of the group means, then of the model chosen.
  const DisparityReport d = s.disparity({"sex", 99, 4});
  EXPECT_EQ(d.model, "");
  EXPECT_EQ(d.disparity.variance, stats::disparity(tangent, sex, nullptr, 99, 4).variance);
  s.choose_model("shape ~ log(CS) + sex");
  const DisparityReport dm = s.disparity({"sex", 99, 4});
  EXPECT_EQ(dm.model, "shape ~ log(CS) + sex");
  const stats::ModelDesign design = stats::model_design(
      stats::parse_model_formula("shape ~ log(CS) + sex"), s.model_variables(), 48);
  const stats::Disparity dd = stats::disparity(tangent, sex, &design, 99, 4);
  EXPECT_TRUE(dm.disparity.model_residuals);
  EXPECT_EQ(dm.disparity.variance, dd.variance);
  EXPECT_EQ(dm.disparity.p, dd.p);
}

TEST(IntegrationSession, ThePartitionFollowsTheLandmarkScheme) {
  Session s = example_session();
  io::ImportedSample same = io::import_landmarks(kSymmetry + "skulls.txt");
  s.load_sample({same, "skulls.txt"});
  EXPECT_TRUE(s.partition());
  // One landmark fewer: the partition goes, and says so.
  io::ImportedSample fewer = same;
  const Eigen::Index c = fewer.rows.cols();
  Eigen::MatrixXd rows(fewer.rows.rows(), c - 3);
  rows << fewer.rows.leftCols(c - 4), fewer.rows.col(c - 1);
  fewer.rows = rows;
  const LoadSampleReport r = s.load_sample({fewer, "fewer.txt"});
  EXPECT_FALSE(s.partition());
  EXPECT_EQ(r.notes.back(),
            "The partition was loaded for samples of 26 landmarks; this sample has 25: partition "
            "removed.");
  s.load_sample({same, "skulls.txt"});
  EXPECT_FALSE(s.partition());
}

TEST(IntegrationSession, RefusalsSayWhatIsMissingAndChangeNothing) {
  Session empty;
  EXPECT_EQ(refusal([&] { empty.load_partition(kSymmetry + "modules.txt"); }),
            "Load a landmark file first (Load Landmarks).");
  Session s;
  s.load_sample({io::import_landmarks(kSymmetry + "skulls.txt"), "skulls.txt"});
  const std::string none =
      "No partition is loaded: choose File > Load Partition… first (in batch: open modules.txt, "
      "then LoadPartition).";
  EXPECT_EQ(refusal([&] { s.modularity_test({}); }), none);
  EXPECT_EQ(refusal([&] { s.two_block_pls({}); }), none);
  EXPECT_EQ(refusal([&] { s.compare_integration({"sex"}); }), none);

  s.load_specimen_table({kSymmetry + "skulls.csv"});
  s.load_partition(kSymmetry + "modules.txt");
  EXPECT_EQ(refusal([&] {
              s.two_block_pls({{"sex"}, 9, 1, {}});
            }),
            "\"sex\" is a factor; a two-block PLS with covariates takes columns of numbers.");
  EXPECT_EQ(refusal([&] { s.disparity({"age"}); }),
            "The sample has no factor \"age\"; load a specimen table with a text column of that "
            "name.");
  // A partition file that does not fit is refused, naming it; the one
  // before stays.
  const std::string bad = testing::TempDir() + "velmora_partition_short.txt";
  std::ofstream(bad) << "face\nface\nface\nbraincase\nbraincase\nbraincase\n";
  const std::string text = refusal([&] { s.load_partition(bad); });
  EXPECT_NE(text.find("velmora_partition_short.txt"), std::string::npos) << text;
  ASSERT_TRUE(s.partition());
  EXPECT_EQ(s.partition()->block.size(), 26u);
  std::remove(bad.c_str());
}

}  // namespace
}  // namespace velmora::analysis

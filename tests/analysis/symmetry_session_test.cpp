// The session's bilateral symmetry and repeatability on the bundled skulls
// (24 individuals, 2 replicates, 10 landmark pairs): the reports are the
// library's, the components and the PCA of them follow the fit, the pairs
// belong to their landmark scheme, and the refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/session.hpp"
#include "io/landmark_import.hpp"
#include "io/pair_files.hpp"
#include "io/row_layout.hpp"
#include "shape/principal_components.hpp"

namespace velmora::analysis {
namespace {

const std::string kDir = std::string(VELMORA_SOURCE_DIR) + "/examples/symmetry/";

std::string refusal(auto&& operation) {
  try {
    operation();
  } catch (const Error& e) {
    return e.what();
  }
  return "accepted";
}

struct Skulls {
  Session s;
  std::vector<std::string> individuals;
  Skulls() {
    s.load_sample({io::import_landmarks(kDir + "skulls.txt"), "skulls.txt"});
    s.load_specimen_table({kDir + "skulls.csv"});
    for (const stats::ModelVariable& v : s.model_variables())
      if (v.name == "individual") individuals = v.levels;
  }
};

TEST(SymmetrySession, ReportsAreTheLibrarysAndComponentsFollowTheFit) {
  Skulls k;
  Session& s = k.s;
  EXPECT_EQ(refusal([&] { s.symmetry_anova({"individual"}); }),
            "Object symmetry needs the landmark pairs: load them first (File > Load Landmark "
            "Pairs; in batch: LoadLandmarkPairs), or name the column of the sides for matching "
            "symmetry (SymmetryANOVA INDIVIDUAL SIDE).");
  EXPECT_EQ(refusal([&] { s.set_pca_symmetry(SymmetryPart::Symmetric); }),
            "No symmetry analysis has been run on this sample: run Symmetry ANOVA first (in "
            "batch: SymmetryANOVA INDIVIDUAL for object symmetry, SymmetryANOVA INDIVIDUAL SIDE "
            "for matching symmetry).");
  EXPECT_EQ(refusal([&] {
              s.symmetry_anova({"sex", "replicate"});
            }).substr(0, 30),
            "The sample has no factor \"repl");

  const io::LandmarkPairs pairs = io::load_landmark_pairs(kDir + "pairs.txt", 26);
  EXPECT_EQ(s.set_landmark_pairs(pairs, "pairs.txt").message,
            "26 landmarks: 10 pairs, 6 on the midline.");
  const SymmetryReport r = s.symmetry_anova({"individual", "", 99, 3});

  // The same numbers as the library's own fit and ANOVA, to the bit.
  const stats::SymmetryFit fit = stats::object_symmetry_fit(
      s.sample().raw(), io::reflection_relabelling(pairs, 26), k.individuals);
  const stats::SymmetryAnova a = *stats::symmetry_anova(fit, "individual", 99, 3);
  ASSERT_EQ(r.anova.terms.size(), 4u);
  EXPECT_TRUE(r.anova.replicates);
  for (std::size_t t = 0; t < a.terms.size(); ++t) {
    EXPECT_EQ(r.anova.terms[t].term, a.terms[t].term);
    EXPECT_EQ(r.anova.terms[t].ss, a.terms[t].ss);
    EXPECT_EQ(r.anova.terms[t].p, a.terms[t].p);
    EXPECT_EQ(r.anova.terms[t].shape_df, a.terms[t].shape_df);
  }
  EXPECT_EQ(stats::symmetry_table_text(r.anova, false), stats::symmetry_table_text(a, false));

  // Components: one specimen a line in the native layout, the raw size last.
  const stats::SymmetryComponents c = stats::symmetry_components(fit);
  const SymmetryComponentReport sym = s.symmetry_component({SymmetryPart::Symmetric, false});
  ASSERT_EQ(sym.rows.rows(), 48);
  ASSERT_EQ(sym.rows.cols(), 79);
  EXPECT_EQ(sym.names[0], s.sample().names[0]);
  const shape::Config first = shape::config_of_stacked(c.symmetric.row(0));
  const std::vector<double> row = io::config_to_row(
      {first.data(), static_cast<std::size_t>(first.size())}, 26, s.sample().rows(0, 78));
  for (Eigen::Index j = 0; j < 79; ++j) EXPECT_EQ(sym.rows(0, j), row[static_cast<std::size_t>(j)]);
  const SymmetryComponentReport asym = s.symmetry_component({SymmetryPart::Asymmetric, true});
  ASSERT_EQ(asym.rows.rows(), 24);
  EXPECT_EQ(asym.names, fit.individuals);

  // The directional asymmetry drawn: the two shapes differ by it, exaggerated.
  const DirectionalAsymmetryReport d = s.directional_asymmetry({3});
  EXPECT_LT((d.target - d.opposite - 3 * c.directional).norm(), 1e-14);
  EXPECT_EQ(d.size, c.directional.norm());

  // The PCA of the asymmetric component, drawn around the symmetric consensus.
  s.set_pca_symmetry(SymmetryPart::Asymmetric);
  const PcaReport pca = s.pca({});
  const shape::ShapePca direct = shape::principal_components(c.asymmetric);
  ASSERT_EQ(pca.pca->variances.size(), direct.variances.size());
  EXPECT_LT((pca.pca->variances - direct.variances).norm(), 1e-15 * direct.variances.sum());
  const ComponentShapeReport shape = s.component_shape({1, 2, {}});
  EXPECT_EQ(shape.reference, fit.reference);

  // A sample of another landmark count drops the pairs and the analysis.
  io::ImportedSample small = io::import_landmarks(kDir + "skulls.txt");
  small.rows = Eigen::MatrixXd(small.rows.leftCols(73));
  small.rows.col(72) = s.sample().centroid_sizes();
  const LoadSampleReport load = s.load_sample({std::move(small), "small.txt"});
  EXPECT_EQ(load.pairs_note,
            "The landmark pairs were loaded for samples of 26 landmarks; this sample has 24: "
            "landmark pairs removed.");
  EXPECT_EQ(s.landmark_pairs(), nullptr);
  EXPECT_EQ(s.symmetry(), nullptr);
  EXPECT_EQ(s.pca_symmetry(), SymmetryPart::None);
}

// Repeatability as defined from its ANOVA's mean squares, with the
// replicates of the example.
TEST(SymmetrySession, RepeatabilityFollowsFromTheAnova) {
  Skulls k;
  const RepeatabilityReport r = k.s.repeatability({"individual", 99, 1});
  const stats::Repeatability& q = r.result;
  ASSERT_EQ(q.anova.terms.size(), 1u);
  EXPECT_EQ(q.anova.terms[0].term, "individual");
  EXPECT_EQ(q.replicates, 2);
  const double ms_ind = q.anova.terms[0].ms, ms_err = q.anova.residuals.ms;
  EXPECT_NEAR(q.repeatability, (ms_ind - ms_err) / (ms_ind + ms_err), 1e-14);
  EXPECT_NEAR(q.error_share, 1 - q.repeatability, 1e-14);
  EXPECT_GT(q.repeatability, 0.5);  // the example's replicates differ little
}

}  // namespace
}  // namespace velmora::analysis

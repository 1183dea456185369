// Surfaces on the session: the specimen chosen by the file's stem or by the
// caller, the warp onto the consensus and on to a target exact at the
// landmarks, the warnings for a surface out of place, and the refusals.
#include <gtest/gtest.h>

#include <map>

#include "analysis/session.hpp"
#include "core/number_text.hpp"
#include "io/landmark_import.hpp"
#include "io/list_files.hpp"
#include "shape/centroid_size.hpp"

namespace velmora::analysis {
namespace {

const std::string kExamples = std::string(VELMORA_SOURCE_DIR) + "/examples/";

Session example_session() {
  Session s;
  s.load_sample({io::import_landmarks(kExamples + "skulls.txt"), "skulls.txt"});
  s.set_x(
      {XSource::File, io::load_x_list(kExamples + "age.txt").matrix().col(0), "age", "age.txt", 0});
  return s;
}

std::string refusal(auto&& operation) {
  try {
    operation();
  } catch (const Error& e) {
    return e.what();
  }
  ADD_FAILURE() << "not refused";
  return {};
}

/// The vertex nearest each landmark: the example surface passes through all
/// twelve of its specimen's.
std::vector<Eigen::Index> landmark_vertices(const mesh::Points& v, const shape::Config& lm) {
  std::vector<Eigen::Index> at;
  for (Eigen::Index i = 0; i < lm.rows(); ++i) {
    Eigen::Index best;
    const double d = (v.rowwise() - lm.row(i)).rowwise().norm().minCoeff(&best);
    EXPECT_LT(d, 1e-4);  // the file's float coordinates
    at.push_back(best);
  }
  return at;
}

TEST(SurfaceSession, TheExampleSurfaceIsCarriedExactlyOntoEachTarget) {
  Session s = example_session();
  const LoadSurfaceReport load = s.load_surface({kExamples + "specimen 1.ply", {}, {}});
  ASSERT_FALSE(load.needs_choice);
  EXPECT_EQ(load.surface->specimen, 0);
  EXPECT_TRUE(load.notes.empty());
  EXPECT_EQ(load.log_line,
            "Surface \"specimen 1.ply\" (2562 vertices, 5120 triangles) of specimen \"specimen "
            "1\", carried onto the consensus.");
  const auto at = landmark_vertices(load.surface->mesh.vertices, load.surface->landmarks);
  const double cs = load.surface->centroid_size;
  // Float coordinates in the file: the landmarks sit on the surface to 1e-4
  // mm, which the spline carries on almost unchanged.
  const double tol = 1e-4 * 10;

  s.regression({});
  std::vector<SurfaceWarpParams> targets = {{SurfaceTarget::Mean},
                                            {SurfaceTarget::Regression, 18.0},
                                            {SurfaceTarget::Regression, 2.0, 1, 2, 3.0},
                                            {SurfaceTarget::Component, 0, 2, -1.5}};
  for (const SurfaceWarpParams& p : targets) {
    const SurfaceWarpReport w = s.warp_surface(p);
    SCOPED_TRACE(w.description);
    for (std::size_t i = 0; i < at.size(); ++i) {
      const auto lm = static_cast<Eigen::Index>(i);
      EXPECT_LE((w.mean.row(at[i]) - s.superimposition()->reference().row(lm) * cs).norm(), tol);
      EXPECT_LE((w.vertices.row(at[i]) - w.target_landmarks.row(lm)).norm(), tol);
    }
    // Regression targets are unit shapes; a component's is the mean moved in
    // the tangent space, as the program draws it.
    if (p.target != SurfaceTarget::Component) {
      EXPECT_NEAR(shape::centroid_size(w.target_landmarks), cs, 1e-9 * cs);
    }
    EXPECT_DOUBLE_EQ(w.largest_displacement, w.displacement.maxCoeff());
  }
  EXPECT_EQ(
      s.warp_surface({SurfaceTarget::Regression, 18.0}).log_line,
      "Surface \"specimen 1.ply\" of specimen \"specimen 1\" warped from the mean shape to "
      "the regression's prediction at age = 18; largest displacement " +
          message_number(s.warp_surface({SurfaceTarget::Regression, 18.0}).largest_displacement) +
          " (specimen units).");

  // The mean's own target leaves the surface where it is; so does the
  // regression at the mean of X.
  EXPECT_EQ(s.warp_surface({}).largest_displacement, 0);
  const double mean_age = s.x()->values.mean();
  EXPECT_LE(s.warp_surface({SurfaceTarget::Regression, mean_age}).largest_displacement, 1e-9 * cs);
  const SurfaceWarpReport ends = s.warp_surface({SurfaceTarget::Regression, 18.0});
  EXPECT_EQ(ends.x_low, s.x()->values.minCoeff());
  EXPECT_EQ(ends.x_high, s.x()->values.maxCoeff());

  // A turned reference: the mean surface follows it.
  s.rotate({Axis::Z});
  const SurfaceWarpReport turned = s.warp_surface({});
  EXPECT_LE((turned.mean.row(at[2]) - s.superimposition()->reference().row(2) * cs).norm(), tol);
}

TEST(SurfaceSession, TheCallerChoosesWhenNoSpecimenIsNamedAndFarSurfacesAreWarned) {
  Session s = example_session();
  const mesh::Surface file = mesh::read_surface(kExamples + "specimen 1.ply");
  const LoadSurfaceReport ask = s.load_surface({"/data/skull.ply", file, {}});
  ASSERT_TRUE(ask.needs_choice);
  EXPECT_EQ(ask.choices.size(), 80u);
  EXPECT_EQ(ask.choices[4], "specimen 5");
  ASSERT_TRUE(ask.read.has_value());
  EXPECT_EQ(s.surface(), nullptr);

  // In inches, and moved away: both warned with their numbers.
  mesh::Surface inches = *ask.read;
  const Eigen::RowVector3d centre = inches.vertices.colwise().mean();
  inches.vertices = ((inches.vertices.rowwise() - centre) / 25.4).rowwise() + centre;
  const LoadSurfaceReport small = s.load_surface({"/data/skull.ply", inches, 0});
  ASSERT_EQ(small.notes.size(), 1u);
  auto rms = [](const Eigen::MatrixXd& p) {
    return std::sqrt((p.rowwise() - p.colwise().mean()).rowwise().squaredNorm().mean());
  };
  const double rs = rms(inches.vertices), rl = rms(small.surface->landmarks);
  EXPECT_EQ(small.notes[0], "Warning: the surface \"skull.ply\" is " + message_number(rs / rl) +
                                " times the size of specimen \"specimen 1\"'s landmarks "
                                "(root-mean-square radius " +
                                message_number(rs) + " against " + message_number(rl) +
                                "): is it in other units, or another specimen's?");
  EXPECT_NEAR(rs / rl, 1 / 25.4, 0.1 / 25.4);
  mesh::Surface moved = file;
  moved.vertices.col(0).array() += 1000;
  const auto far = s.load_surface({"skull.ply", moved, 0}).notes;
  ASSERT_EQ(far.size(), 1u);
  EXPECT_NE(far[0].find("Warning: the centre of the surface \"skull.ply\" lies 10"),
            std::string::npos)
      << far[0];
  EXPECT_EQ(s.surface()->file_name, "skull.ply");

  EXPECT_EQ(refusal([&] {
              s.load_surface({"skull.ply", file, 80});
            }),
            "There is no specimen 81: the sample has 80.");
  EXPECT_EQ(refusal([&] {
              s.warp_surface({SurfaceTarget::Component, 0, 99, 1});
            }),
            refusal([&] {
              s.component_shape({99, 1});
            }));
}

TEST(SurfaceSession, AGroupMeanTargetMovesTheSurfaceByTheGroupsChange) {
  Session s = example_session();
  s.load_specimen_table({kExamples + "populations.csv"});
  const LoadSurfaceReport load = s.load_surface({kExamples + "specimen 1.ply", {}, {}});
  const auto at = landmark_vertices(load.surface->mesh.vertices, load.surface->landmarks);
  const double cs = load.surface->centroid_size;
  const shape::Config cons = s.superimposition()->reference() * cs;
  auto group = [&](const std::string& level, double times) {
    return s.warp_surface({SurfaceTarget::Group, 0, 1, 2, times, std::string("population"), level});
  };
  // The tangent coordinates average to the consensus, so the groups'
  // changes, weighted by their sizes, cancel.
  std::map<std::string, double> sizes;
  for (const stats::ModelVariable& v : s.model_variables())
    if (v.name == "population")
      for (const std::string& l : v.levels) ++sizes[l];
  ASSERT_EQ(sizes.size(), 2u);
  shape::Config weighted = shape::Config::Zero(cons.rows(), 3);
  for (const auto& [level, n] : sizes) {
    const SurfaceWarpReport w = group(level, 1);
    weighted += n * (w.target_landmarks - cons);
    // Exact at the landmarks; the change scales with the exaggeration.
    const SurfaceWarpReport twice = group(level, 2.5);
    for (std::size_t i = 0; i < at.size(); ++i)
      EXPECT_LE((w.vertices.row(at[i]) - w.target_landmarks.row(Eigen::Index(i))).norm(), 1e-3);
    EXPECT_LT(((twice.target_landmarks - cons) - 2.5 * (w.target_landmarks - cons)).norm(),
              1e-12 * cs);
    EXPECT_GT(w.largest_displacement, 0);
    EXPECT_LT(group(level, 0).largest_displacement, 1e-9 * cs);
  }
  EXPECT_LT(weighted.norm(), 1e-9 * cs);
  const SurfaceWarpReport inland = group("inland", 2);
  EXPECT_EQ(inland.log_line,
            "Surface \"specimen 1.ply\" of specimen \"specimen 1\" warped from the mean shape to "
            "the mean of population inland (change × 2); largest displacement " +
                message_number(inland.largest_displacement) + " (specimen units).");
  EXPECT_EQ(refusal([&] { group("island", 1); }),
            "There is no group \"island\" in factor \"population\"; its levels are coast, "
            "inland.");
  EXPECT_EQ(refusal([&] {
              s.warp_surface({SurfaceTarget::Group, 0, 1, 2, 1, std::string("age"), "coast"});
            }),
            "The sample has no factor \"age\"; load a specimen table with a text column of that "
            "name.");
}

// A target beyond the bound of the shape displays is refused with the
// bound; X outside the sample's range is drawn, with a warning.
TEST(SurfaceSession, FarTargetsAreRefusedAndXOutsideTheSampleIsWarned) {
  Session s = example_session();
  s.load_surface({kExamples + "specimen 1.ply", {}, {}});
  s.regression({});
  for (double sd : {1e30, -1.5e6}) {
    EXPECT_EQ(refusal([&] {
                s.warp_surface({SurfaceTarget::Component, 0, 1, sd});
              }),
              "The surface warp takes a principal component score from -1000000 to 1000000 "
              "(1e6) SD, not " +
                  message_number(sd) + ".");
  }
  EXPECT_TRUE(s.warp_surface({SurfaceTarget::Component, 0, 1, -1e6}).vertices.allFinite());
  EXPECT_EQ(refusal([&] {
              s.warp_surface({SurfaceTarget::Regression, 1e308});
            }),
            "The surface warp takes X at most 1000000 (1e6) times the range of age (17.9) from "
            "its mean, not 1e+308.");
  EXPECT_TRUE(s.warp_surface({SurfaceTarget::Regression, 19.5}).notes.empty());
  const SurfaceWarpReport far = s.warp_surface({SurfaceTarget::Regression, 1e7});
  EXPECT_TRUE(far.vertices.allFinite());
  EXPECT_EQ(far.notes, std::vector<std::string>{
                           "Warning: X = 10000000 lies outside the sample's range of age, 1.6 "
                           "to 19.5: the surface shows the regression extrapolated."});
}

TEST(SurfaceSession, RefusedWithoutASurfaceOrAfterItsSampleIsGone) {
  Session s = example_session();
  EXPECT_EQ(refusal([&] { s.warp_surface({}); }),
            "There is no surface: load one first (Load Surface…).");
  s.load_surface({kExamples + "specimen 1.ply", {}, {}});
  EXPECT_EQ(refusal([&] {
              s.warp_surface({SurfaceTarget::Regression, 3});
            }),
            s.missing(kNeedRegression));
  io::ImportedSample other = io::import_landmarks(kExamples + "skulls.txt");
  other.rows.row(0) *= 2;
  // Loading another sample (or clearing it) drops the surface with it.
  s.load_sample({other, "other.txt"});
  EXPECT_EQ(s.surface(), nullptr);
  EXPECT_EQ(refusal([&] { s.warp_surface({}); }),
            "There is no surface: load one first (Load Surface…).");
  s.load_sample({io::import_landmarks(kExamples + "skulls.txt"), "skulls.txt"});
  s.load_surface({kExamples + "specimen 1.ply", {}, {}});
  ASSERT_NE(s.surface(), nullptr);
  s.clear();
  EXPECT_EQ(s.surface(), nullptr);
  EXPECT_THROW(s.load_surface({kExamples + "skulls.txt", {}, 0}), Error);
}

}  // namespace
}  // namespace velmora::analysis

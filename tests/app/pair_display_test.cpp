#include <gtest/gtest.h>

#include "app/workspace.hpp"
#include "app_fixture.hpp"

namespace velmora::app {
namespace {

// The line of the 3D figure with role `tag`, and its points (k×3).
gfx::Handle line_with_role(gfx::Graphics& g, std::string_view tag) {
  const gfx::Handle ax = g.get(*workspace().window.figure3d, "CurrentAxes")(0);
  const Value kids = g.get(ax, "Children");
  for (std::size_t i = 0; i < kids.numel(); ++i)
    if (g.get_text(kids(i), "Tag") == tag) return kids(i);
  ADD_FAILURE() << "no line " << tag;
  return -1;
}
Eigen::MatrixXd points_of(gfx::Graphics& g, gfx::Handle h) {
  const Value xs = g.get(h, "XData"), ys = g.get(h, "YData"), zs = g.get(h, "ZData");
  Eigen::MatrixXd p(static_cast<Eigen::Index>(xs.numel()), 3);
  for (std::size_t j = 0; j < xs.numel(); ++j)
    p.row(static_cast<Eigen::Index>(j)) << xs(j), ys(j), zs(j);
  return p;
}

// For the display types of two configurations, Show PCA draws the mean shape
// at −factor and +factor SD, symmetric about the mean; Show Regression the
// shapes predicted at the smallest and largest X, which differ by the
// change over the whole range (the other display types' target), each named
// by its end.
TEST_F(AppTest, PairsOfShapesAtBothEnds) {
  load_examples(true, true);
  ASSERT_EQ(run("DoRegression").outcome, Outcome::Done);
  // The status line says what was regressed on what.
  EXPECT_EQ(text_of("StatusBar"),
            "Regressed 29 partial warp and uniform scores on age, 80 specimens. Show Regression "
            "draws the change.");
  for (double type : {1.0, 2.0}) {
    type_into("DeFormat", Value(type));
    type_into("PCFactorBox", Value("3"));
    ASSERT_EQ(run("ShowPCA").outcome, Outcome::Done) << workspace().last_action.message;
    const gfx::Handle low = line_with_role(*g, "Low"), high = line_with_role(*g, "High");
    EXPECT_EQ(g->get_text(low, "DisplayName"), "PC1 \u22123 SD");
    EXPECT_EQ(g->get_text(high, "DisplayName"), "PC1 +3 SD");
    const Eigen::MatrixXd& mean = workspace().session.superimposition()->reference();
    EXPECT_LT(((points_of(*g, low) + points_of(*g, high)) / 2 - mean).norm(), 1e-12);
    EXPECT_GT((points_of(*g, high) - mean).norm(), 1e-3);

    type_into("ExagerationBox", Value("2"));
    ASSERT_EQ(run("ShowRegression").outcome, Outcome::Done) << workspace().last_action.message;
    const Eigen::VectorXd& x = workspace().session.x()->values;
    const gfx::Handle at_lo = line_with_role(*g, "Low"), at_hi = line_with_role(*g, "High");
    const std::string name = workspace().session.x()->name + " = ";
    EXPECT_EQ(g->get_text(at_lo, "DisplayName"), name + format_number(x.minCoeff()) + " (×2)");
    EXPECT_EQ(g->get_text(at_hi, "DisplayName"), name + format_number(x.maxCoeff()) + " (×2)");
    const analysis::RegressionShapeReport r = workspace().session.regression_shape({2});
    // Up to the fit of each shape back onto the reference, which is not linear.
    const Eigen::MatrixXd change = r.target - r.reference;
    EXPECT_LT(((points_of(*g, at_hi) - points_of(*g, at_lo)) - change).norm(), 0.1 * change.norm());
  }
}

}  // namespace
}  // namespace velmora::app

#include "stats/symmetry.hpp"

#include <gtest/gtest.h>

#include <Eigen/LU>
#include <Eigen/QR>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "core/errors.hpp"
#include "shape/procrustes.hpp"
#include "shape/tangent_coordinates.hpp"
#include "stats/procrustes_anova.hpp"
#include "stats/repeatability.hpp"
#include "stats/symmetry_golden.hpp"

namespace velmora::stats {
namespace {

namespace g = golden;

template <std::size_t N>
shape::Stack stack_of(const double (&rows)[N][3], Eigen::Index k) {
  const Eigen::Index n = static_cast<Eigen::Index>(N) / k;
  shape::Stack s(k, n);
  for (Eigen::Index i = 0; i < n; ++i)
    for (Eigen::Index j = 0; j < k; ++j)
      for (int d = 0; d < 3; ++d) s.slice(i)(j, d) = rows[i * k + j][d];
  return s;
}

template <std::size_t N>
std::vector<std::string> labels(const char* const (&names)[N]) {
  return {std::begin(names), std::end(names)};
}

std::vector<std::size_t> relabel() {
  std::vector<std::size_t> r(g::kLandmarks);
  for (std::size_t j = 0; j < r.size(); ++j) r[j] = j;
  for (const auto& p : g::kPairs) {
    r[static_cast<std::size_t>(p[0])] = static_cast<std::size_t>(p[1]);
    r[static_cast<std::size_t>(p[1])] = static_cast<std::size_t>(p[0]);
  }
  return r;
}

// Every configuration turned, moved and rescaled by a pose of its own.
shape::Stack posed(shape::Stack s, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::normal_distribution<double> normal;
  for (Eigen::Index i = 0; i < s.n(); ++i) {
    Eigen::Matrix3d a;
    for (int c = 0; c < 9; ++c) a(c) = normal(gen);
    Eigen::Matrix3d q = Eigen::HouseholderQR<Eigen::Matrix3d>(a).householderQ();
    if (q.determinant() < 0) q.col(0) *= -1;
    const Eigen::RowVector3d shift(normal(gen), normal(gen), normal(gen));
    shape::Config c = (3.0 + normal(gen)) * s.slice(i) * q;
    s.slice(i) = c.rowwise() + 10 * shift;
  }
  return s;
}

void expect_golden(const SymmetryAnova& a, const double* ss, const int* df, double sst) {
  ASSERT_EQ(a.terms.size(), 4u);
  for (std::size_t t = 0; t < 4; ++t) {
    EXPECT_NEAR(a.terms[t].ss, ss[t], 1e-10) << a.terms[t].term;
    EXPECT_EQ(a.terms[t].df, df[t]) << a.terms[t].term;
  }
  EXPECT_NEAR(a.total.ss, sst, 1e-10);
}

// Sums of squares, Df and asymmetry indices against nested least-squares
// fits in numpy; the shape Df from their formulas (q = 4, m = 3, p = 11,
// 6 individuals, 13 configurations; 3p − 7 = 26, and 14 for 7 landmarks).
TEST(Symmetry, ObjectAndMatchingAgreeWithNestedFits) {
  const SymmetryFit fit =
      object_symmetry_fit(stack_of(g::kRaw, g::kLandmarks), relabel(), labels(g::kIndividual));
  const SymmetryAnova a = *symmetry_anova(fit, "ind", 99, 5);
  expect_golden(a, g::kSs, g::kDf, g::kSst);
  std::vector<Eigen::Index> shape_df;
  for (const SymmetryLine& l : a.terms) shape_df.push_back(l.shape_df);
  EXPECT_EQ(shape_df, (std::vector<Eigen::Index>{5 * 14, 12, 5 * 12, 7 * 26}));
  EXPECT_DOUBLE_EQ(a.terms[0].F, a.terms[0].ms / a.terms[2].ms);
  EXPECT_DOUBLE_EQ(a.terms[2].F, a.terms[2].ms / a.terms[3].ms);
  EXPECT_DOUBLE_EQ(a.terms[1].shape_F, (a.terms[1].ss / 12) / (a.terms[2].ss / 60));

  const SymmetryComponents c = symmetry_components(fit);
  for (std::size_t i = 0; i < 6; ++i)
    EXPECT_NEAR(c.asymmetry_index(static_cast<Eigen::Index>(i)), g::kAsymmetryIndex[i], 1e-10);
  EXPECT_NEAR(c.directional.norm(), g::kDirectionalNorm, 1e-10);
  EXPECT_EQ(c.symmetric.rows(), 13);
  // A specimen is its symmetric component plus half its asymmetry.
  const auto row0 = shape::stacked_of_config(fit.fitted.slice(0));
  EXPECT_LT((c.symmetric.row(0) + 0.5 * c.asymmetric.row(0) - row0).norm(), 1e-15);

  const SymmetryFit m = matching_symmetry_fit(
      stack_of(g::kMatchingRaw, 7), labels(g::kMatchingIndividual), labels(g::kMatchingSide));
  const SymmetryAnova b = *symmetry_anova(m, "ind", 99, 5);
  expect_golden(b, g::kMatchingSs, g::kMatchingDf, g::kMatchingSst);
  for (std::size_t t = 0; t < 4; ++t) EXPECT_EQ(b.terms[t].shape_df, g::kMatchingDf[t] * 14);
  // The first individual has three left sides and two right ones.
  EXPECT_NE(symmetry_components(m).unpaired.find("\"ind1\" has 3 configurations"),
            std::string::npos);

  const auto rows = symmetry_table_rows(a, false);
  std::vector<std::string> names;
  for (const auto& r : rows) names.push_back(r[0]);
  EXPECT_EQ(names,
            (std::vector<std::string>{"TERM", "ind", "side", "ind:side", "Residuals", "Total"}));
  EXPECT_EQ(rows[5][3], "NA");
  EXPECT_EQ(std::stod(symmetry_table_rows(a, true)[1][2]), a.terms[0].ss);
}

// The randomization of each term, against data rebuilt from its reduced
// model and permuted residuals, refitted by QR.
void expect_refitted_permutations(const SymmetryFit& fit) {
  const int perms = 15;
  const SymmetryAnova a = *symmetry_anova(fit, "ind", perms, 9);
  const Eigen::Index n = fit.tangent.rows(),
                     ind = static_cast<Eigen::Index>(fit.individuals.size());
  // Nested designs: intercept, + individual, + side, + individual:side.
  Eigen::MatrixXd x = Eigen::MatrixXd::Zero(n, 2 * ind);
  for (Eigen::Index r = 0; r < n; ++r) {
    const Eigen::Index i = fit.individual[static_cast<std::size_t>(r)];
    const int s = fit.side[static_cast<std::size_t>(r)];
    x(r, 0) = 1;
    if (i > 0) x(r, i) = 1;
    x(r, ind) = s;
    if (i > 0 && s) x(r, ind + i) = 1;
  }
  const Eigen::Index cols[4] = {1, ind, ind + 1, 2 * ind};
  auto fitted = [&](Eigen::Index c, const Eigen::MatrixXd& y) -> Eigen::MatrixXd {
    const Eigen::MatrixXd q = Eigen::HouseholderQR<Eigen::MatrixXd>(x.leftCols(c)).householderQ() *
                              Eigen::MatrixXd::Identity(n, c);
    return q * (q.transpose() * y);
  };
  auto ss = [&](const Eigen::MatrixXd& y, int t) {
    return (fitted(cols[t + 1], y) - fitted(cols[t], y)).squaredNorm();
  };
  const Eigen::MatrixXi orderings = random_orderings(n, perms, 9);
  const int error_of[3] = {2, 2, 3};
  for (int t = 0; t < 3; ++t) {
    const Eigen::MatrixXd reduced = fitted(cols[t], fit.tangent);
    const Eigen::MatrixXd e = fit.tangent - reduced;
    for (int b = 0; b < perms; ++b) {
      Eigen::MatrixXd y = reduced;
      for (Eigen::Index r = 0; r < n; ++r) y.row(r) += e.row(orderings(r, b));
      const int u = error_of[t];
      const double err = u == 3 ? (y - fitted(2 * ind, y)).squaredNorm() : ss(y, u);
      const double f = (ss(y, t) / a.terms[t].df) / (err / a.terms[u].df);
      EXPECT_NEAR(a.log_f[t](b + 1), std::log(f), 1e-9) << t << " " << b;
    }
  }
}

TEST(Symmetry, PermutationsMatchRefittedData) {
  expect_refitted_permutations(
      object_symmetry_fit(stack_of(g::kRaw, g::kLandmarks), relabel(), labels(g::kIndividual)));
  // Unequal cells: three left sides and two right ones for the first.
  expect_refitted_permutations(matching_symmetry_fit(
      stack_of(g::kMatchingRaw, 7), labels(g::kMatchingIndividual), labels(g::kMatchingSide)));
  // 150 coordinates: more than one block of columns.
  std::mt19937_64 gen(12);
  std::normal_distribution<double> normal;
  shape::Stack wide(50, 12);
  for (double& v : wide.data()) v = normal(gen);
  std::vector<std::string> ind, side;
  for (int c = 0; c < 12; ++c) {
    ind.push_back("i" + std::to_string(c / 4));
    side.push_back(c % 2 ? "R" : "L");
  }
  const SymmetryFit fit = matching_symmetry_fit(wide, ind, side);
  expect_refitted_permutations(fit);
  EXPECT_FALSE(symmetry_anova(fit, "ind", 99, 1, [](int, int) { return false; }));
}

// Turning, moving and rescaling the raw configurations changes nothing.
TEST(Symmetry, PoseOfTheRawConfigurationsChangesNothing) {
  const shape::Stack raw = stack_of(g::kRaw, g::kLandmarks);
  const auto ind = labels(g::kIndividual);
  const SymmetryFit f0 = object_symmetry_fit(raw, relabel(), ind);
  const SymmetryFit f1 = object_symmetry_fit(posed(raw, 3), relabel(), ind);
  const SymmetryAnova a0 = *symmetry_anova(f0, "ind", 199, 2);
  const SymmetryAnova a1 = *symmetry_anova(f1, "ind", 199, 2);
  for (std::size_t t = 0; t < 4; ++t) {
    EXPECT_NEAR(a0.terms[t].ss, a1.terms[t].ss, 1e-9);
    EXPECT_NEAR(a0.terms[t].F, a1.terms[t].F, 1e-9 * a0.terms[t].F);
    EXPECT_EQ(a0.terms[t].p, a1.terms[t].p);
  }
  const SymmetryComponents c0 = symmetry_components(f0), c1 = symmetry_components(f1);
  EXPECT_LT((c0.asymmetry_index - c1.asymmetry_index).norm(), 1e-9);
}

// Configurations that are their own mirror images have no side or
// individual:side variation, and nothing is tested against the latter.
TEST(Symmetry, SymmetricSpecimensHaveNoAsymmetry) {
  shape::Stack raw = stack_of(g::kRaw, g::kLandmarks);
  const std::vector<std::size_t> r = relabel();
  for (Eigen::Index i = 0; i < raw.n(); ++i) {
    shape::Config x = raw.slice(i), mirror(x.rows(), 3);
    x.rowwise() -= x.colwise().mean();
    for (Eigen::Index j = 0; j < x.rows(); ++j) {
      mirror.row(j) = x.row(static_cast<Eigen::Index>(r[static_cast<std::size_t>(j)]));
      mirror(j, 0) *= -1;
    }
    raw.slice(i) = 0.5 * (x + mirror);
  }
  const SymmetryFit fit = object_symmetry_fit(posed(raw, 4), r, labels(g::kIndividual));
  const SymmetryAnova a = *symmetry_anova(fit, "ind", 49, 1);
  EXPECT_LT(a.terms[1].ss, 1e-24);
  EXPECT_LT(a.terms[2].ss, 1e-24);
  EXPECT_GT(a.terms[3].ss, 1e-4);  // the replicates still differ
  EXPECT_GT(a.terms[0].ss, 0.1);
  EXPECT_FALSE(a.terms[0].tested || a.terms[1].tested);
  EXPECT_LT(a.terms[2].F, 1e-18);
  EXPECT_EQ(symmetry_table_rows(a, false)[2][4], "NA");
  EXPECT_LT(symmetry_components(fit).asymmetry_index.maxCoeff(), 1e-12);
}

// Repeatability from its definition with unequal replicates (n0), numpy.
TEST(Symmetry, RepeatabilityOfReplicates) {
  const shape::GpaResult gpa = shape::gpa_to_convergence(stack_of(g::kRaw, g::kLandmarks));
  const Eigen::MatrixXd y = shape::tangent_coordinates(gpa.reference, gpa.fitted);
  const Repeatability r = *repeatability(y, labels(g::kIndividual), "ind", 99, 3);
  EXPECT_NEAR(r.anova.terms.front().ms, g::kMsIndividual, 1e-12);
  EXPECT_NEAR(r.anova.residuals.ms, g::kMsError, 1e-12);
  EXPECT_NEAR(r.replicates, g::kReplicatesN0, 1e-14);
  EXPECT_FALSE(r.balanced);
  EXPECT_NEAR(r.repeatability, g::kRepeatability, 1e-10);
  EXPECT_NEAR(r.error_share, 1 - g::kRepeatability, 1e-10);
}

TEST(Symmetry, RefusesDesignsWithoutTwoSides) {
  auto error = [](auto&& call) {
    try {
      call();
    } catch (const NumericError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  const shape::Stack m = stack_of(g::kMatchingRaw, 7);
  const auto ind = labels(g::kMatchingIndividual);
  std::vector<std::string> side = labels(g::kMatchingSide);
  side[0] = "M";
  EXPECT_EQ(error([&] { matching_symmetry_fit(m, ind, side); }),
            "The side labels name 3 sides (\"L\", \"M\", \"R\"); matching symmetry needs two.");
  side = labels(g::kMatchingSide);
  for (std::size_t i = 0; i < side.size(); ++i)
    if (ind[i] == "ind2") side[i] = "L";
  EXPECT_EQ(error([&] { matching_symmetry_fit(m, ind, side); }),
            "The individual \"ind2\" has no configuration of the side \"R\".");
  std::vector<std::size_t> r = relabel();
  r[1] = 2;
  EXPECT_EQ(error([&] {
              object_symmetry_fit(stack_of(g::kRaw, g::kLandmarks), r, labels(g::kIndividual));
            }),
            "The landmark relabelling does not swap pairs: landmark 2 goes to 3.");
}

}  // namespace
}  // namespace velmora::stats

#include "shape/procrustes.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <string>

#include "shape/centroid_size.hpp"
#include "shape/random_shapes.hpp"
#include "shape/rotation.hpp"
#include "shape/test_support.hpp"

// Counts heap allocations (Eigen and operator new both end in malloc) so a
// test can prove that a superimposition pass allocates nothing per specimen.
// The address sanitizer owns malloc, so its builds skip the count.
namespace {
std::atomic<long> g_allocations{0};
}  // namespace

#if !defined(__SANITIZE_ADDRESS__)
#define VELMORA_COUNTS_ALLOCATIONS 1
extern "C" void* __libc_malloc(std::size_t size);
extern "C" void* malloc(std::size_t size) noexcept {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_malloc(size);
}
#endif

namespace velmora::shape {
namespace {

using testing::error_of;
using testing::RandomShapes;
using testing::stack_of;

void expect_centred_unit(const Config& x, double tol = 1e-12) {
  EXPECT_LT(x.colwise().mean().norm(), tol);
  EXPECT_NEAR(centroid_size(x), 1.0, tol);
}

TEST(SingleFit, CentresScalesAndTurnsOntoTheReference) {
  RandomShapes rnd(21);
  const Config ref = rnd.unit_cloud(10, {1, 2, 3});
  const Config subject = rnd.moved_copy(ref);
  const Config y = procrustes_fit(ref, subject);
  expect_centred_unit(y);
  EXPECT_TRUE(y.isApprox(ref, 1e-12));
  // The reference is used as given: moving it changes nothing in the fit.
  const Config far_ref = ref.rowwise() + Eigen::RowVector3d(1, 2, 3);
  EXPECT_TRUE(procrustes_fit(far_ref, subject).isApprox(y, 1e-12));
}

TEST(Gpa, OneSpecimenIsCentredAndScaledButNotTurned) {
  RandomShapes rnd(1);
  const Config x = rnd.cloud(7);
  const GpaResult r = generalized_procrustes(Stack(x));
  const Config centred = x.rowwise() - x.colwise().mean();
  const Config expected = centred / centred.norm();
  EXPECT_TRUE(r.reference.isApprox(expected, 1e-14));
  EXPECT_TRUE(Config(r.fitted.slice(0)).isApprox(expected, 1e-14));
}

TEST(Gpa, CopiesOfOneShapeCoincideWithACentredUnitReference) {
  RandomShapes rnd(2);
  const Config base = rnd.cloud(12, {1, 2, 4});
  std::vector<Config> copies;
  for (int i = 0; i < 8; ++i) copies.push_back(rnd.moved_copy(base));
  const GpaResult r = generalized_procrustes(stack_of(copies));
  expect_centred_unit(r.reference);
  ASSERT_EQ(r.fitted.n(), 8);
  for (Eigen::Index i = 0; i < 8; ++i)
    EXPECT_TRUE(Config(r.fitted.slice(i)).isApprox(r.reference, 1e-10)) << "specimen " << i;
}

TEST(Gpa, ThreePassesFromTheSummedRawStart) {
  RandomShapes rnd(3);
  std::vector<Config> sample;
  for (int i = 0; i < 6; ++i) sample.push_back(rnd.cloud(9, {1, 1.5, 2}));
  // The same procedure written out with the single fit.
  Config ref = Config::Zero(9, 3);
  for (const Config& c : sample) ref += c;
  ref.rowwise() -= ref.colwise().mean();
  ref /= centroid_size(ref);
  std::vector<Config> fitted = sample;
  for (int pass = 0; pass < 3; ++pass) {
    Config sum = Config::Zero(9, 3);
    for (Config& c : fitted) sum += (c = procrustes_fit(ref, c));
    ref = sum / 6.0;
    ref /= centroid_size(ref);
  }
  const GpaResult r = generalized_procrustes(stack_of(sample));
  EXPECT_TRUE(r.reference.isApprox(ref, 1e-12));
  for (Eigen::Index i = 0; i < 6; ++i)
    EXPECT_TRUE(Config(r.fitted.slice(i)).isApprox(fitted[i], 1e-12));
  // Positions do not matter; they cancel in the centring.
  std::vector<Config> shifted = sample;
  for (Config& c : shifted) c.rowwise() += Eigen::RowVector3d(rnd.normal(), 3, -8);
  EXPECT_TRUE(generalized_procrustes(stack_of(shifted)).reference.isApprox(ref, 1e-10));
}

TEST(Gpa, PassesAllocateNothingPerSpecimen) {
#if !defined(VELMORA_COUNTS_ALLOCATIONS)
  GTEST_SKIP() << "allocation counting is off under the address sanitizer";
#endif
  RandomShapes rnd(4);
  auto allocations_for = [&](int n) {
    std::vector<Config> sample;
    for (int i = 0; i < n; ++i) sample.push_back(rnd.cloud(20));
    Stack s = stack_of(sample);
    const long before = g_allocations.load();
    GpaResult r = generalized_procrustes(std::move(s));
    const long used = g_allocations.load() - before;
    Stack fitted = fit_to_fixed_reference(r.reference, std::move(r.fitted));
    rotate_all(fitted, rnd.rotation());
    return std::pair(used, g_allocations.load() - before - used);
  };
  const auto small = allocations_for(5), large = allocations_for(500);
  EXPECT_EQ(small.first, large.first);
  EXPECT_EQ(small.second, large.second);
  EXPECT_LE(large.first, 8);  // a few k×3 work matrices per call
}

TEST(Gpa, CollapsedOrBrokenSpecimensAreNamed) {
  RandomShapes rnd(5);
  std::vector<Config> sample = {rnd.cloud(5), rnd.cloud(5), rnd.cloud(5)};
  // Identical coordinates centre to rounding noise, not to exact zeros.
  std::vector<Config> collapsed = sample;
  collapsed[2].setConstant(0.1);
  EXPECT_EQ(error_of([&] { generalized_procrustes(stack_of(collapsed)); }),
            "Cannot superimpose specimen 3: all its landmarks coincide (centroid size 0), so it "
            "cannot be scaled to unit size.");
  std::vector<Config> broken = sample;
  broken[1](2, 1) = std::nan("");
  EXPECT_EQ(error_of([&] { generalized_procrustes(stack_of(broken)); }),
            "Cannot superimpose specimen 2: its coordinates include values that are not finite "
            "numbers.");
  EXPECT_EQ(error_of([&] { generalized_procrustes(Stack(Config::Ones(4, 3))); }),
            "Cannot superimpose specimen 1: all its landmarks coincide (centroid size 0), so it "
            "cannot be scaled to unit size.");
  const Config c = rnd.cloud(5);
  EXPECT_EQ(error_of([&] {
              generalized_procrustes(stack_of({c, Config(-c)}));
            }),
            "Cannot superimpose the sample: the sum of the specimens has centroid size 0.");
  // Cancelling only up to rounding is caught as well.
  const Config third = c / 3.0;
  EXPECT_EQ(error_of([&] {
              generalized_procrustes(stack_of({third, third, third, Config(-c)}));
            }),
            "Cannot superimpose the sample: the sum of the specimens has centroid size 0.");
  EXPECT_EQ(error_of([&] { procrustes_fit(c, Config::Zero(5, 3)); }),
            "Cannot superimpose the subject: all its landmarks coincide (centroid size 0), so it "
            "cannot be scaled to unit size.");
  EXPECT_EQ(error_of([&] { generalized_procrustes(Stack(5, 0)); }),
            "Cannot superimpose the sample: it holds no specimens.");
}

// Noisy copies of one configuration, each turned, scaled and moved at random.
std::vector<Config> noisy_sample(RandomShapes& rnd, const Config& base, int n) {
  std::vector<Config> sample;
  for (int i = 0; i < n; ++i)
    sample.push_back(rnd.moved_copy(base + 0.05 * rnd.cloud(base.rows())));
  return sample;
}

TEST(Gpa, MirrorImagesAreTurnedNotReflectedAndNamed) {
  RandomShapes rnd(9);
  const Config base = rnd.cloud(10, {1, 2, 3});
  std::vector<Config> sample = noisy_sample(rnd, base, 8);
  sample[3] = rnd.moved_copy(base * Eigen::Vector3d(1, 1, -1).asDiagonal());
  for (const auto& gpa : {generalized_procrustes, gpa_to_convergence}) {
    const GpaResult r = gpa(stack_of(sample));
    EXPECT_EQ(r.mirrored, std::vector<Eigen::Index>{3});
    // A mirror image stays a different shape, far from the reference that
    // the others lie close to.
    double others = 0;
    for (Eigen::Index i : {0, 1, 2, 4, 5, 6, 7})
      others = std::max(others, (r.fitted.slice(i) - r.reference).norm());
    EXPECT_GT((r.fitted.slice(3) - r.reference).norm(), 3 * others);
  }
}

TEST(GpaToConvergence, SettlesOnTheStandardMeanWhateverThePose) {
  RandomShapes rnd(10);
  const Config base = rnd.cloud(14, {1, 1.5, 2.5});
  std::vector<Config> sample = noisy_sample(rnd, base, 30);
  const GpaResult r = gpa_to_convergence(stack_of(sample));
  EXPECT_TRUE(r.converged);
  EXPECT_LT(r.passes, kGpaMaxPasses);
  EXPECT_LT(r.last_move, kGpaConvergence);
  expect_centred_unit(r.reference);
  // The fixed point of the standard method: every specimen at its best
  // rotation onto the reference, the reference the rescaled mean.
  Config mean = Config::Zero(14, 3);
  for (Eigen::Index i = 0; i < 30; ++i) {
    const Config s = r.fitted.slice(i);
    expect_centred_unit(s);
    EXPECT_TRUE(rotation_from_cross_product(s.transpose() * r.reference).rotation.isIdentity(1e-9))
        << i;
    mean += s;
  }
  EXPECT_TRUE((mean / centroid_size(mean)).isApprox(r.reference, 1e-12));
  // Posing every raw specimen anew moves the mean by a rotation only.
  for (Config& c : sample) c = rnd.moved_copy(c);
  const Config again = gpa_to_convergence(stack_of(sample)).reference;
  const Eigen::Matrix3d turn =
      rotation_from_cross_product(again.transpose() * r.reference).rotation;
  EXPECT_LT((again * turn - r.reference).norm(), 1e-10);
}

TEST(FitOntoReference, EverySliceFitsAndTheReferenceStays) {
  RandomShapes rnd(6);
  const Config ref = rnd.unit_cloud(10, {1, 2, 3});
  Stack data = stack_of({rnd.moved_copy(ref), rnd.moved_copy(ref), rnd.cloud(10)});
  const Stack fitted = fit_to_fixed_reference(ref, data);
  for (Eigen::Index i = 0; i < 3; ++i) expect_centred_unit(fitted.slice(i));
  EXPECT_TRUE(Config(fitted.slice(0)).isApprox(ref, 1e-12));
  EXPECT_TRUE(Config(fitted.slice(1)).isApprox(ref, 1e-12));
  EXPECT_EQ(Config(fitted.slice(2)), procrustes_fit(ref, data.slice(2)));
  EXPECT_EQ(error_of([&] { fit_to_fixed_reference(Config::Zero(4, 3), data); }),
            "The reference has 4 landmarks but each specimen has 10.");
  // A broken reference is refused instead of turning every specimen into NaN.
  Config broken = ref;
  broken(4, 0) = std::numeric_limits<double>::infinity();
  const std::string refused =
      "Cannot superimpose onto the reference: its coordinates include values that are not finite "
      "numbers.";
  EXPECT_EQ(error_of([&] { fit_to_fixed_reference(broken, data); }), refused);
  broken(4, 0) = std::nan("");
  EXPECT_EQ(error_of([&] { procrustes_fit(broken, data.slice(0)); }), refused);
}

// Samples this large are fitted on two threads: every specimen exactly as
// alone, and an error names the first broken specimen in the file's order.
TEST(FitOntoReference, LargeSamplesFitAsOneByOne) {
  RandomShapes rnd(9);
  const Config ref = rnd.unit_cloud(100, {1, 2, 3});
  std::vector<Config> sample;
  for (int i = 0; i < 2100; ++i) sample.push_back(rnd.cloud(100));
  const Stack fitted = fit_to_fixed_reference(ref, stack_of(sample));
  for (Eigen::Index i : {0, 1049, 1050, 2099})
    EXPECT_EQ(Config(fitted.slice(i)), procrustes_fit(ref, sample[static_cast<std::size_t>(i)]));
  auto named = [&](const std::vector<Config>& broken) {
    const std::string e = error_of([&] { fit_to_fixed_reference(ref, stack_of(broken)); });
    return e.substr(0, e.find(':'));
  };
  for (int late : {1900, 2099}) {
    std::vector<Config> broken = sample;
    broken[static_cast<std::size_t>(late)](3, 1) = std::nan("");
    broken[1500].setConstant(0.5);
    EXPECT_EQ(named(broken), "Cannot superimpose specimen 1501");
    broken[20].setConstant(0.5);
    EXPECT_EQ(named(broken), "Cannot superimpose specimen 21");
  }
}

// Coordinates of 1e-300 or 1e300 are judged and fitted by their own scale:
// the superimposition of such a sample is that of its ordinary copy.
TEST(Gpa, CoordinatesNearTheLimitsOfTheDoublesAreAShape) {
  RandomShapes rnd(4);
  std::vector<Config> sample;
  for (int i = 0; i < 6; ++i) sample.push_back(rnd.moved_copy(rnd.unit_cloud(7)));
  const GpaResult base = gpa_to_convergence(stack_of(sample));
  for (const double unit : {1e-300, 1e300}) {
    std::vector<Config> scaled;
    for (const Config& c : sample) scaled.push_back(c * unit);
    const GpaResult r = gpa_to_convergence(stack_of(scaled));
    EXPECT_LT((r.reference - base.reference).cwiseAbs().maxCoeff(), 1e-12) << unit;
    EXPECT_LT((r.fitted.stacked() - base.fitted.stacked()).cwiseAbs().maxCoeff(), 1e-12) << unit;
    EXPECT_NEAR(centroid_size(scaled[0]) / unit, centroid_size(sample[0]), 1e-12);
  }
}

TEST(PrincipalAxes, DiagonalNonDecreasingSpreadAndAProperTurn) {
  RandomShapes rnd(8);
  for (int trial = 0; trial < 20; ++trial) {
    const Config ref = rnd.unit_cloud(15, {0.5, 1, 2}) * rnd.rotation();
    const PrincipalAxes pa = principal_axes(ref);
    EXPECT_NEAR(pa.axes.determinant(), 1.0, 1e-12);
    EXPECT_TRUE((pa.axes.transpose() * pa.axes).isIdentity(1e-12));
    EXPECT_TRUE(pa.reference.isApprox(ref * pa.axes, 1e-14));
    const Config c = pa.reference.rowwise() - pa.reference.colwise().mean();
    const Eigen::Matrix3d cov = c.transpose() * c / 14.0;
    EXPECT_LT((cov - Eigen::Matrix3d(cov.diagonal().asDiagonal())).norm(), 1e-12);
    EXPECT_LE(cov(0, 0), cov(1, 1));
    EXPECT_LE(cov(1, 1), cov(2, 2));
    expect_centred_unit(pa.reference);
  }
}

// The signs of the axes follow the configuration, not the solver: a turned
// copy gets the same coordinates, by the skew of the landmarks along the two
// axes of largest spread or, for a configuration symmetric along them, by
// its first landmark clear of the centre; the third axis makes the turn
// proper.
TEST(PrincipalAxes, SignsFollowTheConfigurationSoTurnedCopiesAgree) {
  RandomShapes rnd(23);
  Config symmetric(6, 3);
  symmetric << 0, 0, 1, 0, 0, -1, 0, 2, 0, 0, -2, 0, 3, 0, 0, -3, 0, 0;
  for (int trial = 0; trial < 20; ++trial) {
    const Config skewed = rnd.unit_cloud(12, {0.5, 1, 2});
    for (const Config& ref : {skewed, symmetric}) {
      const PrincipalAxes a = principal_axes(ref);
      const PrincipalAxes b = principal_axes(rnd.moved_copy(ref));
      const Config ca = a.reference.rowwise() - a.reference.colwise().mean();
      Config cb = b.reference.rowwise() - b.reference.colwise().mean();
      cb *= ca.norm() / cb.norm();
      EXPECT_LT((ca - cb).cwiseAbs().maxCoeff(), 1e-12) << trial;
      EXPECT_NEAR(b.axes.determinant(), 1.0, 1e-12);
    }
    const Config c = principal_axes(skewed).reference.rowwise() -
                     skewed.colwise().mean() * principal_axes(skewed).axes;
    EXPECT_GT(c.col(1).array().cube().sum(), 0);
    EXPECT_GT(c.col(2).array().cube().sum(), 0);
  }
  // Symmetric: landmark 5 (+x, largest spread) and landmark 3 (+y) lead.
  const Config sym = principal_axes(symmetric).reference;
  EXPECT_NEAR(sym(4, 2), 3, 1e-14);
  EXPECT_NEAR(sym(2, 1), 2, 1e-14);
  EXPECT_NEAR(sym(0, 0), -1, 1e-14);  // y × x = −z: the proper third axis
}

TEST(PrincipalAxes, AlignedReferenceGivesSignedIdentity) {
  Config ref(6, 3);
  ref << 1, 0, 0, -1, 0, 0, 0, 2, 0, 0, -2, 0, 0, 0, 3, 0, 0, -3;
  const PrincipalAxes pa = principal_axes(ref);
  EXPECT_TRUE(pa.axes.cwiseAbs().isIdentity(1e-14));
  EXPECT_NEAR(pa.axes.determinant(), 1.0, 1e-14);
  EXPECT_EQ(error_of([] { principal_axes(Config::Zero(1, 3)); }),
            "The principal axes of a configuration need at least two landmarks; it has 1.");
}

}  // namespace
}  // namespace velmora::shape

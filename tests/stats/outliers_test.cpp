#include "stats/outliers.hpp"

#include <gtest/gtest.h>

#include "cleaning_golden.hpp"
#include "core/errors.hpp"
#include "core/number_text.hpp"
#include "shape/procrustes.hpp"
#include "shape/tangent_coordinates.hpp"
#include "shape/test_support.hpp"

namespace velmora::stats {
namespace {

namespace g = cleaning_golden;

shape::Stack golden_sample() {
  shape::Stack s(g::kOutlierK, g::kOutlierN);
  for (int i = 0; i < g::kOutlierN; ++i)
    for (int j = 0; j < g::kOutlierK; ++j)
      for (int d = 0; d < 3; ++d) s.slice(i)(j, d) = g::kOutlierSample[i * g::kOutlierK + j][d];
  return s;
}

TEST(Outliers, DistancesFenceAndMahalanobisEqualNumpy) {
  const shape::GpaResult fit = shape::gpa_to_convergence(golden_sample());
  const OutlierReport r = outlier_screen(shape::tangent_coordinates(fit.reference, fit.fitted), {});
  ASSERT_EQ(r.distance.size(), g::kOutlierN);
  for (int i = 0; i < g::kOutlierN; ++i) {
    EXPECT_NEAR(r.distance(i), g::kDistances[i], 1e-10 * g::kDistances[i]);
    EXPECT_NEAR(r.mahalanobis(i), g::kMahalanobis[i], 1e-8 * g::kMahalanobis[i]);
    EXPECT_GT(r.probability(i), 0);
    EXPECT_LE(r.probability(i), 1);
  }
  ASSERT_EQ(r.groups.size(), 1u);
  EXPECT_EQ(r.groups[0].components, g::kComponents);
  EXPECT_NEAR(r.groups[0].q1, g::kQuartiles[0], 1e-10 * g::kQuartiles[0]);
  EXPECT_NEAR(r.groups[0].q3, g::kQuartiles[1], 1e-10 * g::kQuartiles[1]);
  EXPECT_NEAR(r.groups[0].fence, g::kQuartiles[1] + 1.5 * (g::kQuartiles[1] - g::kQuartiles[0]),
              1e-10);
  // The planted outlier comes first and stands above the fence.
  EXPECT_EQ(r.order.front(), g::kOutlierN - 1);
  ASSERT_FALSE(r.above_fence.empty());
  EXPECT_EQ(r.above_fence.front(), g::kOutlierN - 1);
  for (std::size_t a = 1; a < r.order.size(); ++a)
    EXPECT_GE(r.distance(r.order[a - 1]), r.distance(r.order[a]));

  const std::string text = outlier_report_text(r, {}, false);
  EXPECT_EQ(text.substr(0, text.find('\n')),
            "specimen 25  " + message_number(g::kDistances[g::kOutlierN - 1]));
  EXPECT_NE(outlier_report_text(r, {}, true).find(shortest_number(r.distance(3))),
            std::string::npos);

  std::vector<int> groups(g::kOutlierN, 0);
  groups[0] = groups[1] = 1;
  EXPECT_EQ(testing::error_of([&] {
              outlier_screen(shape::tangent_coordinates(fit.reference, fit.fitted), {groups, 0.95});
            }),
            "Group 1 has 2 specimens; the outlier screen needs at least 3 in every group.");
}

TEST(Outliers, PlantedSwapIsFoundAndNoneOnTheCleanSample) {
  shape::Stack sample = golden_sample();
  shape::GpaResult fit = shape::gpa_to_convergence(sample);
  EXPECT_TRUE(find_swapped_landmarks(fit.reference, fit.fitted).empty());

  // Two distant landmarks and two neighbours, in two specimens.
  swap_landmarks(sample, 6, 8, 1);
  swap_landmarks(sample, 11, 4, 5);
  fit = shape::gpa_to_convergence(sample);
  const std::vector<LandmarkSwap> found = find_swapped_landmarks(fit.reference, fit.fitted);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].specimen, 6);
  EXPECT_EQ(found[0].first, 1);
  EXPECT_EQ(found[0].second, 8);
  EXPECT_EQ(found[1].specimen, 11);
  EXPECT_EQ(found[1].first, 4);
  EXPECT_EQ(found[1].second, 5);
  EXPECT_LT(found[0].after, 0.5 * found[0].before);
  EXPECT_EQ(swap_text({11, 6, 7, 0.12, 0.03}, {}),
            "specimen 12: landmarks 7 and 8 look swapped; its distance to the mean drops from "
            "0.12 to 0.03");

  const shape::Stack kept = sample;
  EXPECT_EQ(testing::error_of([&] { swap_landmarks(sample, 3, 2, 10); }),
            "Landmarks 3 and 11 are not two landmarks of the 10.");
  EXPECT_EQ(sample.data(), kept.data());
}

}  // namespace
}  // namespace velmora::stats

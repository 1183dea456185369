// Bilateral symmetry and repeatability as a batch script runs them: the
// pairs in the data box, both reports in the results log, a component saved
// one specimen a line, and the directional asymmetry in the 3-D view.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "app/batch.hpp"
#include "app/workspace.hpp"
#include "app_fixture.hpp"
#include "platform/runtime/console.hpp"
#include "view/shown_shapes.hpp"

namespace velmora::app {
namespace {

TEST_F(AppTest, SymmetryScriptReportsSavesAndDraws) {
  ConsoleCapture cap;
  const std::string out = temp("symmetric.txt");
  std::istringstream script(
      "open skulls.txt\nLoadData\nopen skulls.csv\nLoadSpecimenTable\n"
      "open pairs.txt\nLoadLandmarkPairs\nSymmetryANOVA individual\nsave " +
      out +
      "\nSaveSymmetricComponent\nShowDirectionalAsymmetry\n"
      "Repeatability individual\n");
  workspace().reset();
  ASSERT_EQ(run_batch(parse_batch(script, example("symmetry/"))), kBatchOk) << cap.errors();
  g = &gfx::graphics();  // the batch run installed a graphics run-time of its own
  EXPECT_NE(text_of("FileBox").find("10 landmark pairs, 6 on the midline"), std::string::npos);
  std::vector<std::string> titles;
  for (const auto& e : workspace().window.log.entries()) titles.push_back(e.title);
  EXPECT_NE(std::find(titles.begin(), titles.end(), "Symmetry ANOVA"), titles.end());
  EXPECT_NE(std::find(titles.begin(), titles.end(), "Repeatability"), titles.end());
  std::ifstream in(out);
  std::size_t lines = 0;
  for (std::string line; std::getline(in, line);) {
    std::istringstream numbers(line);
    std::size_t count = 0;
    for (double v; numbers >> v;) ++count;
    if (count == 0) continue;  // the layout's blank after the last line
    EXPECT_EQ(count, 79u);
    ++lines;
  }
  EXPECT_EQ(lines, 48u);
  // The view draws the symmetric mean and the mean with its directional
  // asymmetry (in the view's units): they differ along the asymmetry.
  const analysis::DirectionalAsymmetryReport d =
      workspace().session.directional_asymmetry({workspace().window.inputs.exaggeration});
  shape::Config mean, target;
  for (const ShownShape& s : shown_shapes(workspace())) {
    if (s.name == "Symmetric mean shape") mean = s.config;
    if (s.name.rfind("Target: Directional asymmetry", 0) == 0) target = s.config;
  }
  ASSERT_EQ(mean.rows(), 26);
  ASSERT_EQ(target.rows(), 26);
  const shape::Config change = target - mean, planted = d.target - d.reference;
  const bool drawn =
      std::abs(change.cwiseProduct(planted).sum() / (change.norm() * planted.norm()) - 1) < 1e-9;
  EXPECT_TRUE(drawn);
}

}  // namespace
}  // namespace velmora::app

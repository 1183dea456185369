// The worked integration example as a batch script runs it: every report in
// the log with its numbers in full, the PLS scores in the main window's
// plot, and the setting of the superimposition of the blocks.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/batch.hpp"
#include "app/workspace.hpp"
#include "app_fixture.hpp"
#include "platform/graphics/graphics.hpp"
#include "platform/runtime/console.hpp"
#include "platform/value/value.hpp"

namespace velmora::app {
namespace {

class IntegrationActions : public AppTest {};

TEST_F(IntegrationActions, TheExampleScriptReportsEveryNumberInFull) {
  ConsoleCapture cap;
  const std::string dir = example("symmetry/");
  std::ifstream file(dir + "integration.velmora");
  std::stringstream script;
  script << "SetFullPrecision on\n" << file.rdbuf();
  workspace().reset();
  ASSERT_EQ(run_batch(parse_batch(script, dir)), kBatchOk) << cap.errors();
  g = &gfx::graphics();
  std::vector<std::string> titles;
  for (const auto& e : workspace().window.log.entries()) titles.push_back(e.title);
  EXPECT_EQ(titles,
            (std::vector<std::string>{
                "Specimen table skulls.csv", "Two-block PLS", "Two-block PLS", "Two-block PLS",
                "Modularity test (covariance ratio)", "Integration compared between groups of sex",
                "Disparity of the groups of sex", "Disparity of the groups of sex"}));
  // The last PLS (shape against log(CS)) again, by the session: its log
  // entry gives r-PLS exactly.
  analysis::Session& s = workspace().session;
  const analysis::PlsReport r = s.two_block_pls({{"log(CS)"}, 999, 1, {}});
  const std::string& logged = workspace().window.log.entries()[3].text;
  EXPECT_NE(logged.find("r-PLS = " + format_number_exact(r.pls.r_pls) + ";"), std::string::npos)
      << logged;
  const gfx::Handle ax = g->find_tag("axes1");
  EXPECT_EQ(g->get_text(g->get(ax, "XLabel")(0), "String"), "PLS1 of shape (26 landmarks)");
  EXPECT_EQ(g->get_text(g->get(ax, "YLabel")(0), "String"), "PLS1 of log(CS)");
  EXPECT_EQ(s.pls_fit(), analysis::PlsFit::Joint);
  EXPECT_EQ(run("SetPLSFit", Value("apart")).message,
            "SetPLSFit takes \"joint\" (one superimposition of the whole configuration) or "
            "\"separate\" (each block superimposed on its own), not \"apart\".");
}

}  // namespace
}  // namespace velmora::app

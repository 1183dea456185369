// Semilandmarks from the window's actions as a batch script runs them: the
// definition files, one slide for several settings, the slid coordinates
// saved, and refusals that change nothing.
#include <gtest/gtest.h>

#include <charconv>
#include <fstream>
#include <sstream>

#include "app/batch.hpp"
#include "app/workspace.hpp"
#include "app_fixture.hpp"
#include "platform/graphics/graphics.hpp"
#include "platform/runtime/console.hpp"
#include "shape/centroid_size.hpp"

namespace velmora::app {
namespace {

class SemilandmarkActions : public AppTest {
 protected:
  int run_text(const std::string& text) {
    std::istringstream in(text);
    workspace().reset();
    const int status = run_batch(parse_batch(in, dir_));
    g = &gfx::graphics();
    hb = gfx::headless_backend();
    return status;
  }
  std::size_t slides() const {
    std::size_t n = 0;
    for (const auto& e : workspace().window.log.entries()) n += e.title == "Sliding semilandmarks";
    return n;
  }
  const std::string dir_ = std::string(VELMORA_SOURCE_DIR) + "/examples/semilandmarks/";
  const std::string load_ =
      "open vault.txt\nLoadData\nopen vault_curves.txt\nLoadCurves\nopen vault_surface.txt\n"
      "LoadSurfacePoints\n";
};

// Several settings pay for one slide, done by the first action that needs
// the superimposition; the file holds every specimen at unit size and its
// raw centroid size.
TEST_F(SemilandmarkActions, SettingsSlideOnceAndTheSlidCoordinatesAreSaved) {
  ConsoleCapture cap;
  const std::string out = temp("slid.txt");
  ASSERT_EQ(run_text("SetFullPrecision on\n" + load_ +
                     "SetSliding procd\nSetSlidingPasses 3\nSetSliding be\nsave " + out +
                     "\nSaveProcrustes\n"),
            kBatchOk)
      << cap.errors();
  EXPECT_EQ(slides(), 1u);
  EXPECT_NE(cap.text().find("Semilandmarks: 10 curve sliders and 30 surface points slid by bending "
                            "energy: 3 plain passes."),
            std::string::npos)
      << cap.text();
  EXPECT_NE(text_of("FileBox").find("8 fixed, 10 on curves, 30 on the surface"), std::string::npos);
  const auto fit = workspace().session.superimposition();
  const shape::Stack raw = workspace().session.sample().raw();
  std::ifstream in(out);
  std::string line;
  Eigen::Index i = 0;
  for (; std::getline(in, line); ++i) {
    if (line.find_first_not_of(' ') == std::string::npos) break;  // the file's last blank
    // The numbers as the file writes them, whatever the stream's locale.
    std::vector<double> v;
    for (const char* at = line.data(); at < line.data() + line.size();) {
      if (*at == ' ') {
        ++at;
        continue;
      }
      double x = 0;
      const auto r = std::from_chars(at, line.data() + line.size(), x);
      ASSERT_EQ(r.ec, std::errc()) << line;
      v.push_back(x);
      at = r.ptr;
    }
    ASSERT_EQ(v.size(), 3u * 48 + 1) << "line " << i << ": [" << line << "]";
    for (Eigen::Index l = 0; l < 48; ++l)
      for (int d = 0; d < 3; ++d) EXPECT_EQ(v[3 * l + d], fit->fitted().slice(i)(l, d));
    EXPECT_DOUBLE_EQ(v.back(), shape::centroid_size(raw.slice(i)));
  }
  EXPECT_EQ(i, 30);
  // A script of several analyses slides once as well.
  ASSERT_EQ(run_text(load_ + "ShowProcrustes\nShowPCA\n"), kBatchOk);
  EXPECT_EQ(slides(), 1u);
}

// A definition that cannot be is refused with its file and line, and the
// definitions already loaded stay.
TEST_F(SemilandmarkActions, BadDefinitionsAreRefusedAndChangeNothing) {
  const std::string both = write("both.txt", "9\n20\n");
  EXPECT_EQ(run_text(load_ + "open " + both + "\nLoadSurfacePoints\n"), kBatchRefused);
  EXPECT_EQ(workspace().last_action.message,
            "\"" + both + "\" line 1: landmark 9 is already a curve slider (\"" + dir_ +
                "vault_curves.txt\" line 2): a landmark slides on a curve or on the surface, not "
                "both.");
  EXPECT_EQ(workspace().session.semilandmarks().surface.size(), 30u);
  const std::string far = write("far.txt", "1 2 3\n1 49 3\n");
  EXPECT_EQ(run_text(load_ + "open " + far + "\nLoadCurves\n"), kBatchRefused);
  EXPECT_EQ(workspace().last_action.message,
            "\"" + far + "\" line 2: \"49\" is not a landmark number from 1 to 48.");
  EXPECT_EQ(workspace().session.semilandmarks().curves.size(), 10u);
  EXPECT_EQ(run_text(load_ + "SetSlidingPasses 0\n"), kBatchRefused);
  EXPECT_EQ(workspace().last_action.message,
            "SetSlidingPasses takes \"auto\" (slide until the specimens rest) or a number of "
            "plain passes from 1 to 1000, not \"0\".");
}

}  // namespace
}  // namespace velmora::app

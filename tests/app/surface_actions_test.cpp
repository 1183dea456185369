// The surface actions as a batch script runs them: loading with the
// specimen named by the file or chosen, warping to a target, saving what is
// shown and exporting animation frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "app/batch.hpp"
#include "app/switchyard.hpp"
#include "app/workspace.hpp"
#include "app_fixture.hpp"
#include "core/number_text.hpp"
#include "mesh/surface.hpp"
#include "platform/graphics/graphics.hpp"
#include "platform/runtime/console.hpp"
#include "view/animation.hpp"
#include "view/surface_view.hpp"

namespace velmora::app {
namespace {

class SurfaceActions : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    std::filesystem::copy_file(example("specimen 1.ply"), temp("specimen 1.ply"));
    std::filesystem::copy_file(example("specimen 1.ply"), temp("scan.ply"));
    std::filesystem::copy_file(example("skulls.txt"), temp("skulls.txt"));
    std::filesystem::copy_file(example("age.txt"), temp("age.txt"));
    std::filesystem::copy_file(example("populations.csv"), temp("populations.csv"));
  }
  int run_script(const std::string& text) {
    cap_.clear();
    workspace().reset();
    std::istringstream in(text);
    return run_batch(parse_batch(in, temp("")));
  }
  // The surface the 3-D window's axes show, or nullptr.
  std::shared_ptr<const render::SceneSurface> drawn() const {
    const gfx::Graphics& gr = gfx::graphics();
    const auto& f = workspace().window.figure3d;
    if (!f || !gr.valid(*f)) return nullptr;
    for (gfx::Handle c : gr.children(*f))
      if (gr.type(c) == gfx::Type::Axes && gr.object(c).surface) return gr.object(c).surface;
    return nullptr;
  }
  std::string log_text() const { return workspace().window.log.plain_text(); }
  ConsoleCapture cap_;
};

const std::string kLoad = "open skulls.txt\nLoadData\n";

TEST_F(SurfaceActions, LoadsByStemOrChoiceAndDrawsTheMeanSurface) {
  ASSERT_EQ(run_script(kLoad + "open \"specimen 1.ply\"\nLoadSurface\n"), kBatchOk)
      << cap_.errors();
  auto s = drawn();
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->vertices.rows(), workspace().session.surface()->mesh.vertex_count());
  EXPECT_TRUE(s->colours.empty());  // the mean surface itself: bone, no heat map
  // A stem that names no specimen asks; `choose` answers, a missing answer
  // stops the script, and nothing is loaded.
  ASSERT_EQ(run_script(kLoad + "open scan.ply\nchoose \"specimen 1\"\nLoadSurface\n"), kBatchOk)
      << cap_.errors();
  EXPECT_EQ(workspace().session.surface()->specimen, 0);
  EXPECT_NE(log_text().find("Surface"), std::string::npos) << log_text();
  EXPECT_NE(run_script(kLoad + "open scan.ply\nLoadSurface\n"), kBatchOk);
  EXPECT_EQ(workspace().session.surface(), nullptr);
}

TEST_F(SurfaceActions, TargetsHeatMapAndRefusals) {
  const std::string with = kLoad + "open \"specimen 1.ply\"\nLoadSurface\n";
  // Several arguments, or one text of words, name the same target.
  ASSERT_EQ(run_script(with + "SetSurfaceTarget \"pc 1 2\"\n"), kBatchOk) << cap_.errors();
  const auto quoted = drawn();
  ASSERT_EQ(run_script(with + "SetSurfaceTarget pc 1 2\n"), kBatchOk) << cap_.errors();
  ASSERT_NE(quoted, nullptr);
  EXPECT_EQ(drawn()->vertices, quoted->vertices);
  auto s = drawn();
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->colours.size(), static_cast<std::size_t>(s->vertices.rows()));
  EXPECT_NE(log_text().find("warped from the mean shape to principal component 1 at 2 SD"),
            std::string::npos)
      << log_text();
  // The drawn vertices are the warp's, in the specimen's units.
  const auto r = workspace().session.warp_surface({analysis::SurfaceTarget::Component, 0, 1, 2, 1});
  EXPECT_LT((s->vertices - r.vertices).cwiseAbs().maxCoeff(), 1e-12);

  EXPECT_EQ(run_script(with + "SetSurfaceTarget pc 1 2 3\n"), kBatchMalformed);
  EXPECT_EQ(run_script(with + "SetSurfaceTarget \"pc one 2\"\n"), kBatchRefused);
  EXPECT_EQ(workspace().last_action.message,
            "Set Surface Target takes \"mean\", \"x VALUE\" (or \"x low\", \"x high\"), \"pc "
            "N SD\" or \"group LEVEL\", not \"pc one 2\".");
  // The regression needs one first; with it, x low and x high are the
  // observed ends.
  EXPECT_EQ(run_script(with + "SetSurfaceTarget \"x 3\"\n"), kBatchRefused);
  ASSERT_EQ(run_script(with + "open age.txt\nLoadXList\nDoRegression\nSetSurfaceTarget x high\n"),
            kBatchOk)
      << cap_.errors();
  EXPECT_NE(log_text().find("prediction at"), std::string::npos);
  // The X slider redraws live: the surface drawn is the warp at its value,
  // and the log keeps only the actions.
  gfx::Graphics& gr = gfx::graphics();
  const gfx::Handle x_slider = gr.find_tag("SurfaceScore");
  ASSERT_GE(x_slider, 0);
  const double lo = gr.get_number(x_slider, "Min"), hi = gr.get_number(x_slider, "Max");
  EXPECT_LT(lo, hi);
  const std::size_t logged = workspace().window.log.entries().size();
  gr.set(x_slider, "Value", 0.5 * (lo + hi));
  gr.run_callback(x_slider, "Callback");
  analysis::SurfaceWarpParams mid{analysis::SurfaceTarget::Regression, 0.5 * (lo + hi)};
  EXPECT_LT(
      (drawn()->vertices - workspace().session.warp_surface(mid).vertices).cwiseAbs().maxCoeff(),
      1e-12);
  EXPECT_EQ(workspace().window.log.entries().size(), logged);
  // Another sample drops the surface.
  EXPECT_EQ(run_script(with + kLoad + "ShowSurface\n"), kBatchRefused);
}

// A fixed heat scale keeps the colour bar's top for every target, so two
// heat maps compare colour for colour; the menu fixes it at what is shown
// and records that number, and goes back to each target's own.
TEST_F(SurfaceActions, AFixedHeatScaleHoldsForEveryTarget) {
  const std::string with = kLoad + "open \"specimen 1.ply\"\nLoadSurface\n";
  // Each batch run installs a run-time of its own.
  auto bar = [&] {
    const gfx::Graphics& gr = gfx::graphics();
    for (gfx::Handle c : gr.children(*workspace().window.figure3d))
      if (gr.type(c) == gfx::Type::Axes) return gr.appdata(c, "SurfaceColorBar").data();
    return std::vector<double>();
  };
  ASSERT_EQ(run_script(with + "SetSurfaceTarget pc 1 2\n"), kBatchOk) << cap_.errors();
  const double own = workspace().surface.report->largest_displacement;
  EXPECT_EQ(bar(), (std::vector<double>{0, own}));
  ASSERT_EQ(run_action(workspace(), Value("SetHeatScale"), Value()).outcome, Outcome::Done);
  EXPECT_EQ(bar(), (std::vector<double>{0, own}));
  ASSERT_EQ(run_action(workspace(), Value("SetSurfaceTarget"), Value("pc 1 -3")).outcome,
            Outcome::Done);
  EXPECT_NE(workspace().surface.report->largest_displacement, own);
  EXPECT_EQ(bar(), (std::vector<double>{0, own}));
  // The colours are on that scale: the largest displacement shown is not
  // the reddest end unless it reaches the top.
  const auto& d = workspace().surface.report->displacement;
  const render::Rgb top_colour = render::blue_red(d.maxCoeff() / own);
  EXPECT_EQ(drawn()
                ->colours[static_cast<std::size_t>(
                    std::distance(d.data(), std::max_element(d.data(), d.data() + d.size())))]
                .r,
            top_colour.r);
  ASSERT_EQ(run_action(workspace(), Value("SetHeatScale"), Value()).outcome, Outcome::Done);
  EXPECT_EQ(bar(), (std::vector<double>{0, workspace().surface.report->largest_displacement}));
  EXPECT_NE(workspace().recorder.script().find("SetHeatScale " + shortest_number(own) +
                                               "\nSetSurfaceTarget \"pc 1 -3\"\nSetHeatScale auto"),
            std::string::npos)
      << workspace().recorder.script();
  EXPECT_EQ(run_script(with + "SetSurfaceTarget pc 1 2\nSetHeatScale 0.25\n"), kBatchOk);
  EXPECT_EQ(bar(), (std::vector<double>{0, 0.25}));
  EXPECT_EQ(run_script(with + "SetHeatScale -1\n"), kBatchRefused);
  EXPECT_EQ(workspace().last_action.message,
            "Set Heat Scale takes \"auto\" or the top of the scale in specimen units, a number "
            "above 0, as in SetHeatScale 0.5; not \"-1\".");
}

TEST_F(SurfaceActions, GroupTargetsAndSliderMovesAreLoggedRecordedAndReplayed) {
  const std::string groups = kLoad +
                             "open populations.csv\nLoadSpecimenTable\nSetFactor population\n"
                             "open \"specimen 1.ply\"\nLoadSurface\n";
  ASSERT_EQ(run_script(groups + "SetSurfaceTarget group inland\n"), kBatchOk) << cap_.errors();
  EXPECT_NE(log_text().find("warped from the mean shape to the mean of population inland;"),
            std::string::npos)
      << log_text();
  // The window asks which group; `choose` answers.
  ASSERT_EQ(run_script(groups + "choose coast\nSetSurfaceTarget group\n"), kBatchOk)
      << cap_.errors();
  EXPECT_NE(log_text().find("to the mean of population coast;"), std::string::npos);
  EXPECT_EQ(run_script(groups + "SetSurfaceTarget group island\n"), kBatchRefused);
  EXPECT_EQ(workspace().last_action.message,
            "There is no group \"island\" in factor \"population\"; its levels are coast, "
            "inland.");
  // A level is taken as written: "007" is no number, "a  b" keeps its blanks.
  std::ifstream in(temp("populations.csv"), std::ios::binary);
  std::string table{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  for (std::size_t at = 0; (at = table.find(",coast,", at)) != std::string::npos;)
    table.replace(at, 7, ",a  b,");
  for (int i = 0; i < 10; ++i) table.replace(table.find(",inland,"), 8, ",007,");
  std::ofstream(temp("levels.csv"), std::ios::binary) << table;
  const std::string levels = kLoad +
                             "open levels.csv\nLoadSpecimenTable\nSetFactor population\n"
                             "open \"specimen 1.ply\"\nLoadSurface\n";
  ASSERT_EQ(run_script(levels + "SetSurfaceTarget group 007\nSetSurfaceTarget group \"a  b\"\n"),
            kBatchOk)
      << cap_.errors();
  EXPECT_NE(log_text().find("to the mean of population 007;"), std::string::npos) << log_text();
  EXPECT_NE(log_text().find("to the mean of population a  b;"), std::string::npos);

  // A drag redraws at every step; where it ends, the action of the same
  // target is recorded and logged, once.
  const std::string regression = kLoad +
                                 "open age.txt\nLoadXList\nDoRegression\nopen \"specimen "
                                 "1.ply\"\nLoadSurface\nSetSurfaceTarget x high\n";
  ASSERT_EQ(run_script(regression), kBatchOk) << cap_.errors();
  workspace().recorder.start_recording(workspace().session.method());
  gfx::Graphics& gr = gfx::graphics();
  const gfx::Handle x_slider = gr.find_tag("SurfaceScore"),
                    exaggeration = gr.find_tag("SurfaceExaggeration");
  ASSERT_GE(x_slider, 0);
  ASSERT_GE(exaggeration, 0);
  const double lo = gr.get_number(x_slider, "Min"), hi = gr.get_number(x_slider, "Max");
  const std::size_t logged = workspace().window.log.entries().size();
  for (double t : {0.2, 0.5, 0.6341}) {
    gr.set(x_slider, "Value", lo + t * (hi - lo));
    gr.run_callback(x_slider, "Callback");
  }
  gr.run_callback(x_slider, "ValueChangedFcn");
  gr.set(exaggeration, "Value", 2.5);
  gr.run_callback(exaggeration, "Callback");
  gr.run_callback(exaggeration, "ValueChangedFcn");
  EXPECT_EQ(workspace().window.log.entries().size(), logged + 2);
  EXPECT_NE(log_text().find("(change × 2.5)"), std::string::npos) << log_text();
  const std::string script = workspace().recorder.script();
  workspace().recorder.stop_recording();
  // The X as a short decimal within the slider's step of where it was let go.
  // The batch run is recorded too; after it, the X as a short decimal
  // within the slider's step of where it was let go, and the exaggeration.
  const std::string recorded = "SetSurfaceTarget x high\nSetSurfaceTarget x ";
  const auto at = script.find(recorded);
  ASSERT_NE(at, std::string::npos) << script;
  const auto end = script.find('\n', at + recorded.size());
  const std::string x = script.substr(at + recorded.size(), end - at - recorded.size());
  EXPECT_NEAR(std::stod(x), lo + 0.6341 * (hi - lo), (hi - lo) / 1000) << script;
  EXPECT_LE(x.size(), 6u) << x;
  EXPECT_EQ(script.substr(end), "\nSetSurfaceExaggeration 2.5\n");
  const auto shown = drawn();
  ASSERT_NE(shown, nullptr);
  ASSERT_EQ(run_script(script), kBatchOk) << cap_.errors();
  EXPECT_EQ(drawn()->vertices, shown->vertices);
  EXPECT_EQ(run_script(regression + "SetSurfaceExaggeration x\n"), kBatchRefused);
}

TEST_F(SurfaceActions, SavesWhatIsShownAndExportsFrames) {
  const std::string with =
      kLoad + "open \"specimen 1.ply\"\nLoadSurface\nSetSurfaceTarget \"pc 1 -2\"\n";
  ASSERT_EQ(run_script(with + "save out.ply\nSaveSurface\nsave out.obj\nSaveSurface\n"), kBatchOk)
      << cap_.errors();
  const auto shown = drawn();
  ASSERT_NE(shown, nullptr);
  const mesh::Surface ply = mesh::read_surface(temp("out.ply"));
  const mesh::Surface obj = mesh::read_surface(temp("out.obj"));
  // Floats in the file: within 1e-6 of the shown vertices' size.
  const double tol = 1e-6 * shown->vertices.cwiseAbs().maxCoeff();
  EXPECT_LT((ply.vertices - shown->vertices).cwiseAbs().maxCoeff(), tol);
  EXPECT_LT((obj.vertices - shown->vertices).cwiseAbs().maxCoeff(), tol);
  ASSERT_TRUE(ply.has_colours());
  EXPECT_EQ(ply.colours(0, 0), static_cast<std::uint8_t>(std::lround(shown->colours[0].r * 255)));
  // A name with no surface extension writes nothing.
  EXPECT_EQ(run_script(with + "save out.txt\nSaveSurface\n"), kBatchRefused);
  EXPECT_FALSE(std::filesystem::exists(temp("out.txt")));

  ASSERT_EQ(run_script(with + "save frame.png\nExportAnimation 3,64x48\n"), kBatchOk)
      << cap_.errors();
  for (const char* name : {"frame_001.png", "frame_002.png", "frame_003.png"}) {
    std::ifstream in(temp(name), std::ios::binary);
    std::string b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_GT(b.size(), 24u) << name;
    auto be32 = [&](std::size_t at) {
      return (unsigned(std::uint8_t(b[at])) << 24) | (unsigned(std::uint8_t(b[at + 1])) << 16) |
             (unsigned(std::uint8_t(b[at + 2])) << 8) | unsigned(std::uint8_t(b[at + 3]));
    };
    EXPECT_EQ(be32(16), 64u) << name;
    EXPECT_EQ(be32(20), 48u) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(temp("frame_004.png")));
  EXPECT_EQ(run_script(with + "ExportAnimation 0,64x48\n"), kBatchRefused);
  EXPECT_EQ(workspace().last_action.message,
            "\"0\" is neither a frame count (1 to 1000), a size in pixels (\"800x600\", 16 to "
            "3779 a side), a speed (\"12fps\", 1 to 60) nor a heat scale (\"scale=3.5\", "
            "\"scale=auto\").");
  // A GIF or an MP4 by the name's extension: one file of all frames.
  auto head_of = [&](const char* name, std::size_t at, std::size_t n) {
    std::ifstream in(temp(name), std::ios::binary);
    std::string b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return b.size() >= at + n ? b.substr(at, n) : std::string();
  };
  ASSERT_EQ(run_script(with + "save anim.gif\nExportAnimation 4,64x48,8fps,scale=0.5\n"), kBatchOk)
      << cap_.errors();
  EXPECT_EQ(head_of("anim.gif", 0, 6), "GIF89a");
  EXPECT_NE(log_text().find("64×48 pixels, 8 a second, heat scale 0 to 0.5: "), std::string::npos)
      << log_text();
  ASSERT_EQ(run_script(with + "save anim.mp4\nExportAnimation 3,64x48\n"), kBatchOk)
      << cap_.errors();
  EXPECT_EQ(head_of("anim.mp4", 4, 4), "ftyp");
  EXPECT_FALSE(std::filesystem::exists(temp("anim_001.mp4")));
  EXPECT_EQ(run_script(with + "save anim.avi\nExportAnimation 3,64x48\n"), kBatchRefused);
  EXPECT_EQ(workspace().last_action.message,
            "\"anim.avi\": end the name with .png (one picture a frame), .gif (an animated GIF) "
            "or .mp4 (an H.264 video).");
  EXPECT_FALSE(std::filesystem::exists(temp("anim.avi")));
  EXPECT_EQ(frame_paths("/a/b.png", 1000).back(), "/a/b_1000.png");
}

// From the menu the window asks the frames (the last answer kept for the
// next), and a recorded script keeps the answer as the action's words; a
// cancel asks no file name and writes nothing.
TEST_F(SurfaceActions, TheWindowAsksTheFramesAndTheScriptKeepsTheAnswer) {
  load_examples(false);
  hb->queue_path(temp("specimen 1.ply"));
  ASSERT_EQ(run("LoadSurface").outcome, Outcome::Done) << workspace().last_action.message;
  workspace().recorder.start_recording(workspace().session.method());
  gfx::AnimationSettings a;
  a.frames = 3, a.width = 64, a.height = 48, a.fps = 6;
  hb->queue_animation(a);
  hb->queue_path(temp("talk.gif"));
  ASSERT_EQ(run("ExportAnimation").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_EQ(hb->animation_dialogs(), 1u);
  EXPECT_EQ(workspace().window.animation, a);
  EXPECT_TRUE(std::filesystem::exists(temp("talk.gif")));
  EXPECT_NE(workspace().recorder.script().find("ExportAnimation 3,64x48,6fps\n"), std::string::npos)
      << workspace().recorder.script();
  std::filesystem::remove(temp("talk.gif"));
  hb->queue_animation(std::nullopt);
  hb->queue_path(temp("talk.gif"));
  run("ExportAnimation");
  EXPECT_EQ(hb->animation_dialogs(), 2u);
  EXPECT_EQ(hb->pending_answers(), 1u);  // no file was asked
  EXPECT_FALSE(std::filesystem::exists(temp("talk.gif")));
}

// Every frame's name and the animation's cost are checked before the first
// frame is written; a refusal leaves every file as it was.
TEST_F(SurfaceActions, FramesAreCheckedAndBudgetedBeforeTheFirst) {
  auto bytes_of = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  };
  // A landmark file named as the first frame, loaded by its content.
  std::filesystem::copy_file(temp("skulls.txt"), temp("in_001.png"));
  const std::string landmarks = bytes_of(temp("in_001.png"));
  const std::string surface = "open \"specimen 1.ply\"\nLoadSurface\n";
  EXPECT_EQ(run_script("open in_001.png\nLoadData\n" + surface +
                       "save in.png\nExportAnimation "
                       "2,64x48\n"),
            kBatchRefused);
  EXPECT_EQ(workspace().last_action.message, "Cannot write the file \"" + temp("in_001.png") +
                                                 "\": it is the opened input \"" +
                                                 temp("in_001.png") + "\", so it is kept.");
  EXPECT_EQ(bytes_of(temp("in_001.png")), landmarks);
  EXPECT_FALSE(std::filesystem::exists(temp("in_002.png")));

  const std::string with = kLoad + surface + "save frame.png\n";
  std::filesystem::create_directory(temp("frame_003.png"));
  EXPECT_EQ(run_script(with + "ExportAnimation 3,64x48\n"), kBatchRefused);
  EXPECT_EQ(workspace().last_action.message,
            "Cannot write the file \"" + temp("frame_003.png") + "\": Is a directory.");
  EXPECT_FALSE(std::filesystem::exists(temp("frame_001.png")));

  EXPECT_EQ(run_script(with + "ExportAnimation 1000,3779x3779\n"), kBatchRefused);
  EXPECT_EQ(workspace().last_action.message,
            "1000 frames of 3779×3779 pixels are 14280841000 pixels, more than the 2000000000 an "
            "animation may have (frames × width × height): use fewer frames or a smaller size.");
  EXPECT_EQ(run_script(kLoad + surface + "ExportAnimation 1,3780x16\n"), kBatchRefused);
  // The largest side the check lets through prints.
  EXPECT_EQ(run_script(with + "ExportAnimation 1,3779x16\n"), kBatchOk) << cap_.errors();
  EXPECT_TRUE(std::filesystem::exists(temp("frame_001.png")));

  EXPECT_EQ(animation_space_refusal(1000, 24, 24000, "/data/"), "");
  EXPECT_EQ(animation_space_refusal(1000, 24, 23999, "/data/"),
            "The 24 frames would take about 24000 bytes (24 × 1000, the size of the first), "
            "more than the 23999 bytes free in the folder \"/data/\": free some space, or use "
            "fewer or smaller frames.");
  EXPECT_GT(free_bytes_in(temp("")).value_or(0), 0u);
}

TEST(SurfaceView, CoarseCopyKeepsTheShapeWithFewerVertices) {
  // A sphere of latitude–longitude triangles.
  render::SceneSurface s;
  const int rings = 60, segs = 120;
  s.vertices.resize(rings * segs, 3);
  for (int i = 0; i < rings; ++i)
    for (int j = 0; j < segs; ++j) {
      const double th = M_PI * (i + 0.5) / rings, ph = 2 * M_PI * j / segs;
      s.vertices.row(i * segs + j) << std::sin(th) * std::cos(ph), std::sin(th) * std::sin(ph),
          std::cos(th);
    }
  std::vector<Eigen::Matrix<std::int32_t, 1, 3>> t;
  for (int i = 0; i + 1 < rings; ++i)
    for (int j = 0; j < segs; ++j) {
      const int a = i * segs + j, b = i * segs + (j + 1) % segs;
      t.emplace_back(a, b, a + segs);
      t.emplace_back(b, b + segs, a + segs);
    }
  s.triangles.resize(static_cast<Eigen::Index>(t.size()), 3);
  for (std::size_t k = 0; k < t.size(); ++k) s.triangles.row(static_cast<Eigen::Index>(k)) = t[k];
  s.normals = s.vertices;
  s.lo = {-1, -1, -1};
  s.hi = {1, 1, 1};
  const auto c = coarse_copy(s, 8);
  EXPECT_LT(c->vertices.rows(), s.vertices.rows() / 4);
  EXPECT_GT(c->triangles.rows(), 100);
  // Every merged vertex stays near the sphere; every index is in range.
  EXPECT_LT((c->vertices.rowwise().norm().array() - 1).abs().maxCoeff(), 0.1);
  EXPECT_GE(c->triangles.minCoeff(), 0);
  EXPECT_LT(c->triangles.maxCoeff(), c->vertices.rows());
}

}  // namespace
}  // namespace velmora::app

// The whole analysis road on a large sample, run as batch mode runs it:
// headless, through the switchyard, with dialog answers queued.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "app/app_state.hpp"
#include "app/switchyard.hpp"
#include "app/velmora.hpp"
#include "platform/graphics/graphics.hpp"
#include "platform/runtime/console.hpp"

namespace velmora::app {
namespace {

constexpr int kSpecimens = 10000;
constexpr int kLandmarks = 100;

struct Files {
  std::string landmarks = "/tmp/velmora-bench-landmarks.txt";
  std::string x = "/tmp/velmora-bench-x.txt";
  std::string out = "/tmp/velmora-bench-out.txt";
  Files() {
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0, 0.01);
    std::vector<double> base(3 * kLandmarks);
    for (double& b : base) b = std::normal_distribution<double>(0, 1)(rng);
    std::ofstream lm(landmarks), xs(x);
    char buf[32];
    for (int i = 0; i < kSpecimens; ++i) {
      double age = 1 + 19.0 * i / kSpecimens;
      for (int j = 0; j < kLandmarks; ++j)
        for (int d = 0; d < 3; ++d) {
          double v = base[3 * j + d] * (1 + (d == 2 ? 0.01 * age : 0)) + noise(rng);
          std::snprintf(buf, sizeof buf, "%.6f ", v * (10 + age));
          lm << buf;
        }
      lm << (10 + age) << "\n";
      xs << age << "\n";
    }
  }
};

const Files& files() {
  static Files f;
  return f;
}

void start() {
  gfx::install_graphics(std::make_unique<gfx::HeadlessBackend>());
  static bool once = [] {
    register_all_functions();
    return true;
  }();
  (void)once;
  reset_state();
  std::string source = VELMORA_SOURCE_DIR;
  if (::chdir((source + "/src/app").c_str()) != 0) std::abort();
  velmora({}, 1);
}

void must(const char* action) {
  if (run_action(Value(action), Value()).outcome != Outcome::Done) {
    std::fprintf(stderr, "%s: %s\n", action, last_report().message.c_str());
    std::abort();
  }
}

void BM_LoadData(benchmark::State& state) {
  const Files& f = files();
  ConsoleCapture quiet;
  for (auto _ : state) {
    start();
    gfx::headless_backend()->queue_path(f.landmarks);
    must("LoadData");
  }
}
BENCHMARK(BM_LoadData)->Unit(benchmark::kMillisecond)->Iterations(2);

// Everything after the landmark file is read.
void BM_AnalysisRoad(benchmark::State& state) {
  const Files& f = files();
  ConsoleCapture quiet;
  start();
  gfx::headless_backend()->queue_path(f.landmarks);
  must("LoadData");
  auto* hb = gfx::headless_backend();
  for (auto _ : state) {
    hb->queue_path(f.x);
    must("LoadXList");
    must("DoRegression");
    must("PlotPDistance");
    must("GetWilks");
    must("ShowRegression");
    hb->queue_path(f.out);
    must("SaveWarp");
    hb->queue_path(f.out);
    must("SaveRef");
    hb->queue_path(f.out);
    must("SaveVector");
  }
}
BENCHMARK(BM_AnalysisRoad)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
}  // namespace velmora::app

BENCHMARK_MAIN();

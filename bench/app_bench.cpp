// The whole analysis road on a large sample, run as batch mode runs it:
// headless, through the switchyard, with dialog answers queued.  Wall and
// process CPU time are both reported: the machine may be shared, and parts
// of the road use both cores.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "app/batch.hpp"
#include "app/switchyard.hpp"
#include "app/velmora.hpp"
#include "app/workspace.hpp"
#include "platform/graphics/graphics.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/huge_pages.hpp"

namespace velmora::app {
namespace {

constexpr int kSpecimens = 10000;
constexpr int kLandmarks = 100;

/// A landmark file of `specimens` × `landmarks` that grow along z with an
/// age X, and its X list, written once into the temporary folder.
struct Files {
  std::string landmarks, x, out;
  Files(int specimens, int landmarks_per_specimen) {
    const std::string stem = "/tmp/velmora-bench-" + std::to_string(specimens) + "x" +
                             std::to_string(landmarks_per_specimen);
    landmarks = stem + "-landmarks.txt";
    x = stem + "-x.txt";
    out = stem + "-out.txt";
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0, 0.01);
    std::vector<double> base(3 * static_cast<std::size_t>(landmarks_per_specimen));
    for (double& b : base) b = std::normal_distribution<double>(0, 1)(rng);
    std::ofstream lm(landmarks), xs(x);
    char buf[32];
    for (int i = 0; i < specimens; ++i) {
      double age = 1 + 19.0 * i / specimens;
      for (std::size_t j = 0; j < base.size(); ++j) {
        double v = base[j] * (1 + (j % 3 == 2 ? 0.01 * age : 0)) + noise(rng);
        std::snprintf(buf, sizeof buf, "%.6f ", v * (10 + age));
        lm << buf;
      }
      lm << (10 + age) << "\n";
      xs << age << "\n";
    }
  }
};

const Files& files() {
  static Files f(kSpecimens, kLandmarks);
  return f;
}

/// Dense surface semilandmarks: 200 specimens of 1,000 landmarks.
const Files& dense_files() {
  static Files f(200, 1000);
  return f;
}

// The window layout is read from the working folder.
void enter_layout_folder() {
  const std::string source = VELMORA_SOURCE_DIR;
  if (::chdir((source + "/src/app").c_str()) != 0) std::abort();
}

void start() {
  gfx::install_graphics(std::make_unique<gfx::HeadlessBackend>());
  static bool once = [] {
    register_all_functions();
    return true;
  }();
  (void)once;
  workspace().reset();
  enter_layout_folder();
  velmora({}, 1);
}

void must(const char* action) {
  if (run_action(workspace(), Value(action), Value()).outcome != Outcome::Done) {
    std::fprintf(stderr, "%s: %s\n", action, workspace().last_action.message.c_str());
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
BENCHMARK(BM_LoadData)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// The road a user takes from the file to the saved results, as one batch
// script: LoadData, LoadXList, DoRegression, PlotPDistance, GetWilks,
// SaveWarp, SaveVector on 10,000 specimens of 100 landmarks, the result
// files replaced as a second run replaces them.  Written once.
const std::string& road_script() {
  static const std::string script = [] {
    const Files& f = files();
    const std::string path = "/tmp/velmora-bench-road.velmora";
    std::ofstream(path) << "open " << f.landmarks << "\nLoadData\nopen " << f.x
                        << "\nLoadXList\nDoRegression\nPlotPDistance\nGetWilks\nsave " << f.out
                        << "\nSaveWarp\nsave " << f.out << ".vector\nSaveVector\n";
    return path;
  }();
  return script;
}

// The road run as batch mode runs it, in this process.  Goal: under 0.5 s
// wall.
void BM_WholeRoad(benchmark::State& state) {
  const std::string& script = road_script();
  ConsoleCapture quiet;
  for (auto _ : state) {
    enter_layout_folder();  // the file dialogs of a run change the working folder
    if (run_batch_file(script) != 0) {
      state.SkipWithError("the batch run failed");
      return;
    }
    quiet.clear();
  }
}
BENCHMARK(BM_WholeRoad)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

#ifdef VELMORA_PROGRAM
// The same road as a user runs it: `velmora --batch` on the script, from
// the program's start to its end.  Wall time; the program's processor time
// (user + system) as the counter "cpu_ms".  Goal: under 0.5 s wall.
void BM_WholeRoadBatch(benchmark::State& state) {
  const std::string command = std::string("QT_QPA_PLATFORM=offscreen '") + VELMORA_PROGRAM +
                              "' --batch " + road_script() + " >/dev/null";
  double cpu_ms = 0;
  for (auto _ : state) {
    rusage before{}, after{};
    ::getrusage(RUSAGE_CHILDREN, &before);
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("the batch run failed");
      return;
    }
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    ::getrusage(RUSAGE_CHILDREN, &after);
    auto ms = [](const timeval& t) {
      return 1e3 * static_cast<double>(t.tv_sec) + 1e-3 * t.tv_usec;
    };
    cpu_ms += ms(after.ru_utime) - ms(before.ru_utime) + ms(after.ru_stime) - ms(before.ru_stime);
  }
  state.counters["cpu_ms"] = benchmark::Counter(cpu_ms / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_WholeRoadBatch)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();
#endif

// LoadXList on 200 specimens of 1,000 landmarks just loaded: the thin-plate
// basis of a dense reference and the scores on it.
void BM_DenseLoadXList(benchmark::State& state) {
  const Files& f = dense_files();
  ConsoleCapture quiet;
  for (auto _ : state) {
    state.PauseTiming();
    start();
    auto* hb = gfx::headless_backend();
    hb->queue_path(f.landmarks);
    must("LoadData");
    hb->queue_path(f.x);
    state.ResumeTiming();
    must("LoadXList");
    quiet.clear();
  }
}
BENCHMARK(BM_DenseLoadXList)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

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
BENCHMARK(BM_AnalysisRoad)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace
}  // namespace velmora::app

// Memory as the program has it: huge pages where the kernel offers them,
// freed memory kept for the next step.
int main(int argc, char** argv) {
  velmora::restart_with_huge_pages(argv);
  velmora::keep_freed_memory();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

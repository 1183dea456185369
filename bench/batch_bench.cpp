// The cost of a batch "call" line as its argument count grows: reading the
// script line and calling a function with every argument.  Twice the
// arguments should cost twice the time.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "app/batch.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/function_table.hpp"

namespace velmora::app {
namespace {

/// A batch script of one call with `n` arguments of every kind: numbers,
/// words, quoted text and bracketed rows.
std::string call_script(int n) {
  const std::string path = "/tmp/velmora-bench-call-" + std::to_string(n) + ".txt";
  std::ofstream out(path);
  out << "call bench_sink";
  for (int i = 0; i < n; ++i) {
    switch (i % 4) {
      case 0:
        out << ' ' << i;
        break;
      case 1:
        out << " w" << i;
        break;
      case 2:
        out << " 'text " << i << "'";
        break;
      default:
        out << " [" << i << " 1; 2 3]";
    }
  }
  out << '\n';
  return path;
}

void BM_CallArguments(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  // The main window's layout file is found in the working folder.
  const std::string source = VELMORA_SOURCE_DIR;
  if (::chdir((source + "/src/app").c_str()) != 0) std::abort();
  const std::string script = call_script(n);
  std::size_t received = 0;
  function_table().add({"bench_sink",
                        [&](const ValueList& args, int) {
                          received = args.size();
                          return ValueList{};
                        },
                        kAny, 0});
  ConsoleCapture quiet;
  for (auto _ : state) {
    benchmark::DoNotOptimize(run_batch_file(script));
    quiet.clear();
  }
  if (received != static_cast<std::size_t>(n)) state.SkipWithError("arguments lost");
  state.SetComplexityN(n);
}
BENCHMARK(BM_CallArguments)->Arg(4000)->Arg(40000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace
}  // namespace velmora::app

BENCHMARK_MAIN();

// Throughput of the landmark reader on a large sample: 10,000 specimens of
// 100 landmarks (301 numbers a line, about 60 MB), written once into the
// temporary folder.  Reported as bytes per second of file text.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "io/landmark_file.hpp"
#include "io/text_matrix.hpp"

namespace {

constexpr int kSpecimens = 10000;
constexpr int kLandmarks = 100;

std::string make_sample_text() {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> u(-100.0, 100.0);
  std::string text;
  text.reserve(64u << 20);
  char buf[48];
  for (int i = 0; i < kSpecimens; ++i) {
    for (int c = 0; c < 3 * kLandmarks; ++c) {
      int n = std::snprintf(buf, sizeof buf, "%.13f ", u(rng));
      text.append(buf, static_cast<std::size_t>(n));
    }
    text += "1234.5678901234\n";
  }
  return text;
}

/// The sample file, written on first use.
const std::string& sample_path() {
  static const std::string path = [] {
    std::string p =
        (std::filesystem::temp_directory_path() / "velmora_io_bench_landmarks.txt").string();
    std::string text = make_sample_text();
    std::FILE* f = std::fopen(p.c_str(), "wb");
    if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size()) std::abort();
    std::fclose(f);
    return p;
  }();
  return path;
}

void BM_LoadLandmarks(benchmark::State& state) {
  const std::string& path = sample_path();
  const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path));
  for (auto _ : state) {
    velmora::io::TextMatrix m = velmora::io::load_landmarks(path);
    benchmark::DoNotOptimize(m.values.data());
  }
  state.SetBytesProcessed(state.iterations() * bytes);
  state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_LoadLandmarks)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_ParseInMemory(benchmark::State& state) {
  const std::string text(velmora::io::FileText::read(sample_path()).text());
  for (auto _ : state) {
    velmora::io::TextMatrix m = velmora::io::parse_landmarks(text, "sample");
    benchmark::DoNotOptimize(m.values.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ParseInMemory)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_MapFile(benchmark::State& state) {
  const std::string& path = sample_path();
  std::int64_t bytes = 0;
  for (auto _ : state) {
    velmora::io::FileText f = velmora::io::FileText::read(path);
    bytes = static_cast<std::int64_t>(f.text().size());
    benchmark::DoNotOptimize(f.text().data());
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_MapFile)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

BENCHMARK_MAIN();

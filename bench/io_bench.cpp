// Throughput of the landmark readers on a large sample: 10,000 specimens of
// 100 landmarks (301 numbers a line, about 60 MB), written once into the
// temporary folder, and the same numbers as a CSV table and as a TPS file.
// Reported as bytes per second of file text.

#include <benchmark/benchmark.h>

#include <Eigen/Core>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "io/landmark_file.hpp"
#include "io/landmark_import.hpp"
#include "io/result_files.hpp"
#include "io/text_matrix.hpp"
#include "platform/runtime/huge_pages.hpp"

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

/// The words of the sample text, one vector a line.
std::vector<std::vector<std::string>> sample_words(const std::string& text) {
  std::vector<std::vector<std::string>> lines(1);
  std::size_t b = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == ' ' || text[i] == '\n') {
      if (i > b) lines.back().push_back(text.substr(b, i - b));
      if (i < text.size() && text[i] == '\n') lines.emplace_back();
      b = i + 1;
    }
  }
  if (lines.back().empty()) lines.pop_back();
  return lines;
}

/// The sample as a table: a header, then the name and the 300 coordinates.
std::string make_csv_text(const std::string& native) {
  std::string text = "specimen";
  for (int j = 1; j <= kLandmarks; ++j)
    text += ",x" + std::to_string(j) + ",y" + std::to_string(j) + ",z" + std::to_string(j);
  text += "\n";
  int i = 0;
  for (const auto& words : sample_words(native)) {
    text += "specimen" + std::to_string(++i);
    for (int c = 0; c < 3 * kLandmarks; ++c) text += "," + words[static_cast<std::size_t>(c)];
    text += "\n";
  }
  return text;
}

/// The sample as a TPS file: LM3=100, a landmark a line, then the ID.
std::string make_tps_text(const std::string& native) {
  std::string text;
  int i = 0;
  for (const auto& words : sample_words(native)) {
    text += "LM3=" + std::to_string(kLandmarks) + "\n";
    for (int j = 0; j < kLandmarks; ++j) {
      const auto at = static_cast<std::size_t>(3 * j);
      text += words[at] + " " + words[at + 1] + " " + words[at + 2] + "\n";
    }
    text += "ID=specimen" + std::to_string(++i) + "\n";
  }
  return text;
}

std::string write_temp(const char* name, const std::string& text) {
  std::string p = (std::filesystem::temp_directory_path() / name).string();
  std::FILE* f = std::fopen(p.c_str(), "wb");
  if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size()) std::abort();
  std::fclose(f);
  return p;
}

const std::string& sample_text() {
  static const std::string text = make_sample_text();
  return text;
}

/// The sample files, written on first use.
const std::string& sample_path() {
  static const std::string path = write_temp("velmora_io_bench_landmarks.txt", sample_text());
  return path;
}
const std::string& csv_path() {
  static const std::string path =
      write_temp("velmora_io_bench_landmarks.csv", make_csv_text(sample_text()));
  return path;
}
const std::string& tps_path() {
  static const std::string path =
      write_temp("velmora_io_bench_landmarks.tps", make_tps_text(sample_text()));
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
BENCHMARK(BM_LoadLandmarks)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

/// import_landmarks on the file at `path`: reading, parsing, checks and
/// centroid sizes.
void import_file(benchmark::State& state, const std::string& path) {
  const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path));
  for (auto _ : state) {
    velmora::io::ImportedSample s = velmora::io::import_landmarks(path);
    benchmark::DoNotOptimize(s.rows.data());
  }
  state.SetBytesProcessed(state.iterations() * bytes);
  state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}

void BM_ImportCsvTable(benchmark::State& state) {
  import_file(state, csv_path());
}
BENCHMARK(BM_ImportCsvTable)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_ImportTps(benchmark::State& state) {
  import_file(state, tps_path());
}
BENCHMARK(BM_ImportTps)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_ImportNative(benchmark::State& state) {
  import_file(state, sample_path());
}
BENCHMARK(BM_ImportNative)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_ParseInMemory(benchmark::State& state) {
  const std::string text(velmora::io::FileText::read(sample_path()).text());
  for (auto _ : state) {
    velmora::io::TextMatrix m = velmora::io::parse_landmarks(text, "sample");
    benchmark::DoNotOptimize(m.values.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ParseInMemory)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

/// import_landmark_text on the text of `path` already in memory: the
/// parsing, checks and centroid sizes without the reading of the file.
void import_text(benchmark::State& state, const std::string& path) {
  const std::string text(velmora::io::FileText::read(path).text());
  for (auto _ : state) {
    velmora::io::ImportedSample s = velmora::io::import_landmark_text(text, path);
    benchmark::DoNotOptimize(s.rows.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

void BM_ParseCsvTableInMemory(benchmark::State& state) {
  import_text(state, csv_path());
}
BENCHMARK(BM_ParseCsvTableInMemory)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_ParseTpsInMemory(benchmark::State& state) {
  import_text(state, tps_path());
}
BENCHMARK(BM_ParseTpsInMemory)->Unit(benchmark::kMillisecond)->MinTime(3.0);

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

// The score file of 10,000 specimens of 100 landmarks: 293 scores and a
// centroid size a line, six significant digits (about 34 MB).
void BM_WriteScoreFile(benchmark::State& state) {
  std::mt19937_64 rng(3);
  std::normal_distribution<double> normal(0.0, 0.01);
  Eigen::MatrixXd scores(kSpecimens, 3 * kLandmarks - 7);
  for (Eigen::Index j = 0; j < scores.cols(); ++j)
    for (Eigen::Index i = 0; i < scores.rows(); ++i) scores(i, j) = normal(rng);
  std::vector<double> sizes(kSpecimens);
  for (double& c : sizes) c = 10 + 20 * std::abs(normal(rng)) * 100;
  std::int64_t bytes = 0;
  for (auto _ : state) {
    const std::string text = velmora::io::score_file_text(scores, sizes);
    bytes = static_cast<std::int64_t>(text.size());
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(state.iterations() * bytes);
  state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_WriteScoreFile)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace

// The three files are written before any benchmark runs, so that every
// reader starts from the same state of the heap (a reader that ran right
// after a file was written would find the writer's freed memory and be
// spared the page faults of fresh memory that the others pay).  Memory is
// as the program has it: huge pages where the kernel offers them, freed
// memory kept for the next step.
int main(int argc, char** argv) {
  velmora::restart_with_huge_pages(argv);
  velmora::keep_freed_memory();
  sample_path();
  csv_path();
  tps_path();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

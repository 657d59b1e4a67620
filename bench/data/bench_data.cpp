// Loading a series file: LoadDataFile (file to table) and LoadRecords (table to records).
//
//   bench_data [benchmark options]      run the benchmarks
//   bench_data --generate PATH LINES    write the generated file the benchmarks read, and exit
//   bench_data --load PATH              load a file once and print what it holds (for RSS)
// ORVANE_BENCH_FILE=PATH adds a benchmark that loads that file.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/data/series_generator.h"
#include "data/series_reader.h"

namespace {

namespace fs = std::filesystem;

bool WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

fs::path GeneratedFile(std::size_t lines) {
  fs::path path = fs::temp_directory_path() / ("orvane_bench_" + std::to_string(::getpid()) + "_" +
                                               std::to_string(lines) + ".txt");
  if (!fs::exists(path)) WriteFile(path, orvane::bench::GenerateSeriesFile(lines));
  return path;
}

void LoadSeries(benchmark::State& state, const fs::path& path) {
  orvane::DataTable table;
  std::size_t records = 0;
  for (auto _ : state) {
    orvane::LoadDataFile(table, path);
    const orvane::SeriesData series = orvane::LoadRecords(table);
    records = series.records.size();
    benchmark::DoNotOptimize(series.records.data());
  }
  state.counters["records"] = static_cast<double>(records);
  state.counters["table_MB"] = static_cast<double>(table.MemoryUse()) / 1e6;
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(path)));
}

void BM_LoadSeries(benchmark::State& state) {
  LoadSeries(state, GeneratedFile(static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_LoadSeries)->Arg(600)->Arg(100000)->Unit(benchmark::kMillisecond);

// The two steps apart, on the large file.
void BM_LoadDataFileOnly(benchmark::State& state) {
  const fs::path path = GeneratedFile(100000);
  orvane::DataTable table;
  for (auto _ : state) {
    orvane::LoadDataFile(table, path);
    benchmark::DoNotOptimize(table.RowCount());
  }
}
BENCHMARK(BM_LoadDataFileOnly)->Unit(benchmark::kMillisecond);

void BM_LoadRecordsOnly(benchmark::State& state) {
  orvane::DataTable table;
  orvane::LoadDataFile(table, GeneratedFile(100000));
  for (auto _ : state) {
    const orvane::SeriesData series = orvane::LoadRecords(table);
    benchmark::DoNotOptimize(series.records.data());
  }
}
BENCHMARK(BM_LoadRecordsOnly)->Unit(benchmark::kMillisecond);

void RemoveGeneratedFiles() {
  for (std::size_t lines : {600, 100000}) {
    std::error_code ignored;
    fs::remove(fs::temp_directory_path() / ("orvane_bench_" + std::to_string(::getpid()) + "_" +
                                            std::to_string(lines) + ".txt"),
               ignored);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--generate") {
    const auto lines = static_cast<std::size_t>(std::strtoull(argv[3], nullptr, 10));
    return WriteFile(argv[2], orvane::bench::GenerateSeriesFile(lines)) ? 0 : 1;
  }
  if (argc == 3 && std::string(argv[1]) == "--load") {
    orvane::DataTable table;
    if (!orvane::LoadDataFile(table, argv[2])) return 1;
    const orvane::SeriesData series = orvane::LoadRecords(table);
    std::printf("rows %zu, records %zu, table %.1f MB, records %.1f MB\n", table.RowCount(),
                series.records.size(), static_cast<double>(table.MemoryUse()) / 1e6,
                static_cast<double>(series.records.capacity() * sizeof(orvane::DataRecord)) / 1e6);
    return 0;
  }
  if (const char* extra = std::getenv("ORVANE_BENCH_FILE")) {
    benchmark::RegisterBenchmark("BM_LoadSeriesFile", [path =
                                                           fs::path(extra)](benchmark::State& s) {
      LoadSeries(s, path);
    })->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  RemoveGeneratedFiles();
  return 0;
}

// The benchmark program: each workload runs on every driver with plain ODBC calls, with the
// library's components and through its C++ interface; at the end, the median of each side, the
// ratio library / raw and the ratio of the C++ interface to the components (modern / library).
//   ocl_bench [--rows=N] [--runs=N] [Google Benchmark flags]

#include "bench/BenchSupport.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace bench {
void SetOptions(std::size_t Rows, int Runs);
void RegisterAll();
}  // namespace bench

namespace {

// Prints every run as usual and keeps the median real time of each benchmark.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& reports) override {
    ConsoleReporter::ReportRuns(reports);
    for (const Run& run : reports) {
      bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
      bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (single || median) medians_[run.run_name.function_name] = run.GetAdjustedRealTime();
    }
  }

  void PrintRatios() const {
    std::printf("\n%-36s %12s %12s %8s %12s %8s\n", "workload/driver", "raw ms", "library ms",
                "ratio", "modern ms", "/library");
    for (const auto& [name, raw] : medians_) {
      const std::string suffix = "/raw";
      if (name.size() < suffix.size() ||
          name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        continue;
      std::string base = name.substr(0, name.size() - suffix.size());
      auto library = medians_.find(base + "/library");
      if (library == medians_.end() || raw <= 0) continue;
      std::printf("%-36s %12.1f %12.1f %8.3f", base.c_str(), raw, library->second,
                  library->second / raw);
      auto modern = medians_.find(base + "/modern");
      if (modern != medians_.end() && library->second > 0)
        std::printf(" %12.1f %8.3f", modern->second, modern->second / library->second);
      std::printf("\n");
    }
  }

 private:
  std::map<std::string, double> medians_;
};

}  // namespace

int main(int argc, char** argv) {
  std::size_t rows = 100000;
  int runs = 5;
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--rows=", 7) == 0)
      rows = std::strtoul(argv[i] + 7, nullptr, 10);
    else if (std::strncmp(argv[i], "--runs=", 7) == 0)
      runs = std::atoi(argv[i] + 7);
    else
      rest.push_back(argv[i]);
  }
  int restCount = static_cast<int>(rest.size());
  bench::SetOptions(rows, runs > 0 ? runs : 1);
  benchmark::Initialize(&restCount, rest.data());
  ocl::OCL_Startup();
  bench::RegisterAll();
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  bench::CloseSharedConnections();
  ocl::OCL_Shutdown();
  return 0;
}

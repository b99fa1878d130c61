// The benchmark program: each workload runs on every driver with plain ODBC calls, with the
// library and with every other side built in; at the end, per workload and driver, the median
// of each side and its ratio to plain ODBC.
//   ocl_bench [--rows=N] [--runs=N] [--save-times=FILE] [Google Benchmark flags]
// Under callgrind (scripts/bench.sh --instructions), with the folder of its dumps:
//   ocl_bench --instructions=DIR [--times=FILE] ...
// prints the instructions of each side's timed loop, beside the times saved in FILE; with
// --report, it runs nothing and prints the table of the dumps already in DIR.

#include "bench/BenchSupport.h"

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace {

// Every measurement of each benchmark, "<workload>/<driver>/<side>".
using TMeasures = std::map<std::string, std::vector<double>>;

double Median(std::vector<double> Values) {
  std::sort(Values.begin(), Values.end());
  std::size_t n = Values.size();
  return n % 2 ? Values[n / 2] : (Values[n / 2 - 1] + Values[n / 2]) / 2;
}

std::map<std::string, double> Medians(const TMeasures& Measures) {
  std::map<std::string, double> medians;
  for (const auto& [name, values] : Measures)
    if (!values.empty()) medians[name] = Median(values);
  return medians;
}

// Prints every run as usual and keeps the real time of each run that went through.
class TTimeReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& reports) override {
    ConsoleReporter::ReportRuns(reports);
    for (const Run& run : reports)
      if (run.run_type == Run::RT_Iteration && !run.error_occurred)
        times_[run.run_name.function_name].push_back(run.GetAdjustedRealTime());
  }
  const TMeasures& Times() const { return times_; }

 private:
  TMeasures times_;
};

// The instructions callgrind counted in each run's timed loop: one dump per run, named after
// the run.
TMeasures ReadInstructions(const std::filesystem::path& Folder) {
  const std::string trigger = "desc: Trigger: Client Request: ";
  TMeasures counts;
  for (const auto& entry : std::filesystem::directory_iterator(Folder)) {
    std::ifstream file(entry.path());
    std::string line, name;
    while (std::getline(file, line)) {
      if (line.rfind(trigger, 0) == 0) name = line.substr(trigger.size());
      if (name == "skipped") break;
      if (!name.empty() && line.rfind("totals: ", 0) == 0) {
        counts[name].push_back(std::stod(line.substr(8)));
        break;
      }
    }
  }
  return counts;
}

void SaveTimes(const std::string& File, const std::map<std::string, double>& Times) {
  std::ofstream out(File);
  for (const auto& [name, ms] : Times) out << name << ' ' << ms << '\n';
}

std::map<std::string, double> LoadTimes(const std::string& File) {
  std::map<std::string, double> times;
  std::ifstream in(File);
  std::string name;
  double ms = 0;
  while (in >> name >> ms) times[name] = ms;
  return times;
}

// One table of the medians: per workload and driver, plain ODBC's figure and every other
// side's ratio to it.
struct TColumns {
  const char* Unit;
  double Scale;  // of plain ODBC's figure as printed
  std::map<std::string, double> Medians;
};

void PrintTable(const std::vector<TColumns>& Tables, const std::vector<std::string>& Sides) {
  std::vector<std::string> rows;
  for (const TColumns& table : Tables)
    for (const auto& [name, value] : table.Medians) {
      std::string row = name.substr(0, name.rfind('/'));
      if (std::find(rows.begin(), rows.end(), row) == rows.end()) rows.push_back(row);
    }
  std::printf("\n%-24s", "workload/driver");
  for (const TColumns& table : Tables) {
    std::printf(" | %12s", (std::string("raw ") + table.Unit).c_str());
    for (std::size_t i = 1; i < Sides.size(); ++i) std::printf(" %9s", Sides[i].c_str());
  }
  std::printf("\n");
  for (const std::string& row : rows) {
    std::printf("%-24s", row.c_str());
    for (const TColumns& table : Tables) {
      auto raw = table.Medians.find(row + "/raw");
      bool known = raw != table.Medians.end() && raw->second > 0;
      if (known)
        std::printf(" | %12.1f", raw->second / table.Scale);
      else
        std::printf(" | %12s", "-");
      for (std::size_t i = 1; i < Sides.size(); ++i) {
        auto side = table.Medians.find(row + "/" + Sides[i]);
        if (known && side != table.Medians.end())
          std::printf(" %9.3f", side->second / raw->second);
        else
          std::printf(" %9s", "-");
      }
    }
    std::printf("\n");
  }
}

struct TOptions {
  std::size_t Rows = 100000;
  int Runs = 5;
  std::string SaveTimes, Times, Instructions;
  bool Report = false;
  std::vector<char*> Rest;
};

// The medians of the instructions in the dumps, beside the times saved before.
void PrintInstructions(const TOptions& Options) {
  std::vector<TColumns> tables;
  if (!Options.Times.empty()) tables.push_back({"ms", 1, LoadTimes(Options.Times)});
  tables.push_back({"Minstr", 1e6, Medians(ReadInstructions(Options.Instructions))});
  PrintTable(tables, bench::SideNames());
}

TOptions ReadOptions(int argc, char** argv) {
  TOptions options;
  auto value = [](const char* Arg, const char* Name) -> const char* {
    std::size_t n = std::strlen(Name);
    return std::strncmp(Arg, Name, n) == 0 ? Arg + n : nullptr;
  };
  for (int i = 0; i < argc; ++i) {
    if (const char* v = value(argv[i], "--rows="))
      options.Rows = std::strtoul(v, nullptr, 10);
    else if (const char* v = value(argv[i], "--runs="))
      options.Runs = std::max(std::atoi(v), 1);
    else if (const char* v = value(argv[i], "--save-times="))
      options.SaveTimes = v;
    else if (const char* v = value(argv[i], "--times="))
      options.Times = v;
    else if (const char* v = value(argv[i], "--instructions="))
      options.Instructions = v;
    else if (std::strcmp(argv[i], "--report") == 0)
      options.Report = true;
    else
      options.Rest.push_back(argv[i]);
  }
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  // The allocator behaves the same in every run: no small freed blocks kept aside to be merged
  // at some later request, no threshold that moves with what earlier runs allocated.
  mallopt(M_MXFAST, 0);
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
  mallopt(M_TRIM_THRESHOLD, 1 << 20);
  TOptions options = ReadOptions(argc, argv);
  if (options.Report) {
    PrintInstructions(options);
    return 0;
  }
  int restCount = static_cast<int>(options.Rest.size());
  bench::SetOptions(options.Rows, options.Runs);
  benchmark::Initialize(&restCount, options.Rest.data());
  ocl::OCL_Startup();
  bench::RegisterAll();
  TTimeReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::map<std::string, double> times = Medians(reporter.Times());
  if (options.Instructions.empty())
    PrintTable({{"ms", 1, times}}, bench::SideNames());
  else
    PrintInstructions(options);
  if (!options.SaveTimes.empty()) SaveTimes(options.SaveTimes, times);
  benchmark::Shutdown();
  bench::CloseSharedConnections();
  ocl::OCL_Shutdown();
  return 0;
}

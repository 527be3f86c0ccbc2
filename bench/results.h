// What every benchmark program shares: it runs the registered benchmarks with
// the usual console output, keeps each run's counters, and appends rows to
// the summary table that scripts/bench.sh prints. A row sets a figure against
// a floor measured in the same run.
#ifndef BENCH_RESULTS_H
#define BENCH_RESULTS_H

#include <benchmark/benchmark.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

class Results : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override;

    // Counter key of the first benchmark whose name starts with prefix, the
    // smallest over its repetitions; NaN when there is none (filtered out or
    // failed), so that its rows are left out.
    double get(const std::string& prefix, const std::string& key) const;

private:
    std::map<std::string, std::vector<benchmark::UserCounters>> counters_;
};

// Markdown rows: figure | measured | floor | measured/floor | target.
class Table {
public:
    // Rows go to the file given as --table_out=FILE (taken off argv), else
    // to standard output.
    Table(int& argc, char** argv);

    // Left out when ratio is NaN. An empty target is shown as a dash.
    void row(const std::string& figure, const std::string& measured, const std::string& floor,
             double ratio, const std::string& target = "");

private:
    std::ofstream file_;
};

// value with the given number of decimals, then unit.
std::string fixed(double value, int decimals, const std::string& unit = "");
// A target's text followed by whether it holds.
std::string verdict(const std::string& target, bool holds);

// Initialises Google Benchmark (after Table took its argument), runs every
// registered benchmark into results. False on unknown arguments.
bool runBenchmarks(int& argc, char** argv, Results& results);

#endif

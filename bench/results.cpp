#include "results.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <limits>

void Results::ReportRuns(const std::vector<Run>& runs)
{
    for (const Run& run : runs)
        if (!run.error_occurred && run.run_type == Run::RT_Iteration)
            counters_[run.benchmark_name()].push_back(run.counters);
    ConsoleReporter::ReportRuns(runs);
}

double Results::get(const std::string& prefix, const std::string& key) const
{
    for (const auto& [name, repetitions] : counters_) {
        if (name.rfind(prefix, 0) != 0)
            continue;
        double smallest = std::numeric_limits<double>::quiet_NaN();
        for (const benchmark::UserCounters& counters : repetitions) {
            const auto counter = counters.find(key);
            if (counter != counters.end() &&
                (std::isnan(smallest) || counter->second.value < smallest))
                smallest = counter->second.value;
        }
        return smallest;
    }
    return std::numeric_limits<double>::quiet_NaN();
}

Table::Table(int& argc, char** argv)
{
    const char* prefix = "--table_out=";
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], prefix, std::strlen(prefix)) == 0)
            file_.open(argv[i] + std::strlen(prefix), std::ios::app);
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
}

void Table::row(const std::string& figure, const std::string& measured, const std::string& floor,
                double ratio, const std::string& target)
{
    if (std::isnan(ratio))
        return;
    std::ostream& out = file_.is_open() ? static_cast<std::ostream&>(file_) : std::cout;
    out << "| " << figure << " | " << measured << " | " << floor << " | "
        << fixed(ratio, ratio < 0.1 ? 3 : 2, "x") << " | " << (target.empty() ? "-" : target)
        << " |\n";
    out.flush();
}

std::string fixed(double value, int decimals, const std::string& unit)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text + unit;
}

std::string verdict(const std::string& target, bool holds)
{
    return target + (holds ? ": holds" : ": **missed**");
}

bool runBenchmarks(int& argc, char** argv, Results& results)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return false;
    benchmark::RunSpecifiedBenchmarks(&results);
    benchmark::Shutdown();
    return true;
}

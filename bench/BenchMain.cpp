// kelsor-bench: the project's benchmarks. Each source file registers its
// benchmarks (and ratios) itself; add a file with target_sources().
#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ext/stdio_filebuf.h>
#include <filesystem>
#include <map>
#include <ostream>
#include <vector>

namespace kelsor::bench {
namespace {

struct Ratio {
    std::string name;
    std::function<double()> compute;
    int order;
};

struct Timing {
    double realSeconds;
    double cpuSeconds;
};

std::map<std::string, Timing>& Results() {
    static std::map<std::string, Timing> results;
    return results;
}

std::vector<Ratio>& Ratios() {
    static std::vector<Ratio> ratios;
    return ratios;
}

std::vector<std::function<void()>>& TeardownSteps() {
    static std::vector<std::function<void()>> steps;
    return steps;
}

void PrintRatios() {
    auto ratios = Ratios();
    std::stable_sort(ratios.begin(), ratios.end(),
                     [](const auto& a, const auto& b) { return a.order < b.order; });
    // Computed first (a ratio may print notes), then printed together last.
    std::vector<double> values;
    for (const auto& ratio : ratios) {
        values.push_back(ratio.compute());
    }
    for (std::size_t i = 0; i < ratios.size(); ++i) {
        // A time or size ratio is finite and positive; anything else means a
        // side of it did not run (filtered out, failed, not built here), and
        // 0.000 would read as a goal met.
        if (std::isfinite(values[i]) && values[i] > 0) {
            std::printf("RATIO %s = %.3f\n", ratios[i].name.c_str(), values[i]);
        } else {
            std::printf("RATIO %s = not measured\n", ratios[i].name.c_str());
        }
    }
    std::fflush(stdout);
}

class RecordingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) {
                continue;
            }
            const double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
            const Timing timing{run.GetAdjustedRealTime() / unit, run.GetAdjustedCPUTime() / unit};
            auto [it, inserted] = Results().emplace(run.benchmark_name(), timing);
            if (!inserted) {
                it->second.realSeconds = std::min(it->second.realSeconds, timing.realSeconds);
                it->second.cpuSeconds = std::min(it->second.cpuSeconds, timing.cpuSeconds);
            }
        }
    }
};

}  // namespace

double BestSeconds(const std::string& benchmarkName, Clock clock) {
    double best = 0.0;
    for (const auto& [name, timing] : Results()) {
        const double seconds = clock == Clock::Real ? timing.realSeconds : timing.cpuSeconds;
        // Arguments and repetitions follow the function name after a "/".
        if (name == benchmarkName || name.rfind(benchmarkName + "/", 0) == 0) {
            best = best == 0.0 ? seconds : std::min(best, seconds);
        }
    }
    return best;
}

std::map<std::string, double>& Samples() {
    static std::map<std::string, double> samples;
    return samples;
}

void RecordSample(const std::string& name, double seconds) {
    auto [it, inserted] = Samples().emplace(name, seconds);
    if (!inserted) {
        it->second = std::min(it->second, seconds);
    }
}

double FastestSample(const std::string& name) {
    const auto it = Samples().find(name);
    return it == Samples().end() ? 0.0 : it->second;
}

void AddRatio(const std::string& name, std::function<double()> compute, int order) {
    Ratios().push_back({name, std::move(compute), order});
}

void AtTeardown(std::function<void()> step) {
    TeardownSteps().push_back(std::move(step));
}

std::string BenchFolder() {
    static const std::string folder = [] {
        char pattern[] = "/tmp/kelsor-bench-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        return std::string(made != nullptr ? made : "/tmp");
    }();
    return folder;
}

}  // namespace kelsor::bench

int main(int argc, char** argv) {
    // Tesseract's OpenMP threads are limited when OpenMP loads: restart with
    // the limit set, as kelsor-server does.
    if (std::getenv("OMP_THREAD_LIMIT") == nullptr) {
        ::setenv("OMP_THREAD_LIMIT", "1", 1);
        ::execv("/proc/self/exe", argv);
    }
    curl_global_init(CURL_GLOBAL_ALL);
    benchmark::Initialize(&argc, argv);
    // The cloud client writes diagnostics lines to standard output; they go
    // to /dev/null while the table goes to the real output.
    std::fflush(stdout);
    // Not inherited: a program a benchmark starts must not hold the caller's pipe.
    const int tableFd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    const int nullFd = ::open("/dev/null", O_WRONLY);
    ::dup2(nullFd, STDOUT_FILENO);
    ::close(nullFd);
    {
        __gnu_cxx::stdio_filebuf<char> buffer(::dup(tableFd), std::ios::out);
        std::ostream table(&buffer);
        kelsor::bench::RecordingReporter reporter;
        reporter.SetOutputStream(&table);
        reporter.SetErrorStream(&table);
        benchmark::RunSpecifiedBenchmarks(&reporter);
        table.flush();
    }
    std::fflush(stdout);
    ::dup2(tableFd, STDOUT_FILENO);
    ::close(tableFd);
    benchmark::Shutdown();

    kelsor::bench::PrintRatios();
    // The end in an order of our own: the services first (they write into the
    // bench folder), then the folder. Static objects (engines, windows, the
    // application object) are not destroyed: their destructors would run
    // after those of the libraries they use, and the system reclaims them.
    auto& steps = kelsor::bench::TeardownSteps();
    for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
        (*step)();
    }
    std::error_code ec;
    std::filesystem::remove_all(kelsor::bench::BenchFolder(), ec);
    curl_global_cleanup();
    std::fflush(nullptr);
    std::_Exit(0);
}

// The client as a user meets it: the time from exec to its main window being
// on the screen and the memory it holds once idle, against a bare Qt Widgets
// window of the same size started the same way, in turns, on a private Xvfb
// with a fresh data folder each time. Also the memory after one account window
// was opened and closed (no goal: that start brings the web engine).
// KELSOR_BENCH_CLIENT names another build of the client to measure (e.g. an
// older one, for a before/after comparison).
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>

#include "BenchSupport.h"
#include "DesktopSession.h"

namespace {

using kelsor::bench::MappedWindow;
using kelsor::bench::PrivateDesktop;

constexpr int kRuns = 9;
constexpr double kWindowTimeout = 60.0;
constexpr double kIdleTimeout = 15.0;
// Centre of "请登录" in the signed-out main window.
constexpr int kLoginX = 958;
constexpr int kLoginY = 61;

struct Program {
    std::vector<double> startSeconds;
    std::vector<double> idleBytes;
};

struct StartupResults {
    Program client, bare;
    double afterAccountBytes = 0.0;
    std::string error;
};

StartupResults& Results() {
    static StartupResults results;
    return results;
}

double Median(std::vector<double> values) {
    if (values.empty())
        return std::numeric_limits<double>::quiet_NaN();
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

std::string ClientPath() {
    const char* other = std::getenv("KELSOR_BENCH_CLIENT");
    return other != nullptr && *other != '\0' ? other : KELSOR_PROGRAM_PATH;
}

// A fresh data folder and runtime folder per start: a first start as a new
// user makes it, with every host on a closed port.
std::vector<std::string> FreshEnvironment(const std::string& label, int run) {
    const std::string folder =
        kelsor::bench::BenchFolder() + "/startup-" + label + "-" + std::to_string(run);
    std::filesystem::create_directories(folder + "/data");
    std::filesystem::create_directories(folder + "/run");
    ::chmod((folder + "/run").c_str(), 0700);
    std::vector<std::string> environment = kelsor::bench::CleanEnvironment();
    for (const std::string& entry :
         {"XDG_DATA_HOME=" + folder + "/data", "XDG_RUNTIME_DIR=" + folder + "/run",
          std::string("LANG=C.UTF-8"), std::string("KELSOR_SITE_HOST=127.0.0.1:1"),
          std::string("KELSOR_WEB_HOST=127.0.0.1:1"), std::string("KELSOR_API_HOST=127.0.0.1:1")})
        environment.push_back(entry);
    return environment;
}

// One start of `argv`: its time to the first window and its idle memory.
// Returns the started process (still running) or -1 with `error`.
pid_t MeasureStart(PrivateDesktop& desktop, const std::vector<std::string>& argv,
                   const std::string& label, int run, Program& program, MappedWindow& window,
                   std::string& error) {
    const pid_t pid = desktop.Launch(argv, FreshEnvironment(label, run), kWindowTimeout, window);
    if (pid < 0 || window.id == 0) {
        error = label + " showed no window within a minute";
        kelsor::bench::EndProcessGroup(pid);
        return -1;
    }
    kelsor::bench::WaitUntilIdle(pid, kIdleTimeout);
    program.startSeconds.push_back(window.secondsSinceExec);
    program.idleBytes.push_back(static_cast<double>(kelsor::bench::TreeResidentBytes(pid)));
    return pid;
}

// The last client start opens the log-in window, closes it and settles.
void OpenAndCloseAccountWindow(PrivateDesktop& desktop, pid_t pid, const MappedWindow& main) {
    desktop.Click(main.id, kLoginX, kLoginY);
    const MappedWindow account = desktop.WaitForNewWindow(main.id, kWindowTimeout);
    if (account.id == 0) {
        std::printf("startup: the log-in window did not open\n");
        return;
    }
    kelsor::bench::WaitUntilIdle(pid, kIdleTimeout);
    if (!desktop.Close(account.id, kWindowTimeout)) {
        std::printf("startup: the log-in window did not close\n");
        return;
    }
    kelsor::bench::WaitUntilIdle(pid, kIdleTimeout);
    Results().afterAccountBytes = static_cast<double>(kelsor::bench::TreeResidentBytes(pid));
}

void BM_StartupClientVsBareQt(benchmark::State& state) {
    static PrivateDesktop desktop;
    StartupResults& results = Results();
    if (static bool started = desktop.Start(results.error); !started) {
        state.SkipWithError(results.error.c_str());
        return;
    }
    for (auto _ : state) {
        // Client and bare window take turns, so a busy moment of the machine
        // falls on both alike.
        for (int run = 0; run < kRuns; ++run) {
            MappedWindow main;
            const pid_t client = MeasureStart(desktop, {ClientPath()}, "client", run,
                                              results.client, main, results.error);
            if (client < 0)
                break;
            if (run == kRuns - 1)
                OpenAndCloseAccountWindow(desktop, client, main);
            kelsor::bench::EndProcessGroup(client);
            MappedWindow bareWindow;
            const pid_t bare = MeasureStart(
                desktop,
                {KELSOR_BARE_WINDOW_PATH, std::to_string(main.width), std::to_string(main.height)},
                "bare", run, results.bare, bareWindow, results.error);
            if (bare < 0)
                break;
            kelsor::bench::EndProcessGroup(bare);
        }
    }
    if (!results.error.empty())
        state.SkipWithError(results.error.c_str());
}

BENCHMARK(BM_StartupClientVsBareQt)->Unit(benchmark::kSecond)->Iterations(1);

double Ratio(bool memory) {
    const StartupResults& r = Results();
    const double client = Median(memory ? r.client.idleBytes : r.client.startSeconds);
    const double bare = Median(memory ? r.bare.idleBytes : r.bare.startSeconds);
    if (std::isnan(client) || std::isnan(bare) || bare <= 0) {
        std::printf("%s: not measured%s%s\n", memory ? "idle_rss_vs_bare_qt" : "startup_vs_bare_qt",
                    r.error.empty() ? "" : ", ", r.error.c_str());
        return std::numeric_limits<double>::quiet_NaN();
    }
    if (memory) {
        std::printf(
            "idle RSS (median of %zu, with helper processes): client %.1f MB, bare Qt "
            "%.1f MB; client after one account window opened and closed: %.1f MB\n",
            r.client.idleBytes.size(), client / 1e6, bare / 1e6, r.afterAccountBytes / 1e6);
    } else {
        std::printf(
            "exec to main window mapped (median of %zu): client %.3f s, bare Qt %.3f s "
            "(%s)\n",
            r.client.startSeconds.size(), client, bare, ClientPath().c_str());
    }
    return client / bare;
}

[[maybe_unused]] const bool g_ratios = (kelsor::bench::AddRatio(
                                            "startup_vs_bare_qt", [] { return Ratio(false); }, 110),
                                        kelsor::bench::AddRatio(
                                            "idle_rss_vs_bare_qt", [] { return Ratio(true); }, 111),
                                        true);

}  // namespace

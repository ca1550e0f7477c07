// The history window over a long history against a short one, in the same
// run:
// - RATIO history_window_open_10k_vs_100: opening the window (store opened,
//   first page of rows built with their thumbnails, window shown) over
//   10,000 entries against over 100 (both more than the first page);
// - RATIO history_window_keystroke_10k_ms: one change of the search words
//   over 10,000 entries until the narrowed list is shown, in ms.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "BenchSupport.h"
#include "ServiceFixture.h"
#include "history/HistoryStore.h"
#include "shell/CHistoryWnd.h"
#include "skin/SkinData.h"

namespace {

namespace fs = std::filesystem;

constexpr int kLong = 10000;
// Two pages of the list: the window shows its first page either way.
constexpr int kShort = 100;

const wchar_t* const kWords[] = {L"会议", L"纪要",  L"报销",    L"合同", L"金额",
                                 L"客户", L"Total", L"Invoice", L"page", L"2024"};

// A small picture of a line of text, the source each entry's thumbnail is
// made from.
std::string SourcePicture() {
    static const std::string path = [] {
        kelsor::bench::EnsureGuiApp();
        const std::string file = kelsor::bench::BenchFolder() + "/history-window-source.jpg";
        QImage picture(320, 90, QImage::Format_RGB32);
        picture.fill(Qt::white);
        QPainter p(&picture);
        p.setFont(QFont(QStringLiteral("Noto Sans CJK SC"), 24));
        p.drawText(picture.rect(), Qt::AlignCenter, QStringLiteral("会议纪要 Invoice 2024"));
        p.end();
        picture.save(QString::fromStdString(file));
        return file;
    }();
    return path;
}

// A history of `entries` recognitions, made once per run.
std::wstring HistoryOf(int entries) {
    const std::string path =
        kelsor::bench::BenchFolder() + "/history-window-" + std::to_string(entries) + "/";
    if (!fs::exists(path + "history.db")) {
        fs::create_directories(path);
        kelsor::history::HistoryStore store(std::wstring(path.begin(), path.end()));
        const std::string source = SourcePicture();
        for (int i = 0; i < entries; ++i) {
            kelsor::history::NewEntry entry;
            entry.road = static_cast<kelsor::history::Road>(i % 5);
            entry.source = std::wstring(source.begin(), source.end());
            entry.text = std::wstring(kWords[i % 10]) + L" 第 " + std::to_wstring(i) + L" 次\n" +
                         kWords[(i * 7) % 10] + L" " + kWords[(i * 3) % 10];
            entry.time = 1700000000 + i * 60;
            store.Record(entry);
        }
    }
    return std::wstring(path.begin(), path.end());
}

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Prepare() {
    kelsor::bench::EnsureGuiApp();
    static const bool skin = (kelsor::skin::Install(), true);
    (void)skin;
}

void BM_HistoryWindow_Open(benchmark::State& state) {
    Prepare();
    const int entries = static_cast<int>(state.range(0));
    const std::wstring folder = HistoryOf(entries);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        kelsor::shell::CHistoryWnd wnd(folder, L"");
        wnd.Create(nullptr, L"HistoryWnd", kelsor::ui::UI_WNDSTYLE_DIALOG, 0);
        wnd.GetHWND()->show();
        QApplication::processEvents();
        wnd.GetHWND()->grab();  // painted, thumbnails and all
        kelsor::bench::RecordSample("history_window_open_" + std::to_string(entries), Since(start));
    }
    QApplication::processEvents();
}

void BM_HistoryWindow_Keystroke(benchmark::State& state) {
    Prepare();
    const std::wstring folder = HistoryOf(kLong);
    kelsor::shell::CHistoryWnd wnd(folder, L"");
    wnd.Create(nullptr, L"HistoryWnd", kelsor::ui::UI_WNDSTYLE_DIALOG, 0);
    wnd.GetHWND()->show();
    QApplication::processEvents();
    int turn = 0;
    for (auto _ : state) {
        // Each turn other words, so that each one narrows the list anew.
        const std::wstring words = kWords[turn % 10];
        ++turn;
        const auto start = std::chrono::steady_clock::now();
        wnd.Search(words);
        QApplication::processEvents();
        wnd.GetHWND()->grab();
        kelsor::bench::RecordSample("history_window_keystroke", Since(start));
    }
}

BENCHMARK(BM_HistoryWindow_Open)
    ->Arg(kShort)
    ->Arg(kLong)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5);
BENCHMARK(BM_HistoryWindow_Keystroke)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(10);

[[maybe_unused]] const bool g_historyWindowRatios =
    (kelsor::bench::AddRatio(
         "history_window_open_10k_vs_100",
         [] {
             const double full = kelsor::bench::FastestSample("history_window_open_10000");
             const double small = kelsor::bench::FastestSample("history_window_open_100");
             std::printf("history window open: %.1f ms over 10,000 entries, %.1f ms over 100\n",
                         full * 1e3, small * 1e3);
             return small > 0 ? full / small : 0.0;
         },
         140),
     kelsor::bench::AddRatio(
         "history_window_keystroke_10k_ms",
         [] { return kelsor::bench::FastestSample("history_window_keystroke") * 1e3; }, 140),
     true);

}  // namespace

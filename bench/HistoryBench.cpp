// The recognition history: the search over a full history (10,000 entries of
// mixed Chinese and Latin text, with thumbnails) for each kind of query, and
// what recording one recognition costs against the recognition itself.
#include "BenchSupport.h"
#include "ServiceFixture.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"
#include "jobs/Picture.h"
#include "jobs/PictureUtils.h"

namespace {

namespace fs = std::filesystem;
using kelsor::history::HistoryStore;
using kelsor::history::NewEntry;

constexpr int kEntries = 10000;
// As many as a list shows at once.
constexpr std::size_t kListed = 200;

// Words of receipts, notes and pages; the rare ones are in one entry only.
const std::vector<std::wstring> kWords = {
    L"会议",   L"纪要", L"项目",   L"进度", L"报销",  L"合同", L"金额",    L"日期",
    L"客户",   L"地址", L"的",     L"了",   L"和",    L"是",   L"在",      L"我们",
    L"公司",   L"部门", L"审批",   L"完成", L"Total", L"Date", L"Invoice", L"No.",
    L"Amount", L"page", L"report", L"2024", L"12.50", L"OK"};

std::wstring EntryText(std::mt19937& random, int index) {
    std::wstring text;
    for (int line = 0; line < 8; ++line) {
        for (int word = 0; word < 12; ++word) {
            text += kWords[random() % kWords.size()];
            text += word % 3 == 2 ? L" " : L"";
        }
        text += L"\r\n";
    }
    if (index % 100 == 0) {
        text += L"增值税专用发票\r\n";  // in one entry of a hundred
    }
    if (index == kEntries / 2) {
        text += L"鑫淼 xq\r\n";  // in one entry only: the searches that see every entry
    }
    return text;
}

// The full history, made once per run.
const std::wstring& FullHistoryFolder() {
    static const std::wstring folder = [] {
        const std::string path = kelsor::bench::BenchFolder() + "/history-10k/";
        fs::create_directories(path);
        HistoryStore store(std::wstring(path.begin(), path.end()));
        std::mt19937 random(36);
        std::vector<std::uint8_t> thumbnail(4000);
        for (auto& byte : thumbnail) {
            byte = static_cast<std::uint8_t>(random());
        }
        for (int i = 0; i < kEntries; ++i) {
            NewEntry entry;
            entry.road = static_cast<kelsor::history::Road>(i % 5);
            entry.source = L"/home/user/图片/scan-" + std::to_wstring(i) + L".jpg";
            entry.textPath = L"/home/user/图片/scan-" + std::to_wstring(i) + L".txt";
            entry.text = EntryText(random, i);
            entry.thumbnail = thumbnail;
            entry.time = 1700000000 + i * 60;
            store.Record(entry);
        }
        return std::wstring(path.begin(), path.end());
    }();
    return folder;
}

struct Query {
    const char* sample;
    const wchar_t* words;
};
// Index words; one and two Chinese characters found in one entry only (every
// entry is looked at); short Latin letters in either case; a common single
// character (the list fills at once); no words (the latest).
const Query kQueries[] = {
    {"history_search_index", L"增值税专用发票"}, {"history_search_one_char_rare", L"鑫"},
    {"history_search_two_chars_rare", L"鑫淼"},  {"history_search_latin_short", L"XQ"},
    {"history_search_one_char_common", L"的"},   {"history_search_latest", L""},
};

void BM_History_Search10k(benchmark::State& state) {
    HistoryStore store(FullHistoryFolder());
    if (store.Count() != kEntries) {
        state.SkipWithError("the history of 10,000 entries could not be made");
        return;
    }
    const Query& query = kQueries[state.range(0)];
    state.SetLabel(query.sample);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const auto found = store.Search(query.words, kListed);
        kelsor::bench::RecordSample(
            query.sample,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (found.empty()) {
            state.SkipWithError("the search found nothing");
            return;
        }
        benchmark::DoNotOptimize(found.data());
    }
}

// One recognition of the end-to-end picture recorded the costliest way, as
// the screen page does (through the page's recorder, a copy of the JPEG
// capture kept, its thumbnail made), into a history of a thousand entries;
// each sample is the mean over a run of recordings, so the checkpoints of the
// database are counted too.
void BM_History_RecordRecognition(benchmark::State& state) {
    const std::string folder = kelsor::bench::BenchFolder() + "/history-record/";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const kelsor::history::RecordingPlace place{std::wstring(folder.begin(), folder.end()), L""};
    std::mt19937 random(2);
    NewEntry entry;
    entry.road = kelsor::history::Road::Screen;
    // The capture as the screen page saves it: a JPEG of the picture.
    const std::string png = kelsor::bench::BenchPicture();
    const std::wstring capture = place.dataFolder + L"screenocrfile.jpg";
    if (!kelsor::ConvertPictureToJpeg(kelsor::kDefaultJpegQuality,
                                      std::wstring(png.begin(), png.end()), capture)) {
        state.SkipWithError("the capture could not be written");
        return;
    }
    entry.source = capture;
    entry.keepSourceCopy = true;
    // The page's recorder: one connection for all its recordings.
    kelsor::history::Recorder recorder(place);
    for (int i = 0; i < 1000; ++i) {
        NewEntry filler;
        filler.text = EntryText(random, i + 1);
        recorder.Record(filler);
    }
    entry.text = EntryText(random, 1);
    constexpr int kRun = 20;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kRun; ++i) {
            if (recorder.Record(entry) != kelsor::history::RecordResult::Recorded) {
                state.SkipWithError("a recording was not made");
                return;
            }
        }
        kelsor::bench::RecordSample(
            "history_record",
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / kRun);
    }
}

BENCHMARK(BM_History_Search10k)
    ->DenseRange(0, std::size(kQueries) - 1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->Repetitions(2);
BENCHMARK(BM_History_RecordRecognition)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(2);

// The slowest kind of search, each at its fastest, in milliseconds; the
// kinds are printed one by one.
double SlowestSearchMs() {
    double slowest = 0;
    for (const Query& query : kQueries) {
        if (kelsor::bench::FastestSample(query.sample) <= 0) {
            return std::nan("");
        }
    }
    for (const Query& query : kQueries) {
        const double ms = 1000.0 * kelsor::bench::FastestSample(query.sample);
        std::printf("  %-34s %8.3f ms\n", query.sample, ms);
        slowest = std::max(slowest, ms);
    }
    return slowest;
}

// A recording over the same picture's end-to-end recognition (sample "e2e",
// measured by the recognition benchmark in the same run).
double RecordVsRecognition() {
    const double record = kelsor::bench::FastestSample("history_record");
    const double recognition = kelsor::bench::FastestSample("e2e");
    if (record <= 0) {
        return std::nan("");
    }
    if (recognition <= 0) {
        std::printf("  history_record needs BM_EndToEnd_RecognizePictureText in the same run\n");
        return std::nan("");
    }
    std::printf("  history_record %.3f ms, recognition (e2e) %.1f ms\n", 1000.0 * record,
                1000.0 * recognition);
    return record / recognition;
}

[[maybe_unused]] const bool g_ratios =
    (kelsor::bench::AddRatio("history_search_10k_ms", SlowestSearchMs, 150),
     kelsor::bench::AddRatio("history_record_cost_vs_recognition", RecordVsRecognition, 151), true);

}  // namespace

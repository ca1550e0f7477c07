#include "tools/OcrHistory.h"

#include <ctime>

#include "app/AppContext.h"
#include "app/TextConv.h"
#include "history/HistoryStore.h"
#include "tools/OcrOptions.h"

namespace kelsor::tools {
namespace {

constexpr std::size_t kLatestCount = 20;
// Searches list every match; the history holds no more than this anyway.
constexpr std::size_t kMatchCount = 100000;

std::string LocalTime(std::int64_t seconds) {
    const auto time = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&time, &local);
    char text[32];
    return std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local) > 0 ? text : "";
}

// Tabs and line ends inside a field would break the line apart.
std::string Field(const std::wstring& text) {
    std::string field = WideToAnsi(text);
    for (char& c : field) {
        if (c == '\t' || c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return field;
}

}  // namespace

int ListHistory(const std::vector<std::string>& words, std::FILE* out, std::FILE* err) {
    std::wstring query;
    for (const std::string& word : words) {
        query += (query.empty() ? L"" : L" ") + AnsiToWide(word);
    }
    history::HistoryStore store(App().dataFolder);
    if (!store.IsOpen()) {
        std::fprintf(err, "kelsor-ocr: %s\n", store.Error().c_str());
        return OcrSomeFailed;
    }
    const std::vector<history::EntrySummary> found =
        store.Search(query, words.empty() ? kLatestCount : kMatchCount);
    for (const history::EntrySummary& entry : found) {
        std::wstring source = entry.source;
        if (entry.page > 0) {
            source += L" 第" + std::to_wstring(entry.page) + L"页";
        }
        std::fprintf(out, "%s\t%s\t%s\t%s\n", LocalTime(entry.time).c_str(),
                     WideToAnsi(history::RoadName(entry.road)).c_str(), Field(source).c_str(),
                     Field(entry.firstLine).c_str());
    }
    std::fflush(out);
    return found.empty() ? OcrSomeFailed : OcrAllRecognised;
}

}  // namespace kelsor::tools

#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The recognition history: one SQLite file in the program's data folder
// ("history.db", in WAL mode with a busy timeout so that the desktop client
// and kelsor-ocr may write at once) and a folder of kept captures beside it.
// A store is one connection: use it from one thread at a time; other threads
// and processes open their own.
namespace kelsor::history {

// Where a recognition came from; the names are what the history shows.
enum class Road : int {
    Picture = 0,       // 图片识别
    Screen = 1,        // 截图识别
    Batch = 2,         // 批量识别
    CommandLine = 3,   // 命令行
    PdfConverter = 4,  // PDF转换器
};
const wchar_t* RoadName(Road road);

// What a finished recognition hands over.
struct NewEntry {
    Road road = Road::Picture;
    std::wstring source;    // the picture (or PDF) recognised
    std::wstring textPath;  // the .txt written; empty when none was
    std::wstring text;      // the recognised text
    // Keeps a copy of `source` beside the history: for work files that the
    // next recognition overwrites (the captures).
    bool keepSourceCopy = false;
    // The picture the thumbnail is made from when `source` is not one (the
    // rendered page of a PDF); empty: `source`.
    std::wstring picture;
    // The page of a PDF, from 1; 0 for a picture.
    int page = 0;
    // Seconds since the epoch; 0 means now.
    std::int64_t time = 0;
    // A thumbnail made already (JPEG or PNG, at most kThumbnailSide a side),
    // used as it is; empty: one is made from `picture` or `source`.
    std::vector<std::uint8_t> thumbnail;
};

// One line of a list: enough to show without loading the text.
struct EntrySummary {
    std::int64_t id = 0;
    std::int64_t time = 0;  // seconds since the epoch
    Road road = Road::Picture;
    std::wstring source;     // the kept copy when there is one, else the original path
    std::wstring textPath;   // empty when none was written
    std::wstring firstLine;  // the text's first non-blank line
    int page = 0;            // the page of a PDF, from 1; 0 for a picture
};

// One entry in full.
struct Entry {
    EntrySummary summary;
    std::wstring text;
    std::wstring originalSource;  // the path recognised, even when a copy was kept
    std::wstring keptCopy;        // the kept capture; empty when none
    std::vector<std::uint8_t>
        thumbnail;  // a small JPEG (at most kThumbnailSide a side); may be empty
};

inline constexpr int kThumbnailSide = 160;
inline constexpr const wchar_t* kHistoryFileName = L"history.db";
inline constexpr const wchar_t* kKeptCapturesFolderName = L"history-captures";

struct Limits {
    std::size_t maxEntries = 10000;
    // The database and the kept captures together.
    std::uint64_t maxBytes = 200ull * 1024 * 1024;
    // How long a write waits for another writer (the window, kelsor-ocr)
    // before the recording is skipped.
    int busyTimeoutMs = 5000;
};

// Why a recording was not made.
enum class RecordResult : int {
    Recorded = 0,
    Off,          // the user turned recording off
    Skipped,      // full disk, or the database busy past the timeout
    Unavailable,  // the store could not be opened or made
};

class HistoryStore {
public:
    // Opens (creating when missing) the history in `dataFolder` (with or
    // without its trailing "/"). A damaged file is set aside as
    // "history.db.damaged-<time>" and a fresh one started, with one line on
    // stderr. Check IsOpen() after.
    explicit HistoryStore(const std::wstring& dataFolder, Limits limits = {});
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    bool IsOpen() const;
    // Why it is not open (for messages and tests); empty when open.
    const std::string& Error() const;

    // Adds one entry, with its thumbnail and (when asked) the kept copy of
    // its source, then removes the oldest entries past the limits. A file
    // found damaged, or held by another writer past the timeout, is set
    // aside ("history.db.damaged-<time>", "history.db.locked-<time>") and
    // the entry goes into a fresh one; a full disk skips the entry.
    RecordResult Record(const NewEntry& entry);

    // Entries holding every one of `words` (whitespace separated; any part
    // of a word, Chinese included; case-insensitive for Latin letters),
    // newest first, at most `limit`. No words: the latest `limit`.
    std::vector<EntrySummary> Search(const std::wstring& words, std::size_t limit);
    std::vector<EntrySummary> Latest(std::size_t limit) { return Search(L"", limit); }

    std::optional<Entry> Load(std::int64_t id);
    // The entry's thumbnail alone (for lists); empty when none.
    std::vector<std::uint8_t> Thumbnail(std::int64_t id);
    // Removes the entry and its kept capture; false when there was none.
    bool Delete(std::int64_t id);
    // Removes every entry and every kept capture.
    bool Clear();

    std::size_t Count();
    // The file and folder the store keeps.
    std::wstring DatabasePath() const;
    std::wstring KeptCapturesFolder() const;
    // Every kept capture file now in the folder.
    std::vector<std::wstring> KeptCaptures() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace kelsor::history

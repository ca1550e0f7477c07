#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "FullDisk.h"
#include "HistoryTestSupport.h"
#include "TempFolder.h"
#include "history/HistoryRecorder.h"
#include "history/HistorySettings.h"
#include "history/HistoryStore.h"
#include "jobs/Picture.h"
#include "jobs/PictureFormat.h"
#include "platform/sys/CodePage.h"

namespace kelsor::history {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

// Records `texts` oldest first, one second apart; their ids in that order.
std::vector<std::int64_t> RecordTexts(HistoryStore& store, const std::vector<std::wstring>& texts) {
    std::vector<std::int64_t> ids;
    std::int64_t time = 1700000000;
    for (const std::wstring& text : texts) {
        NewEntry entry;
        entry.road = Road::Batch;
        entry.source = L"/pictures/" + std::to_wstring(ids.size()) + L".png";
        entry.textPath = L"/pictures/" + std::to_wstring(ids.size()) + L".txt";
        entry.text = text;
        entry.time = ++time;
        EXPECT_EQ(store.Record(entry), RecordResult::Recorded);
        ids.push_back(store.Latest(1).at(0).id);
    }
    return ids;
}

std::vector<std::int64_t> Ids(const std::vector<EntrySummary>& found) {
    std::vector<std::int64_t> ids;
    for (const EntrySummary& summary : found) {
        ids.push_back(summary.id);
    }
    return ids;
}

TEST(HistoryStore, SearchFindsEveryPartOfAWordNewestFirst) {
    TempFolder folder;
    HistoryStore store(folder.wide());
    ASSERT_TRUE(store.IsOpen()) << store.Error();
    const std::vector<std::int64_t> id = RecordTexts(
        store, {L"增值税专用发票\n金额 100%", L"Invoice No. 42\nTotal_due",
                L"会议纪要：发票报销流程", L"第二季度报表", L"he said \"yes\" to the 票"});
    struct Case {
        const wchar_t* words;
        std::vector<std::int64_t> expected;  // newest first
    };
    const Case cases[] = {
        {L"票", {id[4], id[2], id[0]}},  // one Chinese character
        {L"发票", {id[2], id[0]}},       // two
        {L"专用发票", {id[0]}},          // the trigram index
        {L"发票 报销", {id[2]}},         // every word must be there
        {L"nvoic", {id[1]}},             // part of a word
        {L"INVOICE", {id[1]}},           // Latin letters in either case
        {L"no", {id[1]}},                // short Latin, either case
        {L"100%", {id[0]}},              // LIKE's own characters are plain
        {L"%", {id[0]}},
        {L"_", {id[1]}},
        {L"\"yes\"", {id[4]}},       // quotes inside a phrase
        {L"  报表\u3000", {id[3]}},  // blanks around, ideographic too
        {L"不存在的词", {}},
        {L"", {id[4], id[3], id[2], id[1], id[0]}},  // no words: the latest
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Ids(store.Search(c.words, 20)), c.expected) << platform::WideToUtf8(c.words);
    }
    EXPECT_EQ(Ids(store.Search(L"票", 2)), (std::vector<std::int64_t>{id[4], id[2]}));
    EXPECT_EQ(Ids(store.Latest(1)), std::vector<std::int64_t>{id[4]});
}

TEST(HistoryStore, AnEntryComesBackWhole) {
    TempFolder folder;
    const std::string picture = folder.file("capture.png");
    ASSERT_TRUE(WriteLinesPicture(picture, 900, 450));
    HistoryStore store(folder.wide("data"));
    NewEntry entry;
    entry.road = Road::Screen;
    entry.source = folder.wide("capture.png");
    entry.textPath = folder.wide("capture.txt");
    entry.text = L"\n \u3000 第一行 \r\n第二行";
    entry.keepSourceCopy = true;
    entry.time = 1700000123;
    ASSERT_EQ(store.Record(entry), RecordResult::Recorded);
    // The next capture overwrites the work file; the kept copy stays.
    test::WriteFile(picture, "next capture");

    const EntrySummary summary = store.Latest(1).at(0);
    EXPECT_EQ(summary.time, 1700000123);
    EXPECT_EQ(summary.road, Road::Screen);
    EXPECT_EQ(summary.firstLine, L"第一行");
    const std::optional<Entry> loaded = store.Load(summary.id);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->text, entry.text);
    EXPECT_EQ(loaded->originalSource, entry.source);
    EXPECT_EQ(loaded->summary.textPath, entry.textPath);
    ASSERT_EQ(store.KeptCaptures(), std::vector<std::wstring>{loaded->keptCopy});
    EXPECT_EQ(summary.source, loaded->keptCopy);
    Picture kept;
    EXPECT_TRUE(kept.Load(loaded->keptCopy, ImageFormatPng));
    EXPECT_EQ(kept.Width(), 900);

    Picture thumbnail;
    ASSERT_TRUE(thumbnail.LoadFromMemory(loaded->thumbnail.data(), loaded->thumbnail.size(),
                                         ImageFormatJpeg));
    EXPECT_EQ(thumbnail.Format(), ImageFormatJpeg);
    EXPECT_EQ(thumbnail.Width(), kThumbnailSide);
    EXPECT_EQ(thumbnail.Height(), kThumbnailSide / 2);
    EXPECT_EQ(store.Thumbnail(summary.id), loaded->thumbnail);
    EXPECT_FALSE(store.Load(summary.id + 1));
}

TEST(HistoryStore, SourcesThatAreNoPictureHaveNoThumbnail) {
    TempFolder folder;
    test::WriteFile(folder.file("book.pdf"), "%PDF-1.4\n");
    HistoryStore store(folder.wide());
    struct Case {
        std::wstring source;
        std::wstring picture;
    };
    for (const Case& c : {Case{folder.wide("book.pdf"), L""}, Case{folder.wide("gone.png"), L""},
                          Case{L"", L""}, Case{folder.wide("book.pdf"), folder.wide("gone.jpg")}}) {
        NewEntry entry;
        entry.road = Road::PdfConverter;
        entry.source = c.source;
        entry.picture = c.picture;
        entry.page = 3;
        entry.text = L"page text";
        ASSERT_EQ(store.Record(entry), RecordResult::Recorded);
        const std::optional<Entry> loaded = store.Load(store.Latest(1).at(0).id);
        EXPECT_TRUE(loaded->thumbnail.empty());
        EXPECT_EQ(loaded->summary.page, 3);
    }
}

TEST(HistoryStore, DeleteAndClearTakeTheKeptCapturesWithThem) {
    TempFolder folder;
    ASSERT_TRUE(WriteLinesPicture(folder.file("cut.jpg"), 300, 100));
    HistoryStore store(folder.wide());
    std::vector<std::int64_t> ids;
    for (int i = 0; i < 3; ++i) {
        NewEntry entry;
        entry.road = Road::Screen;
        entry.source = folder.wide("cut.jpg");
        entry.text = L"截图文字" + std::to_wstring(i);
        entry.keepSourceCopy = true;
        ASSERT_EQ(store.Record(entry), RecordResult::Recorded);
        ids.push_back(store.Latest(1).at(0).id);
    }
    ASSERT_EQ(store.KeptCaptures().size(), 3u);
    const std::wstring keptOfFirst = store.Load(ids[0])->keptCopy;

    EXPECT_TRUE(store.Delete(ids[0]));
    EXPECT_FALSE(store.Delete(ids[0]));
    EXPECT_FALSE(store.Load(ids[0]));
    EXPECT_FALSE(test::FileExists(fs::path(keptOfFirst).string()));
    EXPECT_EQ(store.KeptCaptures().size(), 2u);
    EXPECT_EQ(Ids(store.Search(L"截图文字", 10)), (std::vector<std::int64_t>{ids[2], ids[1]}));
    EXPECT_EQ(Ids(store.Search(L"0", 10)), std::vector<std::int64_t>{});

    EXPECT_TRUE(store.Clear());
    EXPECT_EQ(store.Count(), 0u);
    EXPECT_TRUE(store.KeptCaptures().empty());
    EXPECT_TRUE(store.Search(L"截图", 10).empty());
    // Cleared text is gone from the file itself, not only from the list.
    const std::string bytes = test::ReadFile(fs::path(store.DatabasePath()).string()) +
                              test::ReadFile(fs::path(store.DatabasePath()).string() + "-wal");
    EXPECT_EQ(bytes.find("截图文字"), std::string::npos);
    // And it goes on recording.
    RecordTexts(store, {L"新的一条"});
    EXPECT_EQ(store.Search(L"新的", 10).size(), 1u);
}

TEST(HistoryStore, TheOldestGoFirstPastTheLimits) {
    TempFolder folder;
    // Captures that dwarf what the database takes.
    constexpr std::uint64_t kCaptureBytes = 1 << 20;
    test::WriteFile(folder.file("capture.bin"), std::string(kCaptureBytes, 'c'));
    struct Case {
        const char* name;
        Limits limits;
        bool keep;
        std::size_t left;
    };
    const Case cases[] = {
        {"entries", {.maxEntries = 4}, false, 4},
        {"bytes of kept captures", {.maxBytes = 3 * kCaptureBytes + kCaptureBytes / 2}, true, 3},
        // A single entry bigger than the limit still stays: it is the newest.
        {"one too big", {.maxBytes = 1}, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder data;
        HistoryStore store(data.wide(), c.limits);
        std::vector<std::int64_t> ids;
        for (int i = 0; i < 8; ++i) {
            NewEntry entry;
            entry.source = folder.wide("capture.bin");
            entry.text = L"第" + std::to_wstring(i) + L"条";
            entry.keepSourceCopy = c.keep;
            entry.time = 1700000000 + i;
            ASSERT_EQ(store.Record(entry), RecordResult::Recorded);
            ids.push_back(store.Latest(1).at(0).id);
        }
        const std::vector<std::int64_t> newest(ids.rbegin(), ids.rbegin() + c.left);
        EXPECT_EQ(Ids(store.Latest(100)), newest);
        EXPECT_EQ(store.KeptCaptures().size(), c.keep ? c.left : 0u);
    }
}

// Two programs recording at the same moment (the client and kelsor-ocr):
// every entry of both lands.
TEST(HistoryStore, TwoProcessesWriteAtOnce) {
    TempFolder folder;
    constexpr int kEach = 40;
    std::vector<pid_t> children;
    for (int writer = 0; writer < 2; ++writer) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            HistoryStore store(folder.wide());
            int recorded = 0;
            for (int i = 0; i < kEach; ++i) {
                NewEntry entry;
                entry.road = writer == 0 ? Road::Screen : Road::CommandLine;
                entry.text = L"写入" + std::to_wstring(writer) + L"-" + std::to_wstring(i);
                recorded += store.Record(entry) == RecordResult::Recorded ? 1 : 0;
            }
            _exit(recorded == kEach ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    HistoryStore store(folder.wide());
    EXPECT_EQ(store.Count(), 2u * kEach);
    EXPECT_EQ(store.Search(L"写入1-", 100).size(), std::size_t(kEach));
}

// Whatever state the file is in, a recording is made or skipped, never
// failed or hung, and a damaged file is kept aside for whoever wants it.
TEST(HistoryStore, ADamagedFileIsSetAsideAndAFreshOneStarted) {
    struct Case {
        const char* name;
        std::string content;
    };
    const Case cases[] = {
        {"not a database", std::string(8192, 'x')},
        {"a cut header", std::string("SQLite format 3\0", 16) + std::string(50, '\xff')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        test::WriteFile(folder.file("history.db"), c.content);
        const RecordingPlace place{folder.wide(), L""};
        NewEntry entry;
        entry.text = L"记录";
        EXPECT_EQ(RecordRecognition(place, entry), RecordResult::Recorded);
        std::vector<std::string> aside;
        for (const auto& item : fs::directory_iterator(folder.path())) {
            if (item.path().filename().string().starts_with("history.db.damaged-")) {
                aside.push_back(item.path().string());
            }
        }
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(test::ReadFile(aside[0]), c.content);
        EXPECT_EQ(HistoryStore(folder.wide()).Search(L"记录", 5).size(), 1u);
    }
}

TEST(HistoryStore, AFileDamagedAfterItsHeaderIsSetAsideOnTheNextRecording) {
    TempFolder folder;
    {
        HistoryStore store(folder.wide());
        RecordTexts(store, std::vector<std::wstring>(200, L"一段足够长的文字，让数据库有好几页。"));
    }
    // Scribble over every page after the first, as a failing disk would.
    const std::string path = folder.file("history.db");
    std::string bytes = test::ReadFile(path);
    ASSERT_GT(bytes.size(), 16384u);
    for (std::size_t i = 4096; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7);
    }
    test::WriteFile(path, bytes);
    HistoryStore store(folder.wide());
    NewEntry entry;
    entry.text = L"损坏之后";
    EXPECT_EQ(store.Record(entry), RecordResult::Recorded);
    EXPECT_EQ(HistoryStore(folder.wide()).Search(L"损坏之后", 5).size(), 1u);
    EXPECT_EQ(HistoryStore(folder.wide()).Count(), 1u);
}

// A disk that is full skips the recording and loses nothing of the history.
TEST(HistoryStore, AFullDiskSkipsTheRecording) {
    TempFolder folder;
    HistoryStore store(folder.wide());
    RecordTexts(store, {L"之前"});
    test::WriteFile(folder.file("capture.bin"), std::string(4 << 20, 'c'));
    NewEntry entry;
    entry.text = std::wstring(300000, L'满');
    {
        const auto size =
            fs::file_size(folder.file("history.db")) + fs::file_size(folder.file("history.db-wal"));
        test::FullDisk full(size);
        EXPECT_EQ(store.Record(entry), RecordResult::Skipped);
        entry.keepSourceCopy = true;
        entry.source = folder.wide("capture.bin");
        EXPECT_EQ(store.Record(entry), RecordResult::Skipped);
    }
    EXPECT_TRUE(store.KeptCaptures().empty());
    EXPECT_EQ(Ids(store.Search(L"之前", 5)).size(), 1u);
    EXPECT_EQ(store.Count(), 1u);
    entry.keepSourceCopy = false;
    EXPECT_EQ(store.Record(entry), RecordResult::Recorded);
}

// A file another program holds past the timeout (hung in the middle of a
// write) is set aside like a damaged one: the recordings after this one go
// on at once instead of each waiting out the timeout.
TEST(HistoryStore, AFileLockedPastTheTimeoutIsSetAside) {
    TempFolder folder;
    HistoryStore store(folder.wide(), {.busyTimeoutMs = 100});
    RecordTexts(store, {L"之前"});
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(folder.file("history.db").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    NewEntry entry;
    entry.text = L"之后";
    EXPECT_EQ(store.Record(entry), RecordResult::Recorded);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(Ids(store.Search(L"之后", 5)).size(), 1u);
    EXPECT_EQ(store.Count(), 1u);
    std::vector<std::string> aside;
    for (const auto& item : fs::directory_iterator(folder.path())) {
        const std::string name = item.path().filename().string();
        if (name.starts_with("history.db.locked-") && !name.ends_with("-wal")) {
            aside.push_back(item.path().string());
        }
    }
    ASSERT_EQ(aside.size(), 1u);
    // What was there before is in the file set aside.
    sqlite3* kept = nullptr;
    ASSERT_EQ(sqlite3_open(aside[0].c_str(), &kept), SQLITE_OK);
    sqlite3_stmt* query = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(kept, "SELECT text FROM entries", -1, &query, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(query), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(query, 0)), "之前");
    sqlite3_finalize(query);
    sqlite3_close(kept);
}

// A page's recorder keeps its connection; when the file goes from under it
// (set aside by another program that found it damaged) it starts the new one
// instead of writing into the old.
TEST(HistoryRecorder, FollowsTheFileWhenItIsSetAside) {
    TempFolder folder;
    Recorder recorder(RecordingPlace{folder.wide(), folder.wide("config.ini")});
    NewEntry entry;
    entry.text = L"第一条";
    ASSERT_EQ(recorder.Record(entry), RecordResult::Recorded);
    for (const char* suffix : {"", "-wal"}) {
        fs::rename(folder.file(std::string("history.db") + suffix),
                   folder.file(std::string("aside.db") + suffix));
    }
    fs::remove(folder.file("history.db-shm"));
    entry.text = L"第二条";
    ASSERT_EQ(recorder.Record(entry), RecordResult::Recorded);
    const std::vector<EntrySummary> found = HistoryStore(folder.wide()).Latest(10);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].firstLine, L"第二条");

    ASSERT_TRUE(SetRecordingOn(folder.wide("config.ini"), false));
    EXPECT_EQ(recorder.Record(entry), RecordResult::Off);
    EXPECT_EQ(HistoryStore(folder.wide()).Count(), 1u);
}

TEST(HistorySettings, RecordingIsOnUntilTurnedOff) {
    TempFolder folder;
    const std::wstring config = folder.wide("config.ini");
    const RecordingPlace place{folder.wide(), config};
    NewEntry entry;
    entry.text = L"设置";
    EXPECT_TRUE(IsRecordingOn(config));
    EXPECT_FALSE(WasNoticeShown(config));
    EXPECT_EQ(RecordRecognition(place, entry), RecordResult::Recorded);

    ASSERT_TRUE(SetRecordingOn(config, false));
    EXPECT_FALSE(IsRecordingOn(config));
    EXPECT_EQ(RecordRecognition(place, entry), RecordResult::Off);
    EXPECT_EQ(HistoryStore(folder.wide()).Count(), 1u);

    ASSERT_TRUE(SetRecordingOn(config, true));
    ASSERT_TRUE(SetNoticeShown(config));
    EXPECT_TRUE(WasNoticeShown(config));
    EXPECT_EQ(RecordRecognition(place, entry), RecordResult::Recorded);
    EXPECT_NE(test::ReadFile(folder.file("config.ini")).find("history=1"), std::string::npos);
    EXPECT_EQ(RecordRecognition({L"", config}, entry), RecordResult::Unavailable);
}

}  // namespace
}  // namespace kelsor::history

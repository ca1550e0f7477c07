#include "history/HistoryStore.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <random>
#include <system_error>

#include "app/Utilities.h"
#include "history/HistorySql.h"
#include "history/HistoryText.h"
#include "history/Thumbnail.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/ShellFolders.h"

namespace kelsor::history {
namespace {

namespace fs = std::filesystem;

// A few rounds of pruning by estimate reach the size limit; more would mean
// the estimate is far off, and the next recording prunes again.
constexpr int kPruneRounds = 4;

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS entries(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    time INTEGER NOT NULL,
    road INTEGER NOT NULL,
    source TEXT NOT NULL,
    page INTEGER NOT NULL DEFAULT 0,
    kept TEXT NOT NULL DEFAULT '',
    kept_bytes INTEGER NOT NULL DEFAULT 0,
    text_path TEXT NOT NULL,
    first_line TEXT NOT NULL,
    text TEXT NOT NULL);
-- Apart from the entries, so that a search that reads every text does not
-- step over the pictures.
CREATE TABLE IF NOT EXISTS thumbnails(
    id INTEGER PRIMARY KEY,
    data BLOB NOT NULL);
CREATE INDEX IF NOT EXISTS entries_newest ON entries(time, id);
CREATE VIRTUAL TABLE IF NOT EXISTS entries_words
    USING fts5(text, content='entries', content_rowid='id', tokenize='trigram');
-- The count and the kept captures' bytes, kept up to date by the triggers
-- so that no recording has to add them up over the whole table.
CREATE TABLE IF NOT EXISTS totals(
    one INTEGER PRIMARY KEY CHECK (one = 1),
    entries INTEGER NOT NULL,
    kept_bytes INTEGER NOT NULL);
INSERT OR IGNORE INTO totals SELECT 1, count(*), coalesce(sum(kept_bytes), 0) FROM entries;
CREATE TRIGGER IF NOT EXISTS entries_added AFTER INSERT ON entries BEGIN
    INSERT INTO entries_words(rowid, text) VALUES (new.id, new.text);
    UPDATE totals SET entries = entries + 1, kept_bytes = kept_bytes + new.kept_bytes;
END;
CREATE TRIGGER IF NOT EXISTS entries_removed AFTER DELETE ON entries BEGIN
    INSERT INTO entries_words(entries_words, rowid, text) VALUES ('delete', old.id, old.text);
    DELETE FROM thumbnails WHERE id = old.id;
    UPDATE totals SET entries = entries - 1, kept_bytes = kept_bytes - old.kept_bytes;
END;
)sql";

constexpr std::int64_t kSchemaVersion = 1;
constexpr const char* kSetSchemaVersion = "PRAGMA user_version = 1";

constexpr const char* kSummaryColumns =
    "SELECT id, time, road, source, text_path, first_line, page, kept FROM entries";

std::string Utf8(const std::wstring& text) {
    return platform::WideToUtf8(text);
}

std::wstring Wide(const std::string& text) {
    return platform::Utf8ToWide(text);
}

Road RoadOf(std::int64_t value) {
    return value >= 0 && value <= static_cast<int>(Road::PdfConverter) ? static_cast<Road>(value)
                                                                       : Road::Picture;
}

bool IsBusy(int code) {
    code &= 0xff;
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

bool IsFull(int code) {
    code &= 0xff;
    return code == SQLITE_FULL || code == SQLITE_IOERR;
}

}  // namespace

const wchar_t* RoadName(Road road) {
    switch (road) {
        case Road::Picture:
            return L"图片识别";
        case Road::Screen:
            return L"截图识别";
        case Road::Batch:
            return L"批量识别";
        case Road::CommandLine:
            return L"命令行";
        case Road::PdfConverter:
            return L"PDF转换器";
    }
    return L"图片识别";
}

struct HistoryStore::State {
    std::wstring folder;  // with its trailing "/"
    Limits limits;
    SqlDatabase db;
    std::string error;

    std::string NativeDbPath() const { return platform::ToNativePath(folder + kHistoryFileName); }
    std::wstring CapturesFolder() const { return folder + kKeptCapturesFolderName + L"/"; }
    std::wstring KeptPath(const std::string& name) const {
        return name.empty() ? std::wstring() : CapturesFolder() + Wide(name);
    }

    // Opens the file and makes the schema; the SQLite code of the first failure.
    int OpenOnce() {
        sqlite3* handle = nullptr;
        const int opened = sqlite3_open_v2(NativeDbPath().c_str(), &handle,
                                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        db.reset(handle);
        if (opened != SQLITE_OK) {
            error = std::string("cannot open the history: ") + sqlite3_errstr(opened);
            db.reset();
            return opened;
        }
        sqlite3_busy_timeout(handle, limits.busyTimeoutMs);
        sqlite3_extended_result_codes(handle, 1);
        // WAL lets readers and one writer of another process go on together;
        // NORMAL syncs at checkpoints only, which a history can afford. A
        // search that reads every text finds it in memory the next time.
        int result = SQLITE_OK;
        for (const char* sql :
             {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL", "PRAGMA secure_delete=FAST",
              "PRAGMA cache_size=-32768", "PRAGMA journal_size_limit=4194304"}) {
            if (result == SQLITE_OK) {
                result = SqlRun(handle, sql);
            }
        }
        // The schema is made once, in a write of its own; later opens only
        // read its version, so that they never wait for a writer.
        const std::int64_t version =
            result == SQLITE_OK ? SqlNumber(handle, "PRAGMA user_version") : 0;
        if (result == SQLITE_OK && version < 0) {
            result = sqlite3_errcode(handle);
        }
        if (result == SQLITE_OK && version < kSchemaVersion) {
            SqlWrite write(handle);
            result = write.Begun();
            if (result == SQLITE_OK) {
                result = SqlRun(handle, kSchema);
            }
            if (result == SQLITE_OK) {
                result = SqlRun(handle, kSetSchemaVersion);
            }
            if (result == SQLITE_OK) {
                result = write.Commit();
            }
        }
        if (result != SQLITE_OK) {
            error = std::string("cannot prepare the history: ") + sqlite3_errstr(result);
            db.reset();
            return result;
        }
        error.clear();
        return SQLITE_OK;
    }

    void Open() {
        std::error_code ignored;
        fs::create_directories(platform::ToNativePath(folder), ignored);
        const int result = OpenOnce();
        if (IsDamage(result)) {
            SetAsideAndReopen("damaged");
        }
    }

    // Moves the damaged file (and its log) out of the way under a name with
    // the time, so that nothing is lost for good, and starts a fresh one.
    void SetAsideAndReopen(const char* why) {
        db.reset();
        const std::string path = NativeDbPath();
        const std::string stem =
            path + "." + why + "-" + platform::ToNativePath(GetTimeStampName());
        std::string aside = stem;
        std::error_code ignored;
        // Never over an earlier one set aside in the same second.
        for (int n = 2; fs::exists(aside, ignored); ++n) {
            aside = stem + "~" + std::to_string(n);
        }
        fs::rename(path, aside, ignored);
        fs::rename(path + "-wal", aside + "-wal", ignored);
        fs::remove(path + "-shm", ignored);
        std::fprintf(stderr,
                     "KelsorOCR: the history %s was %s; set aside as %s, a new one started\n",
                     path.c_str(), why, aside.c_str());
        OpenOnce();
    }

    // After a failed operation: a damaged file is replaced by a fresh one.
    void AfterFailure(int code) {
        if (IsDamage(code)) {
            SetAsideAndReopen("damaged");
        }
    }

    // Bytes the history takes: the pages in use and the kept captures.
    std::int64_t UsedBytes() {
        const std::int64_t pages = SqlNumber(db.get(), "PRAGMA page_count");
        const std::int64_t free = SqlNumber(db.get(), "PRAGMA freelist_count");
        const std::int64_t pageSize = SqlNumber(db.get(), "PRAGMA page_size");
        const std::int64_t kept = SqlNumber(db.get(), "SELECT kept_bytes FROM totals");
        return (pages - free) * pageSize + kept;
    }

    // Deletes the oldest entries, `count` of them, collecting their kept
    // captures for removal once committed.
    int DeleteOldest(std::int64_t count, std::vector<std::string>& kept) {
        {
            SqlQuery query(db.get(),
                           "SELECT kept FROM entries WHERE kept <> '' AND id IN "
                           "(SELECT id FROM entries ORDER BY time, id LIMIT ?1)",
                           count);
            int step;
            while ((step = query.Step()) == SQLITE_ROW) {
                kept.push_back(query.Text(0));
            }
            if (step != SQLITE_DONE) {
                return step;
            }
        }
        SqlQuery erase(db.get(),
                       "DELETE FROM entries WHERE id IN "
                       "(SELECT id FROM entries ORDER BY time, id LIMIT ?1)",
                       count);
        const int step = erase.Step();
        return step == SQLITE_DONE ? SQLITE_OK : step;
    }

    // Keeps the history within its limits, the oldest going first; the
    // newest entry always stays.
    int Prune(std::vector<std::string>& kept) {
        const std::int64_t count = SqlNumber(db.get(), "SELECT entries FROM totals");
        if (count < 0) {
            return sqlite3_errcode(db.get());
        }
        std::int64_t left = count;
        if (count > static_cast<std::int64_t>(limits.maxEntries)) {
            const std::int64_t excess = count - static_cast<std::int64_t>(limits.maxEntries);
            if (const int result = DeleteOldest(excess, kept); result != SQLITE_OK) {
                return result;
            }
            left -= excess;
        }
        for (int round = 0; round < kPruneRounds && left > 1; ++round) {
            const std::int64_t used = UsedBytes();
            const auto limit = static_cast<std::int64_t>(limits.maxBytes);
            if (used <= limit) {
                break;
            }
            // How many of the oldest entries free the excess, by an estimate
            // of what each takes (the trigram index holds its text again
            // about three times over).
            std::int64_t freed = 0;
            std::int64_t take = 0;
            SqlQuery query(db.get(),
                           "SELECT kept_bytes + 4 * length(CAST(text AS BLOB)) + "
                           "coalesce((SELECT length(data) FROM thumbnails WHERE thumbnails.id = "
                           "entries.id), 0) "
                           "+ 256 FROM entries ORDER BY time, id");
            while (freed < used - limit && take < left - 1 && query.Step() == SQLITE_ROW) {
                freed += query.Int64(0);
                ++take;
            }
            if (take == 0) {
                break;
            }
            if (const int result = DeleteOldest(take, kept); result != SQLITE_OK) {
                return result;
            }
            left -= take;
        }
        return SQLITE_OK;
    }

    // The entry, its thumbnail and the pruning in one transaction, over
    // (rolled back) before this returns, so that the connection may be
    // closed after; the SQLite code of the first failure.
    int Insert(const NewEntry& entry, std::int64_t time, const std::string& kept,
               std::int64_t keptBytes, const std::vector<std::uint8_t>& thumbnail,
               std::vector<std::string>& pruned) {
        SqlWrite write(db.get());
        int result = write.Begun();
        if (result == SQLITE_OK) {
            SqlQuery insert(db.get(),
                            "INSERT INTO entries(time, road, source, page, kept, kept_bytes, "
                            "text_path, first_line, text) "
                            "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)",
                            time, static_cast<int>(entry.road), Utf8(entry.source), entry.page,
                            kept, keptBytes, Utf8(entry.textPath), Utf8(FirstLine(entry.text)),
                            Utf8(entry.text));
            const int step = insert.Step();
            result = step == SQLITE_DONE ? SQLITE_OK : step;
        }
        if (result == SQLITE_OK && !thumbnail.empty()) {
            SqlQuery insert(db.get(), "INSERT INTO thumbnails(id, data) VALUES (?1, ?2)",
                            static_cast<std::int64_t>(sqlite3_last_insert_rowid(db.get())),
                            thumbnail);
            const int step = insert.Step();
            result = step == SQLITE_DONE ? SQLITE_OK : step;
        }
        if (result == SQLITE_OK) {
            result = Prune(pruned);
        }
        return result == SQLITE_OK ? write.Commit() : result;
    }

    void RemoveKept(const std::vector<std::string>& names) {
        std::error_code ignored;
        for (const std::string& name : names) {
            fs::remove(platform::ToNativePath(KeptPath(name)), ignored);
        }
    }

    // Copies the source beside the history; the name in the folder, empty
    // when it could not be copied.
    std::string KeepCopy(const std::wstring& source, std::int64_t time, std::int64_t& bytes) {
        std::error_code failed;
        const std::string from = platform::ToNativePath(source);
        fs::create_directories(platform::ToNativePath(CapturesFolder()), failed);
        std::random_device random;
        std::string extension = fs::path(from).extension().string();
        // The name is plain ASCII, the same in every code page.
        const bool plain =
            extension.size() <= 8 && std::all_of(extension.begin(), extension.end(), [](char c) {
                return c == '.' || std::isalnum(static_cast<unsigned char>(c));
            });
        if (!plain) {
            extension.clear();
        }
        const std::string name =
            std::to_string(time) + "-" + std::to_string(random() % 1000000000u) + extension;
        const std::string to = platform::ToNativePath(CapturesFolder()) + name;
        failed.clear();
        if (!fs::copy_file(from, to, fs::copy_options::none, failed) || failed) {
            fs::remove(to, failed);
            return {};
        }
        bytes = static_cast<std::int64_t>(fs::file_size(to, failed));
        return name;
    }
};

HistoryStore::HistoryStore(const std::wstring& dataFolder, Limits limits)
    : m_state(std::make_unique<State>()) {
    m_state->folder = dataFolder;
    if (!m_state->folder.empty() && m_state->folder.back() != L'/') {
        m_state->folder += L'/';
    }
    m_state->limits = limits;
    m_state->Open();
}

HistoryStore::~HistoryStore() = default;

bool HistoryStore::IsOpen() const {
    return m_state->db != nullptr;
}

const std::string& HistoryStore::Error() const {
    return m_state->error;
}

RecordResult HistoryStore::Record(const NewEntry& entry) {
    if (!IsOpen()) {
        return RecordResult::Unavailable;
    }
    State& s = *m_state;
    const std::int64_t time = entry.time != 0 ? entry.time : std::time(nullptr);
    const std::vector<std::uint8_t> thumbnail =
        !entry.thumbnail.empty()
            ? entry.thumbnail
            : MakeThumbnail(entry.picture.empty() ? entry.source : entry.picture, kThumbnailSide);
    std::string kept;
    std::int64_t keptBytes = 0;
    if (entry.keepSourceCopy && !entry.source.empty()) {
        kept = s.KeepCopy(entry.source, time, keptBytes);
        if (kept.empty()) {
            return RecordResult::Skipped;  // no room for the copy
        }
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::vector<std::string> pruned;
        const int result = s.Insert(entry, time, kept, keptBytes, thumbnail, pruned);
        if (result == SQLITE_OK) {
            s.RemoveKept(pruned);
            return RecordResult::Recorded;
        }
        // A file held by another writer past the timeout (a program hung in
        // the middle of a write) would hold up every recognition after this
        // one as well: it goes aside like a damaged one.
        if (!(IsDamage(result) || IsBusy(result)) || attempt == 1) {
            s.RemoveKept({kept});
            return IsBusy(result) || IsFull(result) ? RecordResult::Skipped
                                                    : RecordResult::Unavailable;
        }
        s.SetAsideAndReopen(IsBusy(result) ? "locked" : "damaged");
        if (!IsOpen()) {
            s.RemoveKept({kept});
            return RecordResult::Unavailable;
        }
    }
    return RecordResult::Unavailable;
}

std::vector<EntrySummary> HistoryStore::Search(const std::wstring& words, std::size_t limit) {
    std::vector<EntrySummary> found;
    if (!IsOpen() || limit == 0) {
        return found;
    }
    State& s = *m_state;
    const SearchPlan plan = PlanSearch(words);
    // ?1 the index words, then the words looked for in the text, the limit last.
    std::vector<std::string> values;
    std::string sql = kSummaryColumns;
    sql += " WHERE 1";
    if (!plan.match.empty()) {
        sql += " AND id IN (SELECT rowid FROM entries_words WHERE entries_words MATCH ?1)";
    }
    values.push_back(Utf8(plan.match));
    for (const std::wstring& like : plan.likes) {
        values.push_back(Utf8(like));
        sql += " AND text LIKE ?" + std::to_string(values.size()) + " ESCAPE '\\'";
    }
    for (const std::wstring& word : plan.contains) {
        values.push_back(Utf8(word));
        // On the bytes: UTF-8 never matches across a character's edge, and
        // the byte search is the quicker one.
        sql += " AND instr(CAST(text AS BLOB), CAST(?" + std::to_string(values.size()) +
               " AS BLOB)) > 0";
    }
    sql += " ORDER BY time DESC, id DESC LIMIT ?" + std::to_string(values.size() + 1);
    SqlQuery query(s.db.get(), sql.c_str());
    for (std::size_t i = 0; i < values.size(); ++i) {
        query.BindAt(static_cast<int>(i + 1), values[i]);
    }
    query.BindAt(static_cast<int>(values.size() + 1),
                 static_cast<std::int64_t>(std::min<std::size_t>(limit, INT64_MAX)));
    int step;
    while ((step = query.Step()) == SQLITE_ROW) {
        EntrySummary summary;
        summary.id = query.Int64(0);
        summary.time = query.Int64(1);
        summary.road = RoadOf(query.Int64(2));
        const std::string kept = query.Text(7);
        summary.source = kept.empty() ? Wide(query.Text(3)) : s.KeptPath(kept);
        summary.textPath = Wide(query.Text(4));
        summary.firstLine = Wide(query.Text(5));
        summary.page = static_cast<int>(query.Int64(6));
        found.push_back(std::move(summary));
    }
    if (step != SQLITE_DONE) {
        s.AfterFailure(step);
    }
    return found;
}

std::optional<Entry> HistoryStore::Load(std::int64_t id) {
    if (!IsOpen()) {
        return std::nullopt;
    }
    State& s = *m_state;
    SqlQuery query(
        s.db.get(),
        "SELECT id, time, road, source, text_path, first_line, page, kept, text, "
        "(SELECT data FROM thumbnails WHERE thumbnails.id = entries.id) FROM entries WHERE id = ?1",
        id);
    const int step = query.Step();
    if (step != SQLITE_ROW) {
        s.AfterFailure(step);
        return std::nullopt;
    }
    Entry entry;
    entry.summary.id = query.Int64(0);
    entry.summary.time = query.Int64(1);
    entry.summary.road = RoadOf(query.Int64(2));
    entry.originalSource = Wide(query.Text(3));
    entry.summary.textPath = Wide(query.Text(4));
    entry.summary.firstLine = Wide(query.Text(5));
    entry.summary.page = static_cast<int>(query.Int64(6));
    entry.keptCopy = s.KeptPath(query.Text(7));
    entry.summary.source = entry.keptCopy.empty() ? entry.originalSource : entry.keptCopy;
    entry.text = Wide(query.Text(8));
    entry.thumbnail = query.Blob(9);
    return entry;
}

std::vector<std::uint8_t> HistoryStore::Thumbnail(std::int64_t id) {
    if (!IsOpen()) {
        return {};
    }
    SqlQuery query(m_state->db.get(), "SELECT data FROM thumbnails WHERE id = ?1", id);
    return query.Step() == SQLITE_ROW ? query.Blob(0) : std::vector<std::uint8_t>();
}

bool HistoryStore::Delete(std::int64_t id) {
    if (!IsOpen()) {
        return false;
    }
    State& s = *m_state;
    std::string kept;
    int result = SQLITE_OK;
    {
        SqlWrite write(s.db.get());
        result = write.Begun();
        if (result == SQLITE_OK) {
            SqlQuery find(s.db.get(), "SELECT kept FROM entries WHERE id = ?1", id);
            const int step = find.Step();
            if (step == SQLITE_DONE) {
                return false;  // no such entry
            }
            result = step == SQLITE_ROW ? SQLITE_OK : step;
            kept = find.Text(0);
        }
        if (result == SQLITE_OK) {
            SqlQuery erase(s.db.get(), "DELETE FROM entries WHERE id = ?1", id);
            const int step = erase.Step();
            result = step == SQLITE_DONE ? SQLITE_OK : step;
        }
        if (result == SQLITE_OK) {
            result = write.Commit();
        }
    }
    // The transaction is over: a damaged file may be set aside now.
    if (result != SQLITE_OK) {
        s.AfterFailure(result);
        return false;
    }
    if (!kept.empty()) {
        s.RemoveKept({kept});
    }
    return true;
}

bool HistoryStore::Clear() {
    if (!IsOpen()) {
        return false;
    }
    State& s = *m_state;
    {
        SqlWrite write(s.db.get());
        if (write.Begun() != SQLITE_OK || SqlRun(s.db.get(), "DELETE FROM entries") != SQLITE_OK ||
            write.Commit() != SQLITE_OK) {
            return false;
        }
    }
    std::error_code ignored;
    for (const std::wstring& path : KeptCaptures()) {
        fs::remove(platform::ToNativePath(path), ignored);
    }
    // The cleared text must not linger in the file's free pages or its log.
    SqlRun(s.db.get(), "VACUUM");
    SqlRun(s.db.get(), "PRAGMA wal_checkpoint(TRUNCATE)");
    return true;
}

std::size_t HistoryStore::Count() {
    if (!IsOpen()) {
        return 0;
    }
    const std::int64_t count = SqlNumber(m_state->db.get(), "SELECT entries FROM totals");
    return count > 0 ? static_cast<std::size_t>(count) : 0;
}

std::wstring HistoryStore::DatabasePath() const {
    return m_state->folder + kHistoryFileName;
}

std::wstring HistoryStore::KeptCapturesFolder() const {
    return m_state->CapturesFolder();
}

std::vector<std::wstring> HistoryStore::KeptCaptures() const {
    std::vector<std::wstring> paths;
    std::error_code failed;
    for (fs::directory_iterator it(platform::ToNativePath(m_state->CapturesFolder()), failed), end;
         !failed && it != end; it.increment(failed)) {
        if (it->is_regular_file(failed)) {
            paths.push_back(platform::FromNativePath(it->path().string()));
        }
    }
    return paths;
}

}  // namespace kelsor::history

#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Thin owners over the SQLite C API for the history store.
namespace kelsor::history {

// close_v2: a statement still alive when its connection is closed (a file
// set aside in the middle of a read) is finalised safely afterwards.
struct SqlClose {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using SqlDatabase = std::unique_ptr<sqlite3, SqlClose>;

// A prepared statement, finalised when it goes. Values bind to ?1, ?2, …
// in order; a statement that failed to prepare or bind steps to that error.
class SqlQuery {
public:
    template <typename... Values>
    SqlQuery(sqlite3* db, const char* sql, const Values&... values) {
        m_result = sqlite3_prepare_v2(db, sql, -1, &m_handle, nullptr);
        int index = 0;
        (BindAt(++index, values), ...);
    }
    ~SqlQuery() { sqlite3_finalize(m_handle); }
    SqlQuery(const SqlQuery&) = delete;
    SqlQuery& operator=(const SqlQuery&) = delete;

    // SQLITE_ROW, SQLITE_DONE or the error code.
    int Step();
    std::string Text(int index);
    std::vector<std::uint8_t> Blob(int index);
    std::int64_t Int64(int index) { return sqlite3_column_int64(m_handle, index); }

    void BindAt(int index, const std::string& text);
    void BindAt(int index, const std::vector<std::uint8_t>& blob);
    void BindAt(int index, std::int64_t number);
    void BindAt(int index, int number) { BindAt(index, static_cast<std::int64_t>(number)); }

private:
    void Check(int result);

    sqlite3_stmt* m_handle = nullptr;
    int m_result = SQLITE_OK;
};

// A write transaction (BEGIN IMMEDIATE), rolled back unless committed.
class SqlWrite {
public:
    explicit SqlWrite(sqlite3* db);
    ~SqlWrite();
    SqlWrite(const SqlWrite&) = delete;
    SqlWrite& operator=(const SqlWrite&) = delete;

    // SQLITE_OK when begun, else why not (SQLITE_BUSY past the timeout, …).
    int Begun() const { return m_begin; }
    int Commit();

private:
    sqlite3* m_db;
    int m_begin;
    bool m_open;
};

// Runs statements that return no rows; the result code.
int SqlRun(sqlite3* db, const char* sql);

// One number from a query such as "PRAGMA page_count"; -1 on failure.
std::int64_t SqlNumber(sqlite3* db, const char* sql);

// True for the codes that say the file is not a sound database.
inline bool IsDamage(int code) {
    code &= 0xff;
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

}  // namespace kelsor::history

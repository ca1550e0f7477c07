#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

// Small helpers over the SQLite C API shared by the service's stores.
namespace kelsor::server {

// A prepared statement, finalised when it goes. A statement that failed to
// prepare steps to SQLITE_ERROR.
struct SqlStatement {
    sqlite3_stmt* handle = nullptr;
    SqlStatement(sqlite3* db, const std::string& sql);
    ~SqlStatement() { sqlite3_finalize(handle); }
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;

    void Bind(int index, const std::string& text);
    // Empty text is stored as NULL, so UNIQUE columns allow many empties.
    void BindOrNull(int index, const std::string& text);
    void Bind(int index, const std::vector<unsigned char>& blob);
    void Bind(int index, std::int64_t number) { sqlite3_bind_int64(handle, index, number); }
    int Step() { return handle != nullptr ? sqlite3_step(handle) : SQLITE_ERROR; }
    // Column values of the current row; NULL reads as empty.
    std::string Text(int index);
    std::vector<unsigned char> Blob(int index);
};

// Opens (creating it if need be) the database at `path` with a busy timeout
// and runs `schema`; `table` names what the schema makes in the error.
bool OpenDatabase(const std::string& path, const std::string& schema, const std::string& table,
                  sqlite3*& db, std::string& error);

}  // namespace kelsor::server

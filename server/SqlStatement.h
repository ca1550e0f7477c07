#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Small helpers over the SQLite C API shared by the service's stores.
namespace kelsor::server {

// A connection, closed when its owner goes (so no store can be copied).
struct SqlClose {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using SqlDatabase = std::unique_ptr<sqlite3, SqlClose>;

// Text bound as NULL when empty, so UNIQUE columns allow many empties.
struct OrNull {
    const std::string& text;
};
// Binds NULL; so does an empty std::optional.
struct SqlNull {};

// A prepared statement with its parameters, finalised when it goes. The
// values given after the SQL bind to ?1, ?2, … in order. A statement that
// failed to prepare or to bind a value steps to that error and never runs.
class SqlStatement {
public:
    template <typename... Values>
    SqlStatement(sqlite3* db, const std::string& sql, const Values&... values) {
        m_result = sqlite3_prepare_v2(db, sql.c_str(), -1, &m_handle, nullptr);
        int index = 0;
        (BindAt(++index, values), ...);
    }
    ~SqlStatement() { sqlite3_finalize(m_handle); }
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;

    // SQLITE_ROW, SQLITE_DONE or the error code.
    int Step();
    // Column values of the current row; NULL reads as empty or 0.
    std::string Text(int index);
    std::vector<unsigned char> Blob(int index);
    std::int64_t Int64(int index) { return sqlite3_column_int64(m_handle, index); }

private:
    void BindAt(int index, const std::string& text);
    void BindAt(int index, const char* text) { BindAt(index, std::string(text)); }
    void BindAt(int index, OrNull value);
    void BindAt(int index, SqlNull);
    void BindAt(int index, const std::vector<unsigned char>& blob);
    void BindAt(int index, std::int64_t number);
    void BindAt(int index, int number) { BindAt(index, static_cast<std::int64_t>(number)); }
    template <typename T>
    void BindAt(int index, const std::optional<T>& value) {
        if (value) {
            BindAt(index, *value);
        } else {
            BindAt(index, SqlNull{});
        }
    }
    void Check(int result);

    sqlite3_stmt* m_handle = nullptr;
    int m_result = SQLITE_OK;  // the first failure of prepare or bind
};

// A write transaction (BEGIN IMMEDIATE) rolled back unless committed. When
// BEGIN fails nothing may run; when COMMIT fails the writes are rolled back,
// so no transaction is ever left open on the connection.
class SqlTransaction {
public:
    explicit SqlTransaction(sqlite3* db);
    ~SqlTransaction();
    SqlTransaction(const SqlTransaction&) = delete;
    SqlTransaction& operator=(const SqlTransaction&) = delete;

    bool Begun() const { return m_open; }
    bool Commit();

private:
    sqlite3* m_db;
    bool m_open = false;
};

// Opens (creating it if need be) the database at `path` with a busy timeout
// and runs `schema`; `table` names what the schema makes in the error.
bool OpenDatabase(const std::string& path, const std::string& schema, const std::string& table,
                  SqlDatabase& db, std::string& error);

}  // namespace kelsor::server

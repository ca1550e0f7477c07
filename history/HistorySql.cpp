#include "history/HistorySql.h"

namespace kelsor::history {

int SqlQuery::Step() {
    if (m_result != SQLITE_OK || m_handle == nullptr) {
        return m_result != SQLITE_OK ? m_result : SQLITE_ERROR;
    }
    return sqlite3_step(m_handle);
}

void SqlQuery::Check(int result) {
    if (m_result == SQLITE_OK && result != SQLITE_OK) {
        m_result = result;
    }
}

void SqlQuery::BindAt(int index, const std::string& text) {
    Check(sqlite3_bind_text(m_handle, index, text.data(), static_cast<int>(text.size()),
                            SQLITE_TRANSIENT));
}

void SqlQuery::BindAt(int index, const std::vector<std::uint8_t>& blob) {
    Check(sqlite3_bind_blob(m_handle, index, blob.data(), static_cast<int>(blob.size()),
                            SQLITE_TRANSIENT));
}

void SqlQuery::BindAt(int index, std::int64_t number) {
    Check(sqlite3_bind_int64(m_handle, index, number));
}

std::string SqlQuery::Text(int index) {
    const unsigned char* text = sqlite3_column_text(m_handle, index);
    return text != nullptr
               ? std::string(reinterpret_cast<const char*>(text),
                             static_cast<std::size_t>(sqlite3_column_bytes(m_handle, index)))
               : std::string();
}

std::vector<std::uint8_t> SqlQuery::Blob(int index) {
    const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(m_handle, index));
    return data != nullptr
               ? std::vector<std::uint8_t>(data, data + sqlite3_column_bytes(m_handle, index))
               : std::vector<std::uint8_t>();
}

SqlWrite::SqlWrite(sqlite3* db) : m_db(db) {
    m_begin = SqlRun(m_db, "BEGIN IMMEDIATE");
    m_open = m_begin == SQLITE_OK;
}

SqlWrite::~SqlWrite() {
    if (m_open) {
        SqlRun(m_db, "ROLLBACK");
    }
}

int SqlWrite::Commit() {
    if (!m_open) {
        return m_begin != SQLITE_OK ? m_begin : SQLITE_MISUSE;
    }
    // A failed COMMIT leaves the transaction open: the destructor rolls it back.
    const int result = SqlRun(m_db, "COMMIT");
    if (result == SQLITE_OK) {
        m_open = false;
    }
    return result;
}

int SqlRun(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

std::int64_t SqlNumber(sqlite3* db, const char* sql) {
    SqlQuery query(db, sql);
    return query.Step() == SQLITE_ROW ? query.Int64(0) : -1;
}

}  // namespace kelsor::history

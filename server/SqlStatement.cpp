#include "server/SqlStatement.h"

namespace kelsor::server {

int SqlStatement::Step() {
    if (m_result != SQLITE_OK || m_handle == nullptr) {
        return m_result != SQLITE_OK ? m_result : SQLITE_ERROR;
    }
    return sqlite3_step(m_handle);
}

void SqlStatement::Check(int result) {
    if (m_result == SQLITE_OK && result != SQLITE_OK) {
        m_result = result;
    }
}

void SqlStatement::BindAt(int index, const std::string& text) {
    Check(sqlite3_bind_text(m_handle, index, text.data(), static_cast<int>(text.size()),
                            SQLITE_TRANSIENT));
}

void SqlStatement::BindAt(int index, OrNull value) {
    if (value.text.empty()) {
        BindAt(index, SqlNull{});
    } else {
        BindAt(index, value.text);
    }
}

void SqlStatement::BindAt(int index, SqlNull) {
    Check(sqlite3_bind_null(m_handle, index));
}

void SqlStatement::BindAt(int index, const std::vector<unsigned char>& blob) {
    Check(sqlite3_bind_blob(m_handle, index, blob.data(), static_cast<int>(blob.size()),
                            SQLITE_TRANSIENT));
}

void SqlStatement::BindAt(int index, std::int64_t number) {
    Check(sqlite3_bind_int64(m_handle, index, number));
}

std::string SqlStatement::Text(int index) {
    const unsigned char* text = sqlite3_column_text(m_handle, index);
    return text != nullptr ? reinterpret_cast<const char*>(text) : "";
}

std::vector<unsigned char> SqlStatement::Blob(int index) {
    const auto* data = static_cast<const unsigned char*>(sqlite3_column_blob(m_handle, index));
    return data != nullptr
               ? std::vector<unsigned char>(data, data + sqlite3_column_bytes(m_handle, index))
               : std::vector<unsigned char>();
}

SqlTransaction::SqlTransaction(sqlite3* db) : m_db(db) {
    m_open = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
}

SqlTransaction::~SqlTransaction() {
    if (m_open) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

bool SqlTransaction::Commit() {
    if (!m_open) {
        return false;
    }
    // A failed COMMIT (a reader holding the file past the busy timeout)
    // leaves the transaction open: the destructor rolls it back.
    if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        return false;
    }
    m_open = false;
    return true;
}

bool OpenDatabase(const std::string& path, const std::string& schema, const std::string& table,
                  SqlDatabase& db, std::string& error) {
    sqlite3* handle = nullptr;
    const int opened =
        sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    db.reset(handle);  // even a failed open leaves a handle to close
    if (opened != SQLITE_OK) {
        error = "cannot open " + path + ": " + sqlite3_errmsg(handle);
        return false;
    }
    sqlite3_busy_timeout(handle, 5000);
    char* message = nullptr;
    if (sqlite3_exec(handle, schema.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        error = "cannot create the " + table + ": " + (message ? message : "");
        sqlite3_free(message);
        return false;
    }
    return true;
}

}  // namespace kelsor::server

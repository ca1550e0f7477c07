#include "server/SqlStatement.h"

namespace kelsor::server {

SqlStatement::SqlStatement(sqlite3* db, const std::string& sql) {
    sqlite3_prepare_v2(db, sql.c_str(), -1, &handle, nullptr);
}

void SqlStatement::Bind(int index, const std::string& text) {
    sqlite3_bind_text(handle, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void SqlStatement::BindOrNull(int index, const std::string& text) {
    if (text.empty()) {
        sqlite3_bind_null(handle, index);
    } else {
        Bind(index, text);
    }
}

void SqlStatement::Bind(int index, const std::vector<unsigned char>& blob) {
    sqlite3_bind_blob(handle, index, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
}

std::string SqlStatement::Text(int index) {
    const unsigned char* text = sqlite3_column_text(handle, index);
    return text != nullptr ? reinterpret_cast<const char*>(text) : "";
}

std::vector<unsigned char> SqlStatement::Blob(int index) {
    const auto* data = static_cast<const unsigned char*>(sqlite3_column_blob(handle, index));
    return data != nullptr
               ? std::vector<unsigned char>(data, data + sqlite3_column_bytes(handle, index))
               : std::vector<unsigned char>();
}

bool OpenDatabase(const std::string& path, const std::string& schema, const std::string& table,
                  sqlite3*& db, std::string& error) {
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        error = "cannot open " + path + ": " + sqlite3_errmsg(db);
        return false;
    }
    sqlite3_busy_timeout(db, 5000);
    char* message = nullptr;
    if (sqlite3_exec(db, schema.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        error = "cannot create the " + table + ": " + (message ? message : "");
        sqlite3_free(message);
        return false;
    }
    return true;
}

}  // namespace kelsor::server

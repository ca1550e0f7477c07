#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace kelsor::ui {

// The skin zip, read from memory. Open only indexes the central directory; an
// entry is inflated the first time it is read and kept, so a start inflates
// only the layouts and images it shows. Entries are looked up by their path
// with either separator; an exact match wins, otherwise the first entry whose
// name matches without regard to case (layout names are written in mixed case
// by callers). Reading is safe from any thread.
class SkinArchive {
public:
    SkinArchive();
    ~SkinArchive();
    SkinArchive(const SkinArchive&) = delete;
    SkinArchive& operator=(const SkinArchive&) = delete;

    // Indexes the zip at [data, data + size), which must outlive the archive
    // (the skin is the program's own data). Returns false (and keeps nothing)
    // when the bytes are not a readable zip.
    bool Open(const void* data, std::size_t size, QString* error = nullptr);
    bool IsOpen() const { return m_zip != nullptr; }
    bool Contains(const QString& path) const;
    // The entry's bytes, or an empty array when it is missing or damaged.
    QByteArray Read(const QString& path) const;
    QStringList Names() const;

    // Normalises a skin path: backslashes to '/', no leading "./" or '/'.
    static QString Normalise(const QString& path);

    // The process-wide archive that layouts are read from.
    static SkinArchive& Instance();

    struct Memory;

private:
    struct Entry {
        std::uint64_t directoryOffset = 0;  // where the central directory names it
        std::uint64_t fileNumber = 0;
        std::uint64_t size = 0;
        QByteArray bytes;  // once inflated
        bool inflated = false;
    };
    Entry* Find(const QString& path) const;
    bool Inflate(Entry& entry) const;
    void Close();

    std::unique_ptr<Memory> m_memory;
    void* m_zip = nullptr;  // minizip's unzFile
    mutable std::map<QString, Entry> m_entries;
    mutable std::mutex m_mutex;  // guards the open zip and the inflated bytes
};

}  // namespace kelsor::ui

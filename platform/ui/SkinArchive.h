#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <map>

namespace kelsor::ui {

// The skin zip held in memory. Entries are looked up by their path with either
// separator; an exact match wins, otherwise the first entry whose name matches
// without regard to case (layout names are written in mixed case by callers).
class SkinArchive {
public:
    // Reads every entry of the zip at [data, data + size) into memory.
    // Returns false (and keeps nothing) when the bytes are not a readable zip.
    bool Open(const void* data, std::size_t size, QString* error = nullptr);
    bool IsOpen() const { return m_open; }
    bool Contains(const QString& path) const;
    // The entry's bytes, or an empty array when it is missing.
    QByteArray Read(const QString& path) const;
    QStringList Names() const;

    // Normalises a skin path: backslashes to '/', no leading "./" or '/'.
    static QString Normalise(const QString& path);

    // The process-wide archive that layouts are read from.
    static SkinArchive& Instance();

private:
    const QByteArray* Find(const QString& path) const;

    bool m_open = false;
    std::map<QString, QByteArray> m_entries;
};

}  // namespace kelsor::ui

#include "platform/ui/SkinArchive.h"

#include <zip.h>

#include <memory>

namespace kelsor::ui {

QString SkinArchive::Normalise(const QString& path) {
    QString p = path.trimmed();
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (p.startsWith(QLatin1String("./")))
        p.remove(0, 2);
    while (p.startsWith(QLatin1Char('/')))
        p.remove(0, 1);
    return p;
}

bool SkinArchive::Open(const void* data, std::size_t size, QString* error) {
    m_entries.clear();
    m_open = false;
    zip_error_t zerr;
    zip_error_init(&zerr);
    zip_source_t* src = zip_source_buffer_create(data, size, 0, &zerr);
    if (src == nullptr) {
        if (error != nullptr)
            *error = QString::fromUtf8(zip_error_strerror(&zerr));
        zip_error_fini(&zerr);
        return false;
    }
    zip_t* za = zip_open_from_source(src, ZIP_RDONLY, &zerr);
    if (za == nullptr) {
        if (error != nullptr)
            *error = QString::fromUtf8(zip_error_strerror(&zerr));
        zip_source_free(src);
        zip_error_fini(&zerr);
        return false;
    }
    zip_error_fini(&zerr);
    const zip_int64_t count = zip_get_num_entries(za, 0);
    bool ok = true;
    for (zip_int64_t i = 0; i < count && ok; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(za, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS, &st) != 0) {
            ok = false;
            break;
        }
        const QString name = QString::fromUtf8(st.name);
        if (name.endsWith(QLatin1Char('/')))
            continue;  // folder entry
        zip_file_t* f = zip_fopen_index(za, static_cast<zip_uint64_t>(i), 0);
        if (f == nullptr) {
            ok = false;
            break;
        }
        QByteArray bytes(static_cast<qsizetype>(st.size), Qt::Uninitialized);
        const zip_int64_t got = zip_fread(f, bytes.data(), st.size);
        zip_fclose(f);
        if (got != static_cast<zip_int64_t>(st.size)) {
            ok = false;
            break;
        }
        m_entries[Normalise(name)] = std::move(bytes);
    }
    if (!ok && error != nullptr)
        *error = QString::fromUtf8(zip_strerror(za));
    zip_discard(za);  // also frees the source
    if (!ok) {
        m_entries.clear();
        return false;
    }
    m_open = true;
    return true;
}

const QByteArray* SkinArchive::Find(const QString& path) const {
    const QString key = Normalise(path);
    auto it = m_entries.find(key);
    if (it != m_entries.end())
        return &it->second;
    for (const auto& [name, bytes] : m_entries) {
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return &bytes;
    }
    return nullptr;
}

bool SkinArchive::Contains(const QString& path) const {
    return Find(path) != nullptr;
}

QByteArray SkinArchive::Read(const QString& path) const {
    const QByteArray* b = Find(path);
    return b != nullptr ? *b : QByteArray();
}

QStringList SkinArchive::Names() const {
    QStringList out;
    for (const auto& entry : m_entries)
        out << entry.first;
    return out;
}

SkinArchive& SkinArchive::Instance() {
    static SkinArchive archive;
    return archive;
}

}  // namespace kelsor::ui

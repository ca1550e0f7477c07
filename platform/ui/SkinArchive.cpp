#include "platform/ui/SkinArchive.h"

#include <unzip.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace kelsor::ui {

// minizip reads through these callbacks: the zip is a block of memory.
struct SkinArchive::Memory {
    const char* data = nullptr;
    ZPOS64_T size = 0;
    ZPOS64_T position = 0;
};

namespace {

using Memory = SkinArchive::Memory;

Memory& Stream(voidpf stream) {
    return *static_cast<Memory*>(stream);
}

voidpf ZCALLBACK OpenMemory(voidpf opaque, const void* /*name*/, int mode) {
    if ((mode & ZLIB_FILEFUNC_MODE_WRITE) != 0)
        return nullptr;
    Stream(opaque).position = 0;
    return opaque;
}

uLong ZCALLBACK ReadMemory(voidpf, voidpf stream, void* buffer, uLong size) {
    Memory& m = Stream(stream);
    const ZPOS64_T count = std::min<ZPOS64_T>(size, m.size - m.position);
    std::memcpy(buffer, m.data + m.position, count);
    m.position += count;
    return static_cast<uLong>(count);
}

uLong ZCALLBACK WriteMemory(voidpf, voidpf, const void*, uLong) {
    return 0;
}

ZPOS64_T ZCALLBACK TellMemory(voidpf, voidpf stream) {
    return Stream(stream).position;
}

long ZCALLBACK SeekMemory(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    Memory& m = Stream(stream);
    ZPOS64_T base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR)
        base = m.position;
    else if (origin == ZLIB_FILEFUNC_SEEK_END)
        base = m.size;
    if (offset > m.size - base)
        return -1;
    m.position = base + offset;
    return 0;
}

int ZCALLBACK CloseMemory(voidpf, voidpf) {
    return 0;
}

int ZCALLBACK MemoryError(voidpf, voidpf) {
    return 0;
}

// The current entry's name and uncompressed size; false when its header is
// unreadable.
bool CurrentEntry(unzFile zip, QString& name, std::uint64_t& size) {
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    QByteArray raw(static_cast<qsizetype>(info.size_filename), Qt::Uninitialized);
    if (unzGetCurrentFileInfo64(zip, &info, raw.data(), static_cast<uLong>(raw.size()), nullptr, 0,
                                nullptr, 0) != UNZ_OK)
        return false;
    name = QString::fromUtf8(raw);  // the skin tool writes UTF-8 names
    size = info.uncompressed_size;
    return true;
}

}  // namespace

SkinArchive::SkinArchive() = default;

SkinArchive::~SkinArchive() {
    Close();
}

void SkinArchive::Close() {
    if (m_zip != nullptr)
        unzClose(m_zip);
    m_zip = nullptr;
    m_entries.clear();
}

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
    std::lock_guard lock(m_mutex);
    Close();
    auto fail = [&](const char* why) {
        if (error != nullptr)
            *error = QString::fromLatin1(why);
        Close();
        return false;
    };
    m_memory = std::make_unique<Memory>();
    m_memory->data = static_cast<const char*>(data);
    m_memory->size = data != nullptr ? size : 0;
    zlib_filefunc64_def io{OpenMemory, ReadMemory,  WriteMemory, TellMemory,
                           SeekMemory, CloseMemory, MemoryError, m_memory.get()};
    m_zip = unzOpen2_64("skin.zip", &io);
    if (m_zip == nullptr)
        return fail("not a zip archive (no readable central directory)");
    for (int status = unzGoToFirstFile(m_zip); status != UNZ_END_OF_LIST_OF_FILE;
         status = unzGoToNextFile(m_zip)) {
        QString name;
        Entry entry;
        unz64_file_pos position;
        if (status != UNZ_OK || !CurrentEntry(m_zip, name, entry.size) ||
            unzGetFilePos64(m_zip, &position) != UNZ_OK)
            return fail("damaged zip central directory");
        if (name.endsWith(QLatin1Char('/')))
            continue;  // folder entry
        entry.directoryOffset = position.pos_in_zip_directory;
        entry.fileNumber = position.num_of_file;
        m_entries.emplace(Normalise(name), std::move(entry));
    }
    return true;
}

SkinArchive::Entry* SkinArchive::Find(const QString& path) const {
    const QString key = Normalise(path);
    auto it = m_entries.find(key);
    if (it != m_entries.end())
        return &it->second;
    for (auto& [name, entry] : m_entries) {
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return &entry;
    }
    return nullptr;
}

bool SkinArchive::Inflate(Entry& entry) const {
    if (entry.size > static_cast<std::uint64_t>(std::numeric_limits<int>::max()))
        return false;  // no skin file comes near; a damaged size would
    unz64_file_pos position{entry.directoryOffset, entry.fileNumber};
    if (unzGoToFilePos64(m_zip, &position) != UNZ_OK || unzOpenCurrentFile(m_zip) != UNZ_OK)
        return false;
    QByteArray bytes(static_cast<qsizetype>(entry.size), Qt::Uninitialized);
    const int got = unzReadCurrentFile(m_zip, bytes.data(), static_cast<unsigned>(bytes.size()));
    // Closing checks the CRC once the whole entry was read.
    const int closed = unzCloseCurrentFile(m_zip);
    if (got != bytes.size() || closed != UNZ_OK)
        return false;
    entry.bytes = std::move(bytes);
    entry.inflated = true;
    return true;
}

bool SkinArchive::Contains(const QString& path) const {
    std::lock_guard lock(m_mutex);
    return Find(path) != nullptr;
}

QByteArray SkinArchive::Read(const QString& path) const {
    std::lock_guard lock(m_mutex);
    Entry* entry = Find(path);
    if (entry == nullptr || (!entry->inflated && !Inflate(*entry)))
        return QByteArray();
    return entry->bytes;
}

QStringList SkinArchive::Names() const {
    std::lock_guard lock(m_mutex);
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

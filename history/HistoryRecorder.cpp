#include "history/HistoryRecorder.h"

#include <sys/stat.h>

#include "app/AppContext.h"
#include "history/HistorySettings.h"
#include "platform/sys/ShellFolders.h"

namespace kelsor::history {
namespace {

// The file's identity, to tell when another connection set it aside.
struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileId&) const = default;
};

FileId IdOf(const std::wstring& path) {
    struct stat info {};
    if (::stat(platform::ToNativePath(path).c_str(), &info) != 0) {
        return {};
    }
    return {info.st_dev, info.st_ino};
}

}  // namespace

RecordingPlace ProgramPlace() {
    return {App().dataFolder, App().configPath};
}

RecordResult RecordRecognition(const RecordingPlace& place, const NewEntry& entry) {
    if (place.dataFolder.empty()) {
        return RecordResult::Unavailable;
    }
    if (!IsRecordingOn(place.configPath)) {
        return RecordResult::Off;
    }
    HistoryStore store(place.dataFolder);
    return store.Record(entry);
}

struct Recorder::Open {
    std::wstring dataFolder;
    HistoryStore store;
    FileId file;

    explicit Open(const std::wstring& folder)
        : dataFolder(folder), store(folder), file(IdOf(store.DatabasePath())) {}
};

Recorder::Recorder() : m_fixedPlace(false) {}

Recorder::Recorder(RecordingPlace place) : m_fixedPlace(true), m_place(std::move(place)) {}

Recorder::~Recorder() = default;

RecordResult Recorder::Record(const NewEntry& entry) {
    const RecordingPlace place = m_fixedPlace ? m_place : ProgramPlace();
    if (place.dataFolder.empty()) {
        return RecordResult::Unavailable;
    }
    if (!IsRecordingOn(place.configPath)) {
        return RecordResult::Off;
    }
    std::lock_guard lock(m_mutex);
    if (m_open == nullptr || m_open->dataFolder != place.dataFolder || !m_open->store.IsOpen() ||
        IdOf(m_open->store.DatabasePath()) != m_open->file) {
        m_open.reset();  // closed before the file is opened again
        m_open = std::make_unique<Open>(place.dataFolder);
    }
    const RecordResult result = m_open->store.Record(entry);
    // The store may have set a damaged file aside and started another.
    m_open->file = IdOf(m_open->store.DatabasePath());
    return result;
}

RecordResult Recorder::Record(Road road, const std::wstring& source, const std::wstring& textPath,
                              const std::wstring& text, bool keepSourceCopy) {
    NewEntry entry;
    entry.road = road;
    entry.source = source;
    entry.textPath = textPath;
    entry.text = text;
    entry.keepSourceCopy = keepSourceCopy;
    return Record(entry);
}

}  // namespace kelsor::history

#include "history/HistoryRecorder.h"

#include "app/AppContext.h"
#include "history/HistorySettings.h"

namespace kelsor::history {

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

}  // namespace kelsor::history

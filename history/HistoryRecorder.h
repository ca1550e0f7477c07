#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "history/HistoryStore.h"

// The one call each recognition road makes once its text is final (and its
// .txt written): records into the history of the program's data folder when
// the setting allows. It never fails the caller: a store that cannot be used
// is skipped (or set aside and started afresh).
namespace kelsor::history {

struct RecordingPlace {
    std::wstring dataFolder;
    std::wstring configPath;  // the settings file; empty: recording is on
};

// The place of the running program (App()'s data folder and settings file).
RecordingPlace ProgramPlace();

// Records one entry through a connection of its own, opened and closed.
RecordResult RecordRecognition(const RecordingPlace& place, const NewEntry& entry);

// Records for one long-lived user (a page, the batch runner, a conversion
// run, a run of kelsor-ocr): its connection stays open between recordings,
// so that each costs an insert rather than an open and a checkpoint at the
// close. Any thread; one recording at a time. The place is looked up at each
// recording, and a file set aside or removed meanwhile is opened afresh.
class Recorder {
public:
    // `place` fixed; without it, the running program's place at each call.
    Recorder();
    explicit Recorder(RecordingPlace place);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    RecordResult Record(const NewEntry& entry);
    RecordResult Record(Road road, const std::wstring& source, const std::wstring& textPath,
                        const std::wstring& text, bool keepSourceCopy = false);

private:
    struct Open;
    bool m_fixedPlace;
    RecordingPlace m_place;
    std::mutex m_mutex;
    std::unique_ptr<Open> m_open;
};

}  // namespace kelsor::history

#pragma once

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

RecordResult RecordRecognition(const RecordingPlace& place, const NewEntry& entry);

// Same for the running program.
inline RecordResult RecordRecognition(Road road, const std::wstring& source,
                                      const std::wstring& textPath, const std::wstring& text,
                                      bool keepSourceCopy = false) {
    NewEntry entry;
    entry.road = road;
    entry.source = source;
    entry.textPath = textPath;
    entry.text = text;
    entry.keepSourceCopy = keepSourceCopy;
    return RecordRecognition(ProgramPlace(), entry);
}

}  // namespace kelsor::history

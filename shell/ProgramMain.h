#pragma once

#include <istream>

// The desktop program's entry sequence.
namespace kelsor::shell {

// Runs KelsorOCR: code page and libcurl set-up, the single-instance guard (a
// later start asks the running one to come to the front, or with `capture`
// to start a capture, and returns 0), the application context, the web
// engine and the UI layer, then the main window "KelsorOCR文字识别" centred
// and modal until it is closed (with `capture`, a capture starts at once);
// finally the web engine is shut down. Returns the exit code: 0, or 1 when a
// capture was asked for and the running instance did not take it.
int RunKelsorOCR(int argc, char** argv, bool capture = false);

// `KelsorOCR --write-session`: reads "userid <id>" and "token <token>" lines
// (what kelsor-server's demo-session prints) from `input` and saves them as
// the session file of the data folder, so the next start signs in by
// itself. Returns 0 when the file was written, 2 on incomplete input, 1 when
// it could not be written.
int WriteSessionFromInput(std::istream& input);

}  // namespace kelsor::shell

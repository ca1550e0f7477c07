#pragma once

#include <string>
#include <vector>

// kelsor-ocr's command line.
namespace kelsor::tools {

struct OcrOptions {
    bool help = false;
    bool editPriority = false;  // --edit: lines run together
    bool writeTxt = false;      // --txt: result files instead of standard output
    // --codes 1, --no-codes 0; -1 follows the desktop client's switch
    // "识别二维码/条形码" in the settings file.
    int readCodes = -1;
    std::string pdfOutput;  // --pdf OUT: one searchable PDF of every FILE
    bool history = false;   // --history: `paths` are words to find in the history
    std::vector<std::string> paths;
};

// Exit codes of kelsor-ocr.
enum OcrExit : int {
    OcrAllRecognised = 0,
    OcrSomeFailed = 1,
    OcrBadUsage = 2,
    OcrNotSignedIn = 3,
};

// Parses the arguments (without the program name). False with `error` set
// for an unknown option, --pdf without its file or with --txt, --history
// with another option, or when no FILE or FOLDER is named (unless --help or
// --history).
bool ParseOcrOptions(const std::vector<std::string>& arguments, OcrOptions& options,
                     std::string& error);

// The text of --help.
const char* OcrUsageText();

}  // namespace kelsor::tools

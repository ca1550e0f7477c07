#include "tools/OcrOptions.h"

namespace kelsor::tools {

bool ParseOcrOptions(const std::vector<std::string>& arguments, OcrOptions& options,
                     std::string& error) {
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        if (optionsEnded || argument.empty() || argument[0] != '-') {
            options.paths.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "-h" || argument == "--help") {
            options.help = true;
        } else if (argument == "--edit") {
            options.editPriority = true;
        } else if (argument == "--txt") {
            options.writeTxt = true;
        } else {
            error = "unknown option " + argument;
            return false;
        }
    }
    if (options.paths.empty() && !options.help) {
        error = "no FILE or FOLDER given";
        return false;
    }
    return true;
}

const char* OcrUsageText() {
    return "Usage: kelsor-ocr [--edit] [--txt] FILE|FOLDER...\n"
           "Recognises the text of pictures (bmp, png, jpg, jpeg, gif, tif, tiff) with the\n"
           "session of the KelsorOCR desktop client, without a window. A FOLDER stands for\n"
           "the pictures in it and in its subfolders.\n"
           "\n"
           "  --edit      run the recognised lines together (编辑优先) instead of one\n"
           "              line per recognised line (格式优先)\n"
           "  --txt       write each picture's text into a .txt file, named and placed as\n"
           "              the batch page does, instead of printing it\n"
           "  -h, --help  show this help and exit\n"
           "  --          end of options: every later argument is a FILE or FOLDER\n"
           "\n"
           "Without --txt the text goes to standard output, each picture's text after a\n"
           "line \"==> FILE <==\" when there is more than one picture. Progress (for more\n"
           "than one picture) and failures go to standard error.\n"
           "\n"
           "Exit status: 0 every picture recognised, 1 some failed (each one is named\n"
           "with its reason), 2 bad usage, 3 not signed in: sign in in the KelsorOCR\n"
           "desktop client first.\n";
}

}  // namespace kelsor::tools

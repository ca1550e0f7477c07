#include "tools/OcrOptions.h"

#include <iterator>

namespace kelsor::tools {

bool ParseOcrOptions(const std::vector<std::string>& arguments, OcrOptions& options,
                     std::string& error) {
    bool optionsEnded = false;
    for (auto it = arguments.begin(); it != arguments.end(); ++it) {
        const std::string& argument = *it;
        if (optionsEnded || argument.empty() || argument[0] != '-') {
            options.paths.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "-h" || argument == "--help") {
            options.help = true;
        } else if (argument == "--edit") {
            options.editPriority = true;
        } else if (argument == "--history") {
            options.history = true;
        } else if (argument == "--txt") {
            options.writeTxt = true;
        } else if (argument == "--codes" || argument == "--no-codes") {
            options.readCodes = argument == "--codes" ? 1 : 0;
        } else if (argument == "--pdf") {
            if (std::next(it) == arguments.end() || std::next(it)->empty()) {
                error = "--pdf needs the name of the PDF file to write";
                return false;
            }
            options.pdfOutput = *++it;
        } else {
            error = "unknown option " + argument;
            return false;
        }
    }
    if (options.writeTxt && !options.pdfOutput.empty()) {
        error = "--txt and --pdf cannot be used together";
        return false;
    }
    if (options.history && (options.writeTxt || options.editPriority || options.readCodes != -1 ||
                            !options.pdfOutput.empty())) {
        error = "--history takes only the words to find";
        return false;
    }
    if (options.paths.empty() && !options.help && !options.history) {
        error = "no FILE or FOLDER given";
        return false;
    }
    return true;
}

const char* OcrUsageText() {
    return "Usage: kelsor-ocr [--edit] [--txt] [--codes|--no-codes] FILE|FOLDER...\n"
           "       kelsor-ocr [--codes|--no-codes] --pdf OUT.pdf FILE|FOLDER...\n"
           "       kelsor-ocr --history [WORD...]\n"
           "Recognises the text of pictures (bmp, png, jpg, jpeg, gif, tif, tiff) and PDF\n"
           "files with the session of the KelsorOCR desktop client, without a window. A\n"
           "FOLDER stands for the pictures in it and in its subfolders. A PDF page gives\n"
           "its text layer; a page without one (a scan) is recognised.\n"
           "\n"
           "  --edit      run the recognised lines together (编辑优先) instead of one\n"
           "              line per recognised line (格式优先)\n"
           "  --txt       write each picture's text into a .txt file, named and placed as\n"
           "              the batch page does, instead of printing it\n"
           "  --codes     read QR codes and barcodes too, each one a line of its own:\n"
           "              \"[二维码] payload\" or \"[条形码] payload\" (the default when\n"
           "              the desktop client's 识别二维码/条形码 is on, as it is at first)\n"
           "  --no-codes  read the text alone\n"
           "  --pdf OUT.pdf  write one searchable PDF of every FILE in the order given:\n"
           "              PDF pages as they are, scanned ones with an invisible text\n"
           "              layer, each picture one page at its own resolution (96 dpi\n"
           "              when its file names none) with its text layer\n"
           "  --history [WORD...]  list the recognitions kept in the history that hold\n"
           "              every WORD (any part of a word), newest first: time, road,\n"
           "              source and the text's first line; without WORD the latest 20\n"
           "  -h, --help  show this help and exit\n"
           "  --          end of options: every later argument is a FILE or FOLDER\n"
           "\n"
           "Without --txt or --pdf the text goes to standard output, each FILE's text\n"
           "after a line \"==> FILE <==\" when there is more than one; a PDF's pages each\n"
           "after a line \"===== 第 N 页 =====\". Progress (for more than one FILE) and\n"
           "failures go to standard error.\n"
           "\n"
           "Exit status: 0 every FILE recognised, 1 some failed (each one is named\n"
           "with its reason), 2 bad usage, 3 not signed in: sign in in the KelsorOCR\n"
           "desktop client first. With --history: 0 something listed, 1 nothing found.\n";
}

}  // namespace kelsor::tools

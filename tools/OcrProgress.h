#pragma once

#include <cstdio>
#include <string>

// kelsor-ocr's reports on standard error: progress for more than one picture
// (a bar redrawn in place on a terminal, one line per picture otherwise) and
// a line for each failure.
namespace kelsor::tools {

class OcrProgress {
public:
    OcrProgress(std::FILE* stream, int total, bool terminal);

    // The picture `number` (from 1) is next.
    void Next(int number, const std::wstring& path);
    // Names a failed picture with its reason.
    void Failure(const std::wstring& path, const std::string& reason);
    // Takes the bar away.
    void Done();

private:
    void DrawBar();
    void ClearBar();

    std::FILE* m_stream;
    int m_total;
    bool m_shown;     // more than one picture
    bool m_terminal;  // draw a bar instead of lines
    int m_number = 0;
    std::wstring m_path;
};

// Whether `stream` is a terminal, and its width in columns (80 when unknown).
bool IsTerminal(std::FILE* stream);
int TerminalColumns(std::FILE* stream);

}  // namespace kelsor::tools

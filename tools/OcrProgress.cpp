#include "tools/OcrProgress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include "app/TextConv.h"

namespace kelsor::tools {
namespace {

constexpr int kBarCells = 24;

}  // namespace

bool IsTerminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) == 1;
}

int TerminalColumns(std::FILE* stream) {
    winsize size{};
    if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
}

OcrProgress::OcrProgress(std::FILE* stream, int total, bool terminal)
    : m_stream(stream), m_total(total), m_shown(total > 1), m_terminal(terminal) {}

void OcrProgress::Next(int number, const std::wstring& path) {
    m_number = number;
    m_path = path;
    if (!m_shown) {
        return;
    }
    if (m_terminal) {
        DrawBar();
    } else {
        std::fprintf(m_stream, "[%d/%d] %s\n", number, m_total, WideToAnsi(path).c_str());
    }
    std::fflush(m_stream);
}

void OcrProgress::Failure(const std::wstring& path, const std::string& reason) {
    ClearBar();
    std::fprintf(m_stream, "kelsor-ocr: %s: %s\n", WideToAnsi(path).c_str(), reason.c_str());
    if (m_shown && m_terminal && m_number > 0) {
        DrawBar();
    }
    std::fflush(m_stream);
}

void OcrProgress::Done() {
    ClearBar();
    std::fflush(m_stream);
}

void OcrProgress::DrawBar() {
    // The bar counts the pictures already finished.
    const int filled = m_total > 0 ? (m_number - 1) * kBarCells / m_total : 0;
    std::string line = "[" + std::string(filled, '#') + std::string(kBarCells - filled, '.') +
                       "] " + std::to_string(m_number) + "/" + std::to_string(m_total) + " ";
    // The name is cut from the front so that the line never wraps (CJK
    // characters take two columns).
    int room = TerminalColumns(m_stream) - 1 - static_cast<int>(line.size());
    std::wstring name = m_path;
    auto width = [](const std::wstring& text) {
        int columns = 0;
        for (wchar_t c : text) {
            columns += c >= 0x1100 ? 2 : 1;
        }
        return columns;
    };
    while (!name.empty() && width(name) > room) {
        name.erase(0, 1);
    }
    std::fprintf(m_stream, "\r%s%s\x1b[K", line.c_str(), WideToAnsi(name).c_str());
}

void OcrProgress::ClearBar() {
    if (m_shown && m_terminal) {
        std::fputs("\r\x1b[K", m_stream);
    }
}

}  // namespace kelsor::tools

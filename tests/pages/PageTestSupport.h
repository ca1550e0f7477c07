#pragma once

#include <QColor>
#include <QImage>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "EventWaits.h"
#include "LocalService.h"
#include "UiTestSupport.h"
#include "history/HistoryStore.h"
#include "pages/SingleOCRWnd.h"

// A test main window hosting the real single page, recording the page's
// messages and every notice shown.
namespace kelsor::pagetest {

using test::RunEventsFor;
using test::WaitFor;

// Writes a picture; the format follows the extension.
bool SavePicture(const QImage& image, const std::wstring& path);
// A picture of two colour halves (left, right).
QImage TwoColourPicture(int width, int height, QColor left, QColor right);
std::string ReadBytes(const std::wstring& path);
bool Exists(const std::wstring& path);
// Starts kelsor-server signed in, its data under root, on the Tesseract
// engine (quick to load, enough for printed test text).
bool StartTesseractService(test::LocalService& service, const std::wstring& root,
                           std::string& error);

// The entries of the history in the program's data folder, newest first,
// once it holds `count` (the pages record after the text is on show); what
// it holds when that never comes.
std::vector<history::Entry> HistoryOnceItHolds(std::size_t count);

class MainWindowStub : public ui::WindowImplBase {
public:
    MainWindowStub() = default;
    std::vector<unsigned> messages;
    ui::LRESULT HandleMessage(ui::UINT msg, ui::WPARAM w, ui::LPARAM l) override;

protected:
    ui::CDuiString GetWindowClassName() const override { return L"MainWindowStub"; }
    ui::CDuiString GetSkinFolder() override { return L""; }
    ui::CDuiString GetSkinFile() override { return L"singleocrview.xml"; }
};

// Fixture: a main window of 1120 x 630 with the page at (1, 94), the work
// files in a scratch data folder, the modal seam armed with an observer
// that records each notice's text.
class PageFixture {
public:
    PageFixture();
    ~PageFixture();

    ui::CControlUI* Control(const wchar_t* name) const;
    bool Visible(const wchar_t* name) const;
    bool Enabled(const wchar_t* name) const;
    bool ViewVisible() const;
    // Waits for the page's "done" or "no picture" message after a start.
    bool WaitForMessage(unsigned message,
                        std::chrono::milliseconds within = std::chrono::seconds(30));
    std::wstring Folder(const std::wstring& name) const;

    QTemporaryDir dir;
    std::wstring root;  // with trailing "/"
    MainWindowStub* main = nullptr;
    jobs::SingleOCRWnd* page = nullptr;
    std::vector<std::wstring> notices;
};

}  // namespace kelsor::pagetest

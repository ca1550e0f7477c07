#pragma once

#include <httplib.h>

#include <QApplication>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "EventWaits.h"
#include "StandInAccountApi.h"
#include "TempFolder.h"
#include "UiTestSupport.h"
#include "app/AppContext.h"
#include "shell/CMainWnd.h"

// Shared by the main window tests: a recording main window, a real account
// API with an avatar on loopback, and small waits that keep Qt running.
namespace kelsor::shelltest {

// The real main window, recording the custom messages that reach it. The
// messages that open and close account windows are only recorded: those
// windows are web pages with tests of their own.
class RecordingMainWnd : public kelsor::shell::CMainWnd {
public:
    std::vector<unsigned int> messages;
    kelsor::ui::LRESULT HandleMessage(kelsor::ui::UINT msg, kelsor::ui::WPARAM w,
                                      kelsor::ui::LPARAM l) override {
        if (msg >= 2125 && msg <= 2154)
            messages.push_back(msg);
        if (msg == 2141 || msg == 2146 || msg == 2148 || msg == 2149 || msg == 2150)
            return 0;
        return CMainWnd::HandleMessage(msg, w, l);
    }
    int Count(unsigned int msg) const {
        int n = 0;
        for (unsigned int m : messages)
            n += m == msg ? 1 : 0;
        return n;
    }
};

using kelsor::test::WaitFor;

// A PNG of a plain square, as the account service serves avatars.
std::string SquarePng(int size, unsigned int argb);

// Builds the program's context over `dir` (bin/, Desktop, data); the default
// hosts are a closed loopback port, so nothing reaches the network.
inline void BuildContextIn(const kelsor::test::TempFolder& dir,
                           const std::wstring& siteHost = L"127.0.0.1:1",
                           const std::wstring& webHost = L"127.0.0.1:1",
                           const std::wstring& apiHost = L"127.0.0.1:1") {
    kelsor::StartupInputs in;
    in.exeFolder = dir.wide("bin") + L"/";
    in.desktopFolder = dir.wide("Desktop");
    in.appDataFolder = dir.wide("data");
    in.siteHost = siteHost;
    in.webHost = webHost;
    in.apiHost = apiHost;
    kelsor::ResetAppContext(kelsor::App());
    kelsor::BuildAppContext(kelsor::App(), in);
}

}  // namespace kelsor::shelltest

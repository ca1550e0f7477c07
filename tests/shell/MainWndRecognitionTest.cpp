// The newcomer's road through the real main window: signed in by a saved
// session against a kelsor-server started here (demo account, Tesseract,
// HTTPS with verification), a picture chosen on the single page, the start
// button, the text shown and written, the result opened.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "MainWndTestSupport.h"
#include "RenderText.h"
#include "account/SessionFile.h"
#include "account/UserInfo.h"
#include "app/AppContext.h"
#include "app/HttpTransfer.h"
#include "app/TextConv.h"
#include "platform/ui/MainWindowRef.h"
#include "server/process/ServerProcess.h"

using namespace kelsor;
using namespace kelsor::ui;
namespace fs = std::filesystem;

namespace {

std::string LineValue(const std::string& text, const std::string& key) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key + " ", 0) == 0)
            return line.substr(key.size() + 1);
    }
    return {};
}

}  // namespace

TEST(MainWndRecognition, SignedInBySessionAPictureBecomesTextAndItsFileOpens) {
    InitHttpGlobal();
    uitest::EnsureApp();
    kelsor::test::TempFolder dir;
    const std::string data = dir.file("server");
    // The demo account's session, as scripts/run.sh makes it.
    const std::string session = kelsor::test::ShellOutput(std::string(KELSOR_SERVER_EXE) +
                                                          " demo-session --data '" + data + "'");
    ASSERT_FALSE(LineValue(session, "token").empty()) << session;

    server::ServerProcess process;
    std::string error;
    ASSERT_TRUE(process.Start(KELSOR_SERVER_EXE,
                              {"--data", data, "--cloud-port", "0", "--account-port", "0",
                               "--engine", "tesseract", "--engines", "1"},
                              dir.file("server.log"), error))
        << error;
    setenv("KELSOR_CLOUD_DOMAIN", (".localhost:" + std::to_string(process.CloudPort())).c_str(), 1);
    setenv("KELSOR_CLOUD_CA_FILE", process.CertificatePath().c_str(), 1);
    fs::create_directories(dir.file("fakebin"));
    kelsor::test::WriteFile(dir.file("fakebin/xdg-open"),
                            "#!/bin/sh\necho \"$@\" >> '" + (dir.file("opened.txt")) + "'\n");
    chmod((dir.file("fakebin/xdg-open")).c_str(), 0755);
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", ((dir.file("fakebin")) + ":" + path).c_str(), 1);

    // The program's own file in the program folder gives the version that
    // the account service's URLs carry.
    fs::create_directories(dir.file("bin"));
    fs::copy_file(KELSOR_PROGRAM_PATH, dir.file("bin/KelsorOCR"));
    // Its siblings beside it, started for real at start-up: the statistics
    // program reports the start to this server (the updater finds nothing
    // newer and stays quiet).
    for (const char* sibling : {"KelsorOCRStats", "KelsorOCRUpdate"})
        fs::copy_file(std::string(KELSOR_SIBLINGS_FOLDER) + sibling, dir.file("bin/") + sibling);
    setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
    const std::wstring account = L"kelsor.localhost:" + std::to_wstring(process.AccountPort());
    setenv("KELSOR_API_HOST",
           ("api.kelsor.localhost:" + std::to_string(process.AccountPort())).c_str(), 1);
    shelltest::BuildContextIn(dir, L"www." + account, L"web." + account, L"api." + account);
    ASSERT_TRUE(WriteSessionFile(App().sessionFilePath, AnsiToWide(LineValue(session, "userid")),
                                 AnsiToWide(LineValue(session, "token"))));

    ModalSeam::Enable();
    std::vector<std::wstring> notices;
    ModalSeam::SetObserver([&](CWindowWnd& wnd) {
        auto& dlg = dynamic_cast<WindowImplBase&>(wnd);
        notices.push_back(dlg.PaintManager().FindControl(L"msgtext")->GetText());
    });
    auto* w = new shelltest::RecordingMainWnd();
    w->Create(nullptr, L"KelsorOCR文字识别", UI_WNDSTYLE_DIALOG, WS_EX_WINDOWEDGE);
    w->ShowWindow(true);
    ASSERT_TRUE(CurrentUser().loggedIn) << process.Log();
    std::wstring counts;
    EXPECT_TRUE(shelltest::WaitFor(
        [&] {
            HttpGetText(counts, L"http://api." + account + L"/api/v3/stats/ocr/counts");
            return counts.find(L"\"startup\":1") != std::wstring::npos;
        },
        std::chrono::minutes(1)))
        << WideToAnsi(counts);
    EXPECT_EQ(w->PaintManager().FindControl(L"nickname")->GetText(), L"演示用户");
    EXPECT_GT(fs::file_size(WideToAnsi(App().avatarPath)), 0u);

    fs::create_directories(dir.file("scan"));
    const std::string picture = dir.file("scan/page 1.png");
    ASSERT_TRUE(test::LargeTextPicture(
                    {QStringLiteral("Hello World"), QStringLiteral("Recognition works fine")})
                    .save(QString::fromStdString(picture)));
    FileDialog::SetNextFileNames({AnsiToWide(picture)});
    auto* page = dynamic_cast<WindowImplBase*>(w->Page(0));
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(page->ClickControl(L"singleselectpicbtn"));
    CControlUI* start = w->PaintManager().FindControl(L"singleconvertbtn");
    ASSERT_TRUE(start->IsEnabled());

    ASSERT_TRUE(w->ClickControl(L"singleconvertbtn"));
    EXPECT_TRUE(w->PaintManager().FindControl(L"singleconverting")->IsVisible());
    CControlUI* done = w->PaintManager().FindControl(L"singleconvertedbtn");
    ASSERT_TRUE(shelltest::WaitFor([&] { return done->IsVisible(); }, std::chrono::minutes(3)))
        << process.Log();
    EXPECT_TRUE(notices.empty());
    EXPECT_EQ(kelsor::test::ReadFile(dir.file("scan/page 1.txt")),
              "Hello World\r\nRecognition works fine\r\n");
    EXPECT_EQ(page->PaintManager().FindControl(L"ocrtextarea")->GetText(),
              L"Hello World\nRecognition works fine");
    EXPECT_EQ(w->Count(2131), 1);
    EXPECT_EQ(w->Count(2132), 1);

    ASSERT_TRUE(w->ClickControl(L"singleconvertedbtn"));
    EXPECT_TRUE(shelltest::WaitFor([&] {
        return kelsor::test::ReadFile(dir.file("opened.txt")) ==
               (dir.file("scan/page 1.txt")) + "\n";
    }));

    // For a person to look at: the main window with the picture and its text.
    QApplication::processEvents();
    w->GetHWND()->grab().save(QStringLiteral(KELSOR_SCREENSHOT_DIR "/main_window_result.png"));
    delete w;
    setenv("PATH", path.c_str(), 1);
    ModalSeam::SetObserver(nullptr);
    ModalSeam::Disable();
}

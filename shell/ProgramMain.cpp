#include "shell/ProgramMain.h"

#include <QApplication>
#include <clocale>
#include <cstdio>
#include <mutex>
#include <string>

#include "account/SessionFile.h"
#include "app/AppContext.h"
#include "app/HttpTransfer.h"
#include "app/TextConv.h"
#include "jobs/ConvertTaskMgr.h"
#include "platform/sys/Messages.h"
#include "platform/sys/SingleInstance.h"
#include "platform/ui/MainWindowRef.h"
#include "platform/ui/QtTranslations.h"
#include "platform/ui/UiLib.h"
#include "platform/web/WebEngine.h"
#include "shell/CMainWnd.h"
#include "shell/ProgramIcon.h"
#include "skin/SkinData.h"

namespace kelsor::shell {
namespace {

// Carries messages of later starts from the guard's listener thread to the
// main window on the UI thread, while there is a UI thread to carry them to.
class MessageRelay {
public:
    void Deliver(unsigned int message) {
        std::lock_guard lock(m_mutex);
        if (!m_open)
            return;  // before the application exists or after it has ended
        QMetaObject::invokeMethod(
            qApp,
            [message] {
                if (ui::CWindowWnd* main = ui::GetMainWindow())
                    main->SendMessage(message);
            },
            Qt::QueuedConnection);
    }
    void SetOpen(bool open) {
        std::lock_guard lock(m_mutex);
        m_open = open;
    }

private:
    std::mutex m_mutex;
    bool m_open = false;
};

}  // namespace

int RunKelsorOCR(int argc, char** argv, bool capture) {
    // The locale's character set becomes the program's code page.
    std::setlocale(LC_ALL, "");
    InitHttpGlobal();

    MessageRelay relay;
    platform::SingleInstanceGuard guard(L"KelsorOCRMutex");
    const auto role = guard.Acquire([&relay](unsigned int message) { relay.Deliver(message); });
    if (role == platform::SingleInstanceGuard::Role::kSecond) {
        if (!guard.SendToFirst(capture ? WM_KSOCR_STARTCAPTURE : WM_KSOCR_BRINGTOFRONT) &&
            capture) {
            // A desktop shortcut runs this without a terminal; still, say it.
            std::fprintf(stderr, "KelsorOCR: the running KelsorOCR did not take the capture\n");
            return 1;
        }
        return 0;
    }

    // The batch task manager and its worker come first, then the context.
    ProcessTaskManager();
    BuildAppContext(App(), StartupInputs::FromEnvironment());
    // Only the environment is prepared here; the engine itself starts with the
    // first account window.
    platform::PrepareWebEngineEnvironment();
    {
        QApplication application(argc, argv);
        ui::InstallQtTranslations(application);  // Qt's own pickers and buttons
        application.setWindowIcon(ProgramIcon());
        // Window lists and docks match the windows to the launcher by this.
        QGuiApplication::setDesktopFileName(QStringLiteral("io.kelsor.KelsorOCR"));
        relay.SetOpen(true);
        skin::Install();
        ui::CPaintManagerUI::SetInstance(nullptr);

        auto* mainWindow = new CMainWnd();
        // Shown by the modal run, once centred.
        mainWindow->Create(nullptr, L"KelsorOCR文字识别", ui::UI_WNDSTYLE_DIALOG & ~ui::WS_VISIBLE,
                           ui::WS_EX_WINDOWEDGE);
        mainWindow->CenterWindow();
        // Started for a capture: it runs once the window's loop does.
        if (capture)
            mainWindow->PostMessage(WM_KSOCR_STARTCAPTURE, 0, 0);
        mainWindow->ShowModal();
        // Closed by its button it has deleted itself; a system close leaves
        // it to be released here.
        if (ui::GetMainWindow() == mainWindow)
            delete mainWindow;

        relay.SetOpen(false);
        platform::WebFinalize();  // nothing to do when no account window was opened
    }
    return 0;
}

int WriteSessionFromInput(std::istream& input) {
    std::setlocale(LC_ALL, "");
    std::string userid, token, line;
    while (std::getline(input, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("userid ", 0) == 0)
            userid = line.substr(7);
        else if (line.rfind("token ", 0) == 0)
            token = line.substr(6);
    }
    if (userid.empty() || token.empty()) {
        std::fprintf(stderr,
                     "KelsorOCR: --write-session needs \"userid <id>\" and "
                     "\"token <token>\" lines on standard input\n");
        return 2;
    }
    BuildAppContext(App(), StartupInputs::FromEnvironment());
    if (!WriteSessionFile(App().sessionFilePath, AnsiToWide(userid), AnsiToWide(token))) {
        std::fprintf(stderr, "KelsorOCR: cannot write %s\n",
                     WideToAnsi(App().sessionFilePath).c_str());
        return 1;
    }
    std::printf("KelsorOCR: session saved in %s\n", WideToAnsi(App().sessionFilePath).c_str());
    return 0;
}

}  // namespace kelsor::shell

#include "tools/UpdaterProgram.h"

#include <QApplication>
#include <QKeySequence>
#include <QShortcut>
#include <QWidget>
#include <clocale>
#include <cstdio>

#include "app/AppContext.h"
#include "app/HttpTransfer.h"
#include "app/TextConv.h"
#include "platform/sys/Messages.h"
#include "platform/sys/SingleInstance.h"
#include "platform/ui/QtTranslations.h"
#include "platform/ui/UiLib.h"
#include "skin/SkinData.h"
#include "tools/ToolContext.h"
#include "tools/UpdateWnd.h"

namespace kelsor::tools {
namespace {

int ShowAnswer(int argc, char** argv, const UpdateCheckResult& result) {
    QApplication application(argc, argv);
    ui::InstallQtTranslations(application);
    skin::Install();
    ui::CPaintManagerUI::SetInstance(nullptr);
    UpdateWnd window(result, App().dataFolder);
    window.Create(nullptr, L"KelsorOCR更新", ui::UI_WNDSTYLE_DIALOG & ~ui::WS_VISIBLE,
                  ui::WS_EX_WINDOWEDGE);
    if (QWidget* host = window.GetHWND()) {
        // Opened from the client's menu, it stays above the client's window
        // (a desktop without a task bar would have no way back to it), and
        // Esc closes it as its close button does.
        host->setWindowFlag(Qt::WindowStaysOnTopHint);
        auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), host);
        QObject::connect(close, &QShortcut::activated, host,
                         [&window] { window.ClickControl(L"updateclosebtn"); });
    }
    window.CenterWindow();
    window.ShowModal();
    return 0;
}

void RaiseWindows() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible()) {
            widget->raise();
            widget->activateWindow();
        }
    }
}

}  // namespace

bool UpdaterAlwaysAnswers(const std::vector<std::wstring>& arguments, bool& known) {
    known = arguments.empty() || (arguments.size() == 1 && arguments[0] == L"-KSOCRMAINMENU");
    return known && !arguments.empty();
}

int RunUpdater(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(AnsiToWide(argv[i]));
    bool known = false;
    const bool alwaysAnswer = UpdaterAlwaysAnswers(arguments, known);
    if (!known) {
        std::fprintf(stderr, "usage: KelsorOCRUpdate [-KSOCRMAINMENU]\n");
        return 2;
    }
    platform::SingleInstanceGuard guard(L"KelsorOCRUpdateMutex");
    const auto role = guard.Acquire([](unsigned int) {
        if (qApp != nullptr)
            QMetaObject::invokeMethod(qApp, &RaiseWindows, Qt::QueuedConnection);
    });
    if (role == platform::SingleInstanceGuard::Role::kSecond) {
        std::printf("KelsorOCRUpdate: already running\n");
        guard.SendToFirst(WM_KSOCR_BRINGTOFRONT);
        return 0;
    }
    InitHttpGlobal();
    BuildToolContext();
    const UpdateCheckResult result = CheckForUpdate(ApiBase(), App().versionText, App().channel);
    if (result.answer == UpdateAnswer::kFailed)
        std::fprintf(stderr, "KelsorOCRUpdate: check failed: %s\n", result.error.c_str());
    else
        std::printf("KelsorOCRUpdate: newest %s, own %s\n",
                    WideToAnsi(result.offer.version).c_str(),
                    WideToAnsi(App().versionText).c_str());
    std::fflush(stdout);
    if (result.answer != UpdateAnswer::kNewer && !alwaysAnswer)
        return 0;  // quiet at start unless there is something to offer
    return ShowAnswer(argc, argv, result);
}

}  // namespace kelsor::tools

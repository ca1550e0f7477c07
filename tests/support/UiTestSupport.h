#pragma once

#include <QApplication>
#include <QColor>
#include <QString>
#include <QStringList>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ui/UiLib.h"
#include "skin/SkinData.h"

// Shared by the UI tests: one QApplication (offscreen), the embedded skin
// installed, and a collector of every warning Qt or the UI layer logs.
namespace kelsor::uitest {

inline QStringList& Warnings() {
    static QStringList warnings;
    return warnings;
}

inline void CollectMessages(QtMsgType type, const QMessageLogContext&, const QString& msg) {
    // The offscreen platform notes what it cannot do (raise, masks); those
    // are facts of the test platform, not faults of a layout.
    if (msg.startsWith(QLatin1String("This plugin does not support")))
        return;
    if (type != QtDebugMsg && type != QtInfoMsg)
        Warnings() << msg;
}

inline void EnsureApp() {
    static std::once_flag once;
    std::call_once(once, [] {
        static int argc = 1;
        static char name[] = "kelsor-ui-tests";
        static char* argv[] = {name, nullptr};
        qInstallMessageHandler(CollectMessages);
        new QApplication(argc, argv);
        kelsor::ui::CPaintManagerUI::SetInstance(nullptr);
        kelsor::skin::Install();
    });
}

// A pixel within 40 of a colour in each channel: what a screen grab or a
// scaled view keeps of a painted colour.
inline bool Near(QRgb a, QColor b) {
    return std::abs(qRed(a) - b.red()) < 40 && std::abs(qGreen(a) - b.green()) < 40 &&
           std::abs(qBlue(a) - b.blue()) < 40;
}

// Arms the modal seam's observer to record the text of each notice shown
// ("<no text>" for a modal window without one).
inline void RecordNotices(std::vector<std::wstring>& notices) {
    kelsor::ui::ModalSeam::SetObserver([&notices](kelsor::ui::CWindowWnd& wnd) {
        auto& dlg = dynamic_cast<kelsor::ui::WindowImplBase&>(wnd);
        kelsor::ui::CControlUI* text = dlg.PaintManager().FindControl(L"msgtext");
        notices.push_back(text != nullptr ? text->GetText() : L"<no text>");
    });
}

// A window built from any layout of the skin.
class LayoutWindow : public kelsor::ui::WindowImplBase {
public:
    explicit LayoutWindow(std::wstring file) : m_file(std::move(file)) {}
    std::function<void(kelsor::ui::TNotifyUI&)> onClick;
    std::function<void(kelsor::ui::TNotifyUI&)> onSelectChanged;
    std::function<kelsor::ui::LRESULT(kelsor::ui::UINT)> onMessage;

    kelsor::ui::LRESULT HandleMessage(kelsor::ui::UINT msg, kelsor::ui::WPARAM w,
                                      kelsor::ui::LPARAM l) override {
        if (onMessage && msg >= 2000)
            return onMessage(msg);
        return WindowImplBase::HandleMessage(msg, w, l);
    }

protected:
    kelsor::ui::CDuiString GetWindowClassName() const override { return L"LayoutWindow"; }
    kelsor::ui::CDuiString GetSkinFolder() override { return L""; }
    kelsor::ui::CDuiString GetSkinFile() override { return m_file; }
    void OnClick(kelsor::ui::TNotifyUI& msg) override {
        if (onClick)
            onClick(msg);
    }
    void OnSelectChanged(kelsor::ui::TNotifyUI& msg) override {
        if (onSelectChanged)
            onSelectChanged(msg);
    }

private:
    std::wstring m_file;
};

}  // namespace kelsor::uitest

#pragma once

#include <QApplication>
#include <QString>
#include <QStringList>
#include <mutex>

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

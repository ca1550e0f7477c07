// libFuzzer target over the skin's layout parser and the dialog builder: each
// input is parsed and checked as layout XML and, when it holds markup, built
// into a hidden window (offscreen), controls, attributes and all. Images it
// names come from the embedded skin archive. Run with
// scripts/fuzz.sh platform_skin_fuzzer.
#include <QApplication>
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/ui/UiLib.h"
#include "skin/SkinData.h"

namespace {

// Warnings about unknown tags and attributes are expected by the thousand.
void Quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

class MarkupWindow : public kelsor::ui::WindowImplBase {
public:
    explicit MarkupWindow(std::wstring markup) : m_markup(std::move(markup)) {}

protected:
    kelsor::ui::CDuiString GetWindowClassName() const override { return L"FuzzWindow"; }
    kelsor::ui::CDuiString GetSkinFolder() override { return L""; }
    kelsor::ui::CDuiString GetSkinFile() override { return m_markup; }

private:
    std::wstring m_markup;
};

void EnsureApp() {
    static bool ready = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        qInstallMessageHandler(Quiet);
        static int argc = 1;
        static char name[] = "platform_skin_fuzzer";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
        kelsor::ui::CPaintManagerUI::SetInstance(nullptr);
        kelsor::skin::Install();
        return true;
    }();
    static_cast<void>(ready);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    EnsureApp();
    const QByteArray xml(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString error;
    const auto tree = kelsor::ui::ParseMarkup(xml, &error);
    if (!tree) {
        return 0;
    }
    kelsor::ui::ValidateMarkup(*tree);
    const QString text = QString::fromUtf8(xml).trimmed();
    if (!text.startsWith(QLatin1Char('<'))) {
        return 0;  // the builder would take it for the name of a layout
    }
    {
        MarkupWindow window(text.toStdWString());
        window.Create(nullptr, L"fuzz", kelsor::ui::UI_WNDSTYLE_DIALOG & ~kelsor::ui::WS_VISIBLE,
                      0);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}

#include "WebTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

#include <QApplication>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWidget>

#include "platform/web/WebEngine.h"
#include "platform/web/WebView.h"

namespace kelsor::platform::test {
namespace {

// One application and engine for the whole program, as in the client.
class WebEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        // Offscreen and without the sandbox (which cannot start as root)
        // unless the caller chose otherwise.
        qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty()
                                       ? QByteArray("offscreen")
                                       : qgetenv("QT_QPA_PLATFORM"));
        if (!qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")) {
            qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        }
        if (!qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS")) {
            qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
        }
        PrepareWebEngineEnvironment();
        static int argc = 1;
        static char name[] = "platform_web_tests";
        static char* argv[] = {name, nullptr};
        m_app = new QApplication(argc, argv);
        ASSERT_TRUE(WebInitialize());
    }
    void TearDown() override {
        WebFinalize();
        // Let the engine finish deleting its pages before the application goes.
        RunEventsFor(std::chrono::milliseconds(50));
        delete m_app;
        m_app = nullptr;
    }

private:
    QApplication* m_app = nullptr;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new WebEnvironment);

}  // namespace

// One request per connection: the engine keeps idle connections open, which
// would hold the server's worker threads (and its stop) for the keep-alive time.
LoopbackServer::LoopbackServer() {
    Http().set_keep_alive_max_count(1);
}

std::unique_ptr<QWidget> MakeHost(int width, int height) {
    auto host = std::make_unique<QWidget>();
    host->resize(width, height);
    host->show();
    return host;
}

std::wstring Evaluate(WebView* view, const std::wstring& script) {
    auto* web = qobject_cast<QWebEngineView*>(view->HostWindow());
    // Shared: a result arriving after the deadline must not write to a dead frame.
    auto result = std::make_shared<std::optional<QString>>();
    web->page()->runJavaScript(QString::fromStdWString(script), [result](const QVariant& value) {
        *result =
            value.isValid() && !value.isNull() ? value.toString() : QStringLiteral("<undefined>");
    });
    WaitFor([&] { return result->has_value(); });
    return result->value_or(QStringLiteral("<timeout>")).toStdWString();
}

}  // namespace kelsor::platform::test

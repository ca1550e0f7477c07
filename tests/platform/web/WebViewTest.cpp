// The web view layer in a real Qt WebEngine view, pages served over loopback.

#include <gtest/gtest.h>

#include <unistd.h>

#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWidget>
#include <string>
#include <vector>

#include "WebTestSupport.h"
#include "platform/web/WebEngine.h"
#include "platform/web/WebView.h"

namespace kelsor::platform::test {
namespace {

constexpr const char* kBridgePage = R"(<!doctype html>
<html><head><meta charset="utf-8"><title>桥接测试</title></head><body>
<a id="blank" href="/second" target="_blank">blank</a>
<a id="wont" href="/second" target="wontOpen">wont</a>
<form id="form" action="/second" target="_blank"><button id="submit">go</button></form>
</body></html>)";

constexpr const char* kSecondPage =
    R"(<!doctype html><html><head><title>第二页</title></head><body>second</body></html>)";

class WebViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (LoopbackServer* server : {&m_trusted, &m_foreign}) {
            server->Http().Get("/bridge", [](const httplib::Request&, httplib::Response& res) {
                res.set_content(kBridgePage, "text/html; charset=utf-8");
            });
            server->Http().Get("/second", [](const httplib::Request&, httplib::Response& res) {
                res.set_content(kSecondPage, "text/html; charset=utf-8");
            });
            server->Start();
        }
        // The trusted site under a *.localhost name, as the account service is.
        m_origin = L"http://web.kelsor.localhost:" + std::to_wstring(m_trusted.Port());
        WebSetTrustedOrigins({m_origin});
        WebBindFunction(L"wkaction", 5, [this](WebView* view, std::vector<std::wstring> args) {
            return Handle(view, std::move(args));
        });
        m_host = MakeHost(400, 300);
        m_view = WebView::Create(m_host.get(), 1, 30, 398, 269);
        ASSERT_NE(m_view, nullptr);
        m_view->OnDocumentReady([this](WebView*) { ++m_ready; });
        m_view->OnTitleChanged(
            [this](WebView*, const std::wstring& title) { m_titles.push_back(title); });
        m_view->OnWindowDestroy([this](WebView*) { m_destroyed = true; });
    }

    void TearDown() override {
        if (!m_destroyed) {
            m_view->Destroy();
        }
        m_host.reset();
        WebBindFunction(L"wkaction", 5, nullptr);
        WebSetTrustedOrigins({});
    }

    std::optional<std::wstring> Handle(WebView* view, std::vector<std::wstring> args) {
        EXPECT_EQ(view, m_view);
        m_calls.push_back(args);
        if (!args.empty() && args[0] == L"undefined-please") {
            return std::nullopt;
        }
        std::wstring joined = L"ok";
        for (const std::wstring& a : args) {
            joined += L":" + a;
        }
        return joined;
    }

    void LoadAndWait(const std::wstring& url) {
        const int before = m_ready;
        m_view->LoadUrl(url);
        ASSERT_TRUE(WaitFor([&] { return m_ready > before; })) << "page did not load";
    }

    std::wstring Trusted(const std::wstring& path) { return m_origin + path; }
    std::wstring Foreign(const std::wstring& path) {
        return L"http://127.0.0.1:" + std::to_wstring(m_foreign.Port()) + path;
    }

    LoopbackServer m_trusted;
    LoopbackServer m_foreign;
    std::wstring m_origin;
    std::unique_ptr<QWidget> m_host;
    WebView* m_view = nullptr;
    int m_ready = 0;
    bool m_destroyed = false;
    std::vector<std::wstring> m_titles;
    std::vector<std::vector<std::wstring>> m_calls;
};

TEST_F(WebViewTest, CreationNeedsAHostWindow) {
    EXPECT_EQ(WebView::Create(nullptr, 0, 0, 10, 10), nullptr);
    EXPECT_EQ(m_view->HostWindow()->parentWidget(), m_host.get());
    EXPECT_EQ(m_view->HostWindow()->geometry(), QRect(1, 30, 398, 269));
    // Views start hidden behind their window's own content.
    EXPECT_FALSE(m_view->IsShown());
    m_view->Show(true);
    EXPECT_TRUE(m_view->IsShown());
    m_view->SetWindowTitle(L"RegisterLoginWnd");
    EXPECT_EQ(m_view->WindowTitle(), L"RegisterLoginWnd");
}

TEST_F(WebViewTest, BridgeAnswersSynchronouslyWithStringsOrUndefined) {
    LoadAndWait(Trusted(L"/bridge"));
    EXPECT_EQ(Evaluate(m_view, L"wkaction('app', 'ver')"), L"ok:app:ver");
    EXPECT_EQ(Evaluate(m_view, L"wkaction('registerlogin', 'moblielogin', '{\"sp\":\"1.0\"}')"),
              L"ok:registerlogin:moblielogin:{\"sp\":\"1.0\"}");
    EXPECT_EQ(Evaluate(m_view, L"wkaction('中文', '')"), L"ok:中文:");
    EXPECT_EQ(Evaluate(m_view, L"typeof wkaction('undefined-please')"), L"undefined");
    // Script values arrive as their string forms; the declared count is kept.
    EXPECT_EQ(Evaluate(m_view, L"wkaction(1, true)"), L"ok:1:true");
    EXPECT_EQ(Evaluate(m_view, L"String(wkaction.length)"), L"5");
    EXPECT_EQ(Evaluate(m_view, L"wkaction()"), L"ok");
    ASSERT_EQ(m_calls.size(), 6u);
    EXPECT_EQ(m_calls[1].size(), 3u);
}

TEST_F(WebViewTest, ManyCallsAnswerInOrder) {
    LoadAndWait(Trusted(L"/bridge"));
    const std::wstring result =
        Evaluate(m_view,
                 L"(function(){var r=[];for(var i=0;i<300;i++)"
                 L"r.push(wkaction('n', String(i)));return r.join(',');})()");
    std::wstring expected;
    for (int i = 0; i < 300; ++i) {
        expected += (i ? L"," : L"") + (L"ok:n:" + std::to_wstring(i));
    }
    EXPECT_EQ(result, expected);
    ASSERT_EQ(m_calls.size(), 300u);
    EXPECT_EQ(m_calls[299][1], L"299");
}

TEST_F(WebViewTest, PagesFromOtherOriginsGetUndefinedAndChangeNothing) {
    LoadAndWait(Foreign(L"/bridge"));
    EXPECT_EQ(Evaluate(m_view, L"typeof wkaction"), L"function");
    EXPECT_EQ(Evaluate(m_view, L"typeof wkaction('app', 'ver')"), L"undefined");
    // The same site under another name is another origin too.
    LoadAndWait(L"http://localhost:" + std::to_wstring(m_trusted.Port()) + L"/bridge");
    EXPECT_EQ(Evaluate(m_view, L"typeof wkaction('app', 'ver')"), L"undefined");
    EXPECT_TRUE(m_calls.empty());
    // Back on the trusted site the bridge answers again.
    LoadAndWait(Trusted(L"/bridge"));
    EXPECT_EQ(Evaluate(m_view, L"wkaction('app', 'ver')"), L"ok:app:ver");
}

TEST_F(WebViewTest, DocumentReadyAndTitleCallbacksFire) {
    LoadAndWait(Trusted(L"/bridge"));
    ASSERT_TRUE(WaitFor([&] { return !m_titles.empty() && m_titles.back() == L"桥接测试"; }));
    EXPECT_EQ(m_view->PageTitle(), L"桥接测试");
    Evaluate(m_view, L"document.title = '新标题'");
    EXPECT_TRUE(WaitFor([&] { return m_titles.back() == L"新标题"; }));

    // A page that fails to load is not reported ready.
    auto* page = qobject_cast<QWebEngineView*>(m_view->HostWindow())->page();
    bool failed = false;
    QObject::connect(page, &QWebEnginePage::loadFinished, [&](bool ok) { failed = !ok; });
    const int before = m_ready;
    LoopbackServer closed;
    closed.Start();
    const std::wstring deadUrl = L"http://127.0.0.1:" + std::to_wstring(closed.Port()) + L"/x";
    closed.Http().stop();
    m_view->LoadUrl(deadUrl);
    ASSERT_TRUE(WaitFor([&] { return failed; }));
    EXPECT_EQ(m_ready, before);
}

TEST_F(WebViewTest, WindowRequestsAskTheCreateViewPolicy) {
    std::vector<std::pair<std::wstring, std::wstring>> asked;
    m_view->OnCreateView([&](WebView* view, const std::wstring& url, const std::wstring& name) {
        asked.emplace_back(url, name);
        return (name == L"_blank" || name.empty() || name == L"wontOpen") ? nullptr : view;
    });
    LoadAndWait(Trusted(L"/bridge"));

    Evaluate(m_view, L"document.getElementById('blank').click()");
    ASSERT_TRUE(WaitFor([&] { return asked.size() == 1; }));
    EXPECT_EQ(asked[0], std::make_pair(Trusted(L"/second"), std::wstring(L"_blank")));

    EXPECT_EQ(Evaluate(m_view, L"String(window.open('/second', 'wontOpen'))"), L"null");
    EXPECT_EQ(Evaluate(m_view, L"String(window.open('/second'))"), L"null");
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[1].second, L"wontOpen");
    EXPECT_EQ(asked[2], std::make_pair(Trusted(L"/second"), std::wstring()));

    // A form with a target reaches the policy through the engine itself.
    Evaluate(m_view, L"document.getElementById('submit').click()");
    ASSERT_TRUE(WaitFor([&] { return asked.size() == 4; }));
    EXPECT_EQ(asked[3].second, L"_blank");
    EXPECT_NE(asked[3].first.find(L"/second"), std::wstring::npos);
    EXPECT_NE(m_view->Url().find(L"/bridge"), std::wstring::npos);

    // A window the policy hands to another view loads there.
    auto other = MakeHost(200, 100);
    WebView* elsewhere = WebView::Create(other.get(), 0, 0, 200, 100);
    bool elsewhereReady = false;
    elsewhere->OnDocumentReady([&](WebView*) { elsewhereReady = true; });
    m_view->OnCreateView([&](WebView*, const std::wstring& url, const std::wstring& name) {
        asked.emplace_back(url, name);
        return name == L"elsewhere" ? elsewhere : m_view;
    });
    EXPECT_EQ(Evaluate(m_view, L"String(window.open('/second', 'elsewhere'))"), L"null");
    ASSERT_TRUE(WaitFor([&] { return elsewhereReady; }));
    EXPECT_EQ(elsewhere->PageTitle(), L"第二页");
    EXPECT_NE(m_view->Url().find(L"/bridge"), std::wstring::npos);
    elsewhere->Destroy();

    // A named window the policy gives back to the same view loads in place.
    Evaluate(m_view, L"window.open('/second', 'somename'); 0");
    ASSERT_TRUE(WaitFor([&] { return m_view->PageTitle() == L"第二页"; }));
    EXPECT_EQ(asked.back().second, L"somename");
}

TEST_F(WebViewTest, PageCloseRequestsAskFirstThenDestroyTheView) {
    int asked = 0;
    bool allow = false;
    m_view->OnWindowClosing([&](WebView*) {
        ++asked;
        return allow;
    });
    LoadAndWait(Trusted(L"/bridge"));
    Evaluate(m_view, L"window.close()");
    ASSERT_TRUE(WaitFor([&] { return asked == 1; }));
    EXPECT_FALSE(m_destroyed);
    allow = true;
    Evaluate(m_view, L"window.close()");
    ASSERT_TRUE(WaitFor([&] { return m_destroyed; }));
    EXPECT_EQ(asked, 2);
}

TEST_F(WebViewTest, DestroyFromInsideItsOwnCallWaitsForTheCall) {
    WebBindFunction(L"wkaction", 5, [this](WebView* view, std::vector<std::wstring>) {
        view->Destroy();
        return std::optional<std::wstring>(L"bye");
    });
    LoadAndWait(Trusted(L"/bridge"));
    m_view->Show(true);
    m_view->RunScript(L"wkaction('registerlogin', 'closewnd')");
    EXPECT_TRUE(WaitFor([&] { return m_destroyed; }));
}

TEST_F(WebViewTest, DestroyFromInsideACallbackWaitsForTheCallback) {
    m_view->OnDocumentReady([](WebView* view) {
        view->Destroy();
        EXPECT_FALSE(view->IsShown());  // still there, hidden
    });
    m_view->LoadUrl(Trusted(L"/bridge"));
    EXPECT_TRUE(WaitFor([&] { return m_destroyed; }));
}

// The engine does no work of its own while a script call is being answered,
// so a handler must not wait for another view: it posts the opening and
// returns; the new view then loads and answers its own calls.
TEST_F(WebViewTest, AHandlerPostsTheOpeningOfAnotherView) {
    LoadAndWait(Trusted(L"/bridge"));
    WebView* second = nullptr;
    bool secondReady = false;
    WebBindFunction(L"wkaction", 5, [&](WebView* view, std::vector<std::wstring> args) {
        if (view != m_view) {
            return std::optional<std::wstring>(L"inner:" + args.at(0));
        }
        QTimer::singleShot(0, [&] {
            second = WebView::Create(m_host.get(), 0, 0, 200, 100);
            second->OnDocumentReady([&](WebView*) { secondReady = true; });
            second->LoadUrl(Trusted(L"/second"));
        });
        return std::optional<std::wstring>(L"0");
    });
    EXPECT_EQ(Evaluate(m_view, L"wkaction('registerlogin', 'qqloginshow', 'url')"), L"0");
    ASSERT_TRUE(WaitFor([&] { return secondReady; }));
    EXPECT_EQ(Evaluate(second, L"wkaction('nested')"), L"inner:nested");
    second->Destroy();
}

TEST_F(WebViewTest, FinalizeDestroysTheViewsLeftAndInitializeStartsAgain) {
    WebFinalize();
    EXPECT_TRUE(m_destroyed);
    EXPECT_FALSE(WebIsInitialized());
    EXPECT_EQ(WebView::Create(m_host.get(), 0, 0, 10, 10), nullptr);
    ASSERT_TRUE(WebInitialize());
    EXPECT_TRUE(WebInitialize());  // once is enough; a second call changes nothing
    // Bindings went with the engine; a new one works on a new view.
    WebSetTrustedOrigins({m_origin});
    WebBindFunction(L"wkaction", 5, [](WebView*, std::vector<std::wstring>) {
        return std::optional<std::wstring>(L"again");
    });
    m_view = WebView::Create(m_host.get(), 0, 0, 200, 100);
    m_destroyed = false;
    m_view->OnDocumentReady([this](WebView*) { ++m_ready; });
    m_view->OnWindowDestroy([this](WebView*) { m_destroyed = true; });
    LoadAndWait(Trusted(L"/bridge"));
    EXPECT_EQ(Evaluate(m_view, L"wkaction('app', 'ver')"), L"again");
}

TEST(WebEngineEnvironment, SandboxFlagsOnlyForRootAndExistingValuesKept) {
    const QByteArray savedSandbox = qgetenv("QTWEBENGINE_DISABLE_SANDBOX");
    const QByteArray savedFlags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
    qunsetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    PrepareWebEngineEnvironment();
    if (geteuid() == 0) {
        EXPECT_EQ(qgetenv("QTWEBENGINE_DISABLE_SANDBOX"), "1");
        EXPECT_EQ(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS"), "--no-sandbox --disable-gpu");
    } else {
        EXPECT_FALSE(qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"));
        EXPECT_FALSE(qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS"));
    }
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --custom");
    PrepareWebEngineEnvironment();
    EXPECT_EQ(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS"), "--no-sandbox --custom");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", savedSandbox);
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", savedFlags);
}

}  // namespace
}  // namespace kelsor::platform::test

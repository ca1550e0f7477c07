// Not a test: renders each account page at its window's view size into
// build/screenshots/web for a person to look at (the screenshots target runs
// it).

#include <QDir>
#include <QImage>
#include <QPixmap>

#include "AccountPagesFixture.h"

namespace kelsor::platform::test {
namespace {

class AccountPageShots : public AccountPagesTest {
protected:
    void Screenshot(const std::string& name) {
        QDir().mkpath(KELSOR_SCREENSHOT_DIR);
        RunEventsFor(std::chrono::milliseconds(300));  // let the last frame reach the widget
        const QImage image = m_view->HostWindow()->grab().toImage();
        ASSERT_FALSE(image.isNull());
        EXPECT_TRUE(image.save(
            QString::fromStdString(std::string(KELSOR_SCREENSHOT_DIR) + "/" + name + ".png")));
    }
};

TEST_F(AccountPageShots, EveryPage) {
    OpenSmall(kLoginPath);
    Screenshot("login");
    Type(L"mobile", L"13800138000");
    RequestCode();
    Screenshot("login-code");
    Click(L"tab-reg");
    RequestCode();
    Click(L"submit");
    WaitFor([&] { return !Text(L"message").empty(); });
    Screenshot("login-register");
    Click(L"tab-pwd");
    Screenshot("login-password");
    m_view->Destroy();
    m_view = nullptr;

    const std::pair<const std::wstring*, const char*> pages[] = {
        {&kQQPath, "qqlogin"}, {&kWeChatPath, "wechatlogin"}, {&kBindPath, "bindphone"}};
    for (const auto& [path, name] : pages) {
        *path == kQQPath ? OpenQQ(*path) : OpenSmall(*path);
        Screenshot(name);
        m_view->Destroy();
        m_view = nullptr;
    }

    OpenSmall(L"/index/index/blank");
    Screenshot("blank");
}

}  // namespace
}  // namespace kelsor::platform::test

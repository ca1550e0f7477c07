#include "account/windows/ScriptBridge.h"

#include <QCoreApplication>
#include <QUrl>
#include <functional>

#include "account/Session.h"
#include "account/windows/AccountWindows.h"
#include "account/windows/WebWindow.h"
#include "app/AppContext.h"
#include "platform/ui/MainWindowRef.h"
#include "platform/web/WebEngine.h"

namespace kelsor::account {
namespace {

// What a row of the dispatch table does beyond answering.
enum class Effect {
    ProductName,
    Version,
    Channel,
    SessionAction,  // the session's page action of the same name
    ShowQQ,
    ShowWeChat,
    CloseRegisterLogin,
    CloseBindCellPhone,
    BackFromQQ,
    BackFromWeChat,
};

struct Row {
    const wchar_t* module;
    const wchar_t* action;
    Effect effect;
};

constexpr Row kTable[] = {
    {L"app", L"productname", Effect::ProductName},
    {L"app", L"ver", Effect::Version},
    {L"app", L"channel", Effect::Channel},
    {L"registerlogin", L"moblielogin", Effect::SessionAction},
    {L"registerlogin", L"qqloginshow", Effect::ShowQQ},
    {L"registerlogin", L"wechatloginshow", Effect::ShowWeChat},
    {L"registerlogin", L"bindcellphone", Effect::SessionAction},
    {L"registerlogin", L"bindcellphoneshowwx", Effect::SessionAction},
    {L"registerlogin", L"bindcellphoneshowqq", Effect::SessionAction},
    {L"registerlogin", L"bindcellphoneclosewnd", Effect::CloseBindCellPhone},
    {L"registerlogin", L"autologinchk", Effect::SessionAction},
    {L"registerlogin", L"closewnd", Effect::CloseRegisterLogin},
    {L"thirdlogin", L"qqlogin", Effect::SessionAction},
    {L"thirdlogin", L"wechatlogin", Effect::SessionAction},
    {L"thirdlogin", L"qqclosewnd", Effect::BackFromQQ},
    {L"thirdlogin", L"wechatclosewnd", Effect::BackFromWeChat},
};

// A window opened from inside a page's call would run its modal loop inside
// that call; it opens from the UI thread's queue instead, once the call (and
// the closing of the calling window) is done.
void PostOpening(std::function<void()> open) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(open), Qt::QueuedConnection);
}

std::wstring Run(Effect effect, const std::wstring& action, const std::wstring& data) {
    switch (effect) {
        case Effect::ProductName:
            return App().productName;
        case Effect::Version:
            return App().versionText;
        case Effect::Channel:
            return App().channel;
        case Effect::SessionAction:
            return RunSessionPageAction(MainWindowPort(), action, data).value_or(L"0");
        case Effect::ShowQQ:
            CloseAccountWindow(AccountWindowKind::RegisterLogin);
            PostOpening([data] { OpenQQLoginWindow(ui::GetMainWindow(), data); });
            return L"0";
        case Effect::ShowWeChat:
            CloseAccountWindow(AccountWindowKind::RegisterLogin);
            PostOpening([data] { OpenWeChatLoginWindow(ui::GetMainWindow(), data); });
            return L"0";
        case Effect::CloseRegisterLogin:
            CloseAccountWindow(AccountWindowKind::RegisterLogin);
            return L"0";
        case Effect::CloseBindCellPhone:
            CloseAccountWindow(AccountWindowKind::BindCellPhone);
            return L"0";
        case Effect::BackFromQQ:
            CloseAccountWindow(AccountWindowKind::QQLogin);
            PostOpening([] { OpenRegisterLoginWindow(ui::GetMainWindow()); });
            return L"0";
        case Effect::BackFromWeChat:
            CloseAccountWindow(AccountWindowKind::WeChatLogin);
            PostOpening([] { OpenRegisterLoginWindow(ui::GetMainWindow()); });
            return L"0";
    }
    return L"0";
}

}  // namespace

std::wstring AccountWebOrigin() {
    const QUrl url(QString::fromStdWString(App().loginPageUrl));
    const QString scheme = url.scheme().toLower();
    if ((scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty())
        return L"";
    QString origin = scheme + QLatin1String("://") + url.host();
    if (url.port() != -1)
        origin += QLatin1Char(':') + QString::number(url.port());
    return origin.toStdWString();
}

void BindScriptBridge() {
    const std::wstring origin = AccountWebOrigin();
    // Pages from anywhere else (a followed link, a third-party page) get
    // undefined and change nothing.
    platform::WebSetTrustedOrigins(origin.empty() ? std::vector<std::wstring>{}
                                                  : std::vector<std::wstring>{origin});
    platform::WebBindFunction(L"wkaction", 5, &WkAction);
}

std::optional<std::wstring> WkAction(platform::WebView* view,
                                     const std::vector<std::wstring>& args) {
    if (WebViewRegistry::Instance().FindLive(view) == nullptr)
        return std::nullopt;
    if (args.size() != 2 && args.size() != 3)
        return L"";
    const std::wstring& module = args[0];
    const std::wstring& action = args[1];
    const std::wstring data = args.size() == 3 ? args[2] : std::wstring();
    bool knownModule = false;
    for (const Row& row : kTable) {
        if (module != row.module)
            continue;
        knownModule = true;
        if (action == row.action)
            return Run(row.effect, action, data);
    }
    return knownModule ? L"-2" : L"-3";
}

}  // namespace kelsor::account

#include "account/Session.h"

#include <cstdio>

#include "account/SessionFile.h"
#include "account/UserInfo.h"
#include "account/UserInfoParse.h"
#include "app/AppContext.h"
#include "app/TextConv.h"
#include "cloud/HWOcrClientToken.h"

namespace kelsor {
namespace {

// Sign-in page actions and the window that hosts their page.
struct SignInAction {
    const wchar_t* name;
    AccountWindowKind host;
};

constexpr SignInAction kSignInActions[] = {
    {L"moblielogin", AccountWindowKind::RegisterLogin},
    {L"qqlogin", AccountWindowKind::QQLogin},
    {L"wechatlogin", AccountWindowKind::WeChatLogin},
    {L"bindcellphone", AccountWindowKind::BindCellPhone},
};

void ShowBindPhone(AccountWindowPort& window, AccountWindowKind closing,
                   const std::wstring& userid) {
    window.CloseAccountWindow(closing);
    App().bindPhoneTargetUrl.set(App().bindPhonePageUrl + userid);
    window.PostMessage(WM_KSOCR_OPENBINDPHONE);
}

}  // namespace

void ApplySession(AccountWindowPort& window, int placement) {
    UserInfo& user = CurrentUser();
    InitCloudToken(user.hwusername, user.hwpassword, user.hwdomainname, user.hwregion);
    const std::wstring& displayName = user.nickname.empty() ? user.mobile : user.nickname;
    window.ShowSignedIn(displayName, placement);
    user.loggedIn = true;
    if (SaveSession()) {
        WriteSessionFile(App().sessionFilePath, user.userid, user.token);
    }
}

bool HandleAutoLoginReply(AccountWindowPort& window) {
    std::wstring reply = App().autoLoginReply.get();
    if (reply.empty() || ParseAutoLoginReply(reply, CurrentUser()) != 0) {
        return false;
    }
    ApplySession(window, 1);
    return true;
}

void LogOut(AccountWindowPort& window) {
    CurrentUser() = UserInfo{};
    // remove() of a missing file simply fails; nothing else to check.
    std::remove(WideToAnsi(App().sessionFilePath).c_str());
    window.SendMessage(WM_KSOCR_LOGGEDOUT);
}

bool PassSignInGate(AccountWindowPort& window) {
    if (CurrentUser().loggedIn) {
        return true;
    }
    window.SendMessage(WM_KSOCR_OPENLOGIN);
    return false;
}

std::optional<std::wstring> RunSessionPageAction(AccountWindowPort& window,
                                                 const std::wstring& action,
                                                 const std::wstring& data) {
    for (const SignInAction& signIn : kSignInActions) {
        if (action == signIn.name) {
            if (ParseUserInfo(data, CurrentUser()) == 0) {
                ApplySession(window, 0);
            }
            // The page has done its work whether or not the record parsed.
            window.CloseAccountWindow(signIn.host);
            return L"0";
        }
    }
    if (action == L"autologinchk") {
        SaveSession() = data == L"1";
    } else if (action == L"bindcellphoneshowqq") {
        ShowBindPhone(window, AccountWindowKind::QQLogin, data);
    } else if (action == L"bindcellphoneshowwx") {
        ShowBindPhone(window, AccountWindowKind::WeChatLogin, data);
    } else {
        return std::nullopt;
    }
    return L"0";
}

}  // namespace kelsor

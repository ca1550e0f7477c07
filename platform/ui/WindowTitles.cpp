#include "platform/ui/WindowTitles.h"

#include <array>
#include <utility>

namespace kelsor::ui {

QString WindowTitleFor(const CDuiString& name) {
    static constexpr std::array<std::pair<const wchar_t*, const wchar_t*>, 8> kTitles{{
        {L"CommonDlg", L"KelsorOCR温馨提示"},
        {L"HotKeyWnd", L"截图快捷键设置"},
        {L"MainMenuWnd", L"KelsorOCR菜单"},
        {L"UserCenterInfoWnd", L"用户中心"},
        {L"CRegisterLoginWnd", L"登录KelsorOCR"},
        {L"CQQLoginWnd", L"QQ登录"},
        {L"CWeChatLoginWnd", L"微信登录"},
        {L"CBindCellPhoneWnd", L"绑定手机号"},
    }};
    for (const auto& [internal, title] : kTitles) {
        if (name == internal)
            return QString::fromWCharArray(title);
    }
    return QString::fromStdWString(name);
}

}  // namespace kelsor::ui

#pragma once

#include <QString>
#include <cstdint>
#include <string>

class QWidget;

// Windows-flavoured names of the UI layer. A window handle is the Qt widget
// that hosts the window; messages keep their numbers.
namespace kelsor::ui {

using HWND = QWidget*;
using UINT = unsigned int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using CDuiString = std::wstring;

// Window styles that change behaviour in this layer; the others are kept only
// so that call sites read as on Windows.
inline constexpr UINT WS_CHILD = 0x40000000;
inline constexpr UINT WS_POPUP = 0x80000000;
inline constexpr UINT WS_VISIBLE = 0x10000000;
inline constexpr UINT WS_CLIPSIBLINGS = 0x04000000;
inline constexpr UINT WS_CLIPCHILDREN = 0x02000000;
inline constexpr UINT WS_CAPTION = 0x00C00000;
inline constexpr UINT WS_SYSMENU = 0x00080000;
inline constexpr UINT WS_EX_TOOLWINDOW = 0x00000080;
inline constexpr UINT WS_EX_WINDOWEDGE = 0x00000100;
inline constexpr UINT UI_WNDSTYLE_DIALOG = 0x96C80000;
inline constexpr UINT UI_WNDSTYLE_CHILD = 0x56000000;

// System messages the layer delivers to HandleMessage.
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_KILLFOCUS = 0x0008;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
inline constexpr UINT WM_HOTKEY = 0x0312;
inline constexpr UINT WM_MOUSEWHEEL = 0x020A;
inline constexpr UINT WM_DROPFILES = 0x0233;
inline constexpr WPARAM SC_MINIMIZE = 0xF020;
inline constexpr WPARAM SC_CLOSE = 0xF060;

// Text styles for CRenderEngine and CLabelUI::GetTextStyle (DT_* values).
inline constexpr UINT DT_LEFT = 0x0000;
inline constexpr UINT DT_CENTER = 0x0001;
inline constexpr UINT DT_RIGHT = 0x0002;
inline constexpr UINT DT_VCENTER = 0x0004;
inline constexpr UINT DT_BOTTOM = 0x0008;
inline constexpr UINT DT_WORDBREAK = 0x0010;
inline constexpr UINT DT_SINGLELINE = 0x0020;
inline constexpr UINT DT_END_ELLIPSIS = 0x8000;

// The layer's wide text as Qt text.
inline QString ToQString(const CDuiString& text) {
    return QString::fromStdWString(text);
}

inline LPARAM MakeLParam(int low, int high) {
    return static_cast<LPARAM>((static_cast<std::uint32_t>(high & 0xFFFF) << 16) |
                               static_cast<std::uint32_t>(low & 0xFFFF));
}

}  // namespace kelsor::ui

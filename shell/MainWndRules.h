#pragma once

#include <QPoint>
#include <QRect>
#include <string>

// The main window's fixed geometry and small decisions, kept apart from the
// widgets so they can be checked on their own.
namespace kelsor::shell {

// Pages of the main window, in tab order.
inline constexpr int kSinglePage = 0;
inline constexpr int kBatchPage = 1;
inline constexpr int kScreenPage = 2;

// Client points under which the popups open (converted to the screen).
inline constexpr QPoint kMainMenuPoint{961, 35};
inline constexpr QPoint kUserCenterPoint{746, 81};

// Page windows sit below the title bar, one pixel in from each side; the
// output band keeps the bottom 185 - 94 pixels.
QRect PageRect(const QRect& clientRect);

// What a start-button row shows in each page state (0 no picture, 1 ready,
// 2 recognising, 3 done).
struct StartRowLook {
    bool startVisible = false;
    bool startEnabled = false;
    bool runningVisible = false;
    bool doneVisible = false;
};
StartRowLook StartRowFor(int state);

// Page index of a page tab option ("singleocropt" …), or -1 for any other
// control.
int PageIndexForOption(const std::wstring& name);

// The wheel zooms the picture only over the picture area of the single and
// screen pages (client coordinates, bounds excluded).
bool IsInWheelArea(const QPoint& client);

// The transparent button over the user's picture, for a nickname label of
// `nicknameWidth` pixels: the picture sits just left of the label, whose
// right edge is fixed by the account area.
QRect UserHeadButtonRect(int nicknameWidth);

}  // namespace kelsor::shell

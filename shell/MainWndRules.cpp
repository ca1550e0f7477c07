#include "shell/MainWndRules.h"

namespace kelsor::shell {

QRect PageRect(const QRect& clientRect) {
    return QRect(1, 94, clientRect.width() - 2, clientRect.height() - 185);
}

StartRowLook StartRowFor(int state) {
    StartRowLook look;
    switch (state) {
        case 0:
            look.startVisible = true;
            break;
        case 1:
            look.startVisible = true;
            look.startEnabled = true;
            break;
        case 2:
            look.runningVisible = true;
            break;
        case 3:
            look.doneVisible = true;
            break;
        default:
            // Not a state any page sends: keep the safe look of "no picture".
            look.startVisible = true;
            break;
    }
    return look;
}

int PageIndexForOption(const std::wstring& name) {
    if (name == L"singleocropt")
        return kSinglePage;
    if (name == L"batchocropt")
        return kBatchPage;
    if (name == L"screenocropt")
        return kScreenPage;
    return -1;
}

bool IsInWheelArea(const QPoint& client) {
    return client.x() > 22 && client.x() < 552 && client.y() > 118 && client.y() < 617;
}

QRect UserHeadButtonRect(int nicknameWidth) {
    // The 40-pixel picture ends where the label begins; the label ends at 943
    // + 40 (the account area's right edge less its 7-pixel margin).
    const int left = 943 - nicknameWidth;
    return QRect(QPoint(left, 41), QPoint(left + 40 - 1, 81 - 1));
}

}  // namespace kelsor::shell

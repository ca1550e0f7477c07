#pragma once

#include <QObject>
#include <QPointer>
#include <string>

#include "platform/ui/UiLib.h"

class QSequentialAnimationGroup;

namespace kelsor::jobs {

// The "复制" button beside a page's result text ("copytextbtn"): shown while
// the text ("ocrtextarea") is, it puts the whole text on the clipboard and
// confirms with "已复制" ("copiedtip"), which fades away by itself.
class ResultCopy : public QObject {
public:
    explicit ResultCopy(ui::CPaintManagerUI& pm);
    ~ResultCopy() override;

    // Copies the shown text; nothing while no text is shown.
    void Copy();
    bool IsCopyButton(const ui::CDuiString& name) const { return name == L"copytextbtn"; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowTip();

    // The controls go with the page's window, which may close first.
    QPointer<ui::CControlUI> m_textArea;
    // The text area as a plain object, for telling its events apart: while
    // it is being destroyed it is no control any more, and reading
    // m_textArea then would cast it to one.
    QPointer<QObject> m_watched;
    QPointer<ui::CControlUI> m_button;
    QPointer<ui::CControlUI> m_tip;
    QPointer<QSequentialAnimationGroup> m_fade;
};

}  // namespace kelsor::jobs

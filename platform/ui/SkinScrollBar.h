#pragma once

#include <QScrollBar>

namespace kelsor::ui {

class CPaintManagerUI;

// A thin vertical scroll bar drawn from the skin image "global/vscrollbar.png"
// (thumb states normal, hot, pushed side by side, 8 x 40 each, stretched by
// their corners); without a manager it draws a plain rounded thumb.
class SkinScrollBar : public QScrollBar {
public:
    explicit SkinScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);
    void SetManager(CPaintManagerUI* manager) { m_manager = manager; }
    QSize sizeHint() const override;

    static constexpr const char* kImage = "global/vscrollbar.png";

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* e) override;

private:
    CPaintManagerUI* m_manager = nullptr;
    bool m_hot = false;
};

}  // namespace kelsor::ui

#pragma once

#include <QColor>
#include <QMargins>
#include <QString>

#include "platform/ui/Control.h"

// The text controls: a label, and the button, option and progress bar built
// on it.
namespace kelsor::ui {

class CLabelUI : public CControlUI {
public:
    QString GetClass() const override { return QStringLiteral("Label"); }
    bool ApplyAttribute(const QString& name, const QString& value) override;
    void SetText(const CDuiString& text) override;

    int GetFont() const { return m_font; }
    void SetFont(int index);
    UINT GetTextStyle() const { return m_textStyle; }
    void SetTextStyle(UINT style);
    QMargins GetTextPadding() const { return m_textPadding; }
    void SetTextPadding(const QMargins& padding);
    QColor GetTextColor() const { return m_textColor; }
    void SetTextColor(const QColor& color);
    void SetAutoCalcWidth(bool autoCalc);
    bool GetAutoCalcWidth() const { return m_autoCalcWidth; }
    QFont GetQFont() const { return ResolveFont(m_font); }

protected:
    void PaintText(QPainter& p) override;
    void PaintTextWith(QPainter& p, const QColor& color);
    void UpdateAutoWidth();

    int m_font = -1;  // -1: the window's default font
    UINT m_textStyle = DT_VCENTER | DT_SINGLELINE | DT_LEFT;
    QMargins m_textPadding;
    QColor m_textColor = QColor(0, 0, 0);
    QColor m_disabledTextColor;
    bool m_autoCalcWidth = false;
};

class CButtonUI : public CLabelUI {
public:
    CButtonUI();
    QString GetClass() const override { return QStringLiteral("Button"); }
    bool ApplyAttribute(const QString& name, const QString& value) override;
    bool Activate() override;
    bool IsHot() const { return m_hot; }
    bool IsPushed() const { return m_pushed; }

protected:
    void PaintStatusImage(QPainter& p) override;
    void PaintText(QPainter& p) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    virtual QString CurrentImage() const;
    virtual QColor CurrentTextColor() const;

    bool m_hot = false;
    bool m_pushed = false;
    QString m_normalImage, m_hotImage, m_pushedImage, m_disabledImage, m_foreImage, m_hotForeImage;
    QColor m_hotTextColor, m_pushedTextColor, m_hotBkColor;
};

class COptionUI : public CButtonUI {
public:
    QString GetClass() const override { return QStringLiteral("Option"); }
    bool ApplyAttribute(const QString& name, const QString& value) override;
    bool Activate() override;
    bool IsSelected() const { return m_selected; }
    // Selecting an option of a group unselects the others of the same window;
    // only the newly selected one reports "selectchanged".
    void Selected(bool selected, bool triggerEvent = true);
    CDuiString GetGroup() const { return m_group; }
    void SetGroup(const CDuiString& group) { m_group = group; }

protected:
    QString CurrentImage() const override;
    QColor CurrentTextColor() const override;

    bool m_selected = false;
    CDuiString m_group;
    QString m_selectedImage, m_selectedHotImage;
    QColor m_selectedTextColor, m_selectedBkColor;
};

class CProgressUI : public CLabelUI {
public:
    QString GetClass() const override { return QStringLiteral("Progress"); }
    bool ApplyAttribute(const QString& name, const QString& value) override;
    int GetValue() const { return m_value; }
    void SetValue(int value);
    int GetMinValue() const { return m_min; }
    int GetMaxValue() const { return m_max; }

protected:
    void PaintStatusImage(QPainter& p) override;

    int m_min = 0;
    int m_max = 100;
    int m_value = 0;
    QString m_foreImage;
};

}  // namespace kelsor::ui

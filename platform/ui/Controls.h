#pragma once

#include <QColor>
#include <QFont>
#include <QMargins>
#include <QRect>
#include <QString>
#include <QWidget>
#include <cstdint>

#include "platform/ui/LayoutRules.h"
#include "platform/ui/UiTypes.h"

class QPainter;

// The skinned controls: the base control and the text controls built on it
// (label, button, option, progress bar). Every control is a QWidget that
// paints itself from the skin (colours, images by reference, text with a font
// of the window's font table); containers (Containers.h) place their
// children with the rules of LayoutRules.h rather than with Qt layouts, so
// sizes read as in the markup. Editors and pictures are in Widgets.h.
namespace kelsor::ui {

class CPaintManagerUI;

// Set on a control removed from its container and waiting for deletion;
// lookups by name skip it and everything inside it.
inline constexpr const char* kDiscardedProperty = "kelsorDiscarded";

class CControlUI : public QWidget {
public:
    CControlUI();
    ~CControlUI() override;

    virtual QString GetClass() const { return QStringLiteral("Control"); }

    CDuiString GetName() const { return m_name; }
    void SetName(const CDuiString& name);
    virtual CDuiString GetText() const { return m_text; }
    virtual void SetText(const CDuiString& text);
    CDuiString GetToolTip() const;
    void SetToolTip(const CDuiString& tip);

    bool IsVisible() const { return m_visible; }
    virtual void SetVisible(bool visible = true);
    bool IsEnabled() const { return m_enabled; }
    virtual void SetEnabled(bool enabled = true);
    bool IsMouseEnabled() const { return m_mouse; }
    void SetMouseEnabled(bool enabled);

    CDuiString GetUserData() const { return m_userData; }
    void SetUserData(const CDuiString& userData) { m_userData = userData; }
    std::uintptr_t GetTag() const { return m_tag; }
    void SetTag(std::uintptr_t tag) { m_tag = tag; }
    // The virtual window of the nearest control (this one or an ancestor)
    // that names one; notifications of this control are routed to it.
    CDuiString GetVirtualWnd() const;
    void SetVirtualWnd(const CDuiString& name) { m_virtualWnd = name; }

    int GetFixedWidth() const { return m_fixedWidth; }
    void SetFixedWidth(int width);
    int GetFixedHeight() const { return m_fixedHeight; }
    void SetFixedHeight(int height);
    QMargins GetPadding() const { return m_padding; }
    void SetPadding(const QMargins& padding);
    bool IsFloat() const { return m_float; }
    void SetFloat(bool floating);
    // Floating position relative to the parent (left, top, right, bottom).
    void SetFloatPos(const QRect& pos);
    QRect GetFloatPos() const { return m_floatPos; }
    // The control's rectangle in the coordinates of its window.
    QRect GetPos() const;
    // Places a floating control at a rectangle in window coordinates.
    void SetPos(const QRect& rect);

    // Attributes by name and value string, as the markup writes them. Returns
    // false for an unknown attribute or a value that does not parse.
    virtual bool ApplyAttribute(const QString& name, const QString& value);
    // The same for callers; an unknown attribute is logged, never fatal.
    void SetAttribute(const CDuiString& name, const CDuiString& value);

    CControlUI* GetParent() const;
    CPaintManagerUI* GetManager() const { return m_manager; }
    virtual void SetManager(CPaintManagerUI* manager);

    // Re-arranges the parent container after a size or visibility change.
    void NeedParentUpdate();
    void NeedUpdate() { update(); }

    // The default action of the control (a click for buttons).
    virtual bool Activate();

    LayoutItem GetLayoutItem() const;

    QColor GetBkColor() const { return m_bkColor; }
    void SetBkColor(const QColor& color);
    QString GetBkImage() const { return m_bkImage; }
    void SetBkImage(const QString& image);

protected:
    void paintEvent(QPaintEvent* event) override;
    // Painting in the order of the skin: background colour, background image,
    // state images, text, border.
    virtual void PaintBkColor(QPainter& p);
    virtual void PaintBkImage(QPainter& p);
    virtual void PaintStatusImage(QPainter&) {}
    virtual void PaintText(QPainter&) {}
    virtual void PaintBorder(QPainter& p);
    bool DrawImage(QPainter& p, const QString& image, const QRect& rect = QRect());
    QFont ResolveFont(int index) const;
    // Setters of the attribute table beside the plain member setters.
    static bool SetCursorName(CControlUI& control, const QString& name);
    static void SetMarkupPos(CControlUI& control, const QRect& pos);

    CPaintManagerUI* m_manager = nullptr;
    CDuiString m_name;
    CDuiString m_text;
    CDuiString m_userData;
    CDuiString m_virtualWnd;
    std::uintptr_t m_tag = 0;
    bool m_visible = true;
    bool m_enabled = true;
    bool m_mouse = true;
    bool m_float = false;
    QRect m_floatPos;
    int m_fixedWidth = 0;
    int m_fixedHeight = 0;
    QMargins m_padding;
    QColor m_bkColor;
    QString m_bkImage;
    QColor m_borderColor;
    int m_borderSize = 0;
    QSize m_borderRound;
};

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
    // The text colour for the enabled state.
    QColor CurrentTextColor() const;
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
    bool event(QEvent* e) override;
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

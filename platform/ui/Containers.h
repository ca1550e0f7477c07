#pragma once

#include <QColor>
#include <QMargins>
#include <vector>

#include "platform/ui/Controls.h"

class QScrollArea;

// Controls that hold controls: the plain container (children stacked), the
// vertical and horizontal layouts, the tab layout (one child shown) and the
// list (a header of column items over a scrolling body of rows whose cells
// take the widths of the header items).
namespace kelsor::ui {

class CContainerUI : public CControlUI {
public:
    QString GetClass() const override { return QStringLiteral("Container"); }
    bool ApplyAttribute(const QString& name, const QString& value) override;
    void SetManager(CPaintManagerUI* manager) override;

    virtual bool Add(CControlUI* control);
    virtual bool AddAt(CControlUI* control, int index);
    virtual bool Remove(CControlUI* control);
    virtual void RemoveAll();
    virtual int GetCount() const { return static_cast<int>(m_items.size()); }
    virtual CControlUI* GetItemAt(int index) const;
    virtual int GetItemIndex(CControlUI* control) const;

    QMargins GetInset() const { return m_inset; }
    void SetInset(const QMargins& inset);
    int GetChildPadding() const { return m_childPadding; }
    void SetChildPadding(int padding);

    // Places the children by the container's rule.
    virtual void Arrange();

protected:
    virtual LayoutKind Kind() const { return LayoutKind::Stack; }
    static void Discard(CControlUI* control);
    virtual std::vector<LayoutItem> CollectItems() const;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

    std::vector<CControlUI*> m_items;
    QMargins m_inset;
    int m_childPadding = 0;
};

class CVerticalLayoutUI : public CContainerUI {
public:
    QString GetClass() const override { return QStringLiteral("VerticalLayout"); }

protected:
    LayoutKind Kind() const override { return LayoutKind::Vertical; }
};

class CHorizontalLayoutUI : public CContainerUI {
public:
    QString GetClass() const override { return QStringLiteral("HorizontalLayout"); }

protected:
    LayoutKind Kind() const override { return LayoutKind::Horizontal; }
};

class CTabLayoutUI : public CContainerUI {
public:
    QString GetClass() const override { return QStringLiteral("TabLayout"); }
    bool ApplyAttribute(const QString& name, const QString& value) override;
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    int GetCurSel() const { return m_curSel; }
    // Shows item `index` and hides the others; false for an index out of range.
    bool SelectItem(int index);
    bool SelectItem(CControlUI* control) { return SelectItem(GetItemIndex(control)); }

private:
    void ShowSelected();

    int m_curSel = 0;
};

class CListHeaderItemUI : public CButtonUI {
public:
    QString GetClass() const override { return QStringLiteral("ListHeaderItem"); }
    bool ApplyAttribute(const QString& name, const QString& value) override;

protected:
    void mousePressEvent(QMouseEvent*) override {}
    void mouseReleaseEvent(QMouseEvent*) override {}
};

class CListHeaderUI : public CHorizontalLayoutUI {
public:
    QString GetClass() const override { return QStringLiteral("ListHeader"); }
};

// A list: a header and a scrolling body of rows. Add/AddAt/Remove/GetItemAt
// work on the rows; the header is kept apart.
class CListUI : public CVerticalLayoutUI {
public:
    CListUI();
    QString GetClass() const override { return QStringLiteral("List"); }
    bool ApplyAttribute(const QString& name, const QString& value) override;
    void SetManager(CPaintManagerUI* manager) override;

    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    void RemoveAll() override;
    int GetCount() const override;
    CControlUI* GetItemAt(int index) const override;
    int GetItemIndex(CControlUI* control) const override;

    CListHeaderUI* GetHeader() const { return m_header; }
    // Widths of the header items (0 for a hidden item), for the row cells.
    std::vector<int> HeaderWidths() const;

    QColor ItemHotBkColor() const { return m_itemHotBk; }
    QColor ItemSelectedBkColor() const { return m_itemSelectedBk; }
    QColor ItemLineColor() const { return m_itemLine; }
    QColor ItemBkColor() const { return m_itemBk; }
    // Marks `row` selected and every other row not.
    void SelectRow(const CControlUI* row);
    void Arrange() override;

private:
    void LayoutBody();
    static bool SetHeaderShown(CListUI& list, const QString& value);

    CListHeaderUI* m_header;
    QScrollArea* m_scroll;
    CVerticalLayoutUI* m_body;
    QColor m_itemHotBk, m_itemSelectedBk, m_itemLine, m_itemBk;
    bool m_showHeader = true;
};

// One row of a list; its children are the cells, sized by the header items.
class CListContainerElementUI : public CHorizontalLayoutUI {
public:
    QString GetClass() const override { return QStringLiteral("ListContainerElement"); }
    CListUI* GetOwner() const;
    void SetOwner(CListUI* owner) { m_owner = owner; }
    bool IsSelected() const { return m_selected; }
    void Select(bool selected);

protected:
    std::vector<LayoutItem> CollectItems() const override;
    void PaintBkColor(QPainter& p) override;
    void PaintBorder(QPainter& p) override;
    bool event(QEvent* e) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    CListUI* m_owner = nullptr;
    bool m_hot = false;
    bool m_selected = false;
};

}  // namespace kelsor::ui

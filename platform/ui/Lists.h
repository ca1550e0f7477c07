#pragma once

#include <QColor>
#include <vector>

#include "platform/ui/Containers.h"
#include "platform/ui/Labels.h"

class QScrollArea;

// The list: a header of column items and a scrolling body of rows whose
// cells take the widths of the header items.
namespace kelsor::ui {

class CListUI;

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
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    CListUI* m_owner = nullptr;
    bool m_hot = false;
    bool m_selected = false;
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
    void SelectRow(CListContainerElementUI* row);
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

}  // namespace kelsor::ui

#pragma once

#include <QMargins>
#include <vector>

#include "platform/ui/Control.h"

// Controls that hold controls: the plain container (children stacked), the
// vertical and horizontal layouts and the tab layout (one child shown).
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

}  // namespace kelsor::ui

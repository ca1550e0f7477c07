#include "platform/ui/Containers.h"

#include <algorithm>

#include "platform/ui/Attributes.h"

namespace kelsor::ui {

// -------------------------------------------------------------- CContainerUI

bool CContainerUI::ApplyAttribute(const QString& name, const QString& value) {
    static const AttributeTable<CContainerUI> kTable = {
        {QStringLiteral("inset"), attr::Call(&CContainerUI::SetInset)},
        {QStringLiteral("childpadding"), attr::Call(&CContainerUI::SetChildPadding)},
        {QStringLiteral("vscrollbar"), attr::Ignored<bool>()},  // only lists scroll
        {QStringLiteral("hscrollbar"), attr::Ignored<bool>()},
    };
    if (const auto taken = kTable.Apply(*this, name, value))
        return *taken;
    return CControlUI::ApplyAttribute(name, value);
}

void CContainerUI::SetManager(CPaintManagerUI* manager) {
    CControlUI::SetManager(manager);
    for (CControlUI* c : m_items)
        c->SetManager(manager);
}

bool CContainerUI::Add(CControlUI* control) {
    return AddAt(control, GetCount());
}

bool CContainerUI::AddAt(CControlUI* control, int index) {
    if (control == nullptr || index < 0 || index > static_cast<int>(m_items.size()))
        return false;
    control->setParent(this);
    control->SetManager(m_manager);
    m_items.insert(m_items.begin() + index, control);
    control->setVisible(control->IsVisible());
    Arrange();
    return true;
}

bool CContainerUI::Remove(CControlUI* control) {
    auto it = std::find(m_items.begin(), m_items.end(), control);
    if (it == m_items.end())
        return false;
    m_items.erase(it);
    Discard(control);
    Arrange();
    return true;
}

void CContainerUI::RemoveAll() {
    std::vector<CControlUI*> items;
    items.swap(m_items);
    for (CControlUI* c : items)
        Discard(c);
    Arrange();
}

void CContainerUI::Discard(CControlUI* control) {
    // A row is often removed by a click on a button inside it: the button's
    // own event handler is still running, so the control goes later.
    control->hide();
    control->setProperty(kDiscardedProperty, true);
    control->deleteLater();
}

CControlUI* CContainerUI::GetItemAt(int index) const {
    if (index < 0 || index >= static_cast<int>(m_items.size()))
        return nullptr;
    return m_items[static_cast<std::size_t>(index)];
}

int CContainerUI::GetItemIndex(CControlUI* control) const {
    auto it = std::find(m_items.begin(), m_items.end(), control);
    return it == m_items.end() ? -1 : static_cast<int>(it - m_items.begin());
}

void CContainerUI::SetInset(const QMargins& inset) {
    m_inset = inset;
    Arrange();
}

void CContainerUI::SetChildPadding(int padding) {
    m_childPadding = padding;
    Arrange();
}

std::vector<LayoutItem> CContainerUI::CollectItems() const {
    std::vector<LayoutItem> items;
    items.reserve(m_items.size());
    for (const CControlUI* c : m_items)
        items.push_back(c->GetLayoutItem());
    return items;
}

void CContainerUI::Arrange() {
    const std::vector<QRect> rects =
        ArrangeItems(Kind(), rect(), m_inset, m_childPadding, CollectItems());
    // A shown control that the rule gives no room (a cell of a hidden
    // column) gets an empty rectangle rather than a stale one.
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i]->IsVisible())
            m_items[i]->setGeometry(rects[i]);
    }
}

void CContainerUI::resizeEvent(QResizeEvent*) {
    Arrange();
}

void CContainerUI::showEvent(QShowEvent*) {
    Arrange();
}

// -------------------------------------------------------------- CTabLayoutUI

bool CTabLayoutUI::ApplyAttribute(const QString& name, const QString& value) {
    static const AttributeTable<CTabLayoutUI> kTable = {
        {QStringLiteral("selectedid"), attr::Parsed<int>([](CTabLayoutUI& tab, int index) {
             tab.m_curSel = index;
             tab.ShowSelected();
         })},
    };
    if (const auto taken = kTable.Apply(*this, name, value))
        return *taken;
    return CContainerUI::ApplyAttribute(name, value);
}

bool CTabLayoutUI::Add(CControlUI* control) {
    return AddAt(control, GetCount());
}

bool CTabLayoutUI::AddAt(CControlUI* control, int index) {
    if (control == nullptr)
        return false;
    // Only the selected item is shown; its visibility is the tab's business.
    const bool show = index == m_curSel;
    control->SetVisible(show);
    if (!CContainerUI::AddAt(control, index))
        return false;
    ShowSelected();
    return true;
}

bool CTabLayoutUI::SelectItem(int index) {
    if (index < 0 || index >= GetCount())
        return false;
    m_curSel = index;
    ShowSelected();
    Arrange();
    return true;
}

void CTabLayoutUI::ShowSelected() {
    for (int i = 0; i < GetCount(); ++i)
        GetItemAt(i)->SetVisible(i == m_curSel);
}

}  // namespace kelsor::ui

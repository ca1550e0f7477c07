#include "platform/ui/Containers.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>

#include "platform/ui/Attributes.h"
#include "platform/ui/Hover.h"
#include "platform/ui/PaintManager.h"
#include "platform/ui/SkinScrollBar.h"

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

// --------------------------------------------------------- CListHeaderItemUI

bool CListHeaderItemUI::ApplyAttribute(const QString& name, const QString& value) {
    // Columns keep the widths of the markup: dragging is not offered.
    static const AttributeTable<CListHeaderItemUI> kTable = {
        {QStringLiteral("dragable"), attr::Ignored<bool>()},
        {QStringLiteral("sepwidth"), attr::Ignored<int>()},
    };
    if (const auto taken = kTable.Apply(*this, name, value))
        return *taken;
    return CButtonUI::ApplyAttribute(name, value);
}

// --------------------------------------------------- CListContainerElementUI

CListUI* CListContainerElementUI::GetOwner() const {
    if (m_owner != nullptr)
        return m_owner;
    for (QWidget* w = parentWidget(); w != nullptr; w = w->parentWidget()) {
        if (auto* list = dynamic_cast<CListUI*>(w))
            return list;
    }
    return nullptr;
}

void CListContainerElementUI::Select(bool selected) {
    m_selected = selected;
    update();
}

std::vector<LayoutItem> CListContainerElementUI::CollectItems() const {
    std::vector<LayoutItem> items = CHorizontalLayoutUI::CollectItems();
    const CListUI* list = GetOwner();
    if (list == nullptr || list->GetHeader() == nullptr)
        return items;
    // Cells take the width of the header item of the same column.
    const std::vector<int> widths = list->HeaderWidths();
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i < widths.size()) {
            items[i].fixedWidth = widths[i];
            if (widths[i] == 0)
                items[i].visible = false;
        }
    }
    return items;
}

void CListContainerElementUI::PaintBkColor(QPainter& p) {
    const CListUI* list = GetOwner();
    QColor c = m_bkColor;
    if (list != nullptr) {
        if (m_selected && list->ItemSelectedBkColor().isValid())
            c = list->ItemSelectedBkColor();
        else if (m_hot && list->ItemHotBkColor().isValid())
            c = list->ItemHotBkColor();
        else if (!c.isValid())
            c = list->ItemBkColor();
    }
    if (c.isValid())
        p.fillRect(rect(), c);
}

void CListContainerElementUI::PaintBorder(QPainter& p) {
    CHorizontalLayoutUI::PaintBorder(p);
    const CListUI* list = GetOwner();
    if (list != nullptr && list->ItemLineColor().isValid())
        p.fillRect(QRect(0, height() - 1, width(), 1), list->ItemLineColor());
}

bool CListContainerElementUI::event(QEvent* e) {
    TrackHover(*this, *e, m_hot);
    return CHorizontalLayoutUI::event(e);
}

void CListContainerElementUI::mousePressEvent(QMouseEvent* event) {
    if (CListUI* list = GetOwner())
        list->SelectRow(this);
    // A window that shows the chosen row's details hears of the choice.
    if (m_manager != nullptr && event->button() == Qt::LeftButton)
        m_manager->SendNotify(this, L"itemclick");
    event->accept();
}

// ------------------------------------------------------------------- CListUI

CListUI::CListUI()
    : m_header(new CListHeaderUI), m_scroll(new QScrollArea(this)), m_body(new CVerticalLayoutUI) {
    m_header->setParent(this);
    m_header->SetFixedHeight(0);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_scroll->setVerticalScrollBar(new SkinScrollBar(Qt::Vertical));
    m_scroll->setWidgetResizable(false);
    m_scroll->setWidget(m_body);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_body->setAutoFillBackground(false);
}

bool CListUI::ApplyAttribute(const QString& name, const QString& value) {
    static const AttributeTable<CListUI> kTable = {
        {QStringLiteral("header"), &CListUI::SetHeaderShown},
        {QStringLiteral("itemhotbkcolor"), attr::Field(&CListUI::m_itemHotBk)},
        {QStringLiteral("itemselectedbkcolor"), attr::Field(&CListUI::m_itemSelectedBk)},
        {QStringLiteral("itemlinecolor"), attr::Field(&CListUI::m_itemLine)},
        {QStringLiteral("itembkcolor"), attr::Field(&CListUI::m_itemBk)},
        {QStringLiteral("vscrollbar"), attr::Parsed<bool>([](CListUI& list, bool shown) {
             list.m_scroll->setVerticalScrollBarPolicy(shown ? Qt::ScrollBarAsNeeded
                                                             : Qt::ScrollBarAlwaysOff);
         })},
    };
    if (const auto taken = kTable.Apply(*this, name, value))
        return *taken;
    return CVerticalLayoutUI::ApplyAttribute(name, value);
}

bool CListUI::SetHeaderShown(CListUI& list, const QString& value) {
    // "hidden" or a boolean.
    const auto shown =
        value == QLatin1String("hidden") ? std::optional<bool>(false) : ParseBool(value);
    if (!shown)
        return false;
    list.m_showHeader = *shown;
    list.m_header->SetVisible(*shown);
    list.Arrange();
    return true;
}

void CListUI::SetManager(CPaintManagerUI* manager) {
    CVerticalLayoutUI::SetManager(manager);
    m_header->SetManager(manager);
    m_body->SetManager(manager);
    if (auto* bar = dynamic_cast<SkinScrollBar*>(m_scroll->verticalScrollBar()))
        bar->SetManager(manager);
}

bool CListUI::Add(CControlUI* control) {
    return AddAt(control, GetCount());
}

bool CListUI::AddAt(CControlUI* control, int index) {
    if (auto* header = dynamic_cast<CListHeaderUI*>(control)) {
        // The markup's header replaces the empty one made by the constructor.
        const QMargins pad = m_header->GetPadding();
        delete m_header;
        m_header = header;
        header->setParent(this);
        header->SetManager(m_manager);
        header->SetPadding(pad);
        header->SetVisible(m_showHeader);
        Arrange();
        return true;
    }
    if (auto* row = dynamic_cast<CListContainerElementUI*>(control))
        row->SetOwner(this);
    const bool ok = m_body->AddAt(control, index);
    LayoutBody();
    return ok;
}

bool CListUI::Remove(CControlUI* control) {
    const bool ok = m_body->Remove(control);
    LayoutBody();
    return ok;
}

void CListUI::RemoveAll() {
    m_body->RemoveAll();
    LayoutBody();
}

int CListUI::GetCount() const {
    return m_body->GetCount();
}

CControlUI* CListUI::GetItemAt(int index) const {
    return m_body->GetItemAt(index);
}

int CListUI::GetItemIndex(CControlUI* control) const {
    return m_body->GetItemIndex(control);
}

std::vector<int> CListUI::HeaderWidths() const {
    std::vector<int> widths;
    for (int i = 0; i < m_header->GetCount(); ++i) {
        const CControlUI* item = m_header->GetItemAt(i);
        widths.push_back(item->IsVisible() ? item->GetFixedWidth() : 0);
    }
    return widths;
}

void CListUI::SelectRow(const CControlUI* row) {
    for (int i = 0; i < GetCount(); ++i) {
        if (auto* r = dynamic_cast<CListContainerElementUI*>(GetItemAt(i)))
            r->Select(r == row);
    }
}

void CListUI::Arrange() {
    const QRect inner = rect().marginsRemoved(m_inset);
    int top = inner.top();
    if (m_header->IsVisible() && m_header->GetFixedHeight() > 0) {
        m_header->setGeometry(inner.left(), top, inner.width(), m_header->GetFixedHeight());
        top += m_header->GetFixedHeight();
    }
    m_scroll->setGeometry(inner.left(), top, inner.width(), std::max(0, inner.bottom() + 1 - top));
    LayoutBody();
}

void CListUI::LayoutBody() {
    std::vector<LayoutItem> items;
    for (int i = 0; i < m_body->GetCount(); ++i)
        items.push_back(m_body->GetItemAt(i)->GetLayoutItem());
    const int h =
        ContentExtent(LayoutKind::Vertical, m_body->GetInset(), m_body->GetChildPadding(), items);
    const int w = m_scroll->viewport()->width();
    m_body->resize(w, std::max(h, 0));
    m_body->Arrange();
}

}  // namespace kelsor::ui

#include "platform/ui/Edits.h"

#include <QLineEdit>
#include <QPlainTextEdit>

#include "platform/ui/Attributes.h"
#include "platform/ui/SkinScrollBar.h"

namespace kelsor::ui {

namespace {

QString TextColorCss(const QColor& c) {
    return c.name(QColor::HexArgb);
}

}  // namespace

CEditUI::CEditUI() : m_edit(new QLineEdit(this)) {
    m_edit->setFrame(false);
    m_edit->setAttribute(Qt::WA_MacShowFocusRect, false);
    ApplyLook();
}

bool CEditUI::ApplyAttribute(const QString& name, const QString& value) {
    static const AttributeTable<CEditUI> kTable = {
        {QStringLiteral("readonly"), attr::Call(&CEditUI::SetReadOnly)},
        {QStringLiteral("normalimage"), attr::Field(&CEditUI::m_normalImage)},
        {QStringLiteral("hotimage"), attr::Field(&CEditUI::m_hotImage)},
        {QStringLiteral("focusedimage"), attr::Field(&CEditUI::m_hotImage)},
        {QStringLiteral("disabledimage"), attr::Field(&CEditUI::m_disabledImage)},
        {QStringLiteral("nativebkcolor"), attr::Ignored<QColor>()},
        {QStringLiteral("maxchar"),
         attr::Parsed<int>([](CEditUI& edit, int length) { edit.m_edit->setMaxLength(length); })},
    };
    if (const auto taken = kTable.Apply(*this, name, value))
        return *taken;
    const bool ok = CLabelUI::ApplyAttribute(name, value);
    ApplyLook();
    return ok;
}

CDuiString CEditUI::GetText() const {
    return m_edit->text().toStdWString();
}

void CEditUI::SetText(const CDuiString& text) {
    m_text = text;
    m_edit->setText(ToQString(text));
    m_edit->setCursorPosition(0);
}

void CEditUI::SetEnabled(bool enabled) {
    CLabelUI::SetEnabled(enabled);
    ApplyLook();
}

void CEditUI::SetReadOnly(bool readOnly) {
    m_edit->setReadOnly(readOnly);
}

bool CEditUI::IsReadOnly() const {
    return m_edit->isReadOnly();
}

void CEditUI::SetManager(CPaintManagerUI* manager) {
    CLabelUI::SetManager(manager);
    ApplyLook();
}

void CEditUI::ApplyLook() {
    m_edit->setFont(ResolveFont(m_font));
    const QColor c =
        (!IsEnabled() && m_disabledTextColor.isValid()) ? m_disabledTextColor : m_textColor;
    m_edit->setStyleSheet(QStringLiteral("QLineEdit{background:transparent;border:none;color:%1;}")
                              .arg(TextColorCss(c)));
    m_edit->setGeometry(rect().marginsRemoved(m_textPadding));
}

void CEditUI::resizeEvent(QResizeEvent*) {
    m_edit->setGeometry(rect().marginsRemoved(m_textPadding));
}

void CEditUI::PaintStatusImage(QPainter& p) {
    QString img = m_normalImage;
    if (!IsEnabled() && !m_disabledImage.isEmpty())
        img = m_disabledImage;
    else if (m_edit->hasFocus() && !m_hotImage.isEmpty())
        img = m_hotImage;
    DrawImage(p, img);
}

// --------------------------------------------------------------- CRichEditUI

CRichEditUI::CRichEditUI() : m_edit(new QPlainTextEdit(this)) {
    m_edit->setFrameShape(QFrame::NoFrame);
    m_edit->setVerticalScrollBar(new SkinScrollBar(Qt::Vertical));
    m_edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_textStyle = DT_LEFT | DT_WORDBREAK;
    ApplyLook();
}

bool CRichEditUI::ApplyAttribute(const QString& name, const QString& value) {
    static const AttributeTable<CRichEditUI> kTable = {
        {QStringLiteral("readonly"), attr::Call(&CRichEditUI::SetReadOnly)},
        {QStringLiteral("vscrollbar"), attr::Parsed<bool>([](CRichEditUI& edit, bool shown) {
             edit.m_edit->setVerticalScrollBarPolicy(shown ? Qt::ScrollBarAsNeeded
                                                           : Qt::ScrollBarAlwaysOff);
         })},
        {QStringLiteral("multiline"), attr::Parsed<bool>([](CRichEditUI& edit, bool multiline) {
             if (!multiline)
                 edit.m_edit->setLineWrapMode(QPlainTextEdit::NoWrap);
         })},
        // The box always scrolls by itself, takes Return and holds plain text.
        {QStringLiteral("autovscroll"), attr::Ignored<bool>()},
        {QStringLiteral("wantreturn"), attr::Ignored<bool>()},
        {QStringLiteral("rich"), attr::Ignored<bool>()},
        {QStringLiteral("hscrollbar"), attr::Ignored<bool>()},
    };
    if (const auto taken = kTable.Apply(*this, name, value))
        return *taken;
    const bool ok = CLabelUI::ApplyAttribute(name, value);
    ApplyLook();
    return ok;
}

CDuiString CRichEditUI::GetText() const {
    return m_edit->toPlainText().toStdWString();
}

void CRichEditUI::SetText(const CDuiString& text) {
    m_text = text;
    // CR LF line ends show as one break.
    QString t = ToQString(text);
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_edit->setPlainText(t);
}

void CRichEditUI::SetReadOnly(bool readOnly) {
    m_edit->setReadOnly(readOnly);
}

bool CRichEditUI::IsReadOnly() const {
    return m_edit->isReadOnly();
}

void CRichEditUI::SetManager(CPaintManagerUI* manager) {
    CLabelUI::SetManager(manager);
    if (auto* bar = dynamic_cast<SkinScrollBar*>(m_edit->verticalScrollBar()))
        bar->SetManager(manager);
    ApplyLook();
}

void CRichEditUI::ApplyLook() {
    m_edit->setFont(ResolveFont(m_font));
    m_edit->setStyleSheet(
        QStringLiteral("QPlainTextEdit{background:transparent;border:none;color:%1;"
                       "selection-background-color:#2E73E4;selection-color:#FFFFFF;}")
            .arg(TextColorCss(m_textColor)));
    m_edit->viewport()->setAutoFillBackground(false);
    m_edit->setGeometry(rect().marginsRemoved(m_textPadding));
}

void CRichEditUI::resizeEvent(QResizeEvent*) {
    m_edit->setGeometry(rect().marginsRemoved(m_textPadding));
}

}  // namespace kelsor::ui

#pragma once

#include <QString>

#include "platform/ui/Labels.h"

class QLineEdit;
class QPlainTextEdit;

// Text entry: a one-line edit and a multi-line text box, each a Qt editor
// inside a label that lends it font, colours and padding.
namespace kelsor::ui {

class CEditUI : public CLabelUI {
public:
    CEditUI();
    QString GetClass() const override { return QStringLiteral("Edit"); }
    bool ApplyAttribute(const QString& name, const QString& value) override;
    CDuiString GetText() const override;
    void SetText(const CDuiString& text) override;
    void SetEnabled(bool enabled = true) override;
    void SetReadOnly(bool readOnly);
    bool IsReadOnly() const;
    void SetManager(CPaintManagerUI* manager) override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void PaintStatusImage(QPainter& p) override;
    void PaintText(QPainter&) override {}
    void ApplyLook();

private:
    QLineEdit* m_edit;
    QString m_normalImage, m_hotImage, m_disabledImage;
};

class CRichEditUI : public CLabelUI {
public:
    CRichEditUI();
    QString GetClass() const override { return QStringLiteral("RichEdit"); }
    bool ApplyAttribute(const QString& name, const QString& value) override;
    CDuiString GetText() const override;
    void SetText(const CDuiString& text) override;
    void SetReadOnly(bool readOnly);
    bool IsReadOnly() const;
    void SetManager(CPaintManagerUI* manager) override;
    QPlainTextEdit* Editor() const { return m_edit; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void PaintText(QPainter&) override {}
    void ApplyLook();

private:
    QPlainTextEdit* m_edit;
};

}  // namespace kelsor::ui

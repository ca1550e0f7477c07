#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>
#include <memory>

#include "platform/ui/Controls.h"

class QLineEdit;
class QPlainTextEdit;
class QBuffer;
class QMovie;

// Text entry (a one-line edit and a multi-line text box, each a Qt editor
// inside a label that lends it font, colours and padding) and pictures (an
// animation from the skin and the round user picture).
namespace kelsor::ui {

// A one-line edit. It draws its text itself and makes the Qt line edit the
// first time the user clicks or tabs into it: that editor lays out its text
// and joins the accessibility tree as it is made, which a window showing a
// path the user may never touch should not pay for as it opens.
class CEditUI : public CLabelUI {
public:
    CEditUI();
    QString GetClass() const override { return QStringLiteral("Edit"); }
    bool ApplyAttribute(const QString& name, const QString& value) override;
    CDuiString GetText() const override;
    void SetText(const CDuiString& text) override;
    void SetEnabled(bool enabled = true) override;
    void SetReadOnly(bool readOnly);
    bool IsReadOnly() const { return m_readOnly; }
    void SetManager(CPaintManagerUI* manager) override;
    // The Qt editor, made now if it was not yet.
    QLineEdit* Editor();
    bool HasEditor() const { return m_edit != nullptr; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void PaintStatusImage(QPainter& p) override;
    void PaintText(QPainter& p) override;
    void ApplyLook();

private:
    void ForwardMouse(QMouseEvent* event);

    QLineEdit* m_edit = nullptr;
    bool m_readOnly = false;
    int m_maxLength = -1;  // the editor's own limit
    QString m_normalImage, m_hotImage, m_disabledImage;
};

// A multi-line text box. Its Qt editor is made when the box is first shown
// (or asked for): a page's result box stays hidden until there is a result.
class CRichEditUI : public CLabelUI {
public:
    CRichEditUI();
    QString GetClass() const override { return QStringLiteral("RichEdit"); }
    bool ApplyAttribute(const QString& name, const QString& value) override;
    CDuiString GetText() const override;
    void SetText(const CDuiString& text) override;
    void SetReadOnly(bool readOnly);
    bool IsReadOnly() const { return m_readOnly; }
    void SetManager(CPaintManagerUI* manager) override;
    // The Qt editor, made now if it was not yet.
    QPlainTextEdit* Editor();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void PaintText(QPainter&) override {}
    void ApplyLook();

private:
    QPlainTextEdit* m_edit = nullptr;
    bool m_readOnly = false;
    bool m_verticalBar = false;
    bool m_wrap = true;
};

// An animated GIF from the skin, playing while the control is shown.
class CGifAnimUI : public CControlUI {
public:
    CGifAnimUI();
    ~CGifAnimUI() override;
    QString GetClass() const override { return QStringLiteral("GifAnim"); }
    bool ApplyAttribute(const QString& name, const QString& value) override;
    void SetVisible(bool visible = true) override;
    void PlayGif();
    void StopGif();
    bool IsPlaying() const;

protected:
    void PaintBkImage(QPainter& p) override;

private:
    void ForgetMovie();
    void EnsureMovie();
    std::unique_ptr<QMovie> m_movie;
    std::unique_ptr<QBuffer> m_buffer;
    QByteArray m_bytes;
    bool m_autoPlay = true;
    bool m_movieLoaded = false;
};

// A round picture (the user's avatar): the background image clipped to a
// circle, with a default image while none is set.
class CHeadIconUI : public CButtonUI {
public:
    QString GetClass() const override { return QStringLiteral("HeadIcon"); }
    bool ApplyAttribute(const QString& name, const QString& value) override;

protected:
    void PaintBkImage(QPainter& p) override;
    void PaintStatusImage(QPainter&) override {}

private:
    QString m_defaultImage;
    bool m_autoPenColor = false;
    QColor m_penColor = QColor(0xE5, 0xE5, 0xE5);
};

}  // namespace kelsor::ui

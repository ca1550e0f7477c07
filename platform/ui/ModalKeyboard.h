#pragma once

#include <QAbstractNativeEventFilter>
#include <QPointer>
#include <QWidget>

namespace kelsor::ui {

// While a modal window owned by another runs: when the owner gets the focus
// (the user clicked it; the window manager focuses what is clicked), the
// keyboard goes back to the modal window, so that Enter and Esc still answer
// it. Qt asks the window manager for that, which a manager may refuse as
// focus stealing; on X the focus is also set directly, as a client may
// between its own windows. Lives for one modal run, on the UI thread.
class ModalKeyboard : public QAbstractNativeEventFilter {
public:
    explicit ModalKeyboard(QWidget* modal);
    ~ModalKeyboard() override;
    ModalKeyboard(const ModalKeyboard&) = delete;
    ModalKeyboard& operator=(const ModalKeyboard&) = delete;

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

private:
    // `focused` has got the focus: true when it is a window `m_modal` blocks.
    bool Blocked(const QWindow* focused) const;
    void GiveBack();

    QPointer<QWidget> m_modal;
    QMetaObject::Connection m_focusChanges;
};

}  // namespace kelsor::ui

#include "account/windows/WebWindowModal.h"

#include <QPointer>
#include <QWidget>

#include "platform/ui/WindowImplBase.h"
#include "platform/web/WebEngine.h"

namespace kelsor::account {

int RunWebWindowModal(ui::CWindowWnd& window) {
    QWidget* host = window.GetHWND();
    if (host == nullptr)
        return 0;
    QPointer<QWidget> owner = host->parentWidget();
    // Shown again by the modal run, so that the modality takes effect.
    host->hide();
    if (owner != nullptr) {
        owner->setEnabled(false);
        // A disabled owner takes its owned windows along; this one stays usable.
        host->setEnabled(true);
    }
    platform::WebRepaintAllNeeded();
    const int code = window.ShowModal();
    if (owner != nullptr) {
        owner->setEnabled(true);
        owner->activateWindow();
    }
    return code < 0 ? 0 : code;
}

}  // namespace kelsor::account

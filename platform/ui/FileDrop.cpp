#include "platform/ui/FileDrop.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace kelsor::ui {

bool HandleFileDrop(QEvent* event, const std::function<void(std::vector<std::wstring>)>& dropped) {
    switch (event->type()) {
        case QEvent::DragEnter: {
            auto* e = static_cast<QDragEnterEvent*>(event);
            if (!e->mimeData()->hasUrls())
                return false;
            e->acceptProposedAction();
            return true;
        }
        case QEvent::DragMove:
            static_cast<QDragMoveEvent*>(event)->acceptProposedAction();
            return true;
        case QEvent::Drop: {
            auto* e = static_cast<QDropEvent*>(event);
            std::vector<std::wstring> paths;
            for (const QUrl& url : e->mimeData()->urls()) {
                if (url.isLocalFile())
                    paths.push_back(url.toLocalFile().toStdWString());
            }
            e->acceptProposedAction();
            dropped(std::move(paths));
            return true;
        }
        default:
            return false;
    }
}

}  // namespace kelsor::ui

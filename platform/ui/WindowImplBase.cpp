#include "platform/ui/WindowImplBase.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <optional>

#include "platform/ui/Controls.h"
#include "platform/ui/ModalKeyboard.h"
#include "platform/ui/UiLog.h"
#include "platform/ui/WindowTitles.h"

namespace kelsor::ui {

namespace {

std::function<void(CWindowWnd&)>& ModalHook() {
    static std::function<void(CWindowWnd&)> hook;
    return hook;
}

// A window message carried through Qt's event queue.
class MessageEvent : public QEvent {
public:
    static QEvent::Type TypeId() {
        static const int id = QEvent::registerEventType();
        return static_cast<QEvent::Type>(id);
    }
    MessageEvent(UINT msg, WPARAM w, LPARAM l) : QEvent(TypeId()), m_msg(msg), m_w(w), m_l(l) {}
    UINT m_msg;
    WPARAM m_w;
    LPARAM m_l;
};

// A top-level window the program sizes itself (every skin has one size): the
// size hints say so (minimum = maximum), so that tiling window managers float
// it whole rather than tile it.
bool IsFixedSizeWindow(const QWidget* host) {
    return host->isWindow() && host->minimumSize() == host->maximumSize();
}

}  // namespace

// The widget behind a window handle.
class WindowHost : public QWidget {
public:
    WindowHost(CWindowWnd* owner, QWidget* parent, Qt::WindowFlags flags)
        : QWidget(parent, flags), m_owner(owner) {}
    ~WindowHost() override {
        // Controls and child windows go first, as child windows are destroyed
        // before their parent's final message; the owner may delete itself.
        CWindowWnd* owner = m_owner;
        m_owner = nullptr;
        m_root = nullptr;
        while (!children().isEmpty())
            delete children().constFirst();
        if (owner != nullptr)
            owner->OnHostDestroyed();
    }
    void Detach() { m_owner = nullptr; }
    void SetRoot(CControlUI* root) {
        m_root = root;
        if (root != nullptr)
            root->setGeometry(rect());
    }

protected:
    bool event(QEvent* e) override {
        if (m_owner != nullptr && m_owner->HostEvent(e))
            return true;
        if (e->type() == MessageEvent::TypeId()) {
            auto* m = static_cast<MessageEvent*>(e);
            if (m_owner != nullptr)
                m_owner->HandleMessage(m->m_msg, m->m_w, m->m_l);
            return true;
        }
        if (e->type() == QEvent::WindowDeactivate && m_owner != nullptr)
            m_owner->HandleMessage(WM_KILLFOCUS, 0, 0);
        if (isWindow())
            KeepPlace(e);
        return QWidget::event(e);
    }
    // A window hidden and shown again (the main window stepping aside for a
    // capture) comes back where it was: a window manager places a window
    // mapped anew by its own rules (a tiling one beside the decorations it
    // then leaves off). A window the program moves while hidden goes where
    // it was moved; the manager's own moves are undone for a moment after
    // showing.
    void KeepPlace(const QEvent* e) {
        switch (e->type()) {
            case QEvent::Hide:
                // The program's hide (a minimised window too: a manager
                // without minimising leaves it shown).
                if (!e->spontaneous())
                    m_hiddenAt = pos();
                break;
            case QEvent::Move:
                if (!e->spontaneous() && !isVisible())
                    m_hiddenAt.reset();  // the program's move
                else if (m_keepAt && e->spontaneous())
                    PutBack();
                break;
            case QEvent::Show:
                if (m_hiddenAt) {
                    m_keepAt = m_hiddenAt;
                    m_hiddenAt.reset();
                    m_corrections = 0;
                    PutBack();
                    QTimer::singleShot(kKeepPlaceMs, this, [this] { m_keepAt.reset(); });
                }
                break;
            default:
                break;
        }
    }
    void PutBack() {
        if (m_corrections >= kMaxCorrections)
            return;
        ++m_corrections;
        QTimer::singleShot(kPutBackDelayMs, this, [this] {
            if (m_keepAt && isVisible() && pos() != *m_keepAt)
                move(*m_keepAt);
        });
    }
    void resizeEvent(QResizeEvent*) override {
        if (m_root != nullptr)
            m_root->setGeometry(rect());
        if (m_owner == nullptr)
            return;
        const QSize corner = m_owner->RoundCorner();
        // The offscreen platform (tests, screenshots) has no window masks.
        if (isWindow() && !corner.isEmpty() &&
            QGuiApplication::platformName() != QLatin1String("offscreen")) {
            QPainterPath path;
            path.addRoundedRect(QRectF(rect()), corner.width(), corner.height());
            setMask(QRegion(path.toFillPolygon().toPolygon()));
        }
        m_owner->HandleMessage(WM_SIZE, 0, MakeLParam(width(), height()));
    }
    void paintEvent(QPaintEvent*) override {
        if (m_owner == nullptr)
            return;
        const QColor bk = m_owner->BackgroundColor();
        if (bk.isValid()) {
            QPainter p(this);
            p.fillRect(rect(), bk);
        }
    }
    void closeEvent(QCloseEvent* e) override {
        // A close from the system: the window handles WM_CLOSE and goes away
        // with close code 0, as DefWindowProc would destroy it.
        e->ignore();
        if (m_owner != nullptr) {
            m_owner->HandleMessage(WM_CLOSE, 0, 0);
            if (m_owner != nullptr)
                m_owner->Close(0);
        }
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (m_owner != nullptr && isWindow() && e->button() == Qt::LeftButton) {
            const QRect caption = m_owner->CaptionRect();
            if (caption.contains(e->position().toPoint()) && windowHandle() != nullptr) {
                windowHandle()->startSystemMove();
                e->accept();
                return;
            }
        }
        QWidget::mousePressEvent(e);
    }

private:
    // How long after showing, and how often, a manager's placement is undone.
    static constexpr int kKeepPlaceMs = 1000;
    static constexpr int kMaxCorrections = 3;
    static constexpr int kPutBackDelayMs = 50;
    CWindowWnd* m_owner;
    CControlUI* m_root = nullptr;
    std::optional<QPoint> m_hiddenAt;
    std::optional<QPoint> m_keepAt;
    int m_corrections = 0;
};

struct CWindowWnd::ModalRun {
    QEventLoop loop;
    int code = 0;
    bool done = false;
};

CWindowWnd::CWindowWnd() = default;

CWindowWnd::~CWindowWnd() {
    DestroyHost();
}

void CWindowWnd::DestroyHost() {
    if (m_host != nullptr) {
        WindowHost* host = m_host;
        m_host = nullptr;
        host->Detach();
        delete host;
    }
}

HWND CWindowWnd::GetHWND() const {
    return m_host;
}

void CWindowWnd::SetModalHook(std::function<void(CWindowWnd&)> hook) {
    ModalHook() = std::move(hook);
}

HWND CWindowWnd::Create(HWND parent, const CDuiString& name, UINT style, UINT exStyle, int x, int y,
                        int cx, int cy) {
    if (m_host != nullptr)
        return m_host;
    m_style = style;
    m_exStyle = exStyle;
    Qt::WindowFlags flags;
    if ((style & WS_CHILD) == 0) {
        // An owned window is a dialog of its owner to the window manager:
        // kept above it, floated by tiling managers.
        flags = (parent != nullptr ? Qt::Dialog : Qt::Window) | Qt::FramelessWindowHint;
        if (exStyle & WS_EX_TOOLWINDOW)
            flags |= Qt::Tool;
    }
    m_host = new WindowHost(this, parent, flags);
    m_host->setObjectName(QString::fromStdWString(GetWindowClassName()));
    m_host->setWindowTitle(WindowTitleFor(name));
    if (m_host->isWindow() && !QApplication::windowIcon().isNull())
        m_host->setWindowIcon(QApplication::windowIcon());
    m_host->setAttribute(Qt::WA_DeleteOnClose, false);
    if (OnCreate() != 0 || m_host == nullptr)
        return m_host;
    if (cx > 0 && cy > 0)
        m_host->setGeometry(x, y, cx, cy);
    else if (x != 0 || y != 0)
        m_host->move(x, y);
    if ((style & WS_VISIBLE) && m_host->isWindow() && parent != nullptr) {
        // An owned window is shown from the event queue: one run modally
        // right away is shown once, by its run, and so is modal from its
        // first map. Mapped, unmapped and mapped again at once, a window
        // manager may lose it (i3 leaves it unmapped).
        m_showPending = true;
        QPointer<QWidget> host = m_host;
        QTimer::singleShot(0, m_host, [this, host] {
            if (host && m_showPending)
                host->show();
            if (host)
                m_showPending = false;
        });
    } else if (style & WS_VISIBLE) {
        m_host->show();
    }
    return m_host;
}

void CWindowWnd::ShowWindow(bool show, bool takeFocus) {
    if (m_host == nullptr)
        return;
    m_showPending = false;
    m_host->setVisible(show);
    if (show && takeFocus && m_host->isWindow()) {
        m_host->raise();
        m_host->activateWindow();
    }
}

int CWindowWnd::ShowModal() {
    if (m_host == nullptr)
        return -1;
    ModalRun run;
    m_modal = &run;
    m_showPending = false;
    // Modal to its owner, as a modal window disables only its owner: a
    // window without one (the main window) blocks nothing, so the tray and a
    // capture stay usable beside it.
    const bool owned = m_host->parentWidget() != nullptr;
    // Qt takes a window as modal when it is shown: one created visible is
    // shown again.
    if (owned && m_host->isVisible())
        m_host->hide();
    m_host->setWindowModality(owned ? Qt::WindowModal : Qt::NonModal);
    m_host->show();
    // The keyboard belongs to the modal window (Enter and Esc answer a
    // dialog), not to the window under it; a control the window focused
    // itself keeps the focus.
    m_host->raise();
    m_host->activateWindow();
    if (m_host->focusWidget() == nullptr)
        m_host->setFocus(Qt::ActiveWindowFocusReason);
    if (ModalHook()) {
        // Answered from inside the loop, as a user would.
        QPointer<QWidget> host = m_host;
        QTimer::singleShot(0, m_host, [this, host] {
            if (host)
                ModalHook()(*this);
        });
    }
    // A click on the owner makes the window manager focus the owner, where
    // no key is let through: the keyboard goes back to this window, as it
    // would on a desktop with owned modal windows. Only the newest modal
    // window does this.
    QPointer<QWidget> alive = m_host;
    std::optional<ModalKeyboard> keeper;
    if (owned)
        keeper.emplace(m_host);
    if (!run.done)
        run.loop.exec(QEventLoop::DialogExec);
    keeper.reset();
    // The object may be gone by now (OnFinalMessage may delete it); while its
    // window lives, so does the object. A run ended by quitting the
    // application leaves the window up: forget the finished run so that a
    // later close does not write into it.
    if (alive && m_modal == &run)
        m_modal = nullptr;
    return run.code;
}

void CWindowWnd::Close(int code) {
    m_closeCode = code;
    m_showPending = false;
    if (m_host == nullptr)
        return;
    m_host->hide();
    // Destroyed from the event queue, like a posted WM_CLOSE, so that a click
    // handler that closes its own window returns first.
    QPointer<QWidget> host = m_host;
    QMetaObject::invokeMethod(
        qApp,
        [host] {
            if (host)
                delete host.data();
        },
        Qt::QueuedConnection);
}

void CWindowWnd::OnHostDestroyed() {
    HWND old = m_host;
    m_host = nullptr;
    if (m_modal != nullptr) {
        m_modal->code = m_closeCode;
        m_modal->done = true;
        m_modal->loop.quit();
        m_modal = nullptr;
    }
    OnFinalMessage(old);
}

void CWindowWnd::CenterWindow() {
    if (m_host == nullptr)
        return;
    QRect area;
    if (QWidget* owner = m_host->parentWidget())
        area = QRect(owner->mapToGlobal(QPoint(0, 0)), owner->size());
    else if (QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    const QSize s = m_host->frameGeometry().size();
    m_host->move(area.left() + (area.width() - s.width()) / 2,
                 area.top() + (area.height() - s.height()) / 2);
}

void CWindowWnd::SetIcon(UINT) {
    if (m_host != nullptr)
        m_host->setWindowIcon(QApplication::windowIcon());
}

LRESULT CWindowWnd::SendMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (QThread::currentThread() == qApp->thread())
        return HandleMessage(msg, wParam, lParam);
    LRESULT result = 0;
    QWidget* host = m_host;
    if (host == nullptr)
        return 0;
    QMetaObject::invokeMethod(
        host, [this, msg, wParam, lParam] { return HandleMessage(msg, wParam, lParam); },
        Qt::BlockingQueuedConnection, &result);
    return result;
}

bool CWindowWnd::PostMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    QWidget* host = m_host;
    if (host == nullptr)
        return false;
    QCoreApplication::postEvent(host, new MessageEvent(msg, wParam, lParam));
    return true;
}

void CWindowWnd::MoveWindow(int x, int y, int cx, int cy) {
    if (m_host == nullptr)
        return;
    if (IsFixedSizeWindow(m_host))
        m_host->setFixedSize(cx, cy);
    m_host->setGeometry(x, y, cx, cy);
}

void CWindowWnd::SetToolWindow(bool tool) {
    if (m_host == nullptr || !m_host->isWindow())
        return;
    if (tool)
        m_exStyle |= WS_EX_TOOLWINDOW;
    else
        m_exStyle &= ~WS_EX_TOOLWINDOW;
    const bool shown = m_host->isVisible();
    m_host->setWindowFlag(Qt::Tool, tool);  // hides the window
    if (shown)
        m_host->show();
}

QRect CWindowWnd::GetClientRect() const {
    return m_host != nullptr ? m_host->rect() : QRect();
}

QRect CWindowWnd::GetWindowRect() const {
    if (m_host == nullptr)
        return QRect();
    return QRect(m_host->mapToGlobal(QPoint(0, 0)), m_host->size());
}

QPoint CWindowWnd::ClientToScreen(const QPoint& p) const {
    return m_host != nullptr ? m_host->mapToGlobal(p) : p;
}

LRESULT CWindowWnd::HandleMessage(UINT, WPARAM, LPARAM) {
    return 0;
}

// ------------------------------------------------------------ WindowImplBase

WindowImplBase::WindowImplBase() = default;

WindowImplBase::~WindowImplBase() {
    // The controls go before the manager they point to.
    m_PaintManager.RemoveNotifier(this);
    DestroyHost();
}

LRESULT WindowImplBase::OnCreate() {
    HWND host = GetHWND();
    m_PaintManager.Init(host);
    if (GetResourceType() != UILIB_ZIPRESOURCE)
        qCWarning(lcKelsorUi) << "layouts are read from the embedded archive only";
    CDialogBuilder builder;
    CControlUI* root = builder.Create(GetSkinFile(), CDuiString(), this, &m_PaintManager);
    if (root == nullptr) {
        qCWarning(lcKelsorUi) << "window" << QString::fromStdWString(GetWindowClassName())
                              << "has no layout from" << QString::fromStdWString(GetSkinFile());
    } else {
        root->setParent(host);
        m_PaintManager.AttachDialog(root);
        static_cast<WindowHost*>(host)->SetRoot(root);
        root->show();
    }
    const QSize size = m_PaintManager.GetInitSize();
    if (!size.isEmpty()) {
        if (host->isWindow())
            host->setFixedSize(size);
        else
            host->resize(size);
    }
    m_PaintManager.AddNotifier(this);
    InitWindow();
    return 0;
}

LRESULT WindowImplBase::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SYSCOMMAND) {
        bool handled = false;
        const LRESULT r = OnSysCommand(msg, wParam, lParam, handled);
        if (handled)
            return r;
        if (wParam == SC_MINIMIZE && GetHWND() != nullptr)
            GetHWND()->showMinimized();
        else if (wParam == SC_CLOSE)
            Close(0);
        return 0;
    }
    return CWindowWnd::HandleMessage(msg, wParam, lParam);
}

LRESULT WindowImplBase::OnSysCommand(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

bool WindowImplBase::ClickControl(const CDuiString& name) {
    CControlUI* c = m_PaintManager.FindControl(name);
    return c != nullptr && c->Activate();
}

QRect WindowImplBase::CaptionRect() const {
    const QRect& c = m_PaintManager.Window().caption;
    if (c.bottom() <= 0 || GetHWND() == nullptr)
        return QRect();
    // left, top, right inset from the edges; bottom is the band's height.
    return QRect(QPoint(c.left(), c.top()),
                 QPoint(GetHWND()->width() - 1 - c.right(), c.bottom() - 1));
}

QColor WindowImplBase::BackgroundColor() const {
    const QColor& c = m_PaintManager.Window().bkColor;
    return c.isValid() ? c : QColor(Qt::white);
}

QSize WindowImplBase::RoundCorner() const {
    return m_PaintManager.Window().roundCorner;
}

}  // namespace kelsor::ui

#include "pages/CScreenShotWnd.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <cstdlib>

#include "jobs/Picture.h"
#include "jobs/PictureFormat.h"
#include "pages/CaptureGeometry.h"
#include "pages/CutOverlay.h"
#include "pages/ScreenGrab.h"
#include "pages/ScreenShotToolWnd.h"
#include "platform/sys/Messages.h"
#include "platform/ui/CurrentDesktop.h"
#include "platform/ui/MainWindowRef.h"

namespace kelsor::jobs {
namespace {

constexpr int kCaptureDimAlpha = 80;
const QColor kLabelColor(46, 52, 61, 128);

// Without any input for this long the capture ends by itself: whatever kept
// the pointer and the keyboard from it, the user is never left facing a
// frozen screen.
constexpr int kIdleCancelMs = 120 * 1000;
// How often a refused keyboard grab is tried again (another program may
// hold the keyboard for a moment: a menu, the window manager's key binding).
constexpr int kGrabRetryMs = 100;
constexpr int kGrabRetries = 50;

bool IsUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
            return true;
        default:
            return false;
    }
}

bool OnWayland() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

}  // namespace

CScreenShotWnd::CScreenShotWnd() = default;

CScreenShotWnd::~CScreenShotWnd() {
    m_toolbar.reset();
}

ui::LRESULT CScreenShotWnd::OnCreate() {
    QWidget* host = GetHWND();
    // Over every panel, with or without a window manager.
    host->setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                         Qt::X11BypassWindowManagerHint);
    host->setAttribute(Qt::WA_OpaquePaintEvent);
    host->setMouseTracking(true);
    host->setCursor(Qt::ArrowCursor);
    // Modal itself, the capture comes before any modal window already open
    // (the main window runs modally, and a minimised modal window still
    // counts): otherwise that window would keep every click and key from
    // the capture. The toolbar, owned by the capture, is not blocked by it.
    host->setWindowModality(Qt::ApplicationModal);
    return 0;
}

int CScreenShotWnd::RunCapture(const std::wstring& target) {
    m_result = 0;
    m_saveFailed = false;
    m_grabFailure.clear();
    if (!SetUp(target)) {
        return m_result;
    }
    Show();
    QEventLoop loop;
    m_loop = &loop;
    QTimer idle;
    idle.setSingleShot(true);
    QObject::connect(&idle, &QTimer::timeout, &loop, [this] {
        std::fprintf(stderr, "KelsorOCR: screen capture: no input arrived, the capture ends\n");
        Cancel();
    });
    m_idle = &idle;
    idle.start(kIdleCancelMs);
    if (!m_ended) {
        loop.exec();
    }
    m_idle = nullptr;
    m_loop = nullptr;
    // Out of every handler now: the windows can go.
    ReleaseKeyboard();
    // The main window comes back on the workspace the capture was made on.
    if (ui::CWindowWnd* main = ui::GetMainWindow())
        ui::MoveToCurrentDesktop(main->GetHWND());
    m_toolbar.reset();
    DestroyHost();
    return m_result;
}

bool CScreenShotWnd::SetUp(const std::wstring& target) {
    m_target = target;
    ScreenGrab grab = GrabPrimaryScreen();
    m_grabFailure = grab.failure;
    if (grab.image.isNull() || grab.geometry.isEmpty()) {
        std::fprintf(stderr, "KelsorOCR: screen capture: the screen could not be read\n");
        return false;
    }
    m_grab = std::move(grab.image);
    m_screenGeometry = grab.geometry;
    m_screenRect = TrackRect{0, 0, m_screenGeometry.width(), m_screenGeometry.height()};
    m_gesture.Offer(m_screenRect);
    m_tracker = CXRectTracker();
    m_tracker.bounds = m_screenRect;
    if (Create(nullptr, L"ScreenShotWnd", ui::WS_POPUP, 0) == nullptr) {
        return false;
    }
    m_toolbar = std::make_unique<ScreenShotToolWnd>(*this, OnWayland());
    m_toolbar->Create(GetHWND(), L"ScreenShotToolWnd",
                      m_toolbar->Embedded() ? ui::UI_WNDSTYLE_CHILD & ~ui::WS_VISIBLE
                                            : ui::UI_WNDSTYLE_DIALOG & ~ui::WS_VISIBLE,
                      m_toolbar->Embedded() ? 0 : ui::WS_EX_TOOLWINDOW);
    m_toolbar->ShowWindow(false, false);
    return true;
}

void CScreenShotWnd::Show() {
    QWidget* host = GetHWND();
    if (OnWayland()) {
        // The compositor places windows: full screen is how one covers the
        // output.
        host->showFullScreen();
    } else {
        host->setGeometry(m_screenGeometry);
        host->show();
    }
    host->raise();
    host->activateWindow();
    GrabKeyboard();
}

void CScreenShotWnd::GrabKeyboard() {
    // Esc must reach the capture whoever had the focus: the window bypasses
    // the window manager, which would never give it the focus. X refuses a
    // grab on a window not yet viewable, or while another client holds the
    // keyboard: tried again for a while, the capture working meanwhile with
    // the mouse (and ending by itself without any input).
    QWidget* host = GetHWND();
    QWindow* window = host != nullptr ? host->windowHandle() : nullptr;
    // A Wayland compositor gives the full-screen window the keyboard; a
    // client cannot grab it there.
    if (m_ended || window == nullptr || OnWayland()) {
        return;
    }
    if (window->isExposed() && window->setKeyboardGrabEnabled(true)) {
        m_keyboardGrabbed = true;
        return;
    }
    if (++m_grabTries < kGrabRetries) {
        QTimer::singleShot(kGrabRetryMs, host, [this] { GrabKeyboard(); });
    } else {
        std::fprintf(stderr, "KelsorOCR: screen capture: the keyboard could not be had\n");
    }
}

QSize CScreenShotWnd::ScreenSize() const {
    return m_screenGeometry.size();
}

QSize CScreenShotWnd::SavedSize() const {
    const TrackRect clipped = ClipSelection(m_tracker.selection, ScreenSize());
    return DeviceCropRect(clipped, m_grab.devicePixelRatio(), m_grab.size()).size();
}

bool CScreenShotWnd::ToolbarShown() const {
    return m_toolbar != nullptr && m_toolbar->GetHWND() != nullptr &&
           m_toolbar->GetHWND()->isVisible();
}

ui::LRESULT CScreenShotWnd::HandleMessage(ui::UINT msg, ui::WPARAM wParam, ui::LPARAM lParam) {
    if (msg == WM_KSOCR_CAPTURE_CANCEL) {
        Cancel();
        return 0;
    }
    if (msg == WM_KSOCR_CAPTURE_FINISH) {
        Finish();
        return 0;
    }
    return CWindowWnd::HandleMessage(msg, wParam, lParam);
}

bool CScreenShotWnd::HostEvent(QEvent* event) {
    if (m_idle != nullptr && IsUserInput(event->type())) {
        m_idle->start(kIdleCancelMs);
    }
    switch (event->type()) {
        case QEvent::Paint:
            Paint();
            return true;
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
                Cancel();
            }
            return true;
        case QEvent::Close:
            // A compositor may close any window (Wayland): that is a cancel,
            // never a capture loop left running without its window.
            event->ignore();
            Cancel();
            return true;
        default:
            return RouteSelectionMouse(event, *this);
    }
}

void CScreenShotWnd::OnRelease() {
    m_buttonDown = 0;
    m_gesture.End();
}

void CScreenShotWnd::OnDoubleClick() {
    Finish();
}

void CScreenShotWnd::OnPress(QPoint p) {
    const TrackRect& selection = m_tracker.selection;
    // The first press takes the whole screen; a drag replaces it.
    m_gesture.Press(m_tracker, GetHWND(), p, selection.Width() != 0 && selection.Height() != 0);
    m_buttonDown = 1;
    PlaceToolbar();
}

void CScreenShotWnd::OnMove(QPoint p) {
    QWidget* host = GetHWND();
    m_gesture.Move(m_tracker, host, p, m_buttonDown != 0);
    const bool onSelection = m_tracker.selection.Width() != 0 &&
                             m_tracker.selection.Height() != 0 && m_tracker.ApplyCursor(host);
    if (!onSelection) {
        host->setCursor(Qt::ArrowCursor);
    }
    host->repaint();
    PlaceToolbar();
}

void CScreenShotWnd::Paint() {
    QWidget* host = GetHWND();
    QPainter painter(host);
    const QSize area = ScreenSize();
    // The grab carries its device pixel ratio: drawn at the logical size.
    painter.drawImage(QPoint(0, 0), m_grab);
    const QColor dim(0, 0, 0, kCaptureDimAlpha);
    for (const QRect& band : DimBands(area, m_tracker.selection)) {
        painter.fillRect(band, dim);
    }
    if (!m_tracker.selection.IsAllZero()) {
        m_tracker.DrawFrame(painter);
    }
    if (m_buttonDown != 0) {
        PaintSizeLabel(painter);
    }
}

void CScreenShotWnd::PaintSizeLabel(QPainter& painter) const {
    const QRect box(SizeLabelPosition(m_tracker.selection), kSizeLabelBox);
    painter.fillRect(box, kLabelColor);
    QFont font;
    // The program's face where it is installed, else a CJK face that is.
    font.setFamilies({QStringLiteral("Microsoft YaHei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPointSize(10);
    font.setWeight(QFont::Normal);
    painter.setFont(font);
    painter.setPen(Qt::white);
    const QSize saved = SavedSize();
    painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("%1 x %2").arg(saved.width()).arg(saved.height()));
}

void CScreenShotWnd::PlaceToolbar() {
    if (!m_tracker.released || m_toolbar == nullptr || m_ended) {
        return;
    }
    const QPoint inWindow = ToolbarPosition(m_tracker.selection, ScreenSize());
    const QPoint at = m_toolbar->Embedded() ? inWindow : m_screenGeometry.topLeft() + inWindow;
    m_toolbar->MoveWindow(at.x(), at.y(), kCaptureToolbarSize.width(),
                          kCaptureToolbarSize.height());
    m_toolbar->ShowWindow(true, false);
    m_toolbar->GetHWND()->raise();
}

void CScreenShotWnd::ReleaseKeyboard() {
    QWidget* host = GetHWND();
    if (m_keyboardGrabbed && host != nullptr && host->windowHandle() != nullptr) {
        host->windowHandle()->setKeyboardGrabEnabled(false);
    }
    m_keyboardGrabbed = false;
}

void CScreenShotWnd::Cancel() {
    End(0);
}

void CScreenShotWnd::Finish() {
    End(SaveSelection() ? 1 : 0);
}

bool CScreenShotWnd::SaveSelection() {
    const TrackRect clipped = ClipSelection(m_tracker.selection, ScreenSize());
    const QRect crop = DeviceCropRect(clipped, m_grab.devicePixelRatio(), m_grab.size());
    if (crop.isEmpty() || m_target.empty()) {
        return false;  // nothing selected: as a cancel, the target untouched
    }
    // Written beside the target and moved over it in one step, so that the
    // target is either the new capture or still the one before. Every step
    // is checked: a short write (a full disk) must not become the capture.
    const QString target = QString::fromStdWString(m_target);
    const QString part = target + QStringLiteral(".part");
    QFile::remove(part);
    const PixelBuffer buffer{m_grab.constBits(), m_grab.width(), m_grab.height(),
                             static_cast<int>(m_grab.bytesPerLine())};
    Picture picture;
    const bool written =
        picture.CreateFromPixels(buffer) &&
        picture.Crop(crop.left(), crop.top(), crop.right() + 1, crop.bottom() + 1) &&
        picture.Save(part.toStdWString(), ImageFormatJpeg) &&
        std::rename(QFile::encodeName(part).constData(), QFile::encodeName(target).constData()) ==
            0;
    if (!written) {
        QFile::remove(part);
        m_saveFailed = true;
        std::fprintf(stderr, "KelsorOCR: screen capture: %s could not be written\n",
                     QFile::encodeName(target).constData());
    }
    return written;
}

void CScreenShotWnd::End(int result) {
    if (m_ended) {
        return;
    }
    m_ended = true;
    m_result = result;
    if (m_toolbar != nullptr) {
        m_toolbar->ShowWindow(false, false);
    }
    if (QWidget* host = GetHWND()) {
        ReleaseKeyboard();
        host->hide();
    }
    if (m_loop != nullptr) {
        m_loop->quit();
    }
}

}  // namespace kelsor::jobs

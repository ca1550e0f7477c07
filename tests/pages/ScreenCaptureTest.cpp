// The capture window driven offscreen over a fixed grab: selections, the
// toolbar, cancelling and what a finish writes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include "FullDisk.h"
#include "PageTestSupport.h"
#include "pages/CScreenShotWnd.h"
#include "pages/CaptureGeometry.h"
#include "pages/ScreenGrab.h"
#include "pages/ScreenShotToolWnd.h"

using namespace kelsor;
using kelsor::jobs::CScreenShotWnd;
using kelsor::jobs::TrackRect;
using kelsor::uitest::Near;

namespace {

constexpr QSize kScreen{640, 480};

// Quadrants split at (200, 175): red, green / blue, yellow.
QImage QuadrantScreen(double ratio) {
    QImage image(kScreen * ratio, QImage::Format_RGB32);
    QPainter p(&image);
    p.scale(ratio, ratio);
    p.fillRect(0, 0, 200, 175, Qt::red);
    p.fillRect(200, 0, 440, 175, Qt::green);
    p.fillRect(0, 175, 200, 305, Qt::blue);
    p.fillRect(200, 175, 440, 305, Qt::yellow);
    p.end();
    image.setDevicePixelRatio(ratio);
    return image;
}

void UseScreen(double ratio, QPoint origin) {
    jobs::SetScreenGrabber([ratio, origin] {
        return jobs::ScreenGrab{QuadrantScreen(ratio), QRect(origin, kScreen)};
    });
}

QWidget* CaptureHost() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("ScreenShotWndClass") && w->isVisible()) {
            return w;
        }
    }
    return nullptr;
}

void Send(QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QWidget* w = CaptureHost();
    ASSERT_NE(w, nullptr);
    QMouseEvent event(type, QPointF(p), QPointF(w->mapToGlobal(p)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

// A press at `from`, a drag to `to` and the release: the capture's rubber
// band. The band runs in its own loop, so its moves are queued first.
void Drag(QPoint from, QPoint to) {
    Send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    QTimer::singleShot(0, [to] {
        Send(QEvent::MouseMove, (to + to) / 2, Qt::NoButton, Qt::LeftButton);
        Send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        Send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    });
    Send(QEvent::MouseMove, from + QPoint(3, 3), Qt::NoButton, Qt::LeftButton);
}

void DoubleClick(QPoint p) {
    Send(QEvent::MouseButtonDblClick, p, Qt::LeftButton, Qt::LeftButton);
}

void PressEscape() {
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(CaptureHost(), &key);
}

// Runs a capture whose user does `act` once the window is up.
int Capture(CScreenShotWnd& capture, const std::wstring& target, const std::function<void()>& act) {
    QTimer::singleShot(0, [&] {
        if (CaptureHost() == nullptr) {
            ADD_FAILURE() << "no capture window";
            return;
        }
        act();
    });
    return capture.RunCapture(target);
}

class CaptureTest : public ::testing::Test {
protected:
    CaptureTest() {
        uitest::EnsureApp();
        target = dir.path().toStdWString() + L"/screenocrfile.jpg";
    }
    ~CaptureTest() override { jobs::SetScreenGrabber({}); }
    QTemporaryDir dir;
    std::wstring target;
};

TEST_F(CaptureTest, FinishedSelectionWritesItsDevicePixelsAndTheToolbarStaysOnScreen) {
    struct Case {
        const char* name;
        double ratio;
        QPoint origin;
        QPoint from, to;
        QSize jpeg;
    } cases[] = {
        {"forward", 1.0, {0, 0}, {100, 100}, {300, 250}, {200, 150}},
        {"inverted", 1.0, {0, 0}, {300, 250}, {100, 100}, {200, 150}},
        {"scaled screen", 2.0, {0, 0}, {100, 100}, {300, 250}, {400, 300}},
        {"second monitor", 1.0, {1280, 0}, {100, 100}, {300, 250}, {200, 150}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UseScreen(c.ratio, c.origin);
        QFile::remove(QString::fromStdWString(target));
        CScreenShotWnd capture;
        QRect toolbar;
        QSize label;
        const int result = Capture(capture, target, [&] {
            Drag(c.from, c.to);
            EXPECT_EQ(capture.Tracker().selection,
                      (TrackRect{c.from.x(), c.from.y(), c.to.x(), c.to.y()}));
            label = capture.SavedSize();
            ASSERT_TRUE(capture.ToolbarShown());
            toolbar = capture.Toolbar()->GetWindowRect();
            DoubleClick({200, 175});
        });
        EXPECT_EQ(result, 1);
        EXPECT_EQ(label, c.jpeg);
        EXPECT_EQ(toolbar, QRect(c.origin + QPoint(214, 260), jobs::kCaptureToolbarSize));
        const QImage jpeg(QString::fromStdWString(target));
        ASSERT_EQ(jpeg.size(), c.jpeg);
        const int w = jpeg.width(), h = jpeg.height();
        EXPECT_TRUE(Near(jpeg.pixel(w / 4, h / 4), Qt::red));
        EXPECT_TRUE(Near(jpeg.pixel(w * 3 / 4, h / 4), Qt::green));
        EXPECT_TRUE(Near(jpeg.pixel(w / 4, h * 3 / 4), Qt::blue));
        EXPECT_TRUE(Near(jpeg.pixel(w * 3 / 4, h * 3 / 4), Qt::yellow));
    }
}

TEST_F(CaptureTest, ToolbarOfASelectionInTheBottomLeftCornerIsOnScreen) {
    UseScreen(1.0, {0, 0});
    CScreenShotWnd capture;
    QRect toolbar;
    const int result = Capture(capture, target, [&] {
        Drag({40, 470}, {0, 479});
        toolbar = capture.Toolbar()->GetWindowRect();
        // The toolbar's finish button ends the capture from its own click.
        ASSERT_TRUE(capture.Toolbar()->ClickControl(L"sstfinishbtn"));
    });
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(QRect(QPoint(0, 0), kScreen).contains(toolbar))
        << toolbar.x() << "," << toolbar.y();
    EXPECT_EQ(QImage(QString::fromStdWString(target)).size(), QSize(40, 9));
}

TEST_F(CaptureTest, CancelledEmptyOrUnwritableCapturesReturnZeroAndLeaveTheTargetAsItWas) {
    UseScreen(1.0, {0, 0});
    const std::map<std::string, std::function<void(CScreenShotWnd&)>> ways = {
        {"finish on a full disk",
         [](CScreenShotWnd&) {
             Drag({100, 100}, {300, 250});
             test::FullDisk full(512);
             DoubleClick({200, 175});
         }},
        {"Esc", [](CScreenShotWnd&) { PressEscape(); }},
        {"Esc after a selection",
         [](CScreenShotWnd&) {
             Drag({100, 100}, {300, 250});
             PressEscape();
         }},
        {"toolbar cancel",
         [](CScreenShotWnd& capture) {
             Drag({100, 100}, {300, 250});
             ASSERT_TRUE(capture.Toolbar()->ClickControl(L"sstclosebtn"));
         }},
        {"finish with nothing selected",
         [](CScreenShotWnd&) {
             DoubleClick({50, 50});
         }},
    };
    for (const auto& [name, act] : ways) {
        SCOPED_TRACE(name);
        pagetest::SavePicture(QuadrantScreen(1.0).copy(0, 0, 10, 10), target);
        const std::string before = pagetest::ReadBytes(target);
        CScreenShotWnd capture;
        EXPECT_EQ(Capture(capture, target, [&] { act(capture); }), 0);
        EXPECT_EQ(capture.SaveFailed(), name == "finish on a full disk");
        EXPECT_EQ(pagetest::ReadBytes(target), before);
        EXPECT_FALSE(pagetest::Exists(target + L".part"));
    }
}

TEST_F(CaptureTest, NoScreenNoCapture) {
    jobs::SetScreenGrabber([] { return jobs::ScreenGrab{}; });
    CScreenShotWnd capture;
    EXPECT_EQ(capture.RunCapture(target), 0);
    EXPECT_EQ(CaptureHost(), nullptr);
    EXPECT_FALSE(pagetest::Exists(target));
}

}  // namespace

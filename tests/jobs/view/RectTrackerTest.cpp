#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>

#include "MouseEvents.h"
#include "jobs/view/RectTracker.h"

using namespace kelsor::jobs;

namespace {

using kelsor::test::MoveTo;
using kelsor::test::ReleaseAt;
using kelsor::test::SendMouse;

class RectTrackerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_owner.resize(400, 300);
        auto* layout = new QVBoxLayout(&m_owner);
        m_edit = new QLineEdit(&m_owner);
        layout->addWidget(m_edit);
        layout->addStretch();
        m_owner.show();
        m_edit->setFocus();
        QCoreApplication::processEvents();
    }

    // Runs a tracking loop; `during` runs inside it, as the user would act.
    bool Track(RectTrackerBase& tracker, int hit, QPoint from, std::function<void()> during) {
        QTimer::singleShot(0, &m_owner, std::move(during));
        return tracker.TrackDrag(hit, &m_owner, from.x(), from.y());
    }
    // A press at `from`, a move straight to `to` (none when it is `from`) and
    // the release there.
    bool Drag(RectTrackerBase& tracker, int hit, QPoint from, QPoint to) {
        return Track(tracker, hit, from, [this, from, to] {
            if (to != from)
                MoveTo(&m_owner, to);
            ReleaseAt(&m_owner, to);
        });
    }

    QWidget m_owner;
    QLineEdit* m_edit = nullptr;
};

}  // namespace

TEST_F(RectTrackerTest, ResizeByHandleAndReleaseFlag) {
    CXRectTracker tracker;
    EXPECT_EQ(tracker.handleSize, 4);
    EXPECT_EQ(tracker.minWidth, 8);
    EXPECT_FALSE(tracker.released);
    tracker.selection = {100, 100, 200, 200};
    const bool changed = Track(tracker, 2, {200, 200}, [&] {
        MoveTo(&m_owner, {215, 210});
        MoveTo(&m_owner, {230, 220});
        ReleaseAt(&m_owner, {230, 220});
    });
    EXPECT_TRUE(changed);
    EXPECT_EQ(tracker.selection, (TrackRect{100, 100, 230, 220}));
    EXPECT_TRUE(tracker.released);
    EXPECT_FALSE(tracker.finishing);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
}

TEST_F(RectTrackerTest, EscapeAndRightButtonRestore) {
    CXRectTracker tracker;
    tracker.selection = {100, 100, 200, 200};
    bool changed = Track(tracker, 8, {150, 150}, [&] {
        MoveTo(&m_owner, {170, 160});
        // Keys other than Esc are dropped, wherever the focus is.
        QTest::keyClick(m_edit, Qt::Key_A);
        EXPECT_EQ(tracker.selection, (TrackRect{120, 110, 220, 210}));
        QTest::keyClick(m_edit, Qt::Key_Escape);
    });
    EXPECT_FALSE(changed);
    EXPECT_EQ(tracker.selection, (TrackRect{100, 100, 200, 200}));
    EXPECT_TRUE(m_edit->text().isEmpty());
    EXPECT_FALSE(tracker.released);
    // Typing works again once the loop is over.
    QTest::keyClick(m_edit, Qt::Key_B);
    EXPECT_EQ(m_edit->text(), "b");

    CViewRectTracker view;
    view.selection = {100, 100, 200, 200};
    changed = Track(view, 5, {200, 150}, [&] {
        MoveTo(&m_owner, {260, 150});
        SendMouse(&m_owner, QEvent::MouseButtonPress, {260, 150}, Qt::RightButton,
                  Qt::LeftButton | Qt::RightButton);
    });
    EXPECT_FALSE(changed);
    EXPECT_EQ(view.selection, (TrackRect{100, 100, 200, 200}));
}

TEST_F(RectTrackerTest, ClicksWithoutMovingChangeNothing) {
    struct Case {
        TrackRect start;
        QPoint from, to;
        bool changed;
        TrackRect end;
    };
    const Case cases[] = {
        // A click on a handle.
        {{100, 100, 200, 200}, {202, 202}, {202, 202}, false, {100, 100, 200, 200}},
        // A rubber band that never moves stays empty, not minimum-sized.
        {{50, 60, 50, 60}, {50, 60}, {50, 60}, false, {50, 60, 50, 60}},
        // Dragged past its start it inverts; a short move keeps the minimum.
        {{50, 60, 50, 60}, {50, 60}, {20, 30}, true, {50, 60, 20, 30}},
        {{50, 60, 50, 60}, {50, 60}, {52, 61}, true, {50, 60, 58, 68}},
    };
    CViewRectTracker tracker;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "case " << (&c - cases));
        tracker.selection = c.start;
        EXPECT_EQ(Drag(tracker, 2, c.from, c.to), c.changed);
        EXPECT_EQ(tracker.selection, c.end);
    }
}

TEST_F(RectTrackerTest, BoundsShiftTheRectangle) {
    CXRectTracker tracker;
    tracker.bounds = {0, 0, 1920, 1080};
    tracker.selection = {1700, 300, 1900, 400};
    EXPECT_TRUE(Drag(tracker, 8, {1750, 350}, {1850, 350}));
    EXPECT_EQ(tracker.selection, (TrackRect{1720, 300, 1920, 400}));
}

TEST_F(RectTrackerTest, NoLoopWithoutTheCapture) {
    CXRectTracker tracker;
    tracker.selection = {10, 10, 50, 50};
    QWidget other;
    other.show();
    other.grabMouse();
    EXPECT_FALSE(tracker.TrackDrag(8, &m_owner, 20, 20));
    other.releaseMouse();
    QWidget hidden;
    EXPECT_FALSE(tracker.TrackDrag(8, &hidden, 20, 20));
    // Losing the capture mid-drag ends the loop like a release without a move.
    EXPECT_FALSE(Track(tracker, 8, {20, 20}, [&] {
        other.grabMouse();
        MoveTo(&m_owner, {40, 40});
        other.releaseMouse();
    }));
    EXPECT_EQ(tracker.selection, (TrackRect{10, 10, 50, 50}));
}

TEST(RectTrackerDrawing, FrameAndHandlesInTheTrackerColour) {
    CViewRectTracker tracker;
    tracker.selection = {20, 20, 30, 30};
    QImage image(60, 60, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        tracker.DrawFrame(painter);
    }
    const QRgb blue = qRgb(46, 115, 228);
    const QRgb white = qRgb(255, 255, 255);
    // Outline from left-1 to right, top-1 to bottom.
    EXPECT_EQ(image.pixel(25, 19), blue);
    EXPECT_EQ(image.pixel(25, 30), blue);
    EXPECT_EQ(image.pixel(19, 25), blue);
    EXPECT_EQ(image.pixel(30, 25), blue);
    EXPECT_EQ(image.pixel(25, 18), white);
    EXPECT_EQ(image.pixel(25, 31), white);
    EXPECT_EQ(image.pixel(25, 25), white);  // no fill
    // Four-pixel corner handles, no middle handles at 10 x 10.
    EXPECT_EQ(image.pixel(16, 16), blue);
    EXPECT_EQ(image.pixel(15, 15), white);
    EXPECT_EQ(image.pixel(33, 33), blue);
    EXPECT_EQ(image.pixel(34, 34), white);
    EXPECT_EQ(image.pixel(25, 17), white);

    EXPECT_EQ(TrackerCursorFor({0, 0, 50, 50}, 0), Qt::SizeFDiagCursor);
    EXPECT_EQ(TrackerCursorFor({50, 0, 0, 50}, 0), Qt::SizeBDiagCursor);
    EXPECT_EQ(TrackerCursorFor({0, 0, 50, 50}, 5), Qt::SizeHorCursor);
    EXPECT_EQ(TrackerCursorFor({0, 0, 50, 50}, 6), Qt::SizeVerCursor);
    EXPECT_EQ(TrackerCursorFor({0, 0, 50, 50}, 8), Qt::SizeAllCursor);
}

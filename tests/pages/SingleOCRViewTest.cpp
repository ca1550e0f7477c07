// The image view inside the real page: cut mode driven with mouse events.
#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QTimer>

#include "MouseEvents.h"
#include "OrientedJpeg.h"
#include "PageTestSupport.h"
#include "app/AppContext.h"
#include "pages/SingleOCRView.h"

using namespace kelsor;
using namespace kelsor::pagetest;
using kelsor::jobs::TrackRect;
using kelsor::test::HoverAt;
using kelsor::test::MoveTo;
using kelsor::test::PressAt;
using kelsor::test::ReleaseAt;
using kelsor::uitest::Near;

namespace {

class ViewTest : public ::testing::Test, public PageFixture {
protected:
    // A 264 x 226 picture, red left and blue right, shown centred at natural
    // size at (132, 112) of the 528 x 451 view. With an Exif orientation it
    // is a JPEG photo stored turned that way.
    void ShowTwoColourPicture(int orientation = -1) {
        const QImage picture = TwoColourPicture(264, 226, Qt::red, Qt::blue);
        const std::wstring path =
            Folder(L"pics") + (orientation < 0 ? L"halves.png" : L"halves.jpg");
        ASSERT_TRUE(orientation < 0
                        ? SavePicture(picture, path)
                        : test::WriteOrientedJpeg(picture, orientation,
                                                  QString::fromStdWString(path).toStdString()));
        page->SetPicture(path);
        view = page->View();
        host = view->GetHWND();
        ASSERT_TRUE(WaitFor([&] { return !view->Canvas().LatestFrame().image.isNull(); }));
    }
    QImage SavedCut(const std::wstring& path) {
        view->SaveCut(path);
        return QImage(QString::fromStdWString(path));
    }
    // The cut of the whole view: white around the picture, red left, blue
    // right, upright as shown.
    void ExpectWholeViewCut() {
        const QImage image = SavedCut(root + L"cut.jpg");
        ASSERT_EQ(image.size(), QSize(528, 451));
        EXPECT_TRUE(Near(image.pixel(10, 10), Qt::white));
        EXPECT_TRUE(Near(image.pixel(150, 130), Qt::red));
        EXPECT_TRUE(Near(image.pixel(370, 320), Qt::blue));
    }
    jobs::SingleOCRView* view = nullptr;
    QWidget* host = nullptr;
};

}  // namespace

TEST_F(ViewTest, ClickInCutModeSelectsTheWholeViewAndCutsTheDisplayedPixels) {
    ShowTwoColourPicture();
    ASSERT_TRUE(page->ClickControl(L"cutbtn"));
    EXPECT_FALSE(view->IsMoveMode());
    EXPECT_FALSE(view->OverlayShown());
    PressAt(host, {50, 50});
    EXPECT_EQ(view->Tracker().selection, (TrackRect{0, 0, 528, 451}));
    EXPECT_TRUE(view->OverlayShown());
    ReleaseAt(host, {50, 50});
    EXPECT_FALSE(view->OverlayShown());

    ExpectWholeViewCut();
}

TEST_F(ViewTest, APhotoStoredSidewaysIsCutUprightAsShown) {
    ShowTwoColourPicture(8);
    ASSERT_TRUE(page->ClickControl(L"cutbtn"));
    PressAt(host, {50, 50});
    ReleaseAt(host, {50, 50});
    ExpectWholeViewCut();
}

TEST_F(ViewTest, RubberBandStartsAfterTwoPixelsAndCutsFromTheScreenGrab) {
    // The grab holds the screen beyond the view too: green left of x 200,
    // black from there on.
    jobs::SingleOCRView::SetScreenGrabber([](const QRect& area) {
        return TwoColourPicture(400, area.height(), Qt::green, Qt::black)
            .copy(0, 0, area.width(), area.height());
    });
    ShowTwoColourPicture();
    ASSERT_TRUE(page->ClickControl(L"cutbtn"));
    PressAt(host, {100, 100});
    MoveTo(host, {101, 101});  // one pixel: still the whole view
    EXPECT_EQ(view->Tracker().selection, (TrackRect{0, 0, 528, 451}));
    QTimer::singleShot(0, host, [&] {
        MoveTo(host, {200, 180});
        MoveTo(host, {300, 250});
        ReleaseAt(host, {300, 250});
    });
    MoveTo(host, {103, 103});  // two pixels from the last point: the band runs
    EXPECT_EQ(view->Tracker().selection, (TrackRect{101, 101, 300, 250}));
    // The band's loop took the button-up: the overlay stays on, and the
    // handles show their sizing cursors at once.
    EXPECT_TRUE(view->OverlayShown());
    HoverAt(host, {300, 175});
    EXPECT_EQ(host->cursor().shape(), Qt::SizeHorCursor);
    HoverAt(host, {300, 250});
    EXPECT_EQ(host->cursor().shape(), Qt::SizeFDiagCursor);
    HoverAt(host, {200, 175});
    EXPECT_EQ(host->cursor().shape(), Qt::SizeAllCursor);
    HoverAt(host, {400, 400});
    EXPECT_EQ(host->cursor().shape(), Qt::ArrowCursor);

    const std::wstring cut = root + L"band.jpg";
    const QImage image = SavedCut(cut);
    ASSERT_EQ(image.size(), QSize(199, 149));
    EXPECT_TRUE(Near(image.pixel(20, 20), Qt::green));
    EXPECT_TRUE(Near(image.pixel(180, 20), Qt::black));

    // Back to move mode: the cut is cleared and a save writes nothing.
    ASSERT_TRUE(page->ClickControl(L"movebtn"));
    EXPECT_TRUE(view->Tracker().selection.IsAllZero());
    view->SaveCut(cut);
    EXPECT_FALSE(Exists(cut));
}

TEST_F(ViewTest, ZoomWorksInMoveModeOnly) {
    ShowTwoColourPicture();
    const double before = view->Canvas().State().scale;
    ASSERT_TRUE(page->ClickControl(L"cutbtn"));
    page->ZoomAt(QPoint(300, 300), 120);
    EXPECT_TRUE(page->ClickControl(L"zoominbtn"));
    EXPECT_DOUBLE_EQ(view->Canvas().State().scale, before);

    ASSERT_TRUE(page->ClickControl(L"movebtn"));
    page->ZoomAt(QPoint(300, 300), 120);
    view->Canvas().WaitForAnimation();
    EXPECT_GT(view->Canvas().State().scale, before);
    EXPECT_TRUE(page->ClickControl(L"adaptationbtn"));
    EXPECT_NEAR(view->Canvas().State().scale, 2.0, 0.001);  // 264 wide in 528
}

TEST_F(ViewTest, MoveModeDragsThePictureAndCutModeDoesNot) {
    ShowTwoColourPicture();
    const auto start = view->Canvas().State().placement;
    PressAt(host, {200, 200});  // on the picture
    MoveTo(host, {230, 190});
    ReleaseAt(host, {230, 190});
    const auto moved = view->Canvas().State().placement;
    EXPECT_EQ(moved.originX - start.originX, 30);
    EXPECT_EQ(moved.originY - start.originY, -10);
    EXPECT_FALSE(view->Canvas().State().dragging);

    ASSERT_TRUE(page->ClickControl(L"cutbtn"));
    PressAt(host, {200, 200});
    ReleaseAt(host, {200, 200});
    EXPECT_EQ(view->Canvas().State().placement.originX, moved.originX);
}

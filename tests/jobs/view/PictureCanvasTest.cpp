#include <gtest/gtest.h>

#include <FreeImage.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>
#include <vector>

#include "jobs/view/PictureCanvas.h"

using namespace kelsor::jobs;

namespace {

const QSize kView(528, 451);

// A picture whose colour tells where a pixel came from.
QImage Pattern(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, qRgb((x / 8) % 256, (y / 4) % 256, 128));
        }
    }
    return image;
}

class PictureCanvasTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_pattern = Pattern(2000, 1000);
        ASSERT_TRUE(m_pattern.save(Path("wide.bmp")));
    }
    QString Path(const QString& name) const { return m_dir.filePath(name); }
    std::wstring WPath(const QString& name) const { return Path(name).toStdWString(); }

    // Lets queued frame deliveries reach this (the UI) thread.
    static void Drain(PictureCanvas& canvas) {
        canvas.WaitForAnimation();
        QCoreApplication::processEvents();
    }

    QTemporaryDir m_dir;
    QImage m_pattern;
};

}  // namespace

TEST_F(PictureCanvasTest, LoadsCentredAtNaturalSize) {
    PictureCanvas canvas;
    canvas.SetCanvasSize(kView);
    ASSERT_TRUE(canvas.LoadPicture(WPath("wide.bmp")));
    CanvasState state = canvas.State();
    EXPECT_EQ(state.imageWidth, 2000);
    EXPECT_EQ(state.imageHeight, 1000);
    EXPECT_EQ(state.kind, PictureKind::Other);
    EXPECT_EQ(state.scale, 1.0);
    canvas.Paint(kView);
    const CanvasFrame frame = canvas.LatestFrame();
    EXPECT_EQ(frame.originX, -736);
    EXPECT_EQ(frame.originY, -275);
    EXPECT_EQ(frame.drawnWidth, 2000);
    ASSERT_EQ(frame.image.size(), kView);
    // The middle of the picture is what the view shows.
    EXPECT_EQ(frame.image.pixel(0, 0), m_pattern.pixel(736, 275));
    EXPECT_EQ(frame.image.pixel(527, 450), m_pattern.pixel(736 + 527, 275 + 450));
}

TEST_F(PictureCanvasTest, FitToWidthLeavesWhiteBands) {
    PictureCanvas canvas;
    canvas.SetCanvasSize(kView);
    ASSERT_TRUE(canvas.LoadPicture(WPath("wide.bmp")));
    canvas.FitToWidth(kView);
    const CanvasState state = canvas.State();
    EXPECT_DOUBLE_EQ(state.scale, 0.264);
    EXPECT_DOUBLE_EQ(state.shownScale, 0.264);
    const CanvasFrame frame = canvas.LatestFrame();
    EXPECT_EQ(frame.originX, 0);
    EXPECT_EQ(frame.originY, 93);
    EXPECT_EQ(frame.drawnWidth, 528);
    EXPECT_EQ(frame.drawnHeight, 264);
    EXPECT_EQ(frame.image.pixel(200, 92), qRgb(255, 255, 255));
    EXPECT_EQ(frame.image.pixel(200, 357), qRgb(255, 255, 255));
    EXPECT_NE(frame.image.pixel(200, 94), qRgb(255, 255, 255));
    EXPECT_NE(frame.image.pixel(200, 356), qRgb(255, 255, 255));
}

TEST_F(PictureCanvasTest, ZoomAnimatesOnItsOwnThreadAndDeliversToTheUiThread) {
    PictureCanvas canvas;
    canvas.SetCanvasSize(kView);
    std::vector<CanvasFrame> frames;
    bool offThread = false;
    canvas.SetFrameHandler([&] {
        offThread |= QThread::currentThread() != qApp->thread();
        frames.push_back(canvas.LatestFrame());
    });
    ASSERT_TRUE(canvas.LoadPicture(WPath("wide.bmp")));
    canvas.Paint(kView);
    canvas.ZoomBy(QPoint(0, 0), kZoomButtonDelta);
    Drain(canvas);
    EXPECT_EQ(canvas.AnimationFrameCount(), 7u);
    CanvasState state = canvas.State();
    EXPECT_FALSE(state.animating);
    EXPECT_DOUBLE_EQ(state.scale, 1.06);
    EXPECT_NEAR(state.shownScale, 1.07, 1e-6);
    ASSERT_GE(frames.size(), 2u);  // the paint and at least the last animation frame
    EXPECT_FALSE(offThread);
    const CanvasFrame& last = frames.back();
    EXPECT_NEAR(last.scale, 1.07, 1e-6);
    EXPECT_EQ(last.drawnWidth, 2139);
    EXPECT_EQ(last.drawnHeight, 1069);
    EXPECT_EQ(last.originX, state.placement.originX);
    EXPECT_NEAR(last.originX + last.drawnWidth / 2.0, 264.0, 1.0);
    // Frames arrive in order.
    for (size_t i = 1; i < frames.size(); ++i) {
        EXPECT_GT(frames[i].serial, frames[i - 1].serial);
    }

    // One wheel notch down from the new target: five more frames.
    canvas.ZoomBy(QPoint(100, 100), -120);
    Drain(canvas);
    EXPECT_EQ(canvas.AnimationFrameCount(), 12u);
    state = canvas.State();
    EXPECT_DOUBLE_EQ(state.scale, 1.06 - 0.045);
}

TEST_F(PictureCanvasTest, RepeatedZoomsFollowTheTargetAndClamp) {
    PictureCanvas canvas;
    canvas.SetCanvasSize(kView);
    ASSERT_TRUE(canvas.LoadPicture(WPath("wide.bmp")));
    canvas.Paint(kView);
    // A second request while the first may still run: either way the
    // animation ends one step past the final target.
    canvas.ZoomBy(QPoint(), 160);
    canvas.ZoomBy(QPoint(), 160);
    Drain(canvas);
    CanvasState state = canvas.State();
    EXPECT_DOUBLE_EQ(state.scale, 1.12);
    EXPECT_GE(state.shownScale, 1.12);
    EXPECT_LT(state.shownScale, 1.13);
    for (int i = 0; i < 40; ++i) {
        canvas.ZoomBy(QPoint(), -160);
    }
    Drain(canvas);
    state = canvas.State();
    EXPECT_EQ(state.scale, 0.05);
    EXPECT_LE(state.shownScale, 0.05);
    EXPECT_GT(state.shownScale, 0.039);
    EXPECT_EQ(canvas.LatestFrame().drawnWidth, state.placement.shownWidth);
}

TEST_F(PictureCanvasTest, NothingLoadedMeansNothingDrawnAndNoAnimation) {
    QFile fake(Path("notes.png"));
    ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
    fake.write("this is text, not a picture\n");
    fake.close();
    PictureCanvas canvas;
    canvas.SetCanvasSize(kView);
    EXPECT_FALSE(canvas.LoadPicture(WPath("notes.png")));
    EXPECT_FALSE(canvas.LoadPicture(WPath("missing.bmp")));
    EXPECT_FALSE(canvas.LoadPicture(L""));
    canvas.ZoomBy(QPoint(), 160);
    canvas.FitToWidth(kView);
    EXPECT_FALSE(canvas.State().animating);
    EXPECT_EQ(canvas.AnimationFrameCount(), 0u);
    canvas.Paint(kView);
    EXPECT_TRUE(canvas.LatestFrame().image.isNull());

    // A failed load after a good one empties the canvas.
    ASSERT_TRUE(canvas.LoadPicture(WPath("wide.bmp")));
    canvas.Paint(kView);
    EXPECT_FALSE(canvas.LatestFrame().image.isNull());
    EXPECT_FALSE(canvas.LoadPicture(WPath("notes.png")));
    canvas.Paint(kView);
    EXPECT_TRUE(canvas.LatestFrame().image.isNull());
}

TEST_F(PictureCanvasTest, PngKeepsTransparencyAndNamesMayBeUnicode) {
    QImage alpha(100, 50, QImage::Format_ARGB32);
    alpha.fill(qRgba(0, 0, 0, 0));
    for (int y = 0; y < 50; ++y) {
        for (int x = 50; x < 100; ++x) {
            alpha.setPixel(x, y, qRgba(0, 200, 0, 255));
        }
    }
    const QString name = QString::fromUtf8("\xe5\x9b\xbe\xe7\x89\x87 1.png");  // 图片 1.png
    ASSERT_TRUE(alpha.save(Path(name)));
    PictureCanvas canvas;
    canvas.SetCanvasSize(kView);
    ASSERT_TRUE(canvas.LoadPicture(WPath(name)));
    EXPECT_EQ(canvas.State().kind, PictureKind::Png);
    canvas.Paint(kView);
    const CanvasFrame frame = canvas.LatestFrame();
    EXPECT_EQ(frame.originX, 214);
    EXPECT_EQ(frame.originY, 200);
    EXPECT_EQ(frame.image.pixel(220, 210), qRgb(255, 255, 255));
    EXPECT_EQ(frame.image.pixel(300, 210), qRgb(0, 200, 0));

    // The canvas decodes what the picture check accepts and nothing more: an
    // icon, which no page takes, stays undecoded.
    FIBITMAP* icon = FreeImage_Allocate(32, 32, 32);
    ASSERT_NE(icon, nullptr);
    ASSERT_TRUE(FreeImage_Save(FIF_ICO, icon, Path("icon.png").toLocal8Bit().constData(), 0));
    FreeImage_Unload(icon);
    EXPECT_FALSE(canvas.LoadPicture(WPath("icon.png")));
}

TEST_F(PictureCanvasTest, DragFollowsTheMouseInsideTheViewOnly) {
    ASSERT_TRUE(Pattern(100, 50).save(Path("small.bmp")));
    PictureCanvas canvas;
    canvas.SetCanvasSize(kView);
    ASSERT_TRUE(canvas.LoadPicture(WPath("small.bmp")));
    canvas.Paint(kView);                               // at (214, 200)
    EXPECT_FALSE(canvas.BeginDrag(QPoint(100, 100)));  // white area
    EXPECT_FALSE(canvas.State().dragging);
    canvas.DragTo(QPoint(120, 120), QRect(QPoint(0, 0), kView));
    EXPECT_EQ(canvas.State().placement.originX, 214);

    ASSERT_TRUE(canvas.BeginDrag(QPoint(314, 250)));  // the corner, edges included
    canvas.DragTo(QPoint(320, 260), QRect(QPoint(0, 0), kView));
    EXPECT_EQ(canvas.State().placement.originX, 220);
    EXPECT_EQ(canvas.State().placement.originY, 210);
    EXPECT_EQ(canvas.LatestFrame().originX, 220);
    // Outside the view the picture waits, and follows again once back.
    canvas.DragTo(QPoint(529, 260), QRect(QPoint(0, 0), kView));
    canvas.DragTo(QPoint(300, -1), QRect(QPoint(0, 0), kView));
    EXPECT_EQ(canvas.State().placement.originX, 220);
    canvas.DragTo(QPoint(528, 451), QRect(QPoint(0, 0), kView));
    EXPECT_EQ(canvas.State().placement.originX, 428);
    // Dropped exactly on (0, 0): the next paint centres it again.
    canvas.DragTo(QPoint(100, 50), QRect(QPoint(0, 0), kView));
    EXPECT_EQ(canvas.State().placement.originX, 0);
    canvas.EndDrag();
    canvas.Paint(kView);
    EXPECT_EQ(canvas.State().placement.originX, 214);
    canvas.DragTo(QPoint(10, 10), QRect(QPoint(0, 0), kView));
    EXPECT_EQ(canvas.State().placement.originX, 214);  // drag has ended
}

TEST_F(PictureCanvasTest, LoadingOrDestroyingStopsARunningAnimation) {
    ASSERT_TRUE(Pattern(300, 200).save(Path("other.bmp")));
    auto canvas = std::make_unique<PictureCanvas>();
    canvas->SetCanvasSize(kView);
    ASSERT_TRUE(canvas->LoadPicture(WPath("wide.bmp")));
    canvas->ZoomBy(QPoint(), 160 * 200);  // a long way to 10.0
    ASSERT_TRUE(canvas->LoadPicture(WPath("other.bmp")));
    CanvasState state = canvas->State();
    EXPECT_FALSE(state.animating);
    EXPECT_EQ(state.scale, 1.0);
    EXPECT_EQ(state.placement.shownWidth, 300);
    // No frame of the old picture shows up afterwards.
    QCoreApplication::processEvents();
    EXPECT_TRUE(canvas->LatestFrame().image.isNull());
    canvas->Paint(kView);
    EXPECT_EQ(canvas->LatestFrame().drawnWidth, 300);

    canvas->ZoomBy(QPoint(), 160 * 200);
    canvas.reset();  // joins the animation; its queued frames are dropped
    QCoreApplication::processEvents();
}

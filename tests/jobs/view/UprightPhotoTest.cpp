// Photos stored turned or mirrored, one for each Exif orientation (and one
// without the tag): the canvas shows them upright, the conversion writes
// them upright without the tag, and the batch list names their upright size.
#include <gtest/gtest.h>

#include <QImageReader>
#include <QTemporaryDir>

#include <cstdlib>

#include "OrientedJpeg.h"
#include "jobs/BatchPictureInfo.h"
#include "jobs/PictureUtils.h"
#include "jobs/view/PictureCanvas.h"

using namespace kelsor;

namespace {

constexpr int kWidth = 96;
constexpr int kHeight = 48;

// Red top left, green top right, blue bottom left, yellow bottom right: any
// turn or mirror moves at least one of them.
QImage Quadrants() {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const bool right = x >= kWidth / 2;
            const bool bottom = y >= kHeight / 2;
            image.setPixel(x, y,
                           bottom ? (right ? qRgb(255, 255, 0) : qRgb(0, 0, 255))
                                  : (right ? qRgb(0, 255, 0) : qRgb(255, 0, 0)));
        }
    }
    return image;
}

::testing::AssertionResult Upright(const QImage& image) {
    if (image.size() != QSize(kWidth, kHeight)) {
        return ::testing::AssertionFailure() << "size " << image.width() << "x" << image.height();
    }
    const QImage expected = Quadrants();
    for (const QPoint p : {QPoint(24, 12), QPoint(72, 12), QPoint(24, 36), QPoint(72, 36)}) {
        const QRgb got = image.pixel(p);
        const QRgb want = expected.pixel(p);
        if (std::abs(qRed(got) - qRed(want)) > 40 || std::abs(qGreen(got) - qGreen(want)) > 40 ||
            std::abs(qBlue(got) - qBlue(want)) > 40) {
            return ::testing::AssertionFailure()
                   << "at " << p.x() << "," << p.y() << ": " << std::hex << got;
        }
    }
    return ::testing::AssertionSuccess();
}

QImage Read(const QString& path, bool honourOrientation) {
    QImageReader reader(path);
    reader.setAutoTransform(honourOrientation);
    return reader.read();
}

}  // namespace

TEST(UprightPhoto, EveryOrientationIsShownAndConvertedUpright) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QSize view(300, 200);
    for (int orientation = 0; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const QString photo = dir.filePath(QStringLiteral("photo%1.jpg").arg(orientation));
        ASSERT_TRUE(test::WriteOrientedJpeg(Quadrants(), orientation, photo.toStdString()));
        // Qt's reader, which honours the tag, vouches that the file is what a
        // camera writes, and its plain reading that the pixels are stored turned.
        ASSERT_TRUE(Upright(Read(photo, true)));
        EXPECT_EQ(bool(Upright(Read(photo, false))), orientation <= 1);

        EXPECT_EQ(ReadBatchPictureInfo(photo.toStdWString()).dimensionsText, L"96*48");

        jobs::PictureCanvas canvas;
        canvas.SetCanvasSize(view);
        ASSERT_TRUE(canvas.LoadPicture(photo.toStdWString()));
        canvas.Paint(view);
        const jobs::CanvasFrame frame = canvas.LatestFrame();
        EXPECT_TRUE(Upright(
            frame.image.copy(frame.originX, frame.originY, frame.drawnWidth, frame.drawnHeight)));

        const QString work = dir.filePath(QStringLiteral("work%1.jpg").arg(orientation));
        ASSERT_TRUE(ConvertPictureToJpeg(100, photo.toStdWString(), work.toStdWString()));
        EXPECT_TRUE(Upright(Read(work, false)));
        // Without its tag, or a reader that honours it would turn it again.
        EXPECT_TRUE(Upright(Read(work, true)));
    }
}

// The whole road on the page: a picture chosen through the picker, recognised
// by the real cloud client against a kelsor-server started here (Tesseract
// engine, HTTPS with certificate verification), its text shown and written.
// Also leaves a screenshot of the finished page for a person to look at.
#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cstdlib>

#include "LocalService.h"
#include "PageTestSupport.h"
#include "RenderText.h"
#include "app/AppContext.h"
#include "pages/SingleOCRView.h"

using namespace kelsor;
using namespace kelsor::pagetest;

namespace {

class RealRecognitionTest : public ::testing::Test, public PageFixture {};

}  // namespace

TEST_F(RealRecognitionTest, PictureToTextThroughTheLocalService) {
    test::LocalService service;
    std::string error;
    ASSERT_TRUE(StartTesseractService(service, root, error)) << error;

    const std::wstring picture = Folder(L"scan") + L"page 1.png";
    ASSERT_TRUE(SavePicture(test::LargeTextPicture({QStringLiteral("Hello World"),
                                                    QStringLiteral("Recognition works fine")}),
                            picture));
    ui::FileDialog::SetNextFileNames({picture});
    ASSERT_TRUE(page->ClickControl(L"singleselectpicbtn"));
    ASSERT_TRUE(page->ClickControl(L"adaptationbtn"));
    page->StartRecognition();
    ASSERT_TRUE(WaitForMessage(2132, std::chrono::minutes(3))) << service.Log();
    EXPECT_TRUE(notices.empty());

    const std::string expected = "Hello World\r\nRecognition works fine\r\n";
    EXPECT_EQ(ReadBytes(root + L"scan/page 1.txt"), expected) << service.Log();
    EXPECT_EQ(Control(L"ocrtextarea")->GetText(), L"Hello World\nRecognition works fine");
    EXPECT_EQ(main->messages, (std::vector<unsigned>{2130, 2131, 2132}));

    // For a person to look at: the page with its picture and text.
    RunEventsFor(std::chrono::seconds(1));
    const QString shot = QStringLiteral(KELSOR_SCREENSHOT_DIR "/single_page.png");
    EXPECT_TRUE(main->GetHWND()->grab().save(shot));
}

// A cut of one line, 14 px tall (under the service's 15-px minimum), read
// through the service's default engine.
TEST_F(RealRecognitionTest, ACutOfOneLine14PxTallIsRead) {
    test::LocalService service;
    std::string error;
    ASSERT_TRUE(service.StartSignedIn(
        KELSOR_SERVER_EXE, QString::fromStdWString(root).toStdString(), {"--engines", "1"}, error))
        << error;
    QImage picture(400, 120, QImage::Format_RGB32);
    picture.fill(Qt::white);
    const QImage line = test::TightLinePicture(QStringLiteral("KELSOR 2024"), 13, 0);
    QPainter(&picture).drawImage(100, 50, line);
    const std::wstring path = Folder(L"scan") + L"line.png";
    ASSERT_TRUE(SavePicture(picture, path));
    ui::FileDialog::SetNextFileNames({path});
    ASSERT_TRUE(page->ClickControl(L"singleselectpicbtn"));
    RunEventsFor(std::chrono::milliseconds(200));

    // The line where the view shows it, cut to its lowest 14 rows.
    QWidget* view = page->View()->GetHWND();
    const QRect ink = test::InkBox(view->grab().toImage());
    ASSERT_FALSE(ink.isEmpty());
    ASSERT_TRUE(page->ClickControl(L"cutbtn"));
    const QPoint from(ink.left(), ink.bottom() + 1 - 14), to(ink.right() + 1, ink.bottom() + 1);
    auto mouse = [view](QEvent::Type type, QPoint p, Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(p), QPointF(view->mapToGlobal(p)), Qt::LeftButton, buttons,
                      Qt::NoModifier);
        QApplication::sendEvent(view, &e);
    };
    mouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
    QTimer::singleShot(0, view, [&] {
        mouse(QEvent::MouseMove, to, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, to, Qt::NoButton);
    });
    mouse(QEvent::MouseMove, from + QPoint(10, 5), Qt::LeftButton);
    const std::size_t before = main->messages.size();
    page->StartRecognition();
    // Done (2132), or reset (2129) by 识别失败！
    ASSERT_TRUE(test::WaitFor(
        [&] {
            return std::any_of(main->messages.begin() + std::ptrdiff_t(before),
                               main->messages.end(),
                               [](unsigned m) { return m == 2132 || m == 2129; });
        },
        std::chrono::minutes(3)));
    EXPECT_EQ(main->messages.back(), 2132u) << service.Log();
    EXPECT_EQ(QImage(QString::fromStdWString(App().singleCutPicturePath)).height(), 14);
    EXPECT_TRUE(notices.empty());
    EXPECT_NE(Control(L"ocrtextarea")->GetText().find(L"KELSOR"), std::wstring::npos)
        << QString::fromStdWString(Control(L"ocrtextarea")->GetText()).toStdString();
}

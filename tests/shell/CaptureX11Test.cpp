// Screen capture as a user makes it: Ctrl+2 on a real X server (Xvfb) over a
// window of known content, a drag, a double click, and the screen page of
// the real main window recognising the capture through a kelsor-server.
// Built twice: once as is, once run with QT_SCALE_FACTOR=2.
#include <gtest/gtest.h>

#include <QDir>
#include <QPainter>
#include <QRegularExpression>
#include <QWidget>
#include <QWindow>
#include <filesystem>
#include <thread>

#include "CaptureSteps.h"
#include "LocalService.h"
#include "MainWndTestSupport.h"
#include "X11TestSupport.h"
#include "account/UserInfo.h"
#include "app/AppContext.h"
#include "app/TextConv.h"
#include "pages/ScreenOCRWnd.h"
#include "pages/SingleOCRView.h"

using namespace kelsor;
using namespace kelsor::ui;
using kelsor::shelltest::WaitFor;
namespace fs = std::filesystem;

namespace {

// Logical pixels per device pixel of the run (QT_SCALE_FACTOR).
int Scale() {
    const int scale = qEnvironmentVariableIntValue("QT_SCALE_FACTOR");
    return scale > 0 ? scale : 1;
}

// Blocks above a line of Chinese text, all inside the rectangle
// (100, 100)-(300, 250) that the tests capture.
class KnownContent : public QWidget {
public:
    KnownContent() {
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
        setGeometry(0, 0, 400, 300);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        p.fillRect(100, 100, 100, 50, Qt::red);
        p.fillRect(200, 100, 100, 50, Qt::blue);
        QFont font(QStringLiteral("Noto Sans CJK SC"));
        font.setPixelSize(40);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(QRect(100, 160, 200, 80), Qt::AlignCenter, QStringLiteral("文字识别"));
    }
};

bool Near(QRgb a, QColor b) {
    return std::abs(qRed(a) - b.red()) < 40 && std::abs(qGreen(a) - b.green()) < 40 &&
           std::abs(qBlue(a) - b.blue()) < 40;
}

std::string Drag(QPoint from, QPoint to, const std::string& midway = "true") {
    return shelltest::DragSteps(from, to, Scale(), midway);
}

std::string DoubleClick(QPoint p) {
    return shelltest::DoubleClickSteps(p, Scale());
}

class CaptureX11 : public shelltest::CaptureDesktop<KnownContent> {
protected:
    // The main window lies over part of the rectangle the test captures.
    void SetUp() override { ShowDesktop(QPoint(150, 120)); }

    // Ctrl+2, then the user's `steps`; true once the capture has ended.
    bool CaptureWith(const std::string& steps) {
        const int before = page->CapturesRun();
        std::thread user = shelltest::CaptureUser(steps);
        const bool pressed = std::system("xdotool key ctrl+2") == 0;
        const bool ended =
            WaitFor([&] { return page->CapturesRun() > before && !page->IsCapturing(); },
                    std::chrono::seconds(60));
        user.join();
        return pressed && ended;
    }
    QImage Captured() const { return QImage(QString::fromStdWString(App().screenWorkPicturePath)); }
};

#ifdef KELSOR_SCALED_RUN
// The scaled run's tests need names of their own.
class CaptureX11ScaledBy2 : public CaptureX11 {};
#define CAPTURE_SUITE CaptureX11ScaledBy2
#else
#define CAPTURE_SUITE CaptureX11

TEST_F(CAPTURE_SUITE, CtrlTwoDragAndDoubleClickGiveTheRectangleItsTextAndAFileOnTheDesktop) {
    kelsor::test::LocalService service;
    std::string error;
    ASSERT_TRUE(service.StartSignedIn(KELSOR_SERVER_EXE, dir.file(""), {"--engines", "1"}, error))
        << error;
    CurrentUser().loggedIn = true;
    const std::string shot = std::string(KELSOR_SCREENSHOT_DIR) + "/capture_mid_drag.png";
    // Mid-drag a picture is taken, and a second Ctrl+2 starts nothing.
    ASSERT_TRUE(CaptureWith(
        Drag({100, 100}, {300, 250}, "import -window root '" + shot + "' && xdotool key ctrl+2") +
        DoubleClick({200, 175})));
    EXPECT_EQ(page->CapturesRun(), 1);

    const QImage jpeg = Captured();
    ASSERT_EQ(jpeg.size(), QSize(200, 150));
    EXPECT_TRUE(Near(jpeg.pixel(50, 25), Qt::red));
    // Where the main window lay: the blue block under it, not the window.
    EXPECT_TRUE(Near(jpeg.pixel(150, 25), Qt::blue));
    EXPECT_TRUE(Near(jpeg.pixel(150, 45), Qt::blue));
    EXPECT_TRUE(Near(jpeg.pixel(5, 140), Qt::white));
    // The main window is back, on the screen page, with the picture.
    EXPECT_TRUE(main->GetHWND()->isVisible());
    EXPECT_EQ(main->CurrentPage(), 2);
    EXPECT_TRUE(page->GetHWND()->isVisible());
    EXPECT_TRUE(page->View()->GetHWND()->isVisible());
    EXPECT_EQ(main->Count(2136), 1);

    ASSERT_TRUE(main->ClickControl(L"screenconvertbtn"));
    CControlUI* done = main->PaintManager().FindControl(L"screenconvertedbtn");
    ASSERT_TRUE(WaitFor([&] { return done->IsVisible() || main->Count(2135) > 0; },
                        std::chrono::seconds(180)));
    ASSERT_TRUE(done->IsVisible()) << "the recognition failed\n" << service.Log();
    const std::wstring text = page->PaintManager().FindControl(L"ocrtextarea")->GetText();
    EXPECT_NE(text.find(L"文字识别"), std::wstring::npos) << WideToAnsi(text);
    std::vector<fs::path> results;
    for (const auto& entry : fs::directory_iterator(dir.file("Desktop")))
        results.push_back(entry.path());
    ASSERT_EQ(results.size(), 1u);
    EXPECT_TRUE(QRegularExpression(R"(^\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d\.txt$)")
                    .match(QString::fromStdString(results[0].filename().string()))
                    .hasMatch())
        << results[0];
    QString expected = QString::fromStdWString(text);
    expected.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    EXPECT_EQ(kelsor::test::ReadFile(results[0].string()), expected.toStdString() + "\r\n");

    // For a person to look at: the screen page with its result.
    QApplication::processEvents();
    std::system(
        ("import -window root '" + std::string(KELSOR_SCREENSHOT_DIR) + "/screen_page_result.png'")
            .c_str());
}
#endif

TEST_F(CAPTURE_SUITE, EscapeWritesNothingAndAnInvertedDragCapturesTheSamePixels) {
    ASSERT_TRUE(CaptureWith("xdotool key Escape"));
    EXPECT_FALSE(fs::exists(WideToAnsi(App().screenWorkPicturePath)));
    EXPECT_EQ(main->Count(2136), 0);
    EXPECT_TRUE(main->GetHWND()->isVisible());

    ASSERT_TRUE(CaptureWith(Drag({100, 100}, {300, 250}) + DoubleClick({200, 175})));
    const QImage forward = Captured();
    ASSERT_EQ(forward.size(), QSize(200, 150) * Scale());
    EXPECT_TRUE(Near(forward.pixel(50 * Scale(), 25 * Scale()), Qt::red));
    EXPECT_TRUE(Near(forward.pixel(150 * Scale(), 25 * Scale()), Qt::blue));

    ASSERT_TRUE(CaptureWith(Drag({300, 250}, {100, 100}) + DoubleClick({200, 175})));
    const QImage inverted = Captured();
    ASSERT_EQ(inverted.size(), forward.size());
    int differing = 0;
    for (int y = 0; y < forward.height(); ++y) {
        for (int x = 0; x < forward.width(); ++x)
            differing += Near(forward.pixel(x, y), inverted.pixel(x, y)) ? 0 : 1;
    }
    EXPECT_EQ(differing, 0);
    EXPECT_EQ(page->CapturesRun(), 3);
}

}  // namespace

// One line of screen text captured as a user selects it: Ctrl+2 on a real X
// server (Xvfb), a rectangle dragged 0 to 2 px around the line's ink, a
// double click, 开始识别, and the screen page of the real main window reading
// the line through a kelsor-server on its default engine. A tight line of
// 13 px text is 14 px tall, under the service's 15-px minimum.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <filesystem>
#include <thread>

#include "CaptureSteps.h"
#include "LocalService.h"
#include "MainWndTestSupport.h"
#include "RenderText.h"
#include "X11TestSupport.h"
#include "account/UserInfo.h"
#include "app/AppContext.h"
#include "app/TextConv.h"
#include "pages/ScreenOCRWnd.h"

using namespace kelsor;
using namespace kelsor::ui;
using kelsor::shelltest::WaitFor;
namespace fs = std::filesystem;

namespace {

struct Line {
    const char* text;  // UTF-8, as drawn and as it must read
    int pixelSize;
    int margin;  // pixels of background selected around the ink
};

// Chinese and mixed lines at two UI sizes; the third is cut to 14 px.
const Line kLines[] = {
    {"文件已保存到桌面", 13, 1},
    {"打开 Read Me 文件", 22, 2},
    {"错误 404 页面", 13, 0},
    {"识别结果已复制", 22, 0},
};

// The text with every space beside a Chinese character left out: whether one
// is written there is the reader's typesetting, not the line's words (spaces
// between two Latin words or numbers stay).
QString Words(const QString& text) {
    const auto chinese = [&](int i) {
        return i >= 0 && i < text.size() && text[i].script() == QChar::Script_Han;
    };
    QString words;
    for (int i = 0; i < text.size(); ++i) {
        if (!(text[i] == QLatin1Char(' ') && (chinese(i - 1) || chinese(i + 1))))
            words += text[i];
    }
    return words;
}

// Row of the window each line is drawn on.
int Baseline(int index) {
    return 60 + 70 * index;
}

// The lines, dark on white, at known places.
class LinesWindow : public QWidget {
public:
    LinesWindow() {
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
        setGeometry(0, 0, 600, 320);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        p.setPen(QColor(0x20, 0x20, 0x20));
        for (int i = 0; i < int(std::size(kLines)); ++i) {
            QFont font(QStringLiteral("Noto Sans CJK SC"));
            font.setPixelSize(kLines[i].pixelSize);
            p.setFont(font);
            p.drawText(40, Baseline(i), QString::fromUtf8(kLines[i].text));
        }
    }
};

class TightCaptureX11 : public shelltest::CaptureDesktop<LinesWindow> {
protected:
    void SetUp() override { ShowDesktop(QPoint(700, 100)); }

    // The ink of line `index` as the screen shows it.
    QRect InkOnScreen(int index) const {
        const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
        return test::InkBox(screen, QRect(0, Baseline(index) - 45, 600, 60));
    }

    // Ctrl+2 and the user's drag from `from` to `to`; true once the capture
    // has ended.
    bool Capture(QPoint from, QPoint to) {
        const int before = page->CapturesRun();
        std::thread user = shelltest::CaptureUser(shelltest::DragSteps(from, to) +
                                                  shelltest::DoubleClickSteps((from + to) / 2));
        const bool pressed = std::system("xdotool key ctrl+2") == 0;
        const bool ended =
            WaitFor([&] { return page->CapturesRun() > before && !page->IsCapturing(); },
                    std::chrono::seconds(60));
        user.join();
        return pressed && ended;
    }
};

TEST_F(TightCaptureX11, ALineSelectedTightlyReadsAsTheLine) {
    kelsor::test::LocalService service;
    std::string error;
    ASSERT_TRUE(service.StartSignedIn(KELSOR_SERVER_EXE, dir.file(""), {"--engines", "1"}, error))
        << error;
    CurrentUser().loggedIn = true;
    bool fourteen = false;
    for (int i = 0; i < int(std::size(kLines)); ++i) {
        const Line& line = kLines[i];
        SCOPED_TRACE(std::string(line.text) + " at " + std::to_string(line.pixelSize) + " px, " +
                     std::to_string(line.margin) + " px around");
        const QRect ink = InkOnScreen(i);
        ASSERT_FALSE(ink.isEmpty());
        const QRect selected = ink.adjusted(-line.margin, -line.margin, line.margin, line.margin);
        fourteen = fourteen || selected.height() == 14;
        ASSERT_TRUE(Capture(selected.topLeft(), selected.bottomRight() + QPoint(1, 1)));
        const QImage captured(QString::fromStdWString(App().screenWorkPicturePath));
        ASSERT_EQ(captured.size(), selected.size());

        std::printf("%s: %d x %d px\n", line.text, selected.width(), selected.height());
        CControlUI* done = main->PaintManager().FindControl(L"screenconvertedbtn");
        ASSERT_FALSE(done->IsVisible());  // a new picture, not yet read
        const int failedBefore = main->Count(2135);
        ASSERT_TRUE(main->ClickControl(L"screenconvertbtn"));
        ASSERT_TRUE(WaitFor([&] { return done->IsVisible() || main->Count(2135) > failedBefore; },
                            std::chrono::seconds(180)));
        // 识别失败！ drops the capture: the service refused it or read nothing.
        ASSERT_TRUE(done->IsVisible()) << "the recognition failed\n" << service.Log();
        const std::wstring text = page->PaintManager().FindControl(L"ocrtextarea")->GetText();
        EXPECT_EQ(Words(QString::fromStdWString(text)).toStdString(),
                  Words(QString::fromUtf8(line.text)).toStdString());
    }
    EXPECT_TRUE(fourteen) << "no line was cut to 14 px";
}

}  // namespace

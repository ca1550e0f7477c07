// The screen page in a window of the main window's layout, offscreen, with a
// fixed screen grab and an injected recognition.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QTimer>
#include <future>

#include "CodePictures.h"
#include "FullDisk.h"
#include "LocalService.h"
#include "PageTestSupport.h"
#include "app/AppContext.h"
#include "cloud/RecognizePictureText.h"
#include "pages/PageButtons.h"
#include "pages/ScreenGrab.h"
#include "pages/ScreenOCRWnd.h"
#include "pages/SingleOCRView.h"
#include "platform/ui/MainWindowRef.h"

using namespace kelsor;
using namespace kelsor::pagetest;

namespace {

constexpr unsigned kReset = 2135, kReady = 2136, kStarted = 2137, kDone = 2138;

QWidget* CaptureHost() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("ScreenShotWndClass") && w->isVisible()) {
            return w;
        }
    }
    return nullptr;
}

void SendMouse(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(p), QPointF(w->mapToGlobal(p)), Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

// Once the capture window is up: `during` runs, then a press selects the
// whole screen and a double click finishes it.
void FinishWholeScreenCapture(std::function<void()> during = {}) {
    auto* poll = new QTimer();
    QObject::connect(poll, &QTimer::timeout, [poll, during] {
        QWidget* host = CaptureHost();
        if (host == nullptr) {
            return;
        }
        poll->stop();
        poll->deleteLater();
        if (during) {
            during();
        }
        SendMouse(host, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton);
        SendMouse(host, QEvent::MouseButtonRelease, {10, 10}, Qt::NoButton);
        SendMouse(host, QEvent::MouseButtonDblClick, {10, 10}, Qt::LeftButton);
    });
    poll->start(10);
}

class ScreenPageTest : public ::testing::Test {
protected:
    ScreenPageTest() {
        uitest::EnsureApp();
        uitest::Warnings().clear();
        root = dir.path().toStdWString() + L"/";
        QDir(dir.path()).mkpath(QStringLiteral("data"));
        QDir(dir.path()).mkpath(QStringLiteral("Desktop"));
        App().dataFolder = root + L"data/";
        App().screenWorkPicturePath = App().dataFolder + L"screenocrfile.jpg";
        App().screenCutPicturePath = App().dataFolder + L"screencutpic.jpg";
        App().desktopFolder = root + L"Desktop/";
        App().useCustomOutputFolder = 0;
        App().formatType = FormatPriority;
        ui::ModalSeam::Enable();
        uitest::RecordNotices(notices);
        // The main window's layout, recording the screen page's messages.
        main = new uitest::LayoutWindow(L"mainwnd.xml");
        main->onMessage = [this](ui::UINT msg) {
            messages.push_back(msg);
            return ui::LRESULT(0);
        };
        main->Create(nullptr, L"KelsorOCR文字识别", ui::UI_WNDSTYLE_DIALOG, 0);
        main->ShowWindow(true);
        ui::SetMainWindow(main);
        page = new jobs::ScreenOCRWnd();
        page->Create(main->GetHWND(), L"ScreenOCRWnd", ui::UI_WNDSTYLE_CHILD, 0);
        page->MoveWindow(1, 94, 1118, 535);
        page->ShowWindow(false, false);
        QImage screen(800, 600, QImage::Format_RGB32);
        screen.fill(Qt::darkCyan);
        jobs::SetScreenGrabber([screen] {
            return jobs::ScreenGrab{screen, QRect(0, 0, 800, 600)};
        });
    }
    ~ScreenPageTest() override {
        ui::SetMainWindow(nullptr);
        delete page;
        delete main;
        jobs::SetScreenGrabber({});
        ui::ModalSeam::SetObserver({});
        ui::ModalSeam::Disable();
        QCoreApplication::processEvents();
        EXPECT_TRUE(uitest::Warnings().isEmpty()) << uitest::Warnings().join("\n").toStdString();
    }
    bool Visible(const wchar_t* name) const {
        ui::CControlUI* c = page->PaintManager().FindControl(name);
        return c != nullptr && c->IsVisible();
    }
    template <typename T>
    T* Find(const wchar_t* name) const {
        return dynamic_cast<T*>(main->PaintManager().FindControl(name));
    }
    bool ButtonsEnabled() const {
        return page->UploadButton()->Button()->IsEnabled() &&
               page->DeleteButton()->Button()->IsEnabled();
    }
    void Capture() {
        FinishWholeScreenCapture();
        page->StartCapture();
    }
    bool WaitForMessage(unsigned message) {
        return WaitFor([&] { return std::count(messages.begin(), messages.end(), message) > 0; });
    }

    QTemporaryDir dir;
    std::wstring root;
    uitest::LayoutWindow* main = nullptr;
    jobs::ScreenOCRWnd* page = nullptr;
    std::vector<unsigned> messages;
    std::vector<std::wstring> notices;
};

TEST_F(ScreenPageTest, CaptureBringsTheMainWindowBackOnThisPageWithThePicture) {
    EXPECT_TRUE(Visible(L"cutscreenocr"));
    EXPECT_FALSE(Visible(L"imagetoolbar"));
    // Without a picture the start does nothing.
    page->StartRecognition();
    EXPECT_TRUE(messages.empty());

    int nested = -1;
    FinishWholeScreenCapture([&] {
        // A second Ctrl+2 while the capture runs starts nothing.
        page->StartCapture();
        nested = page->CapturesRun();
        EXPECT_FALSE(main->GetHWND()->isVisible());
    });
    // The page's own upload button starts a capture as Ctrl+2 does.
    ASSERT_TRUE(page->UploadButton()->ClickControl(L"uploadbtn"));
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(page->CapturesRun(), 1);
    EXPECT_EQ(QImage(QString::fromStdWString(App().screenWorkPicturePath)).size(), QSize(800, 600));
    EXPECT_EQ(messages, (std::vector<unsigned>{kReady}));
    EXPECT_TRUE(main->GetHWND()->isVisible());
    EXPECT_TRUE(page->GetHWND()->isVisible());
    EXPECT_TRUE(Find<ui::COptionUI>(L"screenocropt")->IsSelected());
    EXPECT_EQ(Find<ui::CTabLayoutUI>(L"OCRTabModule")->GetCurSel(), 2);
    EXPECT_EQ(Find<ui::CTabLayoutUI>(L"ConvertTabModule")->GetCurSel(), 2);
    EXPECT_TRUE(page->View()->GetHWND()->isVisible());
    EXPECT_FALSE(Visible(L"cutscreenocr"));
    EXPECT_TRUE(Visible(L"imagetoolbar"));
    EXPECT_TRUE(page->IsMoveMode());
}

TEST_F(ScreenPageTest, WithoutAScreenNothingStartsAndTheMainWindowStays) {
    jobs::SetScreenGrabber({});  // offscreen: nothing to grab
    page->StartCapture();
    EXPECT_EQ(page->CapturesRun(), 0);
    EXPECT_TRUE(main->GetHWND()->isVisible());
    EXPECT_FALSE(main->GetHWND()->isMinimized());
    EXPECT_TRUE(messages.empty());
}

TEST_F(ScreenPageTest, RecognitionIsShownAndWrittenOnTheDesktopByTheTime) {
    Capture();
    page->SetRecognizer([](int, const std::wstring& picture) {
        return picture == App().screenWorkPicturePath ? std::string("第一行\n第二行") : "";
    });
    page->StartRecognition();
    EXPECT_TRUE(Visible(L"covertinggif"));
    EXPECT_FALSE(ButtonsEnabled());
    ASSERT_TRUE(WaitForMessage(kDone));
    EXPECT_EQ(messages, (std::vector<unsigned>{kReady, kStarted, kDone}));
    EXPECT_EQ(page->PaintManager().FindControl(L"ocrtextarea")->GetText(), L"第一行\n第二行");
    EXPECT_TRUE(Visible(L"ocrtextarea"));
    EXPECT_TRUE(ButtonsEnabled());
    const QString result = QString::fromStdWString(page->ResultPath());
    EXPECT_TRUE(QRegularExpression(QRegularExpression::anchoredPattern(
                                       QString::fromStdWString(App().desktopFolder) +
                                       R"(\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d\.txt)"))
                    .match(result)
                    .hasMatch())
        << result.toStdString();
    EXPECT_EQ(ReadBytes(page->ResultPath()), "第一行\r\n第二行\r\n");
}

TEST_F(ScreenPageTest, HistoryKeepsACopyOfEachCaptureRecognised) {
    const std::vector<std::string> texts = {"第一张截图", "第二张截图"};
    for (std::size_t i = 0; i < texts.size(); ++i) {
        Capture();
        page->SetRecognizer([text = texts[i]](int, const std::wstring&) { return text; });
        messages.clear();
        page->StartRecognition();
        ASSERT_TRUE(WaitForMessage(kDone));
        // Recorded before the next capture overwrites the work file.
        ASSERT_EQ(pagetest::HistoryOnceItHolds(i + 1).size(), i + 1);
    }
    const std::vector<history::Entry> entries = pagetest::HistoryOnceItHolds(2);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].text, L"第二张截图");
    EXPECT_EQ(entries[1].text, L"第一张截图");
    for (const history::Entry& entry : entries) {
        EXPECT_EQ(entry.summary.road, history::Road::Screen);
        EXPECT_EQ(entry.originalSource, App().screenWorkPicturePath);
        // The next capture overwrites the work file: each keeps its own copy.
        EXPECT_EQ(entry.summary.source, entry.keptCopy);
        EXPECT_EQ(QImage(QString::fromStdWString(entry.keptCopy)).size(), QSize(800, 600));
        EXPECT_FALSE(entry.thumbnail.empty());
    }
    EXPECT_NE(entries[0].keptCopy, entries[1].keptCopy);
    EXPECT_EQ(entries[0].summary.textPath, page->ResultPath());
}

TEST_F(ScreenPageTest, ARecognitionOvertakenByANewCaptureOnlyWritesItsFile) {
    Capture();
    std::promise<void> go;
    std::shared_future<void> released = go.get_future().share();
    page->SetRecognizer([released](int, const std::wstring&) {
        released.wait();
        return std::string("old text");
    });
    page->StartRecognition();
    const std::wstring oldResult = page->ResultPath();
    Capture();  // a new picture while the first is recognised
    EXPECT_FALSE(Visible(L"covertinggif"));
    EXPECT_TRUE(ButtonsEnabled());
    go.set_value();
    ASSERT_TRUE(WaitFor([&] { return Exists(oldResult); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(std::count(messages.begin(), messages.end(), kDone), 0);
    EXPECT_FALSE(Visible(L"ocrtextarea"));
    EXPECT_EQ(messages.back(), kReady);
}

TEST_F(ScreenPageTest, ACaptureThatCannotBeWrittenLeavesThePageAsItWasAndSaysSo) {
    Capture();
    const std::string before = ReadBytes(App().screenWorkPicturePath);
    messages.clear();
    {
        test::FullDisk full(512);
        Capture();
    }
    EXPECT_EQ(notices, (std::vector<std::wstring>{L"很抱歉，该文件已损坏！"}));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(ReadBytes(App().screenWorkPicturePath), before);
    EXPECT_TRUE(main->GetHWND()->isVisible());
    EXPECT_TRUE(page->View()->GetHWND()->isVisible());
}

TEST_F(ScreenPageTest, FailedRecognitionResetsThePageAndSaysSo) {
    Capture();
    page->SetRecognizer([](int, const std::wstring&) { return std::string(); });
    page->StartRecognition();
    ASSERT_TRUE(WaitForMessage(kReset));
    EXPECT_EQ(notices, (std::vector<std::wstring>{L"识别失败！"}));
    EXPECT_TRUE(Visible(L"cutscreenocr"));
    EXPECT_FALSE(page->View()->GetHWND()->isVisible());
    EXPECT_TRUE(ButtonsEnabled());
    // The capture file stays; the page has no picture to start on.
    EXPECT_TRUE(Exists(App().screenWorkPicturePath));
    messages.clear();
    page->StartRecognition();
    EXPECT_TRUE(messages.empty());
}

}  // namespace

TEST_F(ScreenPageTest, AutoCopyPutsEachResultOnTheClipboardOnlyWhenChosen) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("before"));
    Capture();
    page->SetRecognizer([](int, const std::wstring&) { return std::string("截图\r\ntext"); });
    page->StartRecognition();
    ASSERT_TRUE(WaitForMessage(kDone));
    EXPECT_EQ(clipboard->text(), QStringLiteral("before"));
    EXPECT_TRUE(Visible(L"copytextbtn"));
    EXPECT_FALSE(Visible(L"copiedtip"));

    App().autoCopyScreenText = 1;
    messages.clear();
    page->StartRecognition();
    ASSERT_TRUE(WaitForMessage(kDone));
    App().autoCopyScreenText = 0;
    EXPECT_EQ(clipboard->text(), QStringLiteral("截图\ntext"));
    EXPECT_TRUE(Visible(L"copiedtip"));
    // A reset takes the button and the confirmation away at once.
    page->Reset();
    EXPECT_FALSE(Visible(L"copytextbtn"));
    EXPECT_FALSE(Visible(L"copiedtip"));
}

// A capture of a QR code beside its caption, read through a kelsor-server:
// the code is a line of its own before the caption; switched off in the main
// menu, the caption alone is read.
TEST_F(ScreenPageTest, CodeBesideItsCaptionIsReadUnlessSwitchedOff) {
    test::LocalService service;
    std::string error;
    ASSERT_TRUE(StartTesseractService(service, root, error)) << error;
    const QImage screen =
        test::PageWithCode(1300, 420, test::QrCode("https://q.example.cn/群?x=1", 5), 20, 40,
                           {QStringLiteral("SCAN TO JOIN")}, 400, 20);
    jobs::SetScreenGrabber([screen] { return jobs::ScreenGrab{screen, screen.rect()}; });
    Capture();
    page->SetRecognizer(nullptr);  // the service's own road
    page->StartRecognition();
    ASSERT_TRUE(WaitForMessage(kDone)) << service.Log();
    EXPECT_EQ(page->PaintManager().FindControl(L"ocrtextarea")->GetText(),
              L"[二维码] https://q.example.cn/群?x=1\nSCAN TO JOIN");
    EXPECT_EQ(ReadBytes(page->ResultPath()),
              "[二维码] https://q.example.cn/群?x=1\r\nSCAN TO JOIN\r\n");

    App().readCodes = 0;
    messages.clear();
    page->StartRecognition();
    ASSERT_TRUE(WaitForMessage(kDone)) << service.Log();
    App().readCodes = 1;
    const std::wstring off = page->PaintManager().FindControl(L"ocrtextarea")->GetText();
    EXPECT_NE(off.find(L"SCAN TO JOIN"), std::wstring::npos);
    EXPECT_EQ(off.find(L"q.example.cn"), std::wstring::npos);
}

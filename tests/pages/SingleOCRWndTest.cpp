// The single page driven by control name through a test main window, with an
// injected recognition (the real one runs in RealRecognitionTest).
#include <gtest/gtest.h>

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <fstream>
#include <future>
#include <mutex>

#include "CodePictures.h"
#include "PageTestSupport.h"
#include "app/AppContext.h"
#include "cloud/RecognizePictureText.h"
#include "pages/PageButtons.h"
#include "pages/SingleOCRView.h"
#include "platform/ui/MainWindowRef.h"

using namespace kelsor;
using namespace kelsor::pagetest;

namespace {

// A recognition the test holds until it sets `release`; `ended` is set once
// every worker has dropped its copy of the recognizer, which captures `token`.
struct HeldRecognition {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::shared_ptr<std::atomic<bool>> ended = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<void> token{nullptr, [flag = ended](void*) { *flag = true; }};
};

constexpr unsigned kReset = 2129, kReady = 2130, kStarted = 2131, kDone = 2132;

class PageTest : public ::testing::Test, public PageFixture {
protected:
    // Records what each recognition was given and answers `answer`.
    void Answer(std::string answer) {
        page->SetRecognizer([this, answer](int format, const std::wstring& picture) {
            std::lock_guard lock(m_mutex);
            formats.push_back(format);
            sources.push_back(picture);
            sourceSizes.push_back(QImage(QString::fromStdWString(picture)).size());
            return answer;
        });
    }
    std::wstring Picture(const std::wstring& folder, const std::wstring& name) {
        const std::wstring path = Folder(folder) + name;
        EXPECT_TRUE(SavePicture(TwoColourPicture(300, 200, Qt::white, Qt::gray), path));
        return path;
    }
    void Choose(const std::wstring& path) {
        ui::FileDialog::SetNextFileNames({path});
        ASSERT_TRUE(page->ClickControl(L"singleselectpicbtn"));
    }
    bool PictureState() const {
        return ViewVisible() && Visible(L"imagetoolbar") && !Visible(L"singleselectpicbtn") &&
               page->UploadButton()->GetHWND()->isVisible() &&
               page->DeleteButton()->GetHWND()->isVisible();
    }
    bool NoPictureState() const {
        return !ViewVisible() && !Visible(L"imagetoolbar") && Visible(L"singleselectpicbtn") &&
               Visible(L"waitocr") && !Visible(L"ocrtextarea") && !Visible(L"covertinggif") &&
               !page->UploadButton()->GetHWND()->isVisible();
    }

    std::mutex m_mutex;
    std::vector<int> formats;
    std::vector<std::wstring> sources;
    std::vector<QSize> sourceSizes;
};

}  // namespace

TEST_F(PageTest, ChosenPictureIsRecognisedShownAndWrittenBesideIt) {
    EXPECT_TRUE(NoPictureState());
    EXPECT_FALSE(Enabled(L"movebtn"));
    EXPECT_TRUE(Enabled(L"cutbtn"));
    EXPECT_EQ(page->View()->GetWindowRect().topLeft() - page->GetWindowRect().topLeft(),
              QPoint(21, 23));

    const std::wstring picture = Picture(L"scan", L"page 1.png");
    Choose(picture);
    EXPECT_EQ(ui::FileDialog::LastRequest().kind, ui::FileDialog::Kind::OnePicture);
    EXPECT_TRUE(PictureState());
    EXPECT_EQ(page->CurrentPicture(), picture);
    EXPECT_EQ(page->PictureFolder(), root + L"scan/");
    EXPECT_EQ(main->messages, (std::vector<unsigned>{kReady}));

    Answer("第一行\r\nsecond line");
    page->StartRecognition();
    EXPECT_FALSE(Visible(L"waitocr"));
    EXPECT_TRUE(Visible(L"covertinggif"));
    EXPECT_FALSE(page->UploadButton()->Button()->IsEnabled());
    EXPECT_FALSE(page->DeleteButton()->Button()->IsEnabled());
    ASSERT_TRUE(WaitForMessage(kDone));
    EXPECT_EQ(main->messages, (std::vector<unsigned>{kReady, kStarted, kDone}));

    const std::wstring result = root + L"scan/page 1.txt";
    EXPECT_EQ(page->ResultPath(), result);
    EXPECT_EQ(jobs::GetSingleResultPath(), result);
    EXPECT_EQ(ReadBytes(result), "第一行\r\nsecond line\r\n");
    EXPECT_TRUE(Visible(L"ocrtextarea"));
    EXPECT_FALSE(Visible(L"covertinggif"));
    EXPECT_EQ(Control(L"ocrtextarea")->GetText(), L"第一行\nsecond line");
    EXPECT_TRUE(page->UploadButton()->Button()->IsEnabled());
    EXPECT_TRUE(page->DeleteButton()->Button()->IsEnabled());
    // The whole picture went as the JPEG work file.
    ASSERT_EQ(sources.size(), 1u);
    EXPECT_EQ(sources[0], App().singleWorkPicturePath);
    EXPECT_EQ(sourceSizes[0], QSize(300, 200));
    EXPECT_EQ(formats[0], FormatPriority);

    // A mode switch hides the result but keeps its file.
    ASSERT_TRUE(page->ClickControl(L"cutbtn"));
    EXPECT_FALSE(Visible(L"ocrtextarea"));
    EXPECT_TRUE(Visible(L"waitocr"));
    EXPECT_FALSE(Enabled(L"cutbtn"));
    EXPECT_TRUE(Enabled(L"movebtn"));
    EXPECT_TRUE(Exists(result));
    EXPECT_EQ(main->messages.back(), kReady);
    EXPECT_TRUE(notices.empty());
}

TEST_F(PageTest, HistoryKeepsEachRecognitionWithItsPictureAndTextFile) {
    const std::wstring picture = Picture(L"scan", L"记录.png");
    Choose(picture);
    Answer("发票\r\nsecond line");
    page->StartRecognition();
    ASSERT_TRUE(WaitForMessage(kDone));
    // An empty result is no recognition to keep.
    Answer("");
    page->StartRecognition();
    ASSERT_TRUE(WaitForMessage(kReset));

    const std::vector<history::Entry> entries = HistoryOnceItHolds(1);
    ASSERT_EQ(entries.size(), 1u);
    const history::Entry& entry = entries[0];
    EXPECT_EQ(entry.summary.road, history::Road::Picture);
    EXPECT_EQ(entry.summary.source, picture);
    EXPECT_TRUE(entry.keptCopy.empty());  // the user's picture stays where it is
    EXPECT_EQ(entry.summary.textPath, root + L"scan/记录.txt");
    EXPECT_EQ(entry.text, L"发票\r\nsecond line");
    EXPECT_EQ(entry.summary.firstLine, L"发票");
    EXPECT_FALSE(entry.thumbnail.empty());
}

TEST_F(PageTest, CustomFolderAndDottedNamesAndTheOtherFormat) {
    App().useCustomOutputFolder = 1;
    App().customOutputFolder.set(Folder(L"out"));
    App().formatType = EditPriority;
    Choose(Picture(L"in", L"a.b.c.jpg"));
    Answer("runtogether");
    page->StartRecognition();
    ASSERT_TRUE(WaitForMessage(kDone));
    EXPECT_EQ(page->ResultPath(), root + L"out/a.b.c.txt");
    EXPECT_EQ(ReadBytes(root + L"out/a.b.c.txt"), "runtogether\r\n");
    EXPECT_EQ(formats.at(0), EditPriority);
    EXPECT_FALSE(Exists(root + L"in/a.b.c.txt"));
}

TEST_F(PageTest, RefusedFilesGetTheirNoticeAndChangeNothing) {
    const std::wstring folder = Folder(L"bad");
    {
        std::ofstream(QString::fromStdWString(folder + L"notes.png").toStdString()) << "text";
        std::ofstream(QString::fromStdWString(folder + L"notes.txt").toStdString()) << "text";
    }
    ui::ModalSeam::SetNextAnswer(L"msgconfirmbtn");
    Choose(folder + L"notes.png");
    ui::ModalSeam::SetNextAnswer(L"msgconfirmbtn");
    page->SetPicture(folder + L"notes.txt");
    EXPECT_EQ(notices, (std::vector<std::wstring>{L"很抱歉，该文件已损坏！",
                                                  L"很抱歉，不支持该文件格式！"}));
    // Missing files and a cancelled picker are ignored without a word.
    page->SetPicture(folder + L"missing.png");
    ui::FileDialog::SetNextFileNames({});
    page->ChoosePicture();
    EXPECT_EQ(notices.size(), 2u);
    EXPECT_TRUE(NoPictureState());
    EXPECT_TRUE(main->messages.empty());
    EXPECT_TRUE(page->CurrentPicture().empty());

    // With a picture on show a refused file leaves it there.
    const std::wstring good = Picture(L"good", L"ok.png");
    page->SetPicture(good);
    ui::ModalSeam::SetNextAnswer(L"msgconfirmbtn");
    page->SetPicture(folder + L"notes.txt");
    EXPECT_EQ(page->CurrentPicture(), good);
    EXPECT_TRUE(PictureState());
    EXPECT_EQ(ui::ModalSeam::UnansweredCount(), 0);
}

// Pictures whose headers claim more than the decoder's limits are refused as
// damaged files before anything is decoded for the view.
TEST_F(PageTest, APictureBeyondTheDecoderLimitsIsADamagedFile) {
    const std::wstring good = Picture(L"good", L"ok.png");
    page->SetPicture(good);
    const std::wstring folder = Folder(L"bombs");
    const wchar_t* bombs[] = {L"huge.png", L"huge-screen.gif", L"huge.tif"};
    for (const wchar_t* name : bombs) {
        ASSERT_TRUE(QFile::copy(
            QString::fromStdWString(std::wstring(KELSOR_PICTURE_CORPUS_DIR L"/") + name),
            QString::fromStdWString(folder + name)));
        // Picked as a user does with a picture on show: the upload button.
        ui::ModalSeam::SetNextAnswer(L"msgconfirmbtn");
        ui::FileDialog::SetNextFileNames({folder + name});
        ASSERT_TRUE(page->UploadButton()->ClickControl(L"uploadbtn"));
    }
    EXPECT_EQ(notices, std::vector<std::wstring>(std::size(bombs), L"很抱歉，该文件已损坏！"));
    EXPECT_EQ(page->CurrentPicture(), good);
    EXPECT_TRUE(PictureState());
    EXPECT_EQ(page->View()->Canvas().State().imageWidth, 300);
}

// A new picture during a recognition leaves that recognition behind: its late
// failure neither resets the page nor speaks, and the next recognition, of
// the new picture, gets the work files to itself.
TEST_F(PageTest, ARecognitionLeftBehindNeverTouchesThePage) {
    Choose(Picture(L"scan", L"first.png"));
    HeldRecognition held;
    // The first picture (300 wide) fails, late; the second (120 wide) gives
    // its text when its work file is whole.
    page->SetRecognizer(
        [released = held.released, token = held.token](int, const std::wstring& picture) {
            const int width = QImage(QString::fromStdWString(picture)).width();
            if (width == 300) {
                released.wait();
            }
            return width == 120 ? std::string("second") : std::string();
        });
    held.token.reset();
    page->StartRecognition();
    const std::wstring next = Folder(L"scan") + L"next.png";
    ASSERT_TRUE(SavePicture(TwoColourPicture(120, 80, Qt::white, Qt::black), next));
    page->SetPicture(next);
    EXPECT_TRUE(PictureState());
    EXPECT_FALSE(Visible(L"covertinggif"));
    EXPECT_TRUE(page->UploadButton()->Button()->IsEnabled());
    page->StartRecognition();
    page->SetRecognizer(nullptr);  // the workers hold the last copies
    held.release.set_value();
    ASSERT_TRUE(WaitFor([&] { return held.ended->load(); }));

    EXPECT_EQ(main->messages, (std::vector<unsigned>{kReady, kStarted, kReady, kStarted, kDone}));
    EXPECT_TRUE(notices.empty());
    EXPECT_EQ(page->CurrentPicture(), next);
    EXPECT_EQ(Control(L"ocrtextarea")->GetText(), L"second");
    EXPECT_EQ(ReadBytes(root + L"scan/next.txt"), "second\r\n");
    EXPECT_FALSE(Exists(root + L"scan/first.txt"));
}

TEST_F(PageTest, EmptyRecognitionResetsThePageAndSaysSo) {
    Choose(Picture(L"scan", L"blank.png"));
    Answer("");
    ui::ModalSeam::SetNextAnswer(L"msgconfirmbtn");
    page->StartRecognition();
    ASSERT_TRUE(WaitFor([&] { return !notices.empty(); }));
    EXPECT_EQ(notices, (std::vector<std::wstring>{L"识别失败！"}));
    EXPECT_TRUE(NoPictureState());
    EXPECT_TRUE(page->CurrentPicture().empty());
    EXPECT_EQ(main->messages, (std::vector<unsigned>{kReady, kStarted, kReady, kReset}));
    EXPECT_FALSE(Exists(root + L"scan/blank.txt"));
    // The buttons work again for the next picture.
    EXPECT_TRUE(page->UploadButton()->Button()->IsEnabled());
    // Starting without a picture does nothing.
    page->StartRecognition();
    EXPECT_EQ(main->messages.back(), kReset);
}

TEST_F(PageTest, CutModeRecognisesTheCutAndANewPictureReturnsToMoveMode) {
    Choose(Picture(L"scan", L"cut.png"));
    ASSERT_TRUE(page->ClickControl(L"cutbtn"));
    QWidget* view = page->View()->GetHWND();
    auto mouse = [view](QEvent::Type type, QPoint p, Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(p), QPointF(view->mapToGlobal(p)), Qt::LeftButton, buttons,
                      Qt::NoModifier);
        QApplication::sendEvent(view, &e);
    };
    mouse(QEvent::MouseButtonPress, {150, 150}, Qt::LeftButton);
    QTimer::singleShot(0, view, [&] {
        mouse(QEvent::MouseMove, {250, 210}, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, {250, 210}, Qt::NoButton);
    });
    mouse(QEvent::MouseMove, {160, 160}, Qt::LeftButton);
    ASSERT_EQ(page->View()->Tracker().selection, (jobs::TrackRect{150, 150, 250, 210}));
    // For a person to look at: the dimmed grab with the bright selection.
    page->GetHWND()->grab().save(QStringLiteral(KELSOR_SCREENSHOT_DIR "/single_page_cut.png"));

    Answer("cut text");
    page->StartRecognition();
    ASSERT_TRUE(WaitForMessage(kDone));
    ASSERT_EQ(sources.size(), 1u);
    EXPECT_EQ(sources[0], App().singleCutPicturePath);
    EXPECT_EQ(sourceSizes[0], QSize(100, 60));

    // A new picture (here through the upload button) goes back to move mode.
    ui::FileDialog::SetNextFileNames({Picture(L"scan", L"next.png")});
    ASSERT_TRUE(page->UploadButton()->ClickControl(L"uploadbtn"));
    EXPECT_TRUE(page->IsMoveMode());
    EXPECT_FALSE(Enabled(L"movebtn"));
    EXPECT_EQ(page->CurrentPicture(), root + L"scan/next.png");
    EXPECT_FALSE(Visible(L"ocrtextarea"));
}

TEST_F(PageTest, CutModeWithoutASelectionNeverReusesAnEarlierCut) {
    // An earlier cut lies in the data folder.
    ASSERT_TRUE(
        SavePicture(TwoColourPicture(50, 50, Qt::red, Qt::red), App().singleCutPicturePath));
    Choose(Picture(L"scan", L"p.png"));
    ASSERT_TRUE(page->ClickControl(L"cutbtn"));
    page->SetRecognizer([](int, const std::wstring& picture) {
        return Exists(picture) ? std::string("stale") : std::string();
    });
    ui::ModalSeam::SetNextAnswer(L"msgconfirmbtn");
    page->StartRecognition();
    ASSERT_TRUE(WaitFor([&] { return !notices.empty(); }));
    EXPECT_EQ(notices.at(0), L"识别失败！");
}

TEST_F(PageTest, DeleteButtonResets) {
    Choose(Picture(L"scan", L"d.png"));
    ASSERT_TRUE(page->DeleteButton()->ClickControl(L"deletebtn"));
    EXPECT_TRUE(NoPictureState());
    EXPECT_EQ(main->messages, (std::vector<unsigned>{kReady, kReady, kReset}));
}

TEST_F(PageTest, AWorkerOutlivingItsPageLeavesItAlone) {
    Choose(Picture(L"scan", L"gone.png"));
    HeldRecognition held;
    page->SetRecognizer([released = held.released, token = held.token](int, const std::wstring&) {
        released.wait();
        return std::string("late");
    });
    held.token.reset();
    page->StartRecognition();
    delete page;
    page = nullptr;
    EXPECT_EQ(jobs::GetSingleOCRPage(), nullptr);
    held.release.set_value();
    ASSERT_TRUE(WaitFor([&] { return held.ended->load(); }));
    EXPECT_EQ(main->messages.back(), kStarted);
}

TEST_F(PageTest, ThePageGoesWithTheMainWindow) {
    Choose(Picture(L"scan", L"w.png"));
    ui::SetMainWindow(nullptr);
    delete main;  // destroys the page's window, and the page deletes itself
    main = nullptr;
    page = nullptr;
    EXPECT_EQ(jobs::GetSingleOCRPage(), nullptr);
}

TEST_F(PageTest, ResultIsCopiedByItsButtonAndBySelectAllAndCtrlC) {
    EXPECT_FALSE(Visible(L"copytextbtn"));
    Choose(Picture(L"scan", L"copy.png"));
    Answer("第一行\r\nsecond line");
    page->StartRecognition();
    ASSERT_TRUE(WaitForMessage(kDone));
    ASSERT_TRUE(Visible(L"copytextbtn"));
    EXPECT_FALSE(Visible(L"copiedtip"));

    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("before"));
    ASSERT_TRUE(page->ClickControl(L"copytextbtn"));
    EXPECT_EQ(clipboard->text(), QStringLiteral("第一行\nsecond line"));
    EXPECT_TRUE(Visible(L"copiedtip"));
    EXPECT_EQ(Control(L"copiedtip")->GetText(), L"已复制");
    // The confirmation fades and goes by itself.
    EXPECT_TRUE(WaitFor([&] { return !Visible(L"copiedtip"); }, std::chrono::seconds(10)));

    // The read-only text still takes the keys for select-all and copy.
    clipboard->setText(QStringLiteral("before"));
    QPlainTextEdit* editor = dynamic_cast<ui::CRichEditUI*>(Control(L"ocrtextarea"))->Editor();
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), QStringLiteral("第一行\nsecond line"));

    // Without a result there is nothing to copy.
    ASSERT_TRUE(page->ClickControl(L"cutbtn"));
    EXPECT_FALSE(Visible(L"copytextbtn"));
}

// A picture of a QR code alone is read on the page without the service; with
// the switch off it fails as any picture the service cannot read.
TEST_F(PageTest, CodeAloneIsReadWithoutTheServiceUnlessSwitchedOff) {
    const test::ServiceOutOfReach offline;
    page->SetRecognizer(nullptr);  // the service's own road
    QImage picture(500, 400, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter(&picture).drawImage(100, 60, test::QrCode("https://example.cn/单页?id=7", 5));
    const std::wstring path = Folder(L"codes") + L"qr.png";
    ASSERT_TRUE(SavePicture(picture, path));
    Choose(path);
    page->StartRecognition();
    ASSERT_TRUE(WaitForMessage(kDone));
    EXPECT_EQ(Control(L"ocrtextarea")->GetText(), L"[二维码] https://example.cn/单页?id=7");
    EXPECT_EQ(ReadBytes(root + L"codes/qr.txt"), "[二维码] https://example.cn/单页?id=7\r\n");
    EXPECT_TRUE(notices.empty());

    App().readCodes = 0;
    page->StartRecognition();
    ASSERT_TRUE(WaitFor([&] { return !notices.empty(); }));
    App().readCodes = 1;
    EXPECT_EQ(notices, (std::vector<std::wstring>{L"识别失败！"}));
}

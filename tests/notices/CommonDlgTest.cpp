#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWidget>
#include <atomic>
#include <thread>

#include "EventWaits.h"
#include "UiTestSupport.h"
#include "notices/CommonDlg.h"

using namespace kelsor::ui;
using kelsor::notices::CommonDlg;
namespace notice = kelsor::notices::notice;

namespace {

// What the observer saw of the dialog while it was modal.
struct Seen {
    std::wstring title, text, ynTitle, ynText, cancel, confirm;
    int page = -1;
    QRect rect;
    bool toolWindow = false;
};

class CommonDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        kelsor::uitest::EnsureApp();
        kelsor::uitest::Warnings().clear();
        ModalSeam::Enable();
        ModalSeam::SetObserver([this](CWindowWnd& wnd) {
            auto& dlg = dynamic_cast<WindowImplBase&>(wnd);
            auto text = [&](const wchar_t* name) {
                CControlUI* c = dlg.PaintManager().FindControl(name);
                return c ? c->GetText() : L"<missing>";
            };
            seen.title = text(L"msgtitle");
            seen.text = text(L"msgtext");
            seen.ynTitle = text(L"msgyntitle");
            seen.ynText = text(L"msgyntext");
            seen.cancel = text(L"msgyncancelbtn");
            seen.confirm = text(L"msgynconfirmbtn");
            auto* tab =
                dynamic_cast<CTabLayoutUI*>(dlg.PaintManager().FindControl(L"commondlgTabModule"));
            seen.page = tab ? tab->GetCurSel() : -1;
            seen.rect = wnd.GetWindowRect();
            seen.toolWindow = wnd.GetHWND()->windowFlags().testFlag(Qt::Tool);
            ++shown;
        });
    }
    void TearDown() override {
        EXPECT_EQ(ModalSeam::UnansweredCount(), 0);
        EXPECT_TRUE(kelsor::uitest::Warnings().isEmpty())
            << kelsor::uitest::Warnings().join("\n").toStdString();
        ModalSeam::Disable();
    }
    Seen seen;
    int shown = 0;
};

}  // namespace

TEST_F(CommonDlgTest, EveryNoticeShowsItsTextUnderTheSameTitle) {
    const std::vector<std::pair<const wchar_t*, const wchar_t*>> catalogue = {
        {notice::kUnsupportedFormat, L"很抱歉，不支持该文件格式！"},
        {notice::kDamagedFile, L"很抱歉，该文件已损坏！"},
        {notice::kFolderDropped, L"很抱歉，不支持拖入文件夹！"},
        {notice::kOpenFailed, L"打开失败，请尝试手动打开！"},
        {notice::kListFinished, L"当前列表已转换完成！"},
        {notice::kRecognitionFailed, L"识别失败！"},
        {notice::kHotKeyTaken, L"ctrl + 2 被占用！"},
        {notice::kListFull, L"您添加的文件已超过上限，最多可添加100张！"},
        {notice::kTasksRunning, L"任务正在执行，请勿清空目录！"},
    };
    QWidget parent;
    parent.resize(800, 600);
    parent.show();
    for (const auto& [catalogued, text] : catalogue) {
        SCOPED_TRACE(QString::fromWCharArray(text).toStdString());
        ModalSeam::SetNextAnswer(L"msgconfirmbtn");
        CommonDlg::SetResult(7);
        EXPECT_EQ(CommonDlg::ShowNotice(&parent, catalogued), 0);
        EXPECT_EQ(seen.title, L"温馨提示");
        EXPECT_EQ(seen.text, text);
        EXPECT_EQ(seen.page, 0);
        EXPECT_TRUE(seen.toolWindow);
    }
    EXPECT_EQ(shown, 9);
}

TEST_F(CommonDlgTest, ButtonsSetTheProcessWideResult) {
    ModalSeam::SetNextAnswer(L"msgyncancelbtn");
    EXPECT_EQ(CommonDlg::ShowYesNo(nullptr, L"", L"继续吗？", L"取消", L"继续"), 1);
    EXPECT_EQ(seen.page, 1);
    EXPECT_EQ(seen.ynTitle, L"温馨提示");
    EXPECT_EQ(seen.ynText, L"继续吗？");
    EXPECT_EQ(seen.cancel, L"取消");
    EXPECT_EQ(seen.confirm, L"继续");

    ModalSeam::SetNextAnswer(L"msgynconfirmbtn");
    EXPECT_EQ(CommonDlg::ShowYesNo(nullptr, L"标题", L"?", L"否", L"是"), 0);
    EXPECT_EQ(seen.ynTitle, L"标题");

    // A close that is not a button leaves the result as it was.
    CommonDlg::SetResult(1);
    ModalSeam::SetNextAnswer(L"");
    EXPECT_EQ(CommonDlg::ShowInfo(nullptr, L"", L"x"), 1);
    CommonDlg::SetResult(0);
    ModalSeam::SetNextAnswer(L"");
    EXPECT_EQ(CommonDlg::ShowInfo(nullptr, L"", L"x"), 0);
}

TEST_F(CommonDlgTest, CentredOverTheParentEvenWhenTheParentIsSmaller) {
    EXPECT_EQ(CommonDlg::CentredPosition(QRect(100, 50, 800, 600), QSize(400, 180)),
              QPoint(300, 260));
    // Larger than the parent: the dialog reaches up and to the left.
    EXPECT_EQ(CommonDlg::CentredPosition(QRect(500, 400, 300, 101), QSize(400, 180)),
              QPoint(450, 361));  // -79 / 2 truncates to -39

    QWidget parent;
    parent.setGeometry(500, 400, 300, 100);
    parent.show();
    ModalSeam::SetNextAnswer(L"msgconfirmbtn");
    CommonDlg::ShowNotice(&parent, notice::kDamagedFile);
    const QPoint client = parent.mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(seen.rect, QRect(client + QPoint(-50, -40), QSize(400, 180)));
}

TEST_F(CommonDlgTest, SeveralNoticesInARowEachWaitForTheirClick) {
    ModalSeam::SetNextAnswer(L"msgconfirmbtn");
    ModalSeam::SetNextAnswer(L"msgconfirmbtn");
    ModalSeam::SetNextAnswer(L"msgconfirmbtn");
    for (int i = 0; i < 3; ++i)
        CommonDlg::ShowNotice(nullptr, notice::kUnsupportedFormat);
    EXPECT_EQ(shown, 3);
    EXPECT_EQ(ModalSeam::PendingAnswers(), 0);
}

TEST_F(CommonDlgTest, ANoticeFromAWorkerThreadRunsOnTheUiThread) {
    ModalSeam::SetNextAnswer(L"msgconfirmbtn");
    std::atomic<bool> done{false};
    std::atomic<int> result{-1};
    std::thread worker([&] {
        result = CommonDlg::ShowNotice(nullptr, notice::kRecognitionFailed);
        done = true;
    });
    EXPECT_TRUE(kelsor::test::WaitFor([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(seen.text, notice::kRecognitionFailed);
}

// The dialog takes the keyboard from the window under it: Enter confirms,
// Esc closes a notice (result as it was) and cancels a question.
TEST_F(CommonDlgTest, TheKeyboardAnswersTheDialog) {
    struct Case {
        bool question;
        Qt::Key key;
        int result;  // from 7 before the show
    };
    const Case cases[] = {{false, Qt::Key_Return, 0},
                          {false, Qt::Key_Enter, 0},
                          {false, Qt::Key_Escape, 7},
                          {true, Qt::Key_Return, 0},
                          {true, Qt::Key_Escape, 1}};
    QWidget parent;
    parent.resize(600, 400);
    parent.show();
    parent.activateWindow();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.question) + "/" + std::to_string(c.key));
        bool focused = false;
        CWindowWnd::SetModalHook([&](CWindowWnd& wnd) {
            static_cast<void>(
                QTest::qWaitFor([&] { return QApplication::focusWidget() != nullptr; }, 2000));
            QWidget* focus = QApplication::focusWidget();

            focused = focus != nullptr && focus->window() == wnd.GetHWND();
            // Typed where the keyboard is, not at the dialog.
            QTest::keyClick(focus != nullptr ? focus : &parent, c.key);
            if (wnd.GetHWND() != nullptr && wnd.GetHWND()->isVisible())
                wnd.Close(-1);  // not answered: end the run all the same
        });
        CommonDlg::SetResult(7);
        const int result = c.question ? CommonDlg::ShowYesNo(&parent, L"", L"?", L"否", L"是")
                                      : CommonDlg::ShowNotice(&parent, notice::kDamagedFile);
        EXPECT_TRUE(focused);
        EXPECT_EQ(result, c.result);
    }
    ModalSeam::Enable();  // the seam's own answers again
}

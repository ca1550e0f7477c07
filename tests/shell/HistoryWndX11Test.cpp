#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPainter>
#include <QTest>
#include <ctime>
#include <filesystem>

#include "EventWaits.h"
#include "MainWndTestSupport.h"
#include "RenderText.h"
#include "X11Clipboard.h"
#include "X11TestSupport.h"
#include "app/AppContext.h"
#include "app/TextConv.h"
#include "history/HistoryRecorder.h"
#include "history/HistorySettings.h"
#include "history/HistoryStore.h"
#include "shell/CHistoryWnd.h"
#include "shell/CMainMenuWnd.h"
#include "shell/HistoryWndText.h"

// The history window with real widgets on a private X server: entries
// recorded through the call every recognition road makes, the list, the
// search, the clipboard, the questions and the menu switch.
using namespace kelsor;
using namespace kelsor::ui;
using kelsor::shelltest::WaitFor;
namespace fs = std::filesystem;
namespace text = kelsor::shell::history_text;

namespace {

std::string U8(const std::wstring& text) {
    return QString::fromStdWString(text).toStdString();
}
std::wstring W(const std::string& text) {
    return QString::fromStdString(text).toStdWString();
}

// One recognition as a road hands it over.
struct Sample {
    history::Road road;
    std::string name;  // the picture's file name
    std::wstring text;
    std::int64_t age;  // seconds before now
};

const std::vector<Sample>& Samples() {
    static const std::vector<Sample> samples = {
        {history::Road::Picture, "invoice.png", L"增值税发票\n金额 1280 元\n开票日期 2026-11-02",
         7200},
        {history::Road::Screen, "capture.jpg", L"\n  会议纪要：下周三讨论预算\n参会人 王明", 3600},
        {history::Road::Batch, "menu.png", L"Lunch menu\nNoodles 18\nDumplings 22", 60},
    };
    return samples;
}

class HistoryWnd : public ::testing::Test {
protected:
    void SetUp() override {
        START_PRIVATE_X();
        shelltest::BuildContextIn(dir);
        uitest::EnsureApp();
        uitest::Warnings().clear();
        ModalSeam::Enable();
        // The text of each notice and question, as the user reads it.
        ModalSeam::SetObserver([this](CWindowWnd& shown) {
            auto& dlg = dynamic_cast<WindowImplBase&>(shown);
            auto* tab =
                dynamic_cast<CTabLayoutUI*>(dlg.PaintManager().FindControl(L"commondlgTabModule"));
            const bool question = tab != nullptr && tab->GetCurSel() == 1;
            CControlUI* line = dlg.PaintManager().FindControl(question ? L"msgyntext" : L"msgtext");
            notices.push_back(line != nullptr ? line->GetText() : L"<no text>");
        });
        fs::create_directories(dir.file("fakebin"));
        fs::create_directories(dir.file("pictures"));
        // Documents and pictures "open" by leaving a line here.
        test::WriteFile(dir.file("fakebin/xdg-open"),
                        "#!/bin/sh\necho \"$@\" >> '" + dir.file("opened.txt") + "'\n", 0755);
        m_oldPath = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
        setenv("PATH", (dir.file("fakebin") + ":" + m_oldPath).c_str(), 1);
    }
    void TearDown() override {
        wnd.reset();
        QApplication::processEvents();
        setenv("PATH", m_oldPath.c_str(), 1);
        ModalSeam::SetObserver(nullptr);
        EXPECT_EQ(ModalSeam::UnansweredCount(), 0);
        ModalSeam::Disable();
        EXPECT_TRUE(uitest::Warnings().isEmpty()) << uitest::Warnings().join("\n").toStdString();
    }

    // Records `sample` as its road does once the text is final: the picture
    // and the .txt beside it, a capture's picture kept.
    history::RecordResult Record(const Sample& sample) {
        const std::string picture = dir.file("pictures/" + sample.name);
        test::RenderTextPicture({U8(sample.text.substr(0, sample.text.find(L'\n')))}, 28, picture);
        const std::string txt = picture + ".txt";
        test::WriteFile(txt, U8(sample.text));
        history::NewEntry entry;
        entry.road = sample.road;
        entry.source = W(picture);
        entry.textPath = W(txt);
        entry.text = sample.text;
        entry.keepSourceCopy = sample.road == history::Road::Screen;
        entry.time = static_cast<std::int64_t>(std::time(nullptr)) - sample.age;
        return history::RecordRecognition(history::ProgramPlace(), entry);
    }
    void RecordSamples() {
        for (const Sample& sample : Samples())
            ASSERT_EQ(Record(sample), history::RecordResult::Recorded);
    }

    shell::CHistoryWnd& Open() {
        wnd = std::make_unique<shell::CHistoryWnd>(App().dataFolder, App().configPath);
        wnd->Create(nullptr, L"HistoryWnd", UI_WNDSTYLE_DIALOG & ~WS_VISIBLE, 0);
        wnd->GetHWND()->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(wnd->GetHWND()));
        return *wnd;
    }
    template <typename Control = CControlUI>
    Control* Find(const wchar_t* name) {
        return dynamic_cast<Control*>(wnd->PaintManager().FindControl(name));
    }
    CControlUI* Row(std::size_t index) {
        auto* list = Find<CListUI>(L"historylist");
        return list != nullptr ? list->GetItemAt(static_cast<int>(index)) : nullptr;
    }
    std::wstring RowText(std::size_t index, const wchar_t* cell) {
        CControlUI* c = wnd->PaintManager().FindSubControlByName(Row(index), cell);
        return c != nullptr ? c->GetText() : L"<none>";
    }
    // The words typed into the search field as a user types them: Latin
    // key by key, Chinese as an input method hands each character over.
    void Type(const QString& words) {
        auto* field = Find<CEditUI>(L"historysearch");
        ASSERT_NE(field, nullptr);
        for (const QChar c : words) {
            if (c.unicode() < 0x80) {
                QTest::keyClick(field->Editor(), c.toLatin1());
                continue;
            }
            QInputMethodEvent commit;
            commit.setCommitString(QString(c));
            QApplication::sendEvent(field->Editor(), &commit);
        }
    }
    void Key(Qt::Key key) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus != nullptr ? focus : wnd->GetHWND(), key);
    }
    // Rows filled in while the window is shown lie inside the list's
    // scrolling body, none cut off below it.
    void ExpectRowsShownWhole() {
        auto* list = Find<CListUI>(L"historylist");
        for (int i = 0; list != nullptr && i < list->GetCount(); ++i) {
            const CControlUI* row = list->GetItemAt(i);
            EXPECT_TRUE(row->isVisible()) << i;
            EXPECT_LE(row->geometry().bottom(), row->parentWidget()->height() - 1) << i;
        }
    }
    std::vector<std::wstring> FirstLines() {
        std::vector<std::wstring> lines;
        auto* list = Find<CListUI>(L"historylist");
        for (int i = 0; list != nullptr && i < list->GetCount(); ++i)
            lines.push_back(RowText(static_cast<std::size_t>(i), L"hist_line"));
        return lines;
    }

    test::TempFolder dir;
    std::unique_ptr<shell::CHistoryWnd> wnd;
    std::vector<std::wstring> notices;
    std::string m_oldPath;
};

TEST_F(HistoryWnd, RecognitionsAppearNewestFirstWithTheirPictureAndWholeText) {
    RecordSamples();
    Open();
    ASSERT_EQ(FirstLines(), (std::vector<std::wstring>{L"Lunch menu", L"会议纪要：下周三讨论预算",
                                                       L"增值税发票"}));
    EXPECT_EQ(RowText(0, L"hist_road"), L"批量识别");
    EXPECT_EQ(RowText(1, L"hist_road"), L"截图识别");
    EXPECT_EQ(RowText(2, L"hist_road"), L"图片识别");
    EXPECT_EQ(RowText(0, L"hist_time").rfind(L"今天 ", 0), 0u);
    EXPECT_EQ(Find<CLabelUI>(L"historycount")->GetText(), text::CountLine(3, false, false));

    // Each row shows its picture: black text on white, not the empty cell.
    const QImage shot = wnd->GetHWND()->grab().toImage();
    CControlUI* thumb = wnd->PaintManager().FindSubControlByName(Row(2), L"hist_thumb");
    ASSERT_NE(thumb, nullptr);
    const QRect cell(thumb->mapTo(wnd->GetHWND(), QPoint(0, 0)), thumb->size());
    int white = 0, dark = 0;
    for (int y = cell.top(); y <= cell.bottom(); ++y) {
        for (int x = cell.left(); x <= cell.right(); ++x) {
            const int grey = qGray(shot.pixel(x, y));
            white += grey > 250 ? 1 : 0;
            dark += grey < 100 ? 1 : 0;
        }
    }
    EXPECT_GT(white, cell.width() * cell.height() / 8);
    EXPECT_GT(dark, 0);

    // Nothing is chosen until the user clicks a row; then its whole text.
    EXPECT_EQ(wnd->ChosenId(), 0);
    EXPECT_FALSE(Find<CButtonUI>(L"historycopybtn")->IsEnabled());
    QTest::mouseClick(Row(1), Qt::LeftButton, {}, QPoint(200, 30));
    EXPECT_EQ(wnd->ChosenId(), wnd->ShownIds()[1]);
    EXPECT_EQ(Find<CRichEditUI>(L"historytext")->GetText(), Samples()[1].text);
    EXPECT_NE(Find<CLabelUI>(L"historymeta")->GetText().find(L"截图识别"), std::wstring::npos);
    EXPECT_EQ(Find<CLabelUI>(L"historysource")->GetText(), dir.wide("pictures/capture.jpg"));
    EXPECT_TRUE(Find<CButtonUI>(L"historycopybtn")->IsEnabled());
}

TEST_F(HistoryWnd, SearchNarrowsTheListAsTheUserTypes) {
    RecordSamples();
    Open();
    struct Case {
        QString typed;  // added to what the field holds
        std::vector<std::wstring> lines;
    };
    const std::vector<Case> cases = {
        {QStringLiteral("发"), {L"增值税发票"}},  // one Chinese character
        {QStringLiteral("票"), {L"增值税发票"}},  // two
        {QStringLiteral(" 金额"), {L"增值税发票"}},
        {QStringLiteral("x"), {}},  // 发票 金额x: nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        Type(c.typed);
        EXPECT_EQ(FirstLines(), c.lines);
    }
    EXPECT_TRUE(Find<CLabelUI>(L"historyempty")->IsVisible());
    EXPECT_EQ(Find<CLabelUI>(L"historyempty")->GetText(), text::EmptyText(true));

    // Cleared, every entry is back; a Latin word in any case, a part of one.
    Find<CEditUI>(L"historysearch")->Editor()->clear();
    EXPECT_EQ(FirstLines().size(), 3u);
    Type(QStringLiteral("2"));
    EXPECT_EQ(FirstLines(), (std::vector<std::wstring>{L"Lunch menu", L"增值税发票"}));
    ExpectRowsShownWhole();
    Find<CEditUI>(L"historysearch")->Editor()->clear();
    Type(QStringLiteral("DUMPL"));
    EXPECT_EQ(FirstLines(), std::vector<std::wstring>{L"Lunch menu"});
    EXPECT_EQ(Find<CLabelUI>(L"historycount")->GetText(), text::CountLine(1, false, true));
    EXPECT_FALSE(Find<CLabelUI>(L"historyempty")->IsVisible());

    // A chosen entry stays chosen while the words still find it.
    Key(Qt::Key_Return);
    const std::int64_t chosen = wnd->ChosenId();
    ASSERT_NE(chosen, 0);
    Type(QStringLiteral("ings"));
    EXPECT_EQ(wnd->ChosenId(), chosen);
    Type(QStringLiteral("zz"));
    EXPECT_EQ(wnd->ChosenId(), 0);
    EXPECT_EQ(Find<CRichEditUI>(L"historytext")->GetText(), L"");
}

TEST_F(HistoryWnd, CopyAndEnterPutTheWholeTextOnTheClipboardAndEscCloses) {
    RecordSamples();
    Open();
    // Enter with nothing chosen chooses the newest; Enter again copies it.
    Key(Qt::Key_Return);
    ASSERT_EQ(wnd->ChosenId(), wnd->ShownIds()[0]);
    Key(Qt::Key_Return);
    auto clip = shelltest::ReadX11Clipboard([] { QApplication::processEvents(); });
    ASSERT_TRUE(clip.has_value());
    EXPECT_EQ(W(*clip), Samples()[2].text);
    EXPECT_EQ(Find<CLabelUI>(L"historytip")->GetText(), text::kCopied);

    // The arrows move the choice; 复制 copies the text of the one chosen.
    Key(Qt::Key_Down);
    Key(Qt::Key_Down);
    Key(Qt::Key_Down);  // stays on the last
    EXPECT_EQ(wnd->ChosenId(), wnd->ShownIds()[2]);
    ASSERT_TRUE(wnd->ClickControl(L"historycopybtn"));
    clip = shelltest::ReadX11Clipboard([] { QApplication::processEvents(); });
    ASSERT_TRUE(clip.has_value());
    EXPECT_EQ(W(*clip), Samples()[0].text);

    Key(Qt::Key_Escape);
    EXPECT_TRUE(WaitFor([&] { return wnd->GetHWND() == nullptr; }));
}

TEST_F(HistoryWnd, OpenFileAndPictureGoToTheDesktopOpenerOrSayTheFileIsGone) {
    RecordSamples();
    Open();
    const std::vector<std::int64_t> ids = wnd->ShownIds();
    // The capture: its kept copy opens, also once the work file is gone.
    ASSERT_TRUE(wnd->Choose(ids[1]));
    fs::remove(dir.file("pictures/capture.jpg"));
    ASSERT_TRUE(wnd->ClickControl(L"historyopenfilebtn"));
    ASSERT_TRUE(wnd->ClickControl(L"historyopenpicbtn"));
    ASSERT_TRUE(WaitFor([&] {
        return test::ReadFile(dir.file("opened.txt")).find('\n') !=
               test::ReadFile(dir.file("opened.txt")).rfind('\n');
    }));
    const std::string opened = test::ReadFile(dir.file("opened.txt"));
    EXPECT_NE(opened.find(dir.file("pictures/capture.jpg.txt")), std::string::npos);
    EXPECT_NE(opened.find("history-captures"), std::string::npos) << opened;

    // A picture and a .txt moved away: the window says so and opens nothing.
    ASSERT_TRUE(wnd->Choose(ids[2]));
    fs::remove(dir.file("pictures/invoice.png"));
    fs::remove(dir.file("pictures/invoice.png.txt"));
    ModalSeam::SetNextAnswer(L"msgconfirmbtn");
    ASSERT_TRUE(wnd->ClickControl(L"historyopenfilebtn"));
    ModalSeam::SetNextAnswer(L"msgconfirmbtn");
    ASSERT_TRUE(wnd->ClickControl(L"historyopenpicbtn"));
    EXPECT_EQ(notices,
              (std::vector<std::wstring>{text::MissingTextFile(), text::MissingPicture()}));
    test::RunEventsFor(std::chrono::milliseconds(300));
    EXPECT_EQ(test::ReadFile(dir.file("opened.txt")), opened);
}

TEST_F(HistoryWnd, DeleteRemovesTheChosenEntryAndClearAsksFirstThenEmptiesAll) {
    RecordSamples();
    Open();
    const std::vector<std::int64_t> ids = wnd->ShownIds();
    ASSERT_TRUE(wnd->Choose(ids[0]));
    ASSERT_TRUE(wnd->ClickControl(L"historydeletebtn"));
    EXPECT_EQ(wnd->ShownIds(), (std::vector<std::int64_t>{ids[1], ids[2]}));
    EXPECT_EQ(wnd->ChosenId(), ids[1]);  // the next one takes its place

    // Cancelled: everything stays.
    ModalSeam::SetNextAnswer(L"msgyncancelbtn");
    ASSERT_TRUE(wnd->ClickControl(L"historyclearbtn"));
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0], text::ClearQuestion());
    EXPECT_EQ(wnd->ShownIds().size(), 2u);
    history::HistoryStore store(App().dataFolder);
    EXPECT_EQ(store.Count(), 2u);
    EXPECT_EQ(store.KeptCaptures().size(), 1u);

    // Confirmed: no entry and no kept capture is left, in the window or on disk.
    ModalSeam::SetNextAnswer(L"msgynconfirmbtn");
    ASSERT_TRUE(wnd->ClickControl(L"historyclearbtn"));
    EXPECT_TRUE(wnd->ShownIds().empty());
    EXPECT_EQ(wnd->ChosenId(), 0);
    EXPECT_TRUE(Find<CLabelUI>(L"historyempty")->IsVisible());
    EXPECT_EQ(Find<CLabelUI>(L"historyempty")->GetText(), text::EmptyText(false));
    EXPECT_FALSE(Find<CButtonUI>(L"historyclearbtn")->IsEnabled());
    EXPECT_EQ(store.Count(), 0u);
    EXPECT_TRUE(store.KeptCaptures().empty());
}

TEST_F(HistoryWnd, ALongHistoryIsShownAPageAtATime) {
    history::HistoryStore store(App().dataFolder);
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    const std::size_t total = shell::CHistoryWnd::kPageRows * 2 + 7;
    for (std::size_t i = 0; i < total; ++i) {
        history::NewEntry entry;
        entry.text = L"第 " + std::to_wstring(i) + L" 次识别";
        entry.time = now - static_cast<std::int64_t>(total - i);
        ASSERT_EQ(store.Record(entry), history::RecordResult::Recorded);
    }
    Open();
    const auto shown = [&] { return wnd->ShownIds().size(); };
    EXPECT_EQ(shown(), shell::CHistoryWnd::kPageRows);
    EXPECT_EQ(FirstLines().front(), L"第 " + std::to_wstring(total - 1) + L" 次识别");
    EXPECT_TRUE(Find<CButtonUI>(L"historymorebtn")->IsVisible());
    EXPECT_EQ(Find<CLabelUI>(L"historycount")->GetText(), text::CountLine(shown(), true, false));
    ASSERT_TRUE(wnd->ClickControl(L"historymorebtn"));
    EXPECT_EQ(shown(), shell::CHistoryWnd::kPageRows * 2);
    ASSERT_TRUE(wnd->ClickControl(L"historymorebtn"));
    EXPECT_EQ(shown(), total);
    EXPECT_FALSE(Find<CButtonUI>(L"historymorebtn")->IsVisible());
    EXPECT_EQ(FirstLines().back(), L"第 0 次识别");
}

TEST_F(HistoryWnd, TheMenuSwitchTurnsRecordingOffAndTheWindowSaysWhatIsKept) {
    // The first window says that recognitions are kept; the next does not.
    Open();
    EXPECT_TRUE(Find(L"historynotice")->IsVisible());
    EXPECT_EQ(Find(L"historynoticetext")->GetText(), text::KeptNotice());
    EXPECT_TRUE(history::WasNoticeShown(App().configPath));
    Open();
    EXPECT_FALSE(Find(L"historynotice")->IsVisible());

    // The menu shows the switch on by default; a click turns it off, for
    // this run and the next.
    shell::CMainMenuWnd menu;
    menu.Create(nullptr, L"MainMenuWnd", UI_WNDSTYLE_DIALOG & ~WS_VISIBLE, WS_EX_TOOLWINDOW);
    menu.ShowAt(QPoint(100, 100));
    auto* option = dynamic_cast<COptionUI*>(menu.PaintManager().FindControl(L"historyopt"));
    ASSERT_NE(option, nullptr);
    EXPECT_EQ(option->GetText(), L"保存识别记录");
    EXPECT_TRUE(option->IsSelected());
    ASSERT_TRUE(menu.ClickControl(L"historyopt"));
    EXPECT_FALSE(history::IsRecordingOn(App().configPath));
    EXPECT_NE(test::ReadFile(WideToAnsi(App().configPath)).find("history=0"), std::string::npos);

    // Off: a recognition records nothing, and the window says so.
    EXPECT_EQ(Record(Samples()[0]), history::RecordResult::Off);
    Open();
    EXPECT_TRUE(wnd->ShownIds().empty());
    EXPECT_TRUE(Find(L"historynotice")->IsVisible());
    EXPECT_EQ(Find(L"historynoticetext")->GetText(), text::RecordingOffNotice());

    // On again, shown as such by the menu.
    menu.ShowAt(QPoint(100, 100));
    EXPECT_FALSE(option->IsSelected());
    ASSERT_TRUE(menu.ClickControl(L"historyopt"));
    EXPECT_EQ(Record(Samples()[0]), history::RecordResult::Recorded);
    Open();
    EXPECT_EQ(FirstLines(), std::vector<std::wstring>{L"增值税发票"});
}

TEST_F(HistoryWnd, TheMainMenuOpensTheWindowOverItsOwner) {
    RecordSamples();
    uitest::LayoutWindow owner(L"mainwnd.xml");
    owner.Create(nullptr, L"Main", UI_WNDSTYLE_DIALOG, 0);
    shell::CMainMenuWnd menu;
    menu.Create(owner.GetHWND(), L"MainMenuWnd", UI_WNDSTYLE_DIALOG & ~WS_VISIBLE,
                WS_EX_TOOLWINDOW);
    menu.ShowAt(QPoint(100, 100));
    // What the window shows as it runs modally, then its close button.
    std::vector<std::wstring> lines;
    QWidget* shownOver = nullptr;
    QString title;
    ModalSeam::SetObserver([&](CWindowWnd& shown) {
        auto* history = dynamic_cast<shell::CHistoryWnd*>(&shown);
        if (history == nullptr)
            return;
        shownOver = history->GetHWND()->parentWidget();
        title = history->GetHWND()->windowTitle();
        auto* list = dynamic_cast<CListUI*>(history->PaintManager().FindControl(L"historylist"));
        for (int i = 0; list != nullptr && i < list->GetCount(); ++i)
            lines.push_back(history->PaintManager()
                                .FindSubControlByName(list->GetItemAt(i), L"hist_line")
                                ->GetText());
    });
    ModalSeam::SetNextAnswer(L"historyclosebtn");
    ASSERT_TRUE(menu.ClickControl(L"historybtn"));
    EXPECT_FALSE(menu.GetHWND()->isVisible());
    ASSERT_TRUE(WaitFor([&] { return !lines.empty(); }));
    EXPECT_EQ(lines.front(), L"Lunch menu");
    EXPECT_EQ(shownOver, owner.GetHWND());
    EXPECT_EQ(title, QStringLiteral("KelsorOCR历史记录"));
    EXPECT_EQ(ModalSeam::PendingAnswers(), 0);
}

// Seconds since the epoch of a local time, whatever the zone's daylight
// saving.
std::int64_t LocalTime(int year, int month, int day, int hour, int minute) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&t));
}

TEST(HistoryWndText, EntryTimesReadAsAListIsScanned) {
    const std::int64_t now = LocalTime(2026, 12, 8, 12, 0);
    struct Case {
        std::int64_t time;
        std::wstring shown;
    };
    const std::vector<Case> cases = {
        {LocalTime(2026, 12, 8, 9, 5), L"今天 09:05"},
        {LocalTime(2026, 12, 8, 0, 0), L"今天 00:00"},
        {LocalTime(2026, 12, 7, 23, 59), L"昨天 23:59"},
        {LocalTime(2026, 12, 7, 0, 0), L"昨天 00:00"},
        {LocalTime(2026, 12, 6, 12, 0), L"12月6日 12:00"},
        {LocalTime(2026, 1, 2, 8, 30), L"1月2日 08:30"},
        {LocalTime(2025, 12, 31, 23, 0), L"2025-12-31 23:00"},  // last year, though the day before
        {LocalTime(2026, 12, 9, 12, 0), L"2026-12-09 12:00"},   // a clock set back: its date
    };
    for (const Case& c : cases)
        EXPECT_EQ(shell::history_text::EntryTime(c.time, now), c.shown);
    // Yesterday across a year's end.
    EXPECT_EQ(
        shell::history_text::EntryTime(LocalTime(2025, 12, 31, 23, 0), LocalTime(2026, 1, 1, 8, 0)),
        L"昨天 23:00");
    EXPECT_EQ(shell::history_text::FullTime(LocalTime(2026, 12, 8, 14, 3)), L"2026-12-08 14:03:00");
}

}  // namespace

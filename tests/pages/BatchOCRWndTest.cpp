// The batch page and its list, offscreen, driving the real page by its
// controls: adding within the limit of 100, refused files, serial numbers,
// the rows' buttons, start-all and the task events on their way from the
// runner's worker to the rows. Recognition runs against a kelsor-server.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <future>
#include <mutex>
#include <thread>

#include "FolderOrder.h"
#include "LocalService.h"
#include "PageTestSupport.h"
#include "PictureForms.h"
#include "RenderText.h"
#include "TempFolder.h"
#include "account/UserInfo.h"
#include "app/AppContext.h"
#include "app/TextConv.h"
#include "jobs/BatchFileItem.h"
#include "jobs/ConverCtrl.h"
#include "jobs/ConvertTaskMgr.h"
#include "notices/CommonDlg.h"
#include "pages/BatchOCRWnd.h"
#include "platform/ui/MainWindowRef.h"

using namespace kelsor;
using namespace kelsor::jobs;
using pagetest::WaitFor;
namespace notice = kelsor::notices::notice;

namespace {

// A recognition through the real service that holds pictures whose name has
// "gated" in it until the test opens the gate, and counts what it saw.
class GatedRecognition {
public:
    std::string operator()(int formatType, const std::wstring& path) {
        {
            std::unique_lock lock(m_mutex);
            m_seen.push_back(path);
            if (path.find(L"gated") != std::wstring::npos) {
                m_cv.wait(lock, [&] { return m_open; });
            }
        }
        return RecognizePictureText(formatType, path);
    }
    void Open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_cv.notify_all();
    }
    std::vector<std::wstring> Seen() {
        std::lock_guard lock(m_mutex);
        return m_seen;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_open = false;
    std::vector<std::wstring> m_seen;
};

class BatchPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        uitest::EnsureApp();
        uitest::Warnings().clear();
        root = dir.path().toStdWString() + L"/";
        App().dataFolder = Folder(L"data");
        App().useCustomOutputFolder = 0;
        App().customOutputFolder.set(L"");
        App().formatType = FormatPriority;
        ProcessBatchStore().Clear();
        BatchSourceFolder().clear();
        CurrentUser() = UserInfo{};
        CurrentUser().loggedIn = true;

        ui::ModalSeam::Enable();
        uitest::RecordNotices(notices);
        main = new pagetest::MainWindowStub();
        main->Create(nullptr, L"KelsorOCR文字识别", ui::UI_WNDSTYLE_DIALOG, 0, 0, 0, 1120, 630);
        main->ShowWindow(true);
        ui::SetMainWindow(main);
        page = new BatchOCRWnd();
        page->Create(main->GetHWND(), L"BatchOCRWnd", ui::UI_WNDSTYLE_CHILD, 0);
        page->MoveWindow(1, 94, 1118, 535);
        // Recognition through the service of the test (when it starts one),
        // on a runner of the test's own.
        tasks =
            std::make_unique<ConvertTaskMgr>([g = gate](int formatType, const std::wstring& path) {
                return (*g)(formatType, path);
            });
        page->SetTaskManager(*tasks);
        QCoreApplication::processEvents();
    }

    void TearDown() override {
        gate->Open();
        tasks.reset();
        ui::SetMainWindow(nullptr);
        delete page;
        delete main;
        ProcessBatchStore().Clear();
        CurrentUser() = UserInfo{};
        ui::ModalSeam::SetObserver({});
        ui::ModalSeam::Disable();
        QCoreApplication::processEvents();
        EXPECT_TRUE(uitest::Warnings().isEmpty()) << uitest::Warnings().join("\n").toStdString();
    }

    std::wstring Folder(const std::wstring& name) const {
        QDir(dir.path()).mkpath(QString::fromStdWString(name));
        return root + name + L"/";
    }

    // `count` small pictures named <prefix>000.png … in `folder`.
    std::vector<std::wstring> Pictures(const std::wstring& folder, int count,
                                       const std::wstring& prefix = L"p") const {
        static const QImage picture = pagetest::TwoColourPicture(24, 16, Qt::red, Qt::blue);
        std::vector<std::wstring> paths;
        for (int i = 0; i < count; ++i) {
            wchar_t name[32];
            std::swprintf(name, 32, L"%03d.png", i);
            paths.push_back(folder + prefix + name);
            EXPECT_TRUE(pagetest::SavePicture(picture, paths.back()));
        }
        return paths;
    }

    // A picture of large text lines that the service reads exactly.
    std::wstring TextPicture(const std::wstring& path, const std::vector<std::string>& lines) {
        EXPECT_TRUE(test::RenderTextPicture(lines, 56, WideToAnsi(path), "DejaVu Sans"));
        return path;
    }

    BatchList& List() const { return page->List(); }
    std::vector<int> Ids() const {
        std::vector<int> ids;
        for (const auto& [id, item] : ProcessBatchStore().All()) {
            ids.push_back(id);
        }
        return ids;
    }
    ui::CControlUI* RowControl(int id, const wchar_t* name) const {
        const BatchRowControls* row = List().Row(id);
        return row == nullptr ? nullptr : page->PaintManager().FindSubControlByName(row->row, name);
    }
    // A user's click: nothing happens on a hidden or disabled control.
    bool Click(int id, const wchar_t* name) const {
        ui::CControlUI* control = RowControl(id, name);
        return control != nullptr && control->Activate();
    }
    std::wstring Text(int id, const wchar_t* name) const {
        ui::CControlUI* control = RowControl(id, name);
        return control != nullptr ? control->GetText() : L"<none>";
    }
    bool Visible(const wchar_t* name) const {
        ui::CControlUI* c = page->PaintManager().FindControl(name);
        return c != nullptr && c->IsVisible();
    }
    int Count(unsigned message) const {
        return static_cast<int>(std::count(main->messages.begin(), main->messages.end(), message));
    }
    bool WaitForState(int id, RowState state, int seconds = 120) const {
        return WaitFor([&] { return List().StateOf(id) == state; }, std::chrono::seconds(seconds));
    }

    QTemporaryDir dir;
    std::wstring root;
    pagetest::MainWindowStub* main = nullptr;
    BatchOCRWnd* page = nullptr;
    std::vector<std::wstring> notices;
    std::shared_ptr<GatedRecognition> gate = std::make_shared<GatedRecognition>();
    std::unique_ptr<ConvertTaskMgr> tasks;
};

TEST_F(BatchPageTest, AddingStopsAtOneHundredWithOneLimitNotice) {
    struct Case {
        int before;
        int added;
        int limitNotices;  // for the second addition
        int firstKeptOfAdded;
    };
    const Case cases[] = {{0, 150, 1, 100}, {95, 5, 1, 5}, {100, 1, 1, 0}};
    for (const Case& c : cases) {
        page->ClearList();
        const std::wstring folder = Folder(L"limit" + std::to_wstring(c.before));
        page->AddPaths(Pictures(folder, c.before, L"old"));
        notices.clear();
        main->messages.clear();
        const std::vector<std::wstring> added = Pictures(folder, c.added, L"new");
        page->AddPaths(added);
        const int expectedRows = std::min(100, c.before + c.added);
        EXPECT_EQ(List().RowCount(), expectedRows) << c.before << " + " << c.added;
        EXPECT_EQ(notices, std::vector<std::wstring>(c.limitNotices, notice::kListFull));
        EXPECT_EQ(Count(2133), c.firstKeptOfAdded > 0 ? 1 : 0);
        // The pictures kept are the first ones, in the order given.
        const BatchFileItem& last = *ProcessBatchStore().All().rbegin()->second;
        if (c.firstKeptOfAdded > 0) {
            EXPECT_EQ(last.sourcePath, added[c.firstKeptOfAdded - 1]);
        }
        EXPECT_EQ(Text(last.id, L"file_sn"), std::to_wstring(expectedRows));
    }
}

TEST_F(BatchPageTest, OneNoticePerAdditionHoweverManyAreRefused) {
    const std::wstring folder = Folder(L"mixed");
    test::WriteFile(WideToAnsi(folder + L"notes.txt"), "text");
    test::WriteFile(WideToAnsi(folder + L"junk.png"), "not a picture");
    ASSERT_EQ(::mkfifo(WideToAnsi(folder + L"pipe.png").c_str(), 0600), 0);
    const std::wstring good = Pictures(folder, 1).front();
    const std::wstring damaged = Folder(L"damaged");
    for (int i = 100; i >= 1; --i) {
        test::WriteFile(WideToAnsi(damaged) + "bad" + std::to_string(i) + ".png", "no picture");
    }
    struct Case {
        std::vector<std::wstring> paths;  // or the folder picked for 添加文件夹
        std::wstring notice;
        int rows;
    };
    const Case cases[] = {
        {{folder + L"junk.png"}, notice::kDamagedFile, 0},
        {{folder + L"notes.txt"}, notice::kUnsupportedFormat, 0},
        {{folder + L"notes.txt", folder + L"notes.txt"},
         L"很抱歉，有2个文件的格式不支持，未能添加：notes.txt、notes.txt",
         0},
        {{folder + L"notes.txt", folder + L"junk.png", folder + L"pipe.png", good,
          folder + L"missing.png"},
         L"很抱歉，有4个文件未能添加（1个格式不支持，3个已损坏）：notes.txt、junk.png、pipe.png 等",
         1},
        {{damaged}, L"很抱歉，有100个文件已损坏，未能添加：bad1.png、bad2.png、bad3.png 等", 1},
    };
    for (const Case& c : cases) {
        notices.clear();
        main->messages.clear();
        if (c.paths.front() == damaged) {
            ui::FileDialog::SetNextFileNames({damaged});
            ASSERT_TRUE(page->ClickControl(L"addfolderbtn"));
        } else {
            page->AddPaths(c.paths);
        }
        EXPECT_EQ(notices, std::vector<std::wstring>{c.notice});
        EXPECT_EQ(List().RowCount(), c.rows);
        EXPECT_EQ(Visible(L"BatchOCR_List"), c.rows > 0);
        EXPECT_EQ(Visible(L"batchselectpicbtn"), c.rows == 0);
    }
    EXPECT_EQ(Count(2133), 0);  // the last addition kept nothing
    // The first path names a file that exists, though not a picture.
    EXPECT_EQ(BatchSourceFolder(), folder);
    const int id = Ids().front();
    EXPECT_EQ(Text(id, L"file_name"), L"p000.png");
    EXPECT_EQ(Text(id, L"pic_size"), L"24*16");
    EXPECT_EQ(Text(id, L"file_id"), std::to_wstring(id));
}

// 添加文件夹 lists a folder as a file manager does, however deep it goes:
// the walk holds no folder open while it walks the next one down.
TEST_F(BatchPageTest, AFolderIsListedInFileManagerOrderHoweverDeep) {
    const std::wstring ordered = Folder(L"ordered");
    const std::wstring one = Pictures(Folder(L"one"), 1).front();
    test::WriteFileManagerOrderTree(WideToAnsi(ordered), test::ReadFile(WideToAnsi(one)));
    std::wstring deep = Folder(L"deep");
    const std::wstring top = deep;
    ASSERT_TRUE(pagetest::SavePicture(QImage(8, 8, QImage::Format_RGB32), deep + L"top.png"));
    constexpr int kDepth = 60;
    for (int i = 0; i < kDepth; ++i) {
        deep += L"d/";
    }
    ASSERT_TRUE(QDir().mkpath(QString::fromStdWString(deep)));
    ASSERT_TRUE(pagetest::SavePicture(QImage(8, 8, QImage::Format_RGB32), deep + L"bottom.png"));

    std::vector<std::wstring> expected;
    for (const std::string& name : test::FileManagerOrder()) {
        expected.push_back(AnsiToWide(name.substr(name.rfind('/') + 1)));
    }
    expected.push_back(L"top.png");
    expected.push_back(L"bottom.png");
    // Fewer free descriptors than the tree has levels.
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
    const rlimit saved = limit;
    limit.rlim_cur = QDir(QStringLiteral("/proc/self/fd")).count() + kDepth / 3;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limit), 0);
    for (const std::wstring& folder : {ordered, top}) {
        ui::FileDialog::SetNextFileNames({folder});
        page->ClickControl(L"addfolderbtn");
    }
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    std::vector<std::wstring> listed;
    for (const int id : Ids()) {
        listed.push_back(Text(id, L"file_name"));
    }
    EXPECT_EQ(listed, expected);
    EXPECT_TRUE(notices.empty());
}

TEST_F(BatchPageTest, SerialNumbersRestartAtOneWhileIdsKeepCounting) {
    const std::wstring folder = Folder(L"serial");
    page->AddPaths(Pictures(folder, 3));
    const std::vector<int> first = Ids();
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(first[1], first[0] + 1);
    ASSERT_TRUE(Click(first[1], L"file_del"));
    // The others keep their numbers.
    EXPECT_EQ(Text(first[0], L"file_sn"), L"1");
    EXPECT_EQ(Text(first[2], L"file_sn"), L"3");
    main->messages.clear();
    ASSERT_TRUE(Click(first[0], L"file_del"));
    ASSERT_TRUE(Click(first[2], L"file_del"));
    EXPECT_EQ(main->messages, std::vector<unsigned>{2134});
    EXPECT_TRUE(Visible(L"batchselectpicbtn"));
    EXPECT_FALSE(Visible(L"BatchOCR_List"));

    page->AddPaths(Pictures(folder, 2, L"q"));
    const std::vector<int> second = Ids();
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second[0], first[2] + 1);
    EXPECT_EQ(Text(second[0], L"file_sn"), L"1");
    EXPECT_EQ(Text(second[1], L"file_sn"), L"2");

    // Clearing without tasks empties everything and says so again.
    main->messages.clear();
    ASSERT_TRUE(page->ClickControl(L"clearlistbtn"));
    page->ClearList();
    EXPECT_TRUE(ProcessBatchStore().Empty());
    EXPECT_EQ(main->messages, (std::vector<unsigned>{2134, 2134}));
    page->AddPaths(Pictures(folder, 1, L"r"));
    EXPECT_EQ(Text(Ids().front(), L"file_sn"), L"1");
}

TEST_F(BatchPageTest, TaskEventsChangeTheRowOfTheirItemOnly) {
    page->AddPaths(Pictures(Folder(L"events"), 3));
    const std::vector<int> ids = Ids();
    const int a = ids[0];
    const int b = ids[1];
    auto progress = [&](int id) {
        return dynamic_cast<ui::CProgressUI*>(RowControl(id, L"file_progress"))->GetValue();
    };
    struct Step {
        TaskStatus event;
        int row;
        RowState state;
        int progress;
    };
    // A task whose final event never came (a cancelled running task) leaves
    // the next running row still showing its bar.
    const Step steps[] = {
        {{a, Running, 10, a}, a, RowState::Running, 10},
        {{a, Running, 55, a}, a, RowState::Running, 55},
        {{b, Running, 5, b}, b, RowState::Running, 5},
        {{b, Queued, 1, b}, b, RowState::Running, 5},
        {{b, Cancelled, 1, b}, b, RowState::Running, 5},
        {{b, Succeeded, 60, b}, b, RowState::Done, 100},
        {{a, Failed, 60, a}, a, RowState::Failed, 0},
        {{4711, Succeeded, 1, 4711}, a, RowState::Failed, 0},
    };
    for (const Step& s : steps) {
        List().OnTaskEvent(s.event);
        EXPECT_EQ(List().StateOf(s.row), s.state) << s.event.id << "/" << s.event.state;
        EXPECT_EQ(progress(s.row), s.progress) << s.event.id << "/" << s.event.state;
    }
    EXPECT_EQ(ProcessBatchStore().Find(a)->state, Failed);
    EXPECT_EQ(ProcessBatchStore().Find(b)->state, Succeeded);
    struct Look {
        int id;
        bool mark, start, open, retry, removeEnabled;
    };
    for (const Look& l :
         {Look{a, true, false, false, true, true}, Look{b, true, false, true, false, true},
          Look{ids[2], true, true, false, false, true}}) {
        const wchar_t* mark = l.id == a   ? L"file_converfail"
                              : l.id == b ? L"file_convered"
                                          : L"file_unconver";
        EXPECT_EQ(RowControl(l.id, mark)->IsVisible(), l.mark);
        EXPECT_EQ(RowControl(l.id, L"file_start")->IsVisible(), l.start);
        EXPECT_EQ(RowControl(l.id, L"file_open")->IsVisible(), l.open);
        EXPECT_EQ(RowControl(l.id, L"file_retry")->IsVisible(), l.retry);
        EXPECT_EQ(RowControl(l.id, L"file_del")->IsEnabled(), l.removeEnabled);
    }
    // A failed row's 移除 takes it away; a late event for it finds nothing.
    ASSERT_TRUE(Click(a, L"file_del"));
    EXPECT_EQ(ProcessBatchStore().Find(a), nullptr);
    EXPECT_EQ(List().Row(a), nullptr);
    List().OnTaskEvent({a, Running, 70, a});
    EXPECT_EQ(List().RowCount(), 2);
}

TEST_F(BatchPageTest, EventsFromTheWorkerArriveInOrderWithoutWaitingForTheUiThread) {
    page->AddPaths(Pictures(Folder(L"posted"), 1));
    const int id = Ids().front();
    // The worker's side: 50 progress events and the final one, sent while
    // the UI thread is not running its events at all.
    auto sender = std::async(std::launch::async, [id] {
        for (int p = 1; p <= 50; ++p) {
            ConverCtrl::Process().Notify(2, TaskStatus{id, Running, p, id});
        }
        ConverCtrl::Process().Notify(3, TaskStatus{id, Succeeded, 50, id});
    });
    ASSERT_EQ(sender.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_EQ(List().StateOf(id), RowState::NotRecognised);
    QCoreApplication::processEvents();
    EXPECT_EQ(List().StateOf(id), RowState::Done);
    EXPECT_EQ(ProcessBatchStore().Find(id)->state, Succeeded);
}

TEST_F(BatchPageTest, OpeningAPictureOrAResult) {
    const std::wstring fakebin = Folder(L"fakebin");
    test::WriteFile(WideToAnsi(fakebin + L"xdg-open"),
                    "#!/bin/sh\necho \"$@\" >> '" + WideToAnsi(root) + "opened.txt'\n", 0755);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (WideToAnsi(fakebin) + ":" + oldPath).c_str(), 1);
    const std::wstring picture = Pictures(Folder(L"open"), 1).front();
    page->AddPaths({picture});
    const int id = Ids().front();
    BatchFileItem& item = *ProcessBatchStore().Find(id);
    item.outputPath = Folder(L"open") + L"gone.txt";  // as if its result was deleted
    struct Case {
        const wchar_t* control;
        bool opens;
    };
    for (const Case& c : {Case{L"pic_view", true}, Case{L"file_open", false}}) {
        notices.clear();
        List().OnTaskEvent({id, Succeeded, 100, id});  // shows 打开文件
        ASSERT_TRUE(Click(id, c.control));
        EXPECT_EQ(notices.empty(), c.opens) << WideToAnsi(c.control);
    }
    EXPECT_TRUE(WaitFor([&] {
        return test::ReadFile(WideToAnsi(root) + "opened.txt") == WideToAnsi(picture) + "\n";
    }));
    EXPECT_EQ(notices, std::vector<std::wstring>{notice::kOpenFailed});
    setenv("PATH", oldPath.c_str(), 1);
}

TEST_F(BatchPageTest, StartGatesAndTheAllDoneNotice) {
    page->AddPaths(Pictures(Folder(L"gate"), 2));
    const std::vector<int> ids = Ids();
    // Signed out: the register/login window is asked for and nothing queued.
    CurrentUser().loggedIn = false;
    page->StartAll();
    ASSERT_TRUE(Click(ids[0], L"file_start"));
    EXPECT_EQ(Count(2141), 2);
    EXPECT_EQ(ProcessBatchStore().Find(ids[0])->state, TaskNone);
    EXPECT_EQ(List().StateOf(ids[0]), RowState::NotRecognised);
    // Everything done: the notice, and nothing is queued.
    CurrentUser().loggedIn = true;
    for (int id : ids) {
        List().OnTaskEvent({id, Succeeded, 100, id});
    }
    page->StartAll();
    EXPECT_EQ(notices, std::vector<std::wstring>{notice::kListFinished});
    EXPECT_EQ(tasks->TaskCount(), 0u);
}

}  // namespace

namespace {

// The whole list against the service: one picture done, one failed, one
// held while it runs, two waiting; the waiting ones removed or run after.
TEST_F(BatchPageTest, ListRunsThroughTheServiceRowByRow) {
    test::LocalService service;
    std::string error;
    ASSERT_TRUE(pagetest::StartTesseractService(service, root, error)) << error;

    const std::wstring folder = Folder(L"run");
    const QImage blank = pagetest::TwoColourPicture(200, 120, Qt::white, Qt::white);
    ASSERT_TRUE(pagetest::SavePicture(blank, folder + L"blank.png"));
    page->AddPaths({TextPicture(folder + L"first.png", {"FIRST PICTURE"}), folder + L"blank.png",
                    TextPicture(folder + L"third-gated.jpg", {"THIRD PICTURE"}),
                    TextPicture(folder + L"fourth.bmp", {"FOURTH PICTURE"}),
                    TextPicture(folder + L"fifth.png", {"FIFTH PICTURE"})});
    const std::vector<int> ids = Ids();
    ASSERT_EQ(ids.size(), 5u);
    const int done = ids[0], failed = ids[1], held = ids[2], waiting = ids[3], removed = ids[4];

    page->StartAll();
    for (int id : ids) {
        EXPECT_EQ(List().StateOf(id), RowState::Waiting);
        EXPECT_FALSE(RowControl(id, L"file_start")->IsEnabled());
    }
    ASSERT_TRUE(WaitForState(held, RowState::Running)) << service.Log();
    EXPECT_EQ(List().StateOf(done), RowState::Done);
    EXPECT_EQ(List().StateOf(failed), RowState::Failed);
    EXPECT_TRUE(RowControl(held, L"file_progress")->IsVisible());
    EXPECT_EQ(List().StateOf(waiting), RowState::Waiting);
    // For a person to look at: the page in the middle of a run, the bar a
    // third of the way.
    auto* bar = dynamic_cast<ui::CProgressUI*>(RowControl(held, L"file_progress"));
    EXPECT_TRUE(WaitFor([&] { return bar->GetValue() >= 30; }));
    const QString shot = QStringLiteral(KELSOR_SCREENSHOT_DIR "/batch_page_running.png");
    EXPECT_TRUE(main->GetHWND()->grab().save(shot));

    // The running row cannot be removed, nor the list cleared; start-all
    // queues the failed row again and leaves the queued ones alone.
    EXPECT_FALSE(Click(held, L"file_del"));
    ASSERT_TRUE(page->ClickControl(L"clearlistbtn"));
    EXPECT_EQ(notices, std::vector<std::wstring>{notice::kTasksRunning});
    page->StartAll();
    EXPECT_EQ(List().StateOf(failed), RowState::Waiting);
    EXPECT_EQ(tasks->TaskCount(), 4u);
    // A waiting row goes with its task.
    ASSERT_TRUE(Click(removed, L"file_del"));
    EXPECT_EQ(ProcessBatchStore().Find(removed), nullptr);
    EXPECT_EQ(List().Row(removed), nullptr);

    gate->Open();
    ASSERT_TRUE(WaitFor([&] { return tasks->TaskCount() == 0; }, std::chrono::seconds(120)))
        << service.Log();
    ASSERT_TRUE(WaitForState(failed, RowState::Failed)) << service.Log();
    EXPECT_EQ(List().StateOf(held), RowState::Done);
    EXPECT_EQ(List().StateOf(waiting), RowState::Done);
    EXPECT_TRUE(RowControl(waiting, L"file_open")->IsVisible());
    EXPECT_EQ(test::ReadFile(WideToAnsi(folder) + "first.txt"), "FIRST PICTURE");
    EXPECT_EQ(test::ReadFile(WideToAnsi(folder) + "third-gated.txt"), "THIRD PICTURE");
    EXPECT_EQ(test::ReadFile(WideToAnsi(folder) + "fourth.txt"), "FOURTH PICTURE");
    // The runner never came to the removed one.
    EXPECT_FALSE(test::FileExists(WideToAnsi(folder) + "fifth.txt"));
    for (const std::wstring& seen : gate->Seen()) {
        EXPECT_EQ(seen.find(L"fifth"), std::wstring::npos);
    }

    // A retry waits again, then fails again.
    ASSERT_TRUE(Click(failed, L"file_retry"));
    EXPECT_EQ(List().StateOf(failed), RowState::Waiting);
    EXPECT_FALSE(RowControl(failed, L"file_retry")->IsVisible());
    ASSERT_TRUE(WaitForState(failed, RowState::Failed)) << service.Log();
    ASSERT_TRUE(Click(failed, L"file_del"));
    notices.clear();
    page->StartAll();
    EXPECT_EQ(notices, std::vector<std::wstring>{notice::kListFinished});
}

// Every form of the picture-form table, added as a folder and recognised in
// one run: none is refused, none fails, each result holds the text.
TEST_F(BatchPageTest, HistoryKeepsEachRowThatGaveText) {
    test::LocalService service;
    std::string error;
    ASSERT_TRUE(pagetest::StartTesseractService(service, root, error)) << error;
    const std::wstring folder = Folder(L"rows");
    ASSERT_TRUE(pagetest::SavePicture(pagetest::TwoColourPicture(200, 120, Qt::white, Qt::white),
                                      folder + L"blank.png"));
    const std::wstring first = TextPicture(folder + L"first.png", {"HISTORY ROW"});
    page->AddPaths({first, folder + L"blank.png"});
    gate->Open();
    page->StartAll();
    ASSERT_TRUE(WaitFor([&] { return tasks->TaskCount() == 0; }, std::chrono::seconds(120)))
        << service.Log();

    // The blank picture gave nothing: only the other row is kept.
    const std::vector<history::Entry> entries = pagetest::HistoryOnceItHolds(1);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].summary.road, history::Road::Batch);
    EXPECT_EQ(entries[0].summary.source, first);
    EXPECT_EQ(entries[0].summary.textPath, folder + L"first.txt");
    EXPECT_EQ(entries[0].text, L"HISTORY ROW");
    EXPECT_FALSE(entries[0].thumbnail.empty());
}

TEST_F(BatchPageTest, EveryPictureFormIsRecognised) {
    test::LocalService service;
    std::string error;
    ASSERT_TRUE(pagetest::StartTesseractService(service, root, error)) << error;
    const std::wstring folder = Folder(L"forms");
    ASSERT_TRUE(test::WritePictureForms(WideToAnsi(folder), error)) << error;
    ui::FileDialog::SetNextFileNames({folder});
    ASSERT_TRUE(page->ClickControl(L"addfolderbtn"));
    EXPECT_TRUE(notices.empty());
    ASSERT_EQ(List().RowCount(), int(test::PictureForms().size()));
    page->StartAll();
    ASSERT_TRUE(WaitFor([&] { return tasks->TaskCount() == 0; }, std::chrono::minutes(4)))
        << service.Log();
    for (const auto& [id, item] : ProcessBatchStore().All()) {
        SCOPED_TRACE(WideToAnsi(item->fileName));
        EXPECT_TRUE(WaitForState(id, RowState::Done));
        EXPECT_EQ(test::ReadFile(WideToAnsi(item->outputPath)), test::kPictureFormText);
    }
}

// Two pictures of the same name from two folders, both written into the
// folder of the first: each keeps its own result.
TEST_F(BatchPageTest, SameNamedPicturesKeepTheirOwnResults) {
    test::LocalService service;
    std::string error;
    ASSERT_TRUE(pagetest::StartTesseractService(service, root, error)) << error;
    const std::wstring one = TextPicture(Folder(L"sub1") + L"p.png", {"FROM FOLDER ONE"});
    const std::wstring two = TextPicture(Folder(L"sub2") + L"p.png", {"FROM FOLDER TWO"});
    page->AddPaths({one, two});
    page->StartAll();
    const std::vector<int> ids = Ids();
    ASSERT_TRUE(WaitForState(ids[1], RowState::Done)) << service.Log();
    ASSERT_TRUE(WaitForState(ids[0], RowState::Done)) << service.Log();
    EXPECT_EQ(test::ReadFile(WideToAnsi(root) + "sub1/p.txt"), "FROM FOLDER ONE");
    EXPECT_EQ(test::ReadFile(WideToAnsi(root) + "sub1/p (2).txt"), "FROM FOLDER TWO");

    // Without a batch source folder the results go beside each picture.
    BatchSourceFolder().clear();
    const std::wstring three = TextPicture(Folder(L"sub3") + L"p.png", {"FROM FOLDER THREE"});
    page->AddPaths({root + L"gone.png", three});
    page->StartAll();
    EXPECT_EQ(ProcessBatchStore().Find(Ids().back())->outputPath, root + L"sub3/p.txt");
    ASSERT_TRUE(WaitForState(Ids().back(), RowState::Done)) << service.Log();
}

}  // namespace

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "TestPictures.h"
#include "app/AppContext.h"
#include "app/TextConv.h"
#include "jobs/ConvertTaskMgr.h"
#include "jobs/PictureFormat.h"
#include "platform/sys/CodePage.h"

namespace kelsor {
namespace {

using namespace std::chrono_literals;

// Generous: the machine is shared and sanitizer builds are slow. Tests wait for
// conditions, never for a time.
constexpr auto kPatience = 60s;

struct Event {
    int code;
    TaskStatus status;
};

// Collects task events and lets the test wait for conditions on them.
class EventLog {
public:
    TaskEventHandler Handler() {
        return [this](const TaskStatus& status) {
            std::lock_guard lock(m_mutex);
            // Each event's status carries the state its code was chosen by.
            m_events.push_back({CodeOf(status.state), status});
            m_cv.notify_all();
        };
    }
    static int CodeOf(int state) {
        switch (state) {
            case Queued:
                return 1;
            case Running:
                return 2;
            case Succeeded:
                return 3;
            case Failed:
                return -1;
            default:
                return 0;
        }
    }
    // Waits until `done` holds; it is looked at on every event and every 10 ms
    // (conditions may also concern files and the task count).
    bool WaitFor(const std::function<bool(const std::vector<Event>&)>& done) {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        std::unique_lock lock(m_mutex);
        while (!done(m_events)) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            m_cv.wait_for(lock, 10ms);
        }
        return true;
    }
    bool WaitForFinal(int id) {
        return WaitFor([id](const std::vector<Event>& events) {
            for (const auto& e : events) {
                if (e.status.id == id && (e.code == 3 || e.code == -1)) {
                    return true;
                }
            }
            return false;
        });
    }
    std::vector<Event> Events() const {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    std::vector<Event> EventsOf(int id) const {
        std::vector<Event> out;
        for (const auto& e : Events()) {
            if (e.status.id == id) {
                out.push_back(e);
            }
        }
        return out;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<Event> m_events;
};

// The injected recognition: checks that it was handed a real JPEG work file,
// answers per picture base name, and can hold a recognition until released.
class FakeRecognition {
public:
    // The function keeps the fake alive: a cancelled task's recognition may
    // still run after its test has ended.
    static RecognizeFunction Function(const std::shared_ptr<FakeRecognition>& fake) {
        return [fake](int formatType, const std::wstring& path) {
            return fake->Recognize(formatType, path);
        };
    }
    void SetText(const std::wstring& base, std::function<std::string(int)> text) {
        std::lock_guard lock(m_mutex);
        m_texts[base] = std::move(text);
    }
    void Hold(const std::wstring& base) {
        std::lock_guard lock(m_mutex);
        m_held[base] = true;
    }
    void Release(const std::wstring& base) {
        std::lock_guard lock(m_mutex);
        m_held[base] = false;
        m_cv.notify_all();
    }
    bool WaitUntilEntered(const std::wstring& base) {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, kPatience, [&] { return m_entered[base] > 0; });
    }
    int Calls(const std::wstring& base) {
        std::lock_guard lock(m_mutex);
        return m_entered[base];
    }
    std::vector<std::wstring> Order() {
        std::lock_guard lock(m_mutex);
        return m_order;
    }
    bool SawJpeg(const std::wstring& base) {
        std::lock_guard lock(m_mutex);
        return m_sawJpeg[base];
    }

private:
    std::string Recognize(int formatType, const std::wstring& path) {
        const auto slash = path.rfind(L'/');
        const std::wstring base = OutputBaseName(path.substr(slash + 1));
        const std::string bytes = test::ReadBytes(path);
        const bool jpeg = bytes.size() > 2 && bytes[0] == '\xFF' && bytes[1] == '\xD8';
        std::unique_lock lock(m_mutex);
        ++m_entered[base];
        m_order.push_back(base);
        m_sawJpeg[base] = jpeg;
        m_cv.notify_all();
        m_cv.wait(lock, [&] { return !m_held[base]; });
        if (!jpeg) {
            return {};  // like the service rejecting an empty picture
        }
        const auto it = m_texts.find(base);
        return it != m_texts.end() ? it->second(formatType) : "text of " + WideToAnsi(base);
    }

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::map<std::wstring, std::function<std::string(int)>> m_texts;
    std::map<std::wstring, bool> m_held;
    std::map<std::wstring, int> m_entered;
    std::map<std::wstring, bool> m_sawJpeg;
    std::vector<std::wstring> m_order;
};

class TaskRunner : public ::testing::Test {
protected:
    void SetUp() override {
        m_source = m_dir.MakeFolder(L"source");
        m_data = m_dir.MakeFolder(L"data");
        m_custom = m_dir.MakeFolder(L"custom");
        App().dataFolder = m_data;
        App().useCustomOutputFolder = 0;
        App().formatType = FormatPriority;
        App().customOutputFolder.set(m_custom);
        BatchSourceFolder() = m_source;
        m_ctrl.SetTaskEventHandler(m_log.Handler());
        m_mgr = std::make_unique<ConvertTaskMgr>(FakeRecognition::Function(m_fakeOwner), &m_ctrl);
    }
    void TearDown() override {
        m_mgr.reset();
        platform::SetCodePage("");
    }

    // A listed picture: a small PNG written into the source folder.
    BatchFileItem& Item(const std::wstring& fileName) {
        auto item = std::make_unique<BatchFileItem>();
        item->id = ++m_nextId;
        item->fileName = fileName;
        item->sourcePath = m_source + fileName;
        item->listElementTag = 1000 + item->id;
        EXPECT_TRUE(test::WritePicture(item->sourcePath, 24, 16, test::PictureKind::Rgb24,
                                       FreeImageFormatFor(fileName)));
        m_items.push_back(std::move(item));
        return *m_items.back();
    }
    static int FreeImageFormatFor(const std::wstring& name) {
        return PictureExtension(name) == L".jpg" ? FIF_JPEG : FIF_PNG;
    }
    static std::vector<int> Codes(const std::vector<Event>& events) {
        std::vector<int> codes;
        for (const auto& e : events) {
            codes.push_back(e.code);
        }
        return codes;
    }
    // One 1, then any number of 2s, then one final code.
    static void ExpectWellFormed(const std::vector<Event>& events, int finalCode) {
        ASSERT_GE(events.size(), 2u);
        EXPECT_EQ(events.front().code, 1);
        EXPECT_EQ(events.back().code, finalCode);
        int lastProgress = 0;
        for (std::size_t i = 1; i + 1 < events.size(); ++i) {
            EXPECT_EQ(events[i].code, 2);
            EXPECT_GE(events[i].status.progress, lastProgress);
            EXPECT_LE(events[i].status.progress, 100);
            lastProgress = events[i].status.progress;
        }
    }

    test::ScratchFolder m_dir;
    std::wstring m_source;
    std::wstring m_data;
    std::wstring m_custom;
    EventLog m_log;
    std::shared_ptr<FakeRecognition> m_fakeOwner = std::make_shared<FakeRecognition>();
    FakeRecognition& m_fake = *m_fakeOwner;
    ConverCtrl m_ctrl;
    std::vector<std::unique_ptr<BatchFileItem>> m_items;
    int m_nextId = 0;
    std::unique_ptr<ConvertTaskMgr> m_mgr;
};

TEST_F(TaskRunner, KeysRiseFromOneAndTasksRunInKeyOrder) {
    BatchFileItem& a = Item(L"a.png");
    BatchFileItem& b = Item(L"b.png");
    BatchFileItem& c = Item(L"c.png");
    m_fake.Hold(L"a");
    EXPECT_EQ(m_mgr->AddTask(a), 1);
    EXPECT_EQ(m_mgr->AddTask(b), 2);
    EXPECT_EQ(m_mgr->AddTask(c), 3);
    ASSERT_TRUE(m_fake.WaitUntilEntered(L"a"));
    EXPECT_EQ(m_mgr->TaskCount(), 3u);
    EXPECT_EQ(a.state.load(), Running);
    EXPECT_EQ(b.state.load(), Queued);
    m_fake.Release(L"a");
    ASSERT_TRUE(m_log.WaitForFinal(c.id));

    // One task at a time: every event of a task comes before the next task's.
    const auto events = m_log.Events();
    int lastId = 0;
    for (const auto& e : events) {
        EXPECT_GE(e.status.id, lastId);
        lastId = e.status.id;
    }
    for (const BatchFileItem* item : {&a, &b, &c}) {
        const auto own = m_log.EventsOf(item->id);
        ExpectWellFormed(own, 3);
        for (const auto& e : own) {
            EXPECT_EQ(e.status.tag, item->listElementTag);
        }
        EXPECT_TRUE(m_fake.SawJpeg(OutputBaseName(item->fileName)));
        EXPECT_FALSE(test::Exists(item->tempPicturePath));  // work file removed
    }
    EXPECT_EQ(m_fake.Order(), (std::vector<std::wstring>{L"a", L"b", L"c"}));
    EXPECT_EQ(test::ReadBytes(m_source + L"b.txt"), "text of b");
    EXPECT_EQ(m_mgr->AddTask(Item(L"d.png")), 4);  // keys are never reused
    ASSERT_TRUE(m_log.WaitForFinal(4));
}

TEST_F(TaskRunner, ProgressRisesWhileTheRecognitionRuns) {
    BatchFileItem& slow = Item(L"slow.png");
    m_fake.Hold(L"slow");
    m_mgr->AddTask(slow);
    ASSERT_TRUE(m_log.WaitFor([](const std::vector<Event>& events) {
        return !events.empty() && events.back().code == 2 && events.back().status.progress >= 5;
    }));
    m_fake.Release(L"slow");
    ASSERT_TRUE(m_log.WaitForFinal(slow.id));
    const auto events = m_log.EventsOf(slow.id);
    ExpectWellFormed(events, 3);
    EXPECT_EQ(events.front().status.state, Queued);
    EXPECT_EQ(events.front().status.progress, 0);  // the ticker has not started yet
}

TEST_F(TaskRunner, OutputNamesFollowTheOptionsInForceWhenQueued) {
    BatchFileItem& dotted = Item(L"photo.old.png");
    BatchFileItem& plain = Item(L"README");
    m_mgr->AddTask(dotted);
    App().useCustomOutputFolder = 1;
    App().formatType = EditPriority;
    m_mgr->AddTask(plain);
    App().useCustomOutputFolder = 0;  // later changes do not move queued results
    App().formatType = FormatPriority;

    EXPECT_EQ(dotted.tempPicturePath, m_data + L"photo.old.jpg");
    EXPECT_EQ(dotted.outputPath, m_source + L"photo.old.txt");
    EXPECT_EQ(dotted.formatType, FormatPriority);
    EXPECT_EQ(plain.tempPicturePath, m_data + L"README.jpg");
    EXPECT_EQ(plain.outputPath, m_custom + L"README.txt");
    EXPECT_EQ(plain.formatType, EditPriority);
    ASSERT_TRUE(m_log.WaitForFinal(plain.id));
    EXPECT_TRUE(test::Exists(m_source + L"photo.old.txt"));
    EXPECT_TRUE(test::Exists(m_custom + L"README.txt"));
}

TEST_F(TaskRunner, FileContentsForBothFormatTypes) {
    const auto lines = [](int formatType) {
        return std::string("first line") + (formatType == FormatPriority ? "\r\n" : "") +
               "second line";
    };
    m_fake.SetText(L"format", lines);
    m_fake.SetText(L"edit", lines);
    BatchFileItem& format = Item(L"format.png");
    BatchFileItem& edit = Item(L"edit.png");
    m_mgr->AddTask(format);
    App().formatType = EditPriority;
    m_mgr->AddTask(edit);
    ASSERT_TRUE(m_log.WaitForFinal(edit.id));
    // CR LF between lines, no byte-order mark, no line end after the last line.
    EXPECT_EQ(test::ReadBytes(m_source + L"format.txt"), "first line\r\nsecond line");
    EXPECT_EQ(test::ReadBytes(m_source + L"edit.txt"), "first linesecond line");
}

TEST_F(TaskRunner, NamesAndTextInTheCodePage) {
    ASSERT_TRUE(platform::SetCodePage("GBK"));
    const std::string gbkText = WideToAnsi(L"识别结果\r\n第二行");
    ASSERT_EQ(gbkText.size(), 4u * 2 + 2 + 3u * 2);  // two bytes per character in GBK
    m_fake.SetText(L"图片", [&](int) { return gbkText; });
    BatchFileItem& item = Item(L"图片.png");
    m_mgr->AddTask(item);
    ASSERT_TRUE(m_log.WaitForFinal(item.id));
    EXPECT_EQ(Codes(m_log.EventsOf(item.id)).back(), 3);
    EXPECT_EQ(test::ReadBytes(m_source + L"图片.txt"), gbkText);
}

TEST_F(TaskRunner, SameBaseNameWritesOneFileTheLaterTaskWins) {
    m_fake.SetText(L"a", [n = 0](int) mutable { return ++n == 1 ? "from a.png" : "from a.jpg"; });
    BatchFileItem& png = Item(L"a.png");
    BatchFileItem& jpg = Item(L"a.jpg");
    m_mgr->AddTask(png);
    m_mgr->AddTask(jpg);
    ASSERT_TRUE(m_log.WaitForFinal(jpg.id));
    EXPECT_EQ(png.outputPath, jpg.outputPath);
    EXPECT_EQ(test::ReadBytes(m_source + L"a.txt"), "from a.jpg");
}

TEST_F(TaskRunner, EmptyRecognitionFailsWithoutAFile) {
    m_fake.SetText(L"blank", [](int) { return std::string(); });
    BatchFileItem& blank = Item(L"blank.png");
    m_mgr->AddTask(blank);
    ASSERT_TRUE(m_log.WaitForFinal(blank.id));
    ExpectWellFormed(m_log.EventsOf(blank.id), -1);
    EXPECT_FALSE(test::Exists(m_source + L"blank.txt"));
    EXPECT_FALSE(test::Exists(blank.tempPicturePath));
}

TEST_F(TaskRunner, UnconvertiblePictureFails) {
    BatchFileItem& broken = Item(L"broken.png");
    test::WriteBytes(broken.sourcePath, "\x89PNG\r\n\x1A\n and nothing else");
    m_mgr->AddTask(broken);
    ASSERT_TRUE(m_log.WaitForFinal(broken.id));
    EXPECT_EQ(Codes(m_log.EventsOf(broken.id)).back(), -1);
    EXPECT_FALSE(m_fake.SawJpeg(L"broken"));
}

TEST_F(TaskRunner, ResultFileThatCannotBeCreatedIsAFailure) {
    BatchSourceFolder() = m_dir / L"no-such-folder/";
    BatchFileItem& missing = Item(L"missing.png");
    m_mgr->AddTask(missing);
    test::WriteBytes(m_dir / L"plain-file", "x");
    BatchSourceFolder() = m_dir / L"plain-file/";  // a "folder" that is a file
    BatchFileItem& notFolder = Item(L"notfolder.png");
    m_mgr->AddTask(notFolder);
    ASSERT_TRUE(m_log.WaitForFinal(notFolder.id));
    ExpectWellFormed(m_log.EventsOf(missing.id), -1);
    ExpectWellFormed(m_log.EventsOf(notFolder.id), -1);
    EXPECT_FALSE(test::Exists(missing.outputPath));
    EXPECT_FALSE(test::Exists(missing.tempPicturePath));
}

TEST_F(TaskRunner, CancelledQueuedTaskSendsNothingAndTheNextRuns) {
    BatchFileItem& a = Item(L"a.png");
    BatchFileItem& b = Item(L"b.png");
    BatchFileItem& c = Item(L"c.png");
    m_fake.Hold(L"a");
    m_mgr->AddTask(a);
    const int keyB = m_mgr->AddTask(b);
    m_mgr->AddTask(c);
    ASSERT_TRUE(m_fake.WaitUntilEntered(L"a"));
    EXPECT_EQ(m_mgr->CancelTask(keyB), 1);
    EXPECT_EQ(m_mgr->CancelTask(999), 1);  // unknown keys are ignored
    m_items[1].reset();                    // the page may free the item once its task is cancelled
    m_fake.Release(L"a");
    ASSERT_TRUE(m_log.WaitForFinal(c.id));
    EXPECT_TRUE(m_log.EventsOf(2).empty());
    EXPECT_EQ(m_fake.Calls(L"b"), 0);
    EXPECT_FALSE(test::Exists(m_source + L"b.txt"));
    ExpectWellFormed(m_log.EventsOf(c.id), 3);
    ASSERT_TRUE(m_log.WaitFor([&](const auto&) { return m_mgr->TaskCount() == 0; }));
}

TEST_F(TaskRunner, CancelledRunningTaskStopsAtOnceWithoutWaitingForIt) {
    BatchFileItem& a = Item(L"a.png");
    BatchFileItem& b = Item(L"b.png");
    m_fake.Hold(L"a");
    const int keyA = m_mgr->AddTask(a);
    ASSERT_TRUE(m_log.WaitFor([&](const std::vector<Event>& events) {
        return events.size() >= 3 && events.back().code == 2;
    }));
    // The recognition is still held: neither call may wait for it.
    m_mgr->CancelTask(keyA);
    const std::size_t eventsAtCancel = m_log.EventsOf(a.id).size();
    m_items[0].reset();
    m_mgr->AddTask(b);
    ASSERT_TRUE(m_log.WaitForFinal(b.id));
    EXPECT_EQ(m_log.EventsOf(1).size(), eventsAtCancel);
    ExpectWellFormed(m_log.EventsOf(b.id), 3);

    // The cancelled recognition still ends and may still write its file.
    m_fake.Release(L"a");
    ASSERT_TRUE(m_log.WaitFor([&](const auto&) { return test::Exists(m_source + L"a.txt"); }));
    EXPECT_EQ(m_log.EventsOf(1).size(), eventsAtCancel);
}

// Cancel-and-free races the worker's start of the same task; under the
// sanitizers a touch of a freed item or task shows up here.
TEST_F(TaskRunner, CancelAndFreeWhileTheWorkerStartsTheTask) {
    for (int round = 0; round < 40; ++round) {
        BatchFileItem& item = Item(L"race" + std::to_wstring(round) + L".png");
        const int key = m_mgr->AddTask(item);
        if (round % 4 != 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(round * 50));
        }
        m_mgr->CancelTask(key);
        m_items.back().reset();
    }
    BatchFileItem& last = Item(L"last.png");
    m_mgr->AddTask(last);
    ASSERT_TRUE(m_log.WaitForFinal(last.id));
}

TEST_F(TaskRunner, SameEventsWithoutEarlyWake) {
    m_mgr->SetWakeOnRecognitionEnd(false);
    BatchFileItem& a = Item(L"a.png");
    m_mgr->AddTask(a);
    ASSERT_TRUE(m_log.WaitForFinal(a.id));
    ExpectWellFormed(m_log.EventsOf(a.id), 3);
}

// Ends with the thread it was made on, slowly, and counts the ends.
struct SlowThreadEnd {
    static inline std::atomic<int> ended{0};
    ~SlowThreadEnd() {
        std::this_thread::sleep_for(300ms);
        ++ended;
    }
};

// A process may end right after its last task: a finished task's threads must
// be gone, not still ending, by the time the task leaves the list.
TEST_F(TaskRunner, AFinishedTasksThreadsHaveEndedWhenItLeavesTheList) {
    m_fake.SetText(L"a", [](int) {
        thread_local SlowThreadEnd end;  // made on the recognition's thread
        (void)end;
        return std::string("text of a");
    });
    BatchFileItem& a = Item(L"a.png");
    const int before = SlowThreadEnd::ended.load();
    m_mgr->AddTask(a);
    ASSERT_TRUE(m_log.WaitForFinal(a.id));
    ASSERT_TRUE(m_log.WaitFor([&](const auto&) { return m_mgr->TaskCount() == 0; }));
    EXPECT_EQ(SlowThreadEnd::ended.load(), before + 1);
}

TEST_F(TaskRunner, StoppingTheManagerDropsQueuedTasks) {
    BatchFileItem& a = Item(L"a.png");
    BatchFileItem& b = Item(L"b.png");
    m_fake.Hold(L"a");
    m_mgr->AddTask(a);
    m_mgr->AddTask(b);
    ASSERT_TRUE(m_fake.WaitUntilEntered(L"a"));
    m_mgr.reset();  // must not wait for the held recognition
    EXPECT_TRUE(m_log.EventsOf(b.id).empty());
    m_fake.Release(L"a");
    ASSERT_TRUE(m_log.WaitFor([&](const auto&) { return test::Exists(m_source + L"a.txt"); }));
}

}  // namespace
}  // namespace kelsor

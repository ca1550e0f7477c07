// Four real pictures (one a photo stored sideways) through the task runner,
// the cloud client and a kelsor-server started here, over HTTPS with
// certificate verification; a line 14 px tall (under the service's 15-px
// minimum) on each road the jobs reach.
#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "BatchRoad.h"
#include "LocalService.h"
#include "OrientedJpeg.h"
#include "RenderText.h"
#include "TestPictures.h"
#include "app/AppContext.h"
#include "app/TextConv.h"
#include "cloud/RecognizePictureText.h"
#include "jobs/ConvertTaskMgr.h"
#include "jobs/ServicePicture.h"

namespace kelsor {
namespace {

TEST(EndToEnd, FourPicturesThroughTheRunnerAndTheLocalService) {
    test::ScratchFolder dir;
    const std::string folder = WideToAnsi(dir.path());
    test::LocalService service;
    std::string error;
    ASSERT_TRUE(service.StartSignedIn(KELSOR_SERVER_EXE, folder, {"--engine", "tesseract"}, error))
        << error;

    const std::wstring source = dir.MakeFolder(L"pictures");
    App().dataFolder = dir.MakeFolder(L"data");
    App().useCustomOutputFolder = 0;
    App().formatType = FormatPriority;
    BatchSourceFolder() = source;
    struct Case {
        std::wstring name;
        std::vector<std::string> lines;  // as rendered
        std::string expected;            // as the result file holds it
        int orientation = -1;            // a photo stored turned, with this Exif orientation
    };
    const std::vector<Case> cases = {
        {L"first.png", {"FIRST LINE HERE", "SECOND LINE"}, "FIRST LINE HERE\r\nSECOND LINE"},
        {L"second.jpg", {"BATCH RUNNER TEST"}, "BATCH RUNNER TEST"},
        {L"third.bmp", {"THIRD PICTURE 42"}, "THIRD PICTURE 42"},
        // Read as seen upright, not as stored: the service sees the upright picture.
        {L"sideways.jpg", {"TAKEN SIDEWAYS"}, "TAKEN SIDEWAYS", 6},
    };

    ConverCtrl ctrl;
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<TaskStatus> finals;
    ctrl.SetTaskEventHandler([&](const TaskStatus& status) {
        if (status.state == Succeeded || status.state == Failed) {
            std::lock_guard lock(mutex);
            finals.push_back(status);
            cv.notify_all();
        }
    });
    std::vector<std::unique_ptr<BatchFileItem>> items;
    ConvertTaskMgr mgr(&RecognizePictureText, &ctrl);
    for (const Case& c : cases) {
        auto item = std::make_unique<BatchFileItem>();
        item->id = int(items.size()) + 1;
        item->fileName = c.name;
        item->sourcePath = source + c.name;
        const std::string path = WideToAnsi(item->sourcePath);
        ASSERT_TRUE(c.orientation < 0
                        ? test::RenderTextPicture(c.lines, 56, path, "DejaVu Sans")
                        : test::WriteOrientedJpeg(
                              test::LargeTextPicture({QString::fromStdString(c.lines[0])}),
                              c.orientation, path));
        mgr.AddTask(*item);
        items.push_back(std::move(item));
    }
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::minutes(3), [&] {
            return finals.size() == cases.size();
        })) << service.Log();
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(finals[i].id, int(i) + 1);
        EXPECT_EQ(finals[i].state, Succeeded) << service.Log();
        EXPECT_EQ(test::ReadBytes(items[i]->outputPath), cases[i].expected);
        EXPECT_FALSE(test::Exists(items[i]->tempPicturePath));
    }
    EXPECT_EQ(items[0]->outputPath, source + L"first.txt");
}

TEST(ServicePicture, ALine14PxTallIsReadOnEveryRoad) {
    test::ScratchFolder dir;
    test::LocalService service;
    std::string error;
    ASSERT_TRUE(service.StartSignedIn(KELSOR_SERVER_EXE, WideToAnsi(dir.path()), {}, error))
        << error;
    const QImage tall = test::LineCutToHeight(QStringLiteral("KELSOR 2024"), 13, 14);
    ASSERT_EQ(tall.height(), 14);
    const std::wstring picture = dir.MakeFolder(L"batch") + L"line.png";
    ASSERT_TRUE(tall.save(QString::fromStdWString(picture)));
    // Before any padding the service refuses the picture outright.
    EXPECT_FALSE(RecognizePictureLines(picture).has_value()) << service.Log();

    const auto lines = RecognizeServicePictureLines(picture);
    ASSERT_TRUE(lines.has_value()) << service.Log();
    ASSERT_FALSE(lines->empty());
    for (const PlacedLine& placed : *lines) {
        for (const auto& [x, y] : placed.location) {
            EXPECT_TRUE(x >= 0 && x <= tall.width() && y >= 0 && y <= tall.height()) << x << y;
        }
    }
    struct Road {
        const char* what;
        std::string text;
    };
    const Road roads[] = {
        {"pages and kelsor-ocr", RecognizeServicePictureText(FormatPriority, picture)},
        {"batch runner", test::ThroughTheBatchRunner(picture, dir.MakeFolder(L"batch"),
                                                     &RecognizeServicePictureText)},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.what);
        EXPECT_NE(road.text, "") << service.Log();
        EXPECT_NE(road.text.find("KELSOR"), std::string::npos) << road.text;
    }
}

}  // namespace
}  // namespace kelsor

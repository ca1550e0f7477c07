// The batch road end to end on a real X server: a folder of pictures picked
// through the folder picker, the main window's start button, recognition by a
// kelsor-server started here, and every row done with its result file.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>

#include "LocalService.h"
#include "MainWndTestSupport.h"
#include "RenderText.h"
#include "X11TestSupport.h"
#include "account/UserInfo.h"
#include "app/AppContext.h"
#include "app/TextConv.h"
#include "jobs/BatchFileItem.h"
#include "notices/CommonDlg.h"
#include "pages/BatchOCRWnd.h"
#include "platform/ui/MainWindowRef.h"

using namespace kelsor;
using namespace kelsor::ui;
using kelsor::shelltest::WaitFor;
namespace fs = std::filesystem;
namespace notice = kelsor::notices::notice;

TEST(BatchEndToEndX11, AFolderOfPicturesBecomesTextFiles) {
    static kelsor::shelltest::PrivateXServer server;
    if (!server.Start())
        GTEST_SKIP() << "Xvfb cannot run here: no X server for the test";
    kelsor::test::TempFolder dir;
    kelsor::shelltest::BuildContextIn(dir);
    uitest::EnsureApp();

    test::LocalService service;
    std::string error;
    ASSERT_TRUE(
        service.StartSignedIn(KELSOR_SERVER_EXE, dir.file(""), {"--engine", "tesseract"}, error))
        << error;
    CurrentUser().loggedIn = true;

    // Eight pictures in three formats, one damaged, one of a format the
    // program does not take.
    fs::create_directories(dir.file("pictures/more"));
    const std::vector<std::pair<std::string, std::string>> pictures = {
        {"pictures/one.png", "PICTURE ONE"},        {"pictures/two.jpg", "PICTURE TWO"},
        {"pictures/three.bmp", "PICTURE THREE"},    {"pictures/four.png", "PICTURE FOUR"},
        {"pictures/more/five.jpg", "PICTURE FIVE"}, {"pictures/more/six.bmp", "PICTURE SIX"},
        {"pictures/more/seven.png", "SEVEN 77"},    {"pictures/more/eight.jpeg", "EIGHT 88"},
    };
    for (const auto& [name, text] : pictures)
        ASSERT_TRUE(test::RenderTextPicture({text}, 56, dir.file(name), "DejaVu Sans"));
    test::WriteFile(dir.file("pictures/broken.png"), "\x89PNG but nothing after it");
    fs::copy_file(dir.file("pictures/one.png"), dir.file("pictures/odd.webp"));

    ModalSeam::Enable();
    std::vector<std::wstring> notices;
    ModalSeam::SetObserver([&](CWindowWnd& wnd) {
        if (CControlUI* text =
                dynamic_cast<WindowImplBase&>(wnd).PaintManager().FindControl(L"msgtext"))
            notices.push_back(text->GetText());
    });
    auto* w = new shelltest::RecordingMainWnd();
    w->Create(nullptr, L"KelsorOCR文字识别", UI_WNDSTYLE_DIALOG, WS_EX_WINDOWEDGE);
    w->ShowWindow(true);
    ASSERT_TRUE(w->ClickControl(L"batchocropt"));
    auto* page = jobs::GetBatchOCRPage();
    ASSERT_NE(page, nullptr);

    // The folder scan takes picture names only, so the odd format comes
    // through the file picker.
    FileDialog::SetNextFileNames({dir.wide("pictures")});
    ASSERT_TRUE(page->ClickControl(L"addfolderbtn"));
    FileDialog::SetNextFileNames({dir.wide("pictures/odd.webp")});
    ASSERT_TRUE(page->ClickControl(L"addfilebtn"));
    EXPECT_EQ(page->List().RowCount(), 8);
    std::sort(notices.begin(), notices.end());
    EXPECT_EQ(notices,
              (std::vector<std::wstring>{notice::kUnsupportedFormat, notice::kDamagedFile}));
    ASSERT_TRUE(w->PaintManager().FindControl(L"batchconvertbtn")->IsEnabled());

    ASSERT_TRUE(w->ClickControl(L"batchconvertbtn"));
    const auto& items = ProcessBatchStore().All();
    ASSERT_TRUE(WaitFor(
        [&] {
            for (const auto& [id, item] : items) {
                const jobs::RowState state = page->List().StateOf(id);
                if (state != jobs::RowState::Done && state != jobs::RowState::Failed)
                    return false;
            }
            return true;
        },
        std::chrono::minutes(5)))
        << service.Log();
    // Results go to the folder of the first picture the scan found.
    const std::string results = WideToAnsi(BatchSourceFolder());
    EXPECT_TRUE(results == dir.file("pictures/") || results == dir.file("pictures/more/"))
        << results;
    for (const auto& [name, text] : pictures) {
        const std::string result = fs::path(name).stem().string() + ".txt";
        EXPECT_EQ(test::ReadFile(results + result), text) << result;
    }
    for (const auto& [id, item] : items) {
        EXPECT_EQ(page->List().StateOf(id), jobs::RowState::Done) << WideToAnsi(item->fileName);
        const jobs::BatchRowControls* row = page->List().Row(id);
        ASSERT_NE(row, nullptr);
        EXPECT_TRUE(row->open->IsVisible());
        EXPECT_TRUE(row->marks[3]->IsVisible());
        EXPECT_EQ(row->marks[3]->GetText(), L"识别完成");
    }
    delete w;
    ProcessBatchStore().Clear();
    CurrentUser() = UserInfo{};
    ModalSeam::SetObserver(nullptr);
    ModalSeam::Disable();
}

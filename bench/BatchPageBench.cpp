// The batch page against the work it cannot avoid, in the same run:
// - RATIO batch_add_vs_header_scan: adding 100 pictures of 4000 x 3000 to
//   the page against a bare loop reading the same files' headers;
// - RATIO batch_page_vs_direct: 100 pictures through the page's start-all to
//   the last 识别完成 against 100 direct RecognizePictureText calls on the
//   same pictures, through a kelsor-server started here.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "ServiceFixture.h"
#include "account/UserInfo.h"
#include "app/AppContext.h"
#include "cloud/RecognizePictureText.h"
#include "jobs/BatchFileItem.h"
#include "jobs/BatchPictureInfo.h"
#include "jobs/PictureUtils.h"
#include "pages/BatchOCRWnd.h"
#include "skin/SkinData.h"

namespace {

constexpr int kPictures = 100;

std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

std::string PageFolder(const std::string& sub) {
    const std::string folder = kelsor::bench::BenchFolder() + "/batchpage/" + sub;
    std::filesystem::create_directories(folder);
    return folder;
}

// Drops the files from the page cache, as pictures freshly picked on disk
// are: both sides of the comparison then read what a user's add reads.
void EvictFromCache(const std::vector<std::wstring>& paths) {
    for (const std::wstring& path : paths) {
        const std::string narrow(path.begin(), path.end());
        const int fd = ::open(narrow.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            ::fdatasync(fd);
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            ::close(fd);
        }
    }
}

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Paths of `kPictures` copies of one picture saved by `save` (written once).
std::vector<std::wstring> Copies(const std::string& folder, const std::string& extension,
                                 const QImage& image) {
    std::vector<std::wstring> paths;
    const std::string first = folder + "/pic000." + extension;
    if (!std::filesystem::exists(first) && !image.save(QString::fromStdString(first))) {
        return {};
    }
    for (int i = 0; i < kPictures; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/pic%03d.", i);
        const std::string path = folder + name + extension;
        std::error_code ec;
        if (i > 0) {
            std::filesystem::copy_file(first, path, std::filesystem::copy_options::skip_existing,
                                       ec);
        }
        paths.push_back(Wide(path));
    }
    return paths;
}

// 100 photographs' worth: 4000 x 3000 JPEGs with some detail in them.
const std::vector<std::wstring>& LargePictures() {
    static const std::vector<std::wstring> paths = [] {
        kelsor::bench::EnsureGuiApp();
        QImage image(4000, 3000, QImage::Format_RGB32);
        QPainter painter(&image);
        QLinearGradient gradient(0, 0, 4000, 3000);
        gradient.setColorAt(0, Qt::darkBlue);
        gradient.setColorAt(1, Qt::yellow);
        painter.fillRect(image.rect(), gradient);
        painter.setFont(QFont("DejaVu Sans", 120));
        for (int y = 200; y < 3000; y += 300) {
            painter.drawText(100, y, QStringLiteral("KELSOR BATCH PAGE BENCH"));
        }
        painter.end();
        return Copies(PageFolder("large"), "jpg", image);
    }();
    return paths;
}

// One short line per picture, as in the runner's own benchmark.
const std::vector<std::wstring>& TextPictures() {
    static const std::vector<std::wstring> paths = [] {
        kelsor::bench::EnsureGuiApp();
        QImage image(360, 80, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setFont(QFont("DejaVu Sans", 24));
        painter.drawText(16, 52, QStringLiteral("ITEM OK 42"));
        painter.end();
        return Copies(PageFolder("text"), "png", image);
    }();
    return paths;
}

// A host window for the page, as the main window would be.
class Host : public kelsor::ui::WindowImplBase {
protected:
    kelsor::ui::CDuiString GetWindowClassName() const override { return L"BenchHost"; }
    kelsor::ui::CDuiString GetSkinFolder() override { return L""; }
    kelsor::ui::CDuiString GetSkinFile() override { return L"singleocrview.xml"; }
};

struct Page {
    Host* host = nullptr;
    kelsor::jobs::BatchOCRWnd* page = nullptr;
    Page() {
        kelsor::bench::EnsureGuiApp();
        static const bool skin = (kelsor::skin::Install(), true);
        (void)skin;
        // The limit notice of a full list closes at once.
        kelsor::ui::ModalSeam::Enable();
        host = new Host();
        host->Create(nullptr, L"BenchHost", kelsor::ui::UI_WNDSTYLE_DIALOG, 0, 0, 0, 1120, 630);
        page = new kelsor::jobs::BatchOCRWnd();
        page->Create(host->GetHWND(), L"BatchOCRWnd", kelsor::ui::UI_WNDSTYLE_CHILD, 0);
        page->MoveWindow(1, 94, 1118, 535);
        QApplication::processEvents();
    }
    ~Page() {
        page->ClearList();
        delete page;
        delete host;
        kelsor::ProcessBatchStore().Clear();
        kelsor::ui::ModalSeam::Disable();
        QApplication::processEvents();
    }
};

// Argument 1: the files are read from disk (evicted from the page cache
// first); 0: they are in the cache, as right after another read.
void BM_BatchPage_HeaderScan(benchmark::State& state) {
    const std::vector<std::wstring>& paths = LargePictures();
    const bool cold = state.range(0) != 0;
    for (auto _ : state) {
        if (cold) {
            EvictFromCache(paths);
        }
        const auto start = std::chrono::steady_clock::now();
        for (const std::wstring& path : paths) {
            benchmark::DoNotOptimize(kelsor::ReadBatchPictureInfo(path));
        }
        kelsor::bench::RecordSample(cold ? "batch_header_scan_cold" : "batch_header_scan",
                                    Since(start));
    }
}

void BM_BatchPage_Add(benchmark::State& state) {
    const std::vector<std::wstring>& paths = LargePictures();
    const bool cold = state.range(0) != 0;
    Page page;
    for (auto _ : state) {
        page.page->ClearList();
        QApplication::processEvents();
        if (cold) {
            EvictFromCache(paths);
        }
        const auto start = std::chrono::steady_clock::now();
        page.page->AddPaths(paths);
        kelsor::bench::RecordSample(cold ? "batch_page_add_cold" : "batch_page_add", Since(start));
        if (page.page->List().RowCount() != kPictures) {
            state.SkipWithError("the page did not list every picture");
            return;
        }
        // The rows on show are built once the event loop runs again.
        const auto shown = std::chrono::steady_clock::now();
        QApplication::processEvents();
        kelsor::bench::RecordSample("batch_page_first_rows", Since(shown));
    }
}

bool UseBatchService(benchmark::State& state) {
    std::string error;
    if (!kelsor::bench::UseService("batchpage", {"--engine", "tesseract"}, error)) {
        state.SkipWithError(error.c_str());
        return false;
    }
    return TextPictures().size() == kPictures;
}

void BM_BatchPage_DirectCalls(benchmark::State& state) {
    if (!UseBatchService(state)) {
        return;
    }
    // The same JPEG work files the page's tasks make, made beforehand.
    std::vector<std::wstring> work;
    for (int i = 0; i < kPictures; ++i) {
        work.push_back(Wide(PageFolder("direct")) + L"/w" + std::to_wstring(i) + L".jpg");
        kelsor::ConvertPictureToJpeg(100, TextPictures()[i], work.back());
    }
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (const std::wstring& path : work) {
            if (kelsor::RecognizePictureText(kelsor::FormatPriority, path).empty()) {
                state.SkipWithError("a recognition failed");
                return;
            }
        }
        kelsor::bench::RecordSample("batch_page_direct", Since(start));
    }
}

void BM_BatchPage_StartAll(benchmark::State& state) {
    if (!UseBatchService(state)) {
        return;
    }
    Page page;
    kelsor::App().dataFolder = Wide(PageFolder("work")) + L"/";
    kelsor::App().useCustomOutputFolder = 0;
    kelsor::CurrentUser().loggedIn = true;
    for (auto _ : state) {
        page.page->ClearList();
        page.page->AddPaths(TextPictures());
        QApplication::processEvents();
        kelsor::jobs::BatchList& list = page.page->List();
        const int last = kelsor::ProcessBatchStore().All().rbegin()->first;
        const auto start = std::chrono::steady_clock::now();
        page.page->StartAll();
        while (list.StateOf(last) != kelsor::jobs::RowState::Done &&
               list.StateOf(last) != kelsor::jobs::RowState::Failed) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        kelsor::bench::RecordSample("batch_page_start_all", Since(start));
        for (const auto& [id, item] : kelsor::ProcessBatchStore().All()) {
            if (item->state != kelsor::Succeeded) {
                state.SkipWithError("a task failed");
                return;
            }
        }
    }
    kelsor::CurrentUser().loggedIn = false;
}

BENCHMARK(BM_BatchPage_HeaderScan)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5);
BENCHMARK(BM_BatchPage_Add)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5);
BENCHMARK(BM_BatchPage_DirectCalls)->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(2);
BENCHMARK(BM_BatchPage_StartAll)->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(2);

// The page's adding of 100 pictures against the header scan alone, from
// the samples named with `suffix`; `where` says where the files were.
double AddVsHeaderScan(const std::string& suffix, const char* where) {
    const double add = kelsor::bench::FastestSample("batch_page_add" + suffix);
    const double scan = kelsor::bench::FastestSample("batch_header_scan" + suffix);
    std::printf("100 pictures %s: page add %.1f ms, header scan %.1f ms\n", where, add * 1e3,
                scan * 1e3);
    return scan > 0 ? add / scan : 0.0;
}

// Wall time, the fastest repetition of each.
[[maybe_unused]] const bool g_batchPageRatios =
    (kelsor::bench::AddRatio(
         "batch_add_vs_header_scan",
         [] {
             const double ratio = AddVsHeaderScan("_cold", "of 4000 x 3000 from disk");
             std::printf("the rows on show are built on the next pass of the event loop: %.1f ms\n",
                         kelsor::bench::FastestSample("batch_page_first_rows") * 1e3);
             return ratio;
         },
         120),
     // The same with the files in the page cache, where a header read costs
     // microseconds and building the list's placeholders and the limit
     // notice dominate.
     kelsor::bench::AddRatio(
         "batch_add_vs_header_scan_cached", [] { return AddVsHeaderScan("", "in the page cache"); },
         120),
     kelsor::bench::AddRatio(
         "batch_page_vs_direct",
         [] {
             const double page = kelsor::bench::FastestSample("batch_page_start_all");
             const double direct = kelsor::bench::FastestSample("batch_page_direct");
             std::printf("100 pictures: page start-all %.2f s, direct calls %.2f s\n", page,
                         direct);
             return direct > 0 ? page / direct : 0.0;
         },
         121),
     true);

}  // namespace

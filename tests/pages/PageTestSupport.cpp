#include "PageTestSupport.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QPainter>
#include <QThread>
#include <fstream>
#include <iterator>

#include "app/AppContext.h"
#include "cloud/RecognizePictureText.h"
#include "pages/SingleOCRView.h"
#include "platform/ui/MainWindowRef.h"

namespace kelsor::pagetest {

bool SavePicture(const QImage& image, const std::wstring& path) {
    return image.save(QString::fromStdWString(path));
}

QImage TwoColourPicture(int width, int height, QColor left, QColor right) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height, left);
    painter.fillRect(width / 2, 0, width - width / 2, height, right);
    return image;
}

std::string ReadBytes(const std::wstring& path) {
    std::ifstream in(QString::fromStdWString(path).toStdString(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Exists(const std::wstring& path) {
    return QFile::exists(QString::fromStdWString(path));
}

std::vector<history::Entry> HistoryOnceItHolds(std::size_t count) {
    history::HistoryStore store(App().dataFolder);
    WaitFor([&] { return store.Count() >= count; });
    std::vector<history::Entry> entries;
    for (const history::EntrySummary& summary : store.Latest(count + 10)) {
        if (std::optional<history::Entry> entry = store.Load(summary.id)) {
            entries.push_back(std::move(*entry));
        }
    }
    return entries;
}

ui::LRESULT MainWindowStub::HandleMessage(ui::UINT msg, ui::WPARAM w, ui::LPARAM l) {
    if (msg >= 2129 && msg <= 2141) {
        messages.push_back(msg);
        return 0;
    }
    return WindowImplBase::HandleMessage(msg, w, l);
}

PageFixture::PageFixture() {
    uitest::EnsureApp();
    uitest::Warnings().clear();
    root = dir.path().toStdWString() + L"/";
    QDir(dir.path()).mkpath(QStringLiteral("data"));
    App().dataFolder = root + L"data/";
    App().singleCutPicturePath = App().dataFolder + L"singlecutpic.jpg";
    App().singleWorkPicturePath = App().dataFolder + L"singleocrfile.jpg";
    App().useCustomOutputFolder = 0;
    App().customOutputFolder.set(L"");
    App().formatType = FormatPriority;

    ui::ModalSeam::Enable();
    uitest::RecordNotices(notices);

    main = new MainWindowStub();
    main->Create(nullptr, L"KelsorOCR文字识别", ui::UI_WNDSTYLE_DIALOG, 0, 0, 0, 1120, 630);
    main->ShowWindow(true);
    ui::SetMainWindow(main);
    page = new jobs::SingleOCRWnd();
    page->Create(main->GetHWND(), L"SingleOCRWnd", ui::UI_WNDSTYLE_CHILD, 0);
    page->MoveWindow(1, 94, 1118, 535);
    QCoreApplication::processEvents();
}

PageFixture::~PageFixture() {
    ui::SetMainWindow(nullptr);
    delete page;  // also destroys its window
    delete main;
    jobs::SingleOCRView::SetScreenGrabber({});
    ui::ModalSeam::SetObserver({});
    ui::ModalSeam::Disable();
    QCoreApplication::processEvents();
    // Every layout and image the page uses must load without a warning.
    EXPECT_TRUE(uitest::Warnings().isEmpty()) << uitest::Warnings().join("\n").toStdString();
}

ui::CControlUI* PageFixture::Control(const wchar_t* name) const {
    return page->PaintManager().FindControl(name);
}

bool PageFixture::Visible(const wchar_t* name) const {
    ui::CControlUI* c = Control(name);
    return c != nullptr && c->IsVisible();
}

bool PageFixture::Enabled(const wchar_t* name) const {
    ui::CControlUI* c = Control(name);
    return c != nullptr && c->IsEnabled();
}

bool PageFixture::ViewVisible() const {
    return page->View()->GetHWND() != nullptr && page->View()->GetHWND()->isVisible();
}

bool PageFixture::WaitForMessage(unsigned message, std::chrono::milliseconds within) {
    return WaitFor(
        [&] {
            for (unsigned m : main->messages) {
                if (m == message) {
                    return true;
                }
            }
            return false;
        },
        within);
}

bool StartTesseractService(test::LocalService& service, const std::wstring& root,
                           std::string& error) {
    return service.StartSignedIn(KELSOR_SERVER_EXE, QString::fromStdWString(root).toStdString(),
                                 {"--engine", "tesseract"}, error);
}

std::wstring PageFixture::Folder(const std::wstring& name) const {
    QDir(dir.path()).mkpath(QString::fromStdWString(name));
    return root + name + L"/";
}

}  // namespace kelsor::pagetest

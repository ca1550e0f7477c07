#include "pdf/PdfConverProgram.h"

#include <QApplication>
#include <QFileInfo>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/HttpTransfer.h"
#include "app/TextConv.h"
#include "pdf/CloudRecognizer.h"
#include "pdf/PageProcess.h"
#include "pdf/PdfConverWnd.h"
#include "platform/ui/QtTranslations.h"
#include "platform/ui/UiLib.h"
#include "skin/SkinData.h"
#include "tools/ToolContext.h"

namespace kelsor::pdf {
namespace {

constexpr char kUsage[] =
    "usage: KelsorPDFConver [FILE.pdf...]\n"
    "Opens the PDF converter with the files given in its list. Each PDF becomes a\n"
    "text file, a searchable PDF or both, as chosen in the window; scanned pages are\n"
    "recognised with the KelsorOCR client's sign-in.\n";

}  // namespace

int RunPdfConverter(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], kPageWorkerOption) == 0)
        return RunPageWorker(argc, argv);
    std::setlocale(LC_ALL, "");
    std::vector<std::wstring> files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (argv[i][0] == '-') {
            std::fprintf(stderr, "KelsorPDFConver: unknown option %s\n%s", argv[i], kUsage);
            return 2;
        }
        files.push_back(AnsiToWide(argv[i]));
    }
    InitHttpGlobal();
    tools::BuildToolContext();
    QApplication application(argc, argv);
    ui::InstallQtTranslations(application);
    if (!skin::Install()) {
        std::fprintf(stderr, "KelsorPDFConver: the skin archive cannot be read\n");
        return 1;
    }
    ui::CPaintManagerUI::SetInstance(nullptr);
    // The page processes are this program again.
    PdfConverWnd window(&NewCloudRecognizer, {QCoreApplication::applicationFilePath()});
    window.Create(nullptr, L"KelsorOCR PDF转换器", ui::UI_WNDSTYLE_DIALOG & ~ui::WS_VISIBLE,
                  ui::WS_EX_WINDOWEDGE);
    window.CenterWindow();
    // Relative names as the shell gave them: the list keeps full paths.
    std::vector<std::wstring> absolute;
    for (const std::wstring& file : files)
        absolute.push_back(
            QFileInfo(QString::fromStdWString(file)).absoluteFilePath().toStdWString());
    window.AddFiles(absolute);
    window.ShowModal();
    return 0;
}

}  // namespace kelsor::pdf

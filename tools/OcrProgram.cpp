#include "tools/OcrProgram.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "app/AppContext.h"
#include "app/TextConv.h"
#include "cloud/RecognizePictureText.h"
#include "history/HistoryRecorder.h"
#include "jobs/FileIo.h"
#include "jobs/PictureUtils.h"
#include "jobs/ServicePicture.h"
#include "tools/OcrHistory.h"
#include "tools/OcrOptions.h"
#include "tools/OcrPictures.h"
#include "tools/OcrProgress.h"
#include "tools/OcrSignIn.h"
#include "tools/ToolContext.h"

namespace kelsor::tools {
namespace {

// The work picture being recognised, removed when the run is interrupted.
char g_workPicture[4096];

void RemoveWorkPictureAndExit(int signal) {
    if (g_workPicture[0] != '\0') {
        ::unlink(g_workPicture);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Text for standard output: line ends as on this system, one after the last line.
std::string ForTerminal(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            out += text[i];
        }
    }
    if (out.empty() || out.back() != '\n') {
        out += '\n';
    }
    return out;
}

// The batch task's road: the picture as a JPEG work file, recognised, the
// work file removed.
OcrText Recognise(const std::wstring& picture, int formatType, CodeReading codes) {
    const OcrWorkPicture work;
    if (work.Path().empty()) {
        return {{}, "no work file can be made in " + WideToAnsi(App().dataFolder), {}};
    }
    if (!ConvertPictureToJpeg(100, picture, work.Path())) {
        return {{}, "damaged (the picture cannot be decoded)", {}};
    }
    OcrText result{ReadServicePictureText(formatType, work.Path(), codes), {}, {}};
    if (result.text.empty()) {
        result.failure =
            "recognition failed (no text found, or the OCR service refused the picture)";
    }
    return result;
}

// A picture is one entry; a document is one for each scanned page that was
// recognised (its text layer was no recognition).
void RecordInHistory(history::Recorder& recorder, const std::wstring& path, bool document,
                     const std::wstring& textPath, const OcrText& result) {
    if (!document) {
        if (!result.text.empty()) {
            recorder.Record(history::Road::CommandLine, path, textPath, AnsiToWide(result.text));
        }
        return;
    }
    for (const OcrScannedPage& page : result.scannedPages) {
        history::NewEntry entry;
        entry.road = history::Road::CommandLine;
        entry.source = path;
        entry.textPath = textPath;
        entry.text = AnsiToWide(page.text);
        entry.page = page.number;
        entry.thumbnail = page.thumbnail;
        recorder.Record(entry);
    }
}

int SignIn(std::FILE* err) {
    std::string detail;
    switch (SignInWithSavedSession(detail)) {
        case OcrSignIn::SignedIn:
            return OcrAllRecognised;
        case OcrSignIn::NoSession:
        case OcrSignIn::Refused:
            std::fprintf(err,
                         "kelsor-ocr: not signed in: %s\n"
                         "Sign in in the KelsorOCR desktop client (请登录), then run kelsor-ocr "
                         "again.\n",
                         detail.c_str());
            return OcrNotSignedIn;
        case OcrSignIn::Unreachable:
        case OcrSignIn::NoCloudToken:
            break;
    }
    std::fprintf(err, "kelsor-ocr: %s; no picture was recognised\n", detail.c_str());
    return OcrSomeFailed;
}

}  // namespace

OcrWorkPicture::OcrWorkPicture() {
    std::string name = WideToAnsi(App().dataFolder) + "kelsor-ocr-XXXXXX.jpg";
    if (name.size() >= sizeof g_workPicture) {
        return;
    }
    const int fd = ::mkstemps(name.data(), 4);
    if (fd < 0) {
        return;
    }
    ::close(fd);
    std::strcpy(g_workPicture, name.c_str());
    m_path = AnsiToWide(name);
}

OcrWorkPicture::~OcrWorkPicture() {
    if (!m_path.empty()) {
        g_workPicture[0] = '\0';
        RemoveFile(m_path);
    }
}

int RunOcr(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err,
           OcrDocuments* documents) {
    OcrOptions options;
    std::string error;
    if (!ParseOcrOptions(arguments, options, error)) {
        std::fprintf(err, "kelsor-ocr: %s\nTry 'kelsor-ocr --help'.\n", error.c_str());
        return OcrBadUsage;
    }
    if (options.help) {
        std::fputs(OcrUsageText(), out);
        return OcrAllRecognised;
    }
    if (options.history) {
        BuildToolContext();
        return ListHistory(options.paths, out, err);
    }
    const bool writePdf = !options.pdfOutput.empty();
    if (writePdf && documents == nullptr) {
        std::fprintf(err, "kelsor-ocr: --pdf is not available in this build\n");
        return OcrBadUsage;
    }
    BuildToolContext();
    const auto isDocument = [documents](const std::wstring& path) {
        return documents != nullptr && documents->Takes(path);
    };
    std::vector<OcrPicture> pictures = CollectPictures(options.paths, isDocument);
    if (writePdf) {
        std::vector<std::wstring> inputs;
        for (const OcrPicture& picture : pictures) {
            inputs.push_back(picture.path);
        }
        const std::string refusal = documents->StartPdf(options.pdfOutput, inputs);
        if (!refusal.empty()) {
            std::fprintf(err, "kelsor-ocr: %s: %s\n", options.pdfOutput.c_str(), refusal.c_str());
            return OcrBadUsage;
        }
    }
    if (const int signIn = SignIn(err); signIn != OcrAllRecognised) {
        return signIn;
    }
    std::signal(SIGINT, RemoveWorkPictureAndExit);
    std::signal(SIGTERM, RemoveWorkPictureAndExit);
    std::signal(SIGHUP, RemoveWorkPictureAndExit);

    const int total = static_cast<int>(pictures.size());
    const int formatType = options.editPriority ? EditPriority : FormatPriority;
    const bool readCodes =
        options.readCodes >= 0 ? options.readCodes == 1 : App().readCodes.load() != 0;
    const CodeReading codes = readCodes ? CodeReading::On : CodeReading::Off;
    if (documents != nullptr) {
        documents->SetCodeReading(codes);
    }
    OcrProgress progress(err, total, IsTerminal(err));
    int failed = 0;
    bool anyDocument = writePdf;
    history::Recorder recorder;
    for (int i = 0; i < total; ++i) {
        OcrPicture& picture = pictures[static_cast<std::size_t>(i)];
        progress.Next(i + 1, picture.path);
        OcrText result;
        result.failure = picture.failure;
        if (!result.failure.empty()) {
            // Named below like any other failure.
        } else if (writePdf) {
            result.failure = documents->AddToPdf(picture.path);
        } else if (isDocument(picture.path)) {
            // A document's text may come with the pages that failed named.
            anyDocument = true;
            result = documents->Read(picture.path, formatType);
        } else {
            result = Recognise(picture.path, formatType, codes);
        }
        if (!result.text.empty() && options.writeTxt &&
            !WriteResultTextFile(picture.outputPath, result.text)) {
            result.failure =
                "cannot write " + WideToAnsi(picture.outputPath) + ": " + std::strerror(errno);
            result.text.clear();
        }
        if (!result.failure.empty()) {
            ++failed;
            progress.Failure(picture.path, result.failure);
        }
        if (!options.writeTxt && !result.text.empty()) {
            if (total > 1) {
                std::fprintf(out, "%s==> %s <==\n", i > 0 ? "\n" : "",
                             WideToAnsi(picture.path).c_str());
            }
            std::fputs(ForTerminal(result.text).c_str(), out);
            std::fflush(out);
        }
        RecordInHistory(recorder, picture.path, !writePdf && isDocument(picture.path),
                        options.writeTxt && !result.text.empty() ? picture.outputPath : L"",
                        result);
    }
    progress.Done();
    if (failed > 0 && total > 1) {
        std::fprintf(err, "kelsor-ocr: %d of %d %s failed\n", failed, total,
                     anyDocument ? "files" : "pictures");
    }
    if (writePdf) {
        const std::string failure = documents->FinishPdf();
        if (!failure.empty()) {
            std::fprintf(err, "kelsor-ocr: %s: %s\n", options.pdfOutput.c_str(), failure.c_str());
            return OcrSomeFailed;
        }
    }
    return failed > 0 ? OcrSomeFailed : OcrAllRecognised;
}

}  // namespace kelsor::tools

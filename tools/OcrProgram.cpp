#include "tools/OcrProgram.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "app/AppContext.h"
#include "app/TextConv.h"
#include "cloud/RecognizePictureText.h"
#include "jobs/FileIo.h"
#include "jobs/PictureUtils.h"
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

// A fresh work picture of this run in the data folder: the client's own
// batch tasks name theirs after the picture, which a run beside it must not
// overwrite. Empty when none can be made.
std::wstring MakeWorkPicture() {
    std::string name = WideToAnsi(App().dataFolder) + "kelsor-ocr-XXXXXX.jpg";
    if (name.size() >= sizeof g_workPicture) {
        return {};
    }
    const int fd = ::mkstemps(name.data(), 4);
    if (fd < 0) {
        return {};
    }
    ::close(fd);
    std::strcpy(g_workPicture, name.c_str());
    return AnsiToWide(name);
}

void ForgetWorkPicture(const std::wstring& path) {
    g_workPicture[0] = '\0';
    RemoveFile(path);
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

struct Recognition {
    std::string text;
    std::string failure;
};

// The batch task's road: the picture as a JPEG work file, recognised, the
// work file removed.
Recognition Recognise(const std::wstring& picture, int formatType) {
    const std::wstring work = MakeWorkPicture();
    if (work.empty()) {
        return {{}, "no work file can be made in " + WideToAnsi(App().dataFolder)};
    }
    if (!ConvertPictureToJpeg(100, picture, work)) {
        ForgetWorkPicture(work);
        return {{}, "damaged (the picture cannot be decoded)"};
    }
    Recognition result{RecognizePictureText(formatType, work), {}};
    ForgetWorkPicture(work);
    if (result.text.empty()) {
        result.failure =
            "recognition failed (no text found, or the OCR service refused the picture)";
    }
    return result;
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

int RunOcr(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err) {
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
    BuildToolContext();
    std::vector<OcrPicture> pictures = CollectPictures(options.paths);
    if (const int signIn = SignIn(err); signIn != OcrAllRecognised) {
        return signIn;
    }
    std::signal(SIGINT, RemoveWorkPictureAndExit);
    std::signal(SIGTERM, RemoveWorkPictureAndExit);
    std::signal(SIGHUP, RemoveWorkPictureAndExit);

    const int total = static_cast<int>(pictures.size());
    const int formatType = options.editPriority ? EditPriority : FormatPriority;
    OcrProgress progress(err, total, IsTerminal(err));
    int failed = 0;
    for (int i = 0; i < total; ++i) {
        OcrPicture& picture = pictures[static_cast<std::size_t>(i)];
        progress.Next(i + 1, picture.path);
        Recognition result;
        result.failure = picture.failure;
        if (result.failure.empty()) {
            result = Recognise(picture.path, formatType);
        }
        if (result.failure.empty() && options.writeTxt &&
            !WriteResultTextFile(picture.outputPath, result.text)) {
            result.failure =
                "cannot write " + WideToAnsi(picture.outputPath) + ": " + std::strerror(errno);
        }
        if (!result.failure.empty()) {
            ++failed;
            progress.Failure(picture.path, result.failure);
            continue;
        }
        if (!options.writeTxt) {
            if (total > 1) {
                std::fprintf(out, "%s==> %s <==\n", i > 0 ? "\n" : "",
                             WideToAnsi(picture.path).c_str());
            }
            std::fputs(ForTerminal(result.text).c_str(), out);
            std::fflush(out);
        }
    }
    progress.Done();
    if (failed > 0 && total > 1) {
        std::fprintf(err, "kelsor-ocr: %d of %d pictures failed\n", failed, total);
    }
    return failed > 0 ? OcrSomeFailed : OcrAllRecognised;
}

}  // namespace kelsor::tools

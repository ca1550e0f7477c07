#include "pdf/CloudRecognizer.h"

#include <QDir>
#include <QTemporaryFile>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "app/AppContext.h"
#include "app/TextConv.h"
#include "cloud/RecognizePictureText.h"
#include "jobs/ServicePicture.h"
#include "tools/OcrSignIn.h"

namespace kelsor::pdf {
namespace {

class CloudRecognizer {
public:
    explicit CloudRecognizer(CodeReading codes) : m_codes(codes) {}
    PageRecognition Recognise(const QImage& page);

private:
    enum class SignIn { NotTried, SignedIn, NotSignedIn, Failed };
    SignIn EnsureSignedIn();

    const CodeReading m_codes;
    std::mutex m_mutex;
    SignIn m_signIn = SignIn::NotTried;
};

CloudRecognizer::SignIn CloudRecognizer::EnsureSignedIn() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_signIn != SignIn::NotTried)
        return m_signIn;
    std::string detail;
    switch (tools::SignInWithSavedSession(detail)) {
        case tools::OcrSignIn::SignedIn:
            m_signIn = SignIn::SignedIn;
            break;
        case tools::OcrSignIn::NoSession:
        case tools::OcrSignIn::Refused:
            m_signIn = SignIn::NotSignedIn;
            break;
        case tools::OcrSignIn::Unreachable:
        case tools::OcrSignIn::NoCloudToken:
            m_signIn = SignIn::Failed;
            break;
    }
    // Said once a run, not with every scanned page.
    if (m_signIn != SignIn::SignedIn)
        std::fprintf(stderr, "KelsorPDFConver: %s\n", detail.c_str());
    return m_signIn;
}

PageRecognition CloudRecognizer::Recognise(const QImage& page) {
    switch (EnsureSignedIn()) {
        case SignIn::SignedIn:
            return RecognisePageWithCodes(page, m_codes);
        case SignIn::NotSignedIn:
            return {PageRecognition::Status::NotSignedIn, {}, {}};
        default:
            return {PageRecognition::Status::Failed, {}, {}};
    }
}

// The upright box around a line's four corners; empty when it has none.
QRectF BoxOf(const PlacedLine& line) {
    if (!line.placed)
        return {};
    double left = line.location[0][0], right = left;
    double top = line.location[0][1], bottom = top;
    for (const auto& [x, y] : line.location) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
    }
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

}  // namespace

PageRecognition RecognisePage(const QImage& page) {
    return RecognisePageWithCodes(page, CodeReading::Off);
}

PageRecognition RecognisePageWithCodes(const QImage& page, CodeReading codes) {
    PageRecognition result;
    // The work picture lives only as long as this call.
    QTemporaryFile work(QDir::tempPath() + QStringLiteral("/kelsor-pdf-XXXXXX.jpg"));
    if (!work.open() || !page.save(&work, "JPEG", 92) || !work.flush())
        return result;
    // The picture keeps the rendered page's size, so the boxes are in its pixels.
    const auto lines = ReadServicePictureLines(work.fileName().toStdWString(), codes);
    if (!lines)
        return result;  // not "nothing found": the page was never read
    result.status = PageRecognition::Status::Recognised;
    for (const PlacedLine& line : *lines) {
        std::string words = AnsiToUtf8(line.words);
        // As the text of a picture: empty lines before the first add nothing.
        result.text = result.text.empty() ? words : result.text + "\n" + words;
        result.lines.push_back({std::move(words), BoxOf(line)});
    }
    return result;
}

PageRecognizer NewCloudRecognizer() {
    auto recognizer = std::make_shared<CloudRecognizer>(
        App().readCodes.load() != 0 ? CodeReading::On : CodeReading::Off);
    return [recognizer](const QImage& page) { return recognizer->Recognise(page); };
}

}  // namespace kelsor::pdf

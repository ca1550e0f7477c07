#include "pdf/CloudRecognizer.h"

#include <QDir>
#include <QTemporaryFile>

#include "app/TextConv.h"
#include "cloud/RecognizePictureText.h"
#include "tools/OcrSignIn.h"

namespace kelsor::pdf {

CloudRecognizer::SignIn CloudRecognizer::EnsureSignedIn() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_signIn != SignIn::NotTried)
        return m_signIn;
    switch (tools::SignInWithSavedSession(m_detail)) {
        case tools::OcrSignIn::SignedIn:
            m_detail.clear();
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
    return m_signIn;
}

std::string CloudRecognizer::SignInDetail() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_detail;
}

PageRecognition RecognisePage(const QImage& page) {
    PageRecognition result;
    // The work picture lives only as long as this call.
    QTemporaryFile work(QDir::tempPath() + QStringLiteral("/kelsor-pdf-XXXXXX.jpg"));
    if (!work.open() || !page.save(&work, "JPEG", 92) || !work.flush())
        return result;
    const std::string text = RecognizePictureText(FormatPriority, work.fileName().toStdWString());
    result.status = PageRecognition::Status::Recognised;
    result.text = AnsiToUtf8(text);
    return result;
}

PageRecognition CloudRecognizer::Recognise(const QImage& page) {
    switch (EnsureSignedIn()) {
        case SignIn::SignedIn:
            return RecognisePage(page);
        case SignIn::NotSignedIn:
            return {PageRecognition::Status::NotSignedIn, {}};
        default:
            return {PageRecognition::Status::Failed, {}};
    }
}

}  // namespace kelsor::pdf

#pragma once

#include <mutex>
#include <string>

#include "pdf/PdfToText.h"

// Scanned pages go through the client's own recognition road: the client's
// saved session signs in (once, with the first scanned page of a run), the
// identity token it brings is used for every page, and each page is sent as
// a JPEG picture like the client's own pictures.
namespace kelsor::pdf {

// One page through the recognition road of a process that is signed in
// already: the page as a JPEG work file, RecognizePictureText, the work file
// removed. Failed when the picture cannot be written.
PageRecognition RecognisePage(const QImage& page);

class CloudRecognizer {
public:
    // One per run of conversions: a run signs in at most once.
    PageRecognition Recognise(const QImage& page);

    // What the sign-in said when it did not sign in (for the log); empty
    // while signed in or not tried.
    std::string SignInDetail() const;

private:
    enum class SignIn { NotTried, SignedIn, NotSignedIn, Failed };
    SignIn EnsureSignedIn();

    mutable std::mutex m_mutex;
    SignIn m_signIn = SignIn::NotTried;
    std::string m_detail;
};

}  // namespace kelsor::pdf

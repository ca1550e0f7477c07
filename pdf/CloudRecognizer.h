#pragma once

#include "pdf/PdfToText.h"

// Scanned pages go through the client's own recognition road: the client's
// saved session signs in (once, with the first scanned page of a run), the
// identity token it brings is used for every page, and each page is sent as
// a JPEG picture like the client's own pictures.
namespace kelsor::pdf {

// One page through the recognition road of a process that is signed in
// already: the page as a JPEG work file, RecognizeServicePictureLines, the work file
// removed. Failed when the picture cannot be written.
PageRecognition RecognisePage(const QImage& page);

// A recognizer for one run of conversions: it signs in with the client's
// saved session at its first page (once; a sign-in that fails is said once
// on standard error), then recognises every page with RecognisePage.
PageRecognizer NewCloudRecognizer();

}  // namespace kelsor::pdf

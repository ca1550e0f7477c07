#pragma once

#include "jobs/ServicePicture.h"
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
// RecognisePage with the page's QR codes and barcodes read as `codes` says:
// each one a line of its own over the code.
PageRecognition RecognisePageWithCodes(const QImage& page, CodeReading codes);

// A recognizer for one run of conversions: it signs in with the client's
// saved session at its first page (once; a sign-in that fails is said once
// on standard error), then recognises every page with
// RecognisePageWithCodes, reading codes as the user's switch says when the
// recognizer is made.
PageRecognizer NewCloudRecognizer();

}  // namespace kelsor::pdf

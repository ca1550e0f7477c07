#pragma once

// KelsorPDFConver: the converter's window, with the PDF files named on the
// command line already in its list.
namespace kelsor::pdf {

int RunPdfConverter(int argc, char** argv);

}  // namespace kelsor::pdf

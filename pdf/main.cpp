// KelsorPDFConver: turns PDF files into text, text layers directly and
// scanned pages through the recognition service.
#include "pdf/PdfConverProgram.h"

int main(int argc, char** argv) {
    return kelsor::pdf::RunPdfConverter(argc, argv);
}

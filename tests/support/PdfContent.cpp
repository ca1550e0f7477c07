#include "PdfContent.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

namespace kelsor::test {

std::vector<std::string> ContentStreams(const std::string& path, int page) {
    QPDF pdf;
    pdf.processFile(path.c_str());
    std::vector<std::string> streams;
    for (QPDFObjectHandle& stream : QPDFPageDocumentHelper(pdf)
                                        .getAllPages()
                                        .at(static_cast<std::size_t>(page))
                                        .getPageContents()) {
        const std::shared_ptr<Buffer> data = stream.getRawStreamData();
        streams.emplace_back(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
    }
    return streams;
}

}  // namespace kelsor::test

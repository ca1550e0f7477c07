#include "pdf/SearchableBook.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace kelsor::pdf {
namespace {

std::string Points(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", value);
    return text;
}

}  // namespace

double PicturePageDpi(double declaredDpi, QSize pixels) {
    double dpi = declaredDpi >= kPictureMinDpi && declaredDpi <= kPictureMaxDpi
                     ? declaredDpi
                     : kPictureDefaultDpi;
    const double side = std::max(pixels.width(), pixels.height());
    return std::max(dpi, side * 72.0 / kMaxPagePoints);
}

struct SearchableBook::Parts {
    Parts() {
        pdf.emptyPDF();
        text = std::make_unique<TextLayers>(pdf);
    }
    std::vector<QPDFPageObjectHelper> Pages() { return QPDFPageDocumentHelper(pdf).getAllPages(); }

    QPDF pdf;
    std::unique_ptr<TextLayers> text;
    // Copied pages take their streams from their files when the book is
    // written.
    std::vector<std::unique_ptr<QPDF>> sources;
};

SearchableBook::SearchableBook() : m_parts(std::make_unique<Parts>()) {}
SearchableBook::~SearchableBook() = default;

PdfFailure SearchableBook::AddPdf(const QString& path, int pageCount, int& firstPage) {
    auto source = std::make_unique<QPDF>();
    const PdfFailure failure = OpenForRewriting(*source, path);
    if (failure != PdfFailure::None)
        return failure;
    firstPage = PageCount();
    try {
        const std::vector<QPDFPageObjectHelper> pages =
            QPDFPageDocumentHelper(*source).getAllPages();
        if (pages.empty())
            return PdfFailure::NoPages;
        if (pages.size() > static_cast<std::size_t>(kMaxPages))
            return PdfFailure::TooManyPages;
        // Two readers that count the pages of a broken tree differently
        // would put the text on the wrong pages.
        if (pages.size() != static_cast<std::size_t>(pageCount))
            return PdfFailure::Damaged;
        QPDFPageDocumentHelper book(m_parts->pdf);
        for (const QPDFPageObjectHelper& page : pages)
            book.addPage(page, false);
    } catch (const std::exception&) {
        // A page tree that breaks half way: the pages it gave go again.
        std::vector<QPDFPageObjectHelper> pages = m_parts->Pages();
        QPDFPageDocumentHelper book(m_parts->pdf);
        for (std::size_t i = static_cast<std::size_t>(PageCount());
             i-- > static_cast<std::size_t>(firstPage);)
            book.removePage(pages[i]);
        return PdfFailure::Damaged;
    }
    m_parts->sources.push_back(std::move(source));
    return PdfFailure::None;
}

int SearchableBook::AddPicture(std::string jpeg, QSize pixels, bool grey, double dpi) {
    QPDF& pdf = m_parts->pdf;
    QPDFObjectHandle image = QPDFObjectHandle::newStream(&pdf);
    QPDFObjectHandle dictionary = image.getDict();
    dictionary.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dictionary.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    dictionary.replaceKey("/Width", QPDFObjectHandle::newInteger(pixels.width()));
    dictionary.replaceKey("/Height", QPDFObjectHandle::newInteger(pixels.height()));
    dictionary.replaceKey("/ColorSpace",
                          QPDFObjectHandle::newName(grey ? "/DeviceGray" : "/DeviceRGB"));
    dictionary.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
    // The picture as it was recognised, not encoded again.
    image.replaceStreamData(jpeg, QPDFObjectHandle::newName("/DCTDecode"),
                            QPDFObjectHandle::newNull());

    const double width = pixels.width() * 72.0 / dpi;
    const double height = pixels.height() * 72.0 / dpi;
    QPDFObjectHandle content = QPDFObjectHandle::newStream(
        &pdf, "q " + Points(width) + " 0 0 " + Points(height) + " 0 0 cm /Im0 Do Q\n");
    QPDFObjectHandle page = QPDFObjectHandle::parse("<< /Type /Page /Resources << >> >>");
    page.replaceKey("/MediaBox",
                    QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(0, 0, width, height)));
    QPDFObjectHandle pictures = QPDFObjectHandle::newDictionary();
    pictures.replaceKey("/Im0", image);
    page.getKey("/Resources").replaceKey("/XObject", pictures);
    page.replaceKey("/Contents", content);
    QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
    return PageCount() - 1;
}

void SearchableBook::AddLayer(const PageTextLayer& layer) {
    std::vector<QPDFPageObjectHelper> pages = m_parts->Pages();
    if (layer.page >= 0 && layer.page < static_cast<int>(pages.size()))
        m_parts->text->Add(pages[static_cast<std::size_t>(layer.page)], layer);
}

int SearchableBook::PageCount() const {
    return static_cast<int>(m_parts->Pages().size());
}

bool SearchableBook::Write(const QString& target) {
    if (PageCount() == 0)
        return false;
    try {
        return m_parts->text->Write(target);
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace kelsor::pdf

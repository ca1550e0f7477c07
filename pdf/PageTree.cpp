#include "pdf/PageTree.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <algorithm>

namespace kelsor::pdf {
namespace {

// A node being walked: its kids and the next one to look at.
struct Node {
    QPDFObjectHandle kids;
    int next = 0;
    QPDFObjGen id;
};

// The root's /Count as Poppler takes it: 0 when it is no number, not above
// 0, or more than the file has objects.
int DeclaredCount(QPDF& pdf, QPDFObjectHandle root) {
    QPDFObjectHandle count = root.getKey("/Count");
    if (!count.isNumber())
        return 0;
    const double value = count.getNumericValue();
    if (!(value >= 1) || value > static_cast<double>(pdf.getObjectCount()))
        return 0;
    return static_cast<int>(value);
}

}  // namespace

std::vector<QPDFObjGen> PopplerPageOrder(QPDF& pdf) {
    std::vector<QPDFObjGen> pages;
    QPDFObjectHandle root = pdf.getRoot().getKey("/Pages");
    if (!root.isIndirect() || !root.isDictionary())
        return pages;
    const auto count = static_cast<std::size_t>(DeclaredCount(pdf, root));
    std::vector<Node> path = {{root.getKey("/Kids"), 0, root.getObjGen()}};
    // A tree whose nodes share kids could be walked for ever.
    for (std::size_t steps = 0; !path.empty() && pages.size() < count; ++steps) {
        if (steps > 64 * (pdf.getObjectCount() + 1))
            return {};
        Node& node = path.back();
        if (!node.kids.isArray())
            break;
        if (node.next >= node.kids.getArrayNItems()) {
            path.pop_back();
            continue;
        }
        QPDFObjectHandle kid = node.kids.getArrayItem(node.next++);
        if (!kid.isIndirect())
            break;
        const QPDFObjGen id = kid.getObjGen();
        const bool loops = std::any_of(path.begin(), path.end(), [&](const Node& above) {
            return above.id.getObj() == id.getObj();
        });
        if (loops || !kid.isDictionary())
            continue;
        if (kid.getKey("/Type").isNameAndEquals("/Page") || !kid.hasKey("/Kids"))
            pages.push_back(id);
        else
            path.push_back({kid.getKey("/Kids"), 0, id});
    }
    return pages;
}

bool ReadersAgreeOnPages(QPDF& pdf) {
    const std::vector<QPDFObjGen> drawn = PopplerPageOrder(pdf);
    std::vector<QPDFObjGen> written;
    for (const QPDFPageObjectHelper& page : QPDFPageDocumentHelper(pdf).getAllPages())
        written.push_back(page.getObjectHandle().getObjGen());
    return drawn == written;
}

}  // namespace kelsor::pdf

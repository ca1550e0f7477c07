#pragma once

#include <qpdf/QPDFObjGen.hh>

#include <vector>

class QPDF;

// Poppler, which draws the pages, and qpdf, which writes the searchable
// copy, each walk a page tree their own way. On a broken tree (a page node
// that also has kids, a page with an empty /Kids) they list different page
// objects, and a text layer made from one page's picture would go on
// another page.
namespace kelsor::pdf {

// The page objects Poppler draws, in its order: a kid is a page when its
// /Type is /Page or it has no /Kids, else a node whose kids are walked; a
// kid that is not an indirect object ends the walk, one that is not a
// dictionary or loops back to a node above it is passed over; no more pages
// than the root's /Count. Empty for a tree Poppler cannot walk at all.
std::vector<QPDFObjGen> PopplerPageOrder(QPDF& pdf);

// Whether qpdf's pages of `pdf` are the page objects Poppler draws, in the
// same order. Ask before anything else asks qpdf for its pages: qpdf mends a
// broken tree as it reads it.
bool ReadersAgreeOnPages(QPDF& pdf);

}  // namespace kelsor::pdf

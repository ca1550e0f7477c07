#pragma once

#include <string>
#include <vector>

// What qpdf reads of a PDF file, for tests that compare written pages with
// their originals.
namespace kelsor::test {

// The raw (still encoded) data of the content streams of page `page` (from 0).
std::vector<std::string> ContentStreams(const std::string& path, int page = 0);

}  // namespace kelsor::test

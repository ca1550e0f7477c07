#include "server/account/PageTemplate.h"

#include <regex>

#include "server/account/CompanionInstaller.h"

namespace kelsor::server::account {
namespace {

// Part names are plain file names: no folder can be named through them.
const std::regex kPartLine(R"re(<!--#part "([A-Za-z0-9_-]+\.html)"((?: [a-z]+="[^"]*")*) -->)re");
const std::regex kArgument(R"re( ([a-z]+)="([^"]*)")re");

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

std::optional<std::string> Part(const std::string& partsFolder, const std::smatch& line) {
    std::string text, error;
    if (!ReadWholeFile(partsFolder + line[1].str(), text, error)) {
        return std::nullopt;
    }
    const std::string arguments = line[2].str();
    for (std::sregex_iterator it(arguments.begin(), arguments.end(), kArgument), end; it != end;
         ++it) {
        ReplaceAll(text, "{{" + (*it)[1].str() + "}}", (*it)[2].str());
    }
    // A part ends its own last line; the line it replaces ends too.
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

}  // namespace

std::optional<std::string> AssemblePage(const std::string& wwwFolder, const std::string& page) {
    std::string text, error;
    if (!ReadWholeFile(wwwFolder + "/pages/" + page, text, error)) {
        return std::nullopt;
    }
    std::string out;
    auto from = text.cbegin();
    std::smatch line;
    while (std::regex_search(from, text.cend(), line, kPartLine)) {
        const std::optional<std::string> part = Part(wwwFolder + "/parts/", line);
        if (!part) {
            return std::nullopt;
        }
        out.append(from, line[0].first).append(*part);
        from = line[0].second;
    }
    out.append(from, text.cend());
    // A part line that did not parse would reach the browser as a comment.
    if (out.find("<!--#part") != std::string::npos) {
        return std::nullopt;
    }
    return out;
}

}  // namespace kelsor::server::account

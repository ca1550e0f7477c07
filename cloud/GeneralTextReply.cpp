#include "cloud/GeneralText.h"

#include "cloud/RecognizePictureText.h"

#include <json/value.h>

#include <array>
#include <cmath>
#include <vector>

#include "app/JsonText.h"
#include "cloud/LineJoin.h"

namespace kelsor {
namespace {

// Four corners of two finite numbers each; anything else leaves the line
// without a place.
bool ReadLocation(const Json::Value& value, std::array<std::array<double, 2>, 4>& corners) {
    if (!value.isArray() || value.size() != 4) {
        return false;
    }
    for (Json::ArrayIndex i = 0; i < 4; ++i) {
        const Json::Value& corner = value[i];
        if (!corner.isArray() || corner.size() != 2 || !corner[0].isNumeric() ||
            !corner[1].isNumeric()) {
            return false;
        }
        corners[i] = {corner[0].asDouble(), corner[1].asDouble()};
        if (!std::isfinite(corners[i][0]) || !std::isfinite(corners[i][1])) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool ParseGeneralTextLines(std::vector<PlacedLine>& lines, const std::string& envelope) {
    Json::Value root;
    if (!ParseJsonObject(envelope, root)) {
        return false;
    }
    const Json::Value& status = JsonMember(root, "status");
    if (!status.isInt() || status.asInt() != 200) {
        return false;
    }
    const Json::Value& list =
        JsonMember(JsonMember(JsonMember(root, "response body"), "result"), "words_block_list");
    lines.clear();
    if (list.isArray() || list.isObject()) {
        for (const Json::Value& block : list) {
            const Json::Value& wordsValue = JsonMember(block, "words");
            PlacedLine& line = lines.emplace_back();
            line.words = wordsValue.isString() ? wordsValue.asString() : "";
            line.placed = ReadLocation(JsonMember(block, "location"), line.location);
        }
    }
    return true;
}

bool ParseGeneralTextReply(int formatType, std::string& text, const std::string& envelope) {
    std::vector<PlacedLine> lines;
    if (!ParseGeneralTextLines(lines, envelope)) {
        return false;
    }
    lines.insert(lines.begin(), PlacedLine{text});
    text = JoinRecognisedLines(formatType, lines);
    return true;
}

std::string JoinRecognisedLines(int formatType, const std::vector<PlacedLine>& lines) {
    if (formatType != FormatPriority) {
        return JoinEditParagraphs(lines);
    }
    std::string text;
    for (const PlacedLine& line : lines) {
        // Empty words before the first line add nothing; later ones keep
        // their separator.
        text = text.empty() ? line.words : text + "\r\n" + line.words;
    }
    return text;
}

}  // namespace kelsor

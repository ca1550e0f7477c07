#include "cloud/GeneralText.h"

#include "cloud/RecognizePictureText.h"

#include <json/value.h>

#include <vector>

#include "app/JsonText.h"
#include "cloud/LineJoin.h"

namespace kelsor {

bool ParseGeneralTextReply(int formatType, std::string& text, const std::string& envelope) {
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
    std::vector<std::string> lines;
    if (list.isArray() || list.isObject()) {
        for (const Json::Value& block : list) {
            const Json::Value& wordsValue = JsonMember(block, "words");
            lines.push_back(wordsValue.isString() ? wordsValue.asString() : "");
        }
    }
    if (formatType != FormatPriority) {
        lines.insert(lines.begin(), text);
        text = JoinEditLines(lines);
        return true;
    }
    for (const std::string& words : lines) {
        // Empty words before the first line add nothing; later ones keep
        // their separator.
        text = text.empty() ? words : text + "\r\n" + words;
    }
    return true;
}

}  // namespace kelsor

#include "cloud/GeneralText.h"

#include "cloud/RecognizePictureText.h"

#include <json/value.h>

#include "app/JsonText.h"

namespace kelsor {

bool ParseGeneralTextReply(int formatType, std::string& text, const std::string& envelope) {
    const std::string separator = formatType == FormatPriority ? "\r\n" : "";
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
    if (list.isArray() || list.isObject()) {
        for (const Json::Value& block : list) {
            const Json::Value& wordsValue = JsonMember(block, "words");
            const std::string words = wordsValue.isString() ? wordsValue.asString() : "";
            // Empty words before the first line add nothing; later ones keep
            // their separator.
            text = text.empty() ? words : text + separator + words;
        }
    }
    return true;
}

}  // namespace kelsor

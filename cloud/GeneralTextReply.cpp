#include "cloud/GeneralText.h"

#include "cloud/RecognizePictureText.h"

#include <json/value.h>

#include "app/JsonText.h"

namespace kelsor {
namespace {

// Missing members, and members of anything but an object, read as null.
const Json::Value& Member(const Json::Value& value, const char* key) {
    static const Json::Value null;
    if (!value.isObject()) {
        return null;
    }
    const Json::Value* found = value.find(key, key + std::char_traits<char>::length(key));
    return found != nullptr ? *found : null;
}

}  // namespace

bool ParseGeneralTextReply(int formatType, std::string& text, const std::string& envelope) {
    const std::string separator = formatType == FormatPriority ? "\r\n" : "";
    Json::Value root;
    if (!ParseJsonObject(envelope, root)) {
        return false;
    }
    const Json::Value& status = Member(root, "status");
    if (!status.isInt() || status.asInt() != 200) {
        return false;
    }
    const Json::Value& list =
        Member(Member(Member(root, "response body"), "result"), "words_block_list");
    if (list.isArray() || list.isObject()) {
        for (const Json::Value& block : list) {
            const Json::Value& wordsValue = Member(block, "words");
            const std::string words = wordsValue.isString() ? wordsValue.asString() : "";
            // Empty words before the first line add nothing; later ones keep
            // their separator.
            text = text.empty() ? words : text + separator + words;
        }
    }
    return true;
}

}  // namespace kelsor

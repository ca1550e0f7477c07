#include "cloud/GeneralText.h"

#include "cloud/RecognizePictureText.h"

#include <json/reader.h>
#include <json/value.h>

#include <memory>

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
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    try {
        if (!reader->parse(envelope.data(), envelope.data() + envelope.size(), &root, &errors)) {
            return false;
        }
    } catch (const std::exception&) {
        return false;  // nested deeper than the reader allows
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

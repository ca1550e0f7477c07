#include "app/JsonText.h"

#include <json/reader.h>

#include <exception>
#include <memory>

namespace kelsor {

bool ParseJsonObject(const std::string& text, Json::Value& root) {
    if (text.empty() || text.front() != '{') {
        return false;
    }
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    // Deep enough for every real record, shallow enough that the reader's
    // recursion and the value's destruction stay far from the stack's end.
    builder["stackLimit"] = 200;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value parsed;
    std::string errors;
    try {
        if (!reader->parse(text.data(), text.data() + text.size(), &parsed, &errors) ||
            !parsed.isObject()) {
            return false;
        }
    } catch (const std::exception&) {
        return false;  // e.g. nested beyond the reader's stack limit
    }
    root = std::move(parsed);
    return true;
}

const Json::Value& JsonMember(const Json::Value& value, const char* key) {
    static const Json::Value null;
    // operator[] on a non-object throws in jsoncpp, so test the type first.
    if (!value.isObject()) {
        return null;
    }
    const Json::Value* member = value.find(key, key + std::char_traits<char>::length(key));
    return member != nullptr ? *member : null;
}

std::string StringMember(const Json::Value& object, const char* key) {
    const Json::Value& member = JsonMember(object, key);
    return member.isString() ? member.asString() : std::string();
}

}  // namespace kelsor

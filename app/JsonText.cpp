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

std::string StringMember(const Json::Value& object, const char* key) {
    // operator[] on a non-object throws in jsoncpp, so test the type first.
    if (!object.isObject()) {
        return {};
    }
    const Json::Value* member = object.find(key, key + std::char_traits<char>::length(key));
    if (!member || !member->isString()) {
        return {};
    }
    return member->asString();
}

}  // namespace kelsor

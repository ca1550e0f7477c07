#pragma once

#include <httplib.h>
#include <json/reader.h>
#include <json/value.h>
#include <json/writer.h>

#include <memory>
#include <string>

// Small helpers of the account service tests.
namespace kelsor::testing {

inline Json::Value ParseJson(const std::string& text) {
    Json::Value value;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::unique_ptr<Json::CharReader>(builder.newCharReader())
        ->parse(text.data(), text.data() + text.size(), &value, &errors);
    return value;
}

inline std::string CompactJson(const Json::Value& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    return Json::writeString(builder, value);
}

// The members the client reads from a user record, all strings.
inline bool IsUserRecord(const Json::Value& record) {
    for (const char* key : {"sp", "userid", "nickname", "mobile", "avatar", "hwusername",
                            "hwpassword", "hwdomainname", "hwregion", "token"}) {
        if (!record[key].isString()) {
            return false;
        }
    }
    return record["sp"].asString() == "1.0";
}

}  // namespace kelsor::testing

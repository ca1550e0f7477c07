#include "companion/SoftwareInfo.h"

#include <json/reader.h>
#include <json/value.h>

#include <memory>

#include "app/TextConv.h"

namespace kelsor {
namespace {

std::wstring StringMember(const Json::Value& object, const char* key) {
    // jsoncpp throws on member access into a non-object, so test first.
    if (!object.isObject()) {
        return {};
    }
    const Json::Value* member = object.find(key, key + std::char_traits<char>::length(key));
    return member && member->isString() ? AnsiToWide(member->asString()) : std::wstring();
}

}  // namespace

SoftwareInfo& CurrentSoftwareInfo() {
    static SoftwareInfo info;
    return info;
}

int ParseSoftwareInfo(const std::wstring& text, SoftwareInfo& info) {
    std::string ansi = WideToAnsi(text);
    if (ansi.empty() || ansi.front() != '{') {
        return 1;
    }
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    if (!reader->parse(ansi.data(), ansi.data() + ansi.size(), &root, &errors) ||
        !root.isObject()) {
        return 1;
    }
    if (StringMember(root, "code") != L"200") {
        return 2;
    }
    const Json::Value* data = root.find("data", "data" + 4);
    const Json::Value empty;
    const Json::Value& record = data ? *data : empty;
    if (StringMember(record, "sp") != L"1.0") {
        return 3;
    }
    info.sp = L"1.0";
    info.name = StringMember(record, "pdfname");
    info.parameters = StringMember(record, "pdfparam");
    info.downloadUrl = StringMember(record, "pdfdlurl");
    info.digest = StringMember(record, "pdfmd5");
    return 0;
}

}  // namespace kelsor

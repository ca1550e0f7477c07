#include "companion/SoftwareInfo.h"

#include <json/value.h>

#include "app/JsonText.h"
#include "app/TextConv.h"

namespace kelsor {
namespace {

std::wstring WideMember(const Json::Value& object, const char* key) {
    return AnsiToWide(StringMember(object, key));
}

}  // namespace

SoftwareInfo& CurrentSoftwareInfo() {
    static SoftwareInfo info;
    return info;
}

int ParseSoftwareInfo(const std::wstring& text, SoftwareInfo& info) {
    Json::Value root;
    if (!ParseJsonObject(WideToAnsi(text), root)) {
        return 1;
    }
    if (StringMember(root, "code") != "200") {
        return 2;
    }
    const Json::Value* data = root.find("data", "data" + 4);
    const Json::Value empty;
    const Json::Value& record = data ? *data : empty;
    if (StringMember(record, "sp") != "1.0") {
        return 3;
    }
    info.sp = L"1.0";
    info.name = WideMember(record, "pdfname");
    info.parameters = WideMember(record, "pdfparam");
    info.downloadUrl = WideMember(record, "pdfdlurl");
    info.digest = WideMember(record, "pdfmd5");
    return 0;
}

}  // namespace kelsor

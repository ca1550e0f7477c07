// libFuzzer target over the updater's reading of the version check's reply:
// the service reply check, then the offer. Run with
// scripts/fuzz.sh tools_updatereply_fuzzer.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/ToolHttp.h"
#include "tools/UpdateCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Json::Value reply;
    std::string error;
    kelsor::tools::UpdateOffer offer;
    if (!kelsor::tools::ReadServiceReply(200, text, reply, error) ||
        !kelsor::tools::ReadUpdateOffer(reply, offer, error)) {
        return 0;
    }
    const std::wstring& name = offer.fileName;
    const bool package = !offer.downloadUrl.empty();
    // A download is offered only as a plain .deb name within the size cap.
    if (offer.version.empty() ||
        (package && (name.size() < 5 || name.compare(name.size() - 4, 4, L".deb") != 0 ||
                     name.find(L'/') != std::wstring::npos || offer.size == 0 ||
                     offer.size > kelsor::tools::kMaxPackageBytes))) {
        __builtin_trap();
    }
    return 0;
}

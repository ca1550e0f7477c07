// libFuzzer target over the recognition reply parser. The first byte picks
// the layout and whether the input is a whole envelope or the service's body,
// which the request wraps into {"status":200,"response body":<body>} as it
// does with every reply; the rest goes through the UTF-8 to code-page step
// the reply takes before parsing. Run with scripts/fuzz.sh cloud_reply_fuzzer.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/TextConv.h"
#include "cloud/GeneralText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const int formatType = data[0] & 1;
    const bool wrap = (data[0] & 2) != 0;
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string envelope = wrap ? "{\"status\":200,\"response body\":" + input + "}" : input;
    std::string text;
    const bool ok = kelsor::ParseGeneralTextReply(formatType, text, kelsor::Utf8ToAnsi(envelope));
    if (!ok && !text.empty()) {
        __builtin_trap();  // a refused reply never yields text
    }
    return 0;
}

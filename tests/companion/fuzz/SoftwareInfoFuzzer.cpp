// libFuzzer target over the software-information reply parser that the
// converter worker runs on the account service's answer. Run with
// scripts/fuzz.sh companion_softwareinfo_fuzzer.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/TextConv.h"
#include "companion/SoftwareInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text =
        kelsor::AnsiToWide(std::string_view(reinterpret_cast<const char*>(data), size));
    kelsor::SoftwareInfo info;
    info.name = L"untouched";
    const int result = kelsor::ParseSoftwareInfo(text, info);
    if ((result == 0 && info.sp != L"1.0") || (result != 0 && info.name != L"untouched")) {
        __builtin_trap();  // a refused reply leaves the record as it was
    }
    return 0;
}

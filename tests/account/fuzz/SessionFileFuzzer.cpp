// libFuzzer target over the session-file decoder: Base64, AES-256-CBC with
// its padding, then the JSON record, read through ReadSessionFile from a real
// file. With an even first byte the rest is the file as it lies on disk; with
// an odd one the rest is a plaintext that is encrypted first, so that the
// JSON stage sees every input. Run with scripts/fuzz.sh account_session_fuzzer.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "account/SessionFile.h"

namespace {

const std::string& FilePath() {
    // Shared memory keeps the many small writes off the disk.
    static const std::string path =
        std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "/tmp/") +
        "kelsor-fuzz-session-" + std::to_string(getpid());
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string content = (data[0] & 1) != 0 ? kelsor::EncryptSessionText(rest) : rest;
    std::FILE* f = std::fopen(FilePath().c_str(), "wb");
    if (f == nullptr) {
        return 0;
    }
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
    const std::wstring path(FilePath().begin(), FilePath().end());
    std::wstring userid;
    std::wstring token;
    if (kelsor::ReadSessionFile(path, userid, token) && (userid.empty() || token.empty())) {
        __builtin_trap();  // a session is read only with both values
    }
    return 0;
}

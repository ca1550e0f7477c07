// libFuzzer target over the picture check, the JPEG conversion and the size
// text. Each input is written to a file named ".jpg" (so a PNG or any other
// picture arrives misnamed, as users' files do) and run through all three.
//
// Build and run: scripts/fuzz.sh jobs_picture_fuzzer [seconds].
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "jobs/PictureUtils.h"

namespace {

struct Paths {
    std::wstring input;
    std::wstring output;
    std::string narrowInput;
};

const Paths& FuzzPaths() {
    static const Paths paths = [] {
        // Shared memory keeps the many small writes off the disk.
        const std::string folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "/tmp/";
        const std::string stem = folder + "kelsor-fuzz-" + std::to_string(getpid());
        Paths p;
        p.narrowInput = stem + "-in.jpg";
        p.input = std::wstring(p.narrowInput.begin(), p.narrowInput.end());
        const std::string out = stem + "-out.jpg";
        p.output = std::wstring(out.begin(), out.end());
        return p;
    }();
    return paths;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Paths& paths = FuzzPaths();
    std::FILE* f = std::fopen(paths.narrowInput.c_str(), "wb");
    if (f == nullptr) {
        return 0;
    }
    if (size > 0) {
        std::fwrite(data, 1, size, f);
    }
    std::fclose(f);

    const int check = kelsor::CheckPictureFile(paths.input);
    if (check != 1 && check != -2) {
        __builtin_trap();  // a ".jpg" name is never refused for its extension
    }
    const std::wstring sizeText = kelsor::GetPictureSizeText(paths.input);
    const bool converted = kelsor::ConvertPictureToJpeg(100, paths.input, paths.output);
    // A picture that converts has a size, and one that fails the check never
    // converts.
    if (converted && (sizeText.empty() || check != 1)) {
        __builtin_trap();
    }
    return 0;
}

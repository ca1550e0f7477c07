#include "jobs/ImagingLibrary.h"

#include <FreeImage.h>

#include <algorithm>
#include <iterator>
#include <mutex>

namespace kelsor {

void InitImagingLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        FreeImage_Initialise(FALSE);
        const FREE_IMAGE_FORMAT wanted[] = {FIF_BMP, FIF_JPEG, FIF_PNG, FIF_GIF, FIF_TIFF, FIF_ICO};
        for (int i = 0; i < FreeImage_GetFIFCount(); ++i) {
            const auto fif = static_cast<FREE_IMAGE_FORMAT>(i);
            const bool enable =
                std::find(std::begin(wanted), std::end(wanted), fif) != std::end(wanted);
            FreeImage_SetPluginEnabled(fif, enable ? TRUE : FALSE);
        }
    });
}

}  // namespace kelsor

#include "jobs/BatchFileItem.h"

namespace kelsor {

std::wstring& BatchSourceFolder() {
    static std::wstring folder;
    return folder;
}

}  // namespace kelsor

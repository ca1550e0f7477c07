#include "FolderOrder.h"

#include <filesystem>

#include "TempFolder.h"

namespace kelsor::test {

const std::vector<std::string>& FileManagerOrder() {
    static const std::vector<std::string> order = {
        "1.png",      "2.png",       "10.png",      "a2.png",      "A10.png",
        "b.png",      "scan9.png",   "scan010.png", "x9y.png",     "x10a.png",
        "图2.png",    "图10.png",    "sub2/3.png",  "sub2/20.png", "sub2/deeper/1.png",
        "Sub3/1.png", "sub10/1.png",
    };
    return order;
}

void WriteFileManagerOrderTree(const std::string& folder, const std::string& content) {
    const std::vector<std::string>& order = FileManagerOrder();
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        const std::filesystem::path path = folder + *it;
        std::filesystem::create_directories(path.parent_path());
        WriteFile(path.string(), content);
    }
}

}  // namespace kelsor::test

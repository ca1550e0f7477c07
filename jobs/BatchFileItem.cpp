#include "jobs/BatchFileItem.h"

#include <utility>

namespace kelsor {

int NextBatchItemId() {
    static int lastId = 0;
    return ++lastId;
}

BatchFileItem* BatchFileStore::Find(int id) const {
    const auto it = m_items.find(id);
    return it == m_items.end() ? nullptr : it->second.get();
}

std::vector<BatchFileItem*> BatchFileStore::Fill(
    std::vector<std::unique_ptr<BatchFileItem>>& items) {
    std::vector<BatchFileItem*> taken;
    auto next = items.begin();
    for (; next != items.end() && m_items.size() < kCapacity; ++next) {
        BatchFileItem* item = next->get();
        m_items.emplace(item->id, std::move(*next));
        taken.push_back(item);
    }
    items.erase(items.begin(), next);
    return taken;
}

bool BatchFileStore::Erase(int id) {
    return m_items.erase(id) != 0;
}

bool BatchFileStore::IsClaimedByOther(const BatchFileItem& item, const std::wstring& path) const {
    for (const auto& [id, other] : m_items) {
        if (other.get() != &item && other->outputPath == path &&
            other->sourcePath != item.sourcePath) {
            return true;
        }
    }
    return false;
}

std::wstring FolderOfPath(const std::wstring& path) {
    const auto slash = path.rfind(L'/');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring BatchFileStore::OutputPathFor(const BatchFileItem& item, std::wstring folder,
                                           const std::wstring& baseName) const {
    if (folder.empty())
        folder = FolderOfPath(item.sourcePath);
    return NumberedResultPath(
        folder, baseName, [&](const std::wstring& path) { return IsClaimedByOther(item, path); });
}

std::wstring NumberedResultPath(const std::wstring& folder, const std::wstring& baseName,
                                const std::function<bool(const std::wstring&)>& claimedByOther,
                                const std::wstring& extension) {
    std::wstring path = folder + baseName + extension;
    for (int n = 2; claimedByOther(path); ++n) {
        path = folder + baseName + L" (" + std::to_wstring(n) + L")" + extension;
    }
    return path;
}

BatchFileStore& ProcessBatchStore() {
    static BatchFileStore store;
    return store;
}

std::wstring& BatchSourceFolder() {
    static std::wstring folder;
    return folder;
}

}  // namespace kelsor

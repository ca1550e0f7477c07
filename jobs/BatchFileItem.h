#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cloud/RecognizePictureText.h"
#include "jobs/TaskStatus.h"

// The batch record of one listed picture and the store that owns the records.
// The task runner fills in the output names when an item is queued and moves
// its state to Queued and Running; the batch page writes the final state.
namespace kelsor {

struct BatchFileItem {
    int id = 0;
    std::wstring fileName;  // name with extension, without folder
    std::wstring sourcePath;
    std::wstring tempPicturePath;  // written when queued
    std::wstring outputPath;       // written when queued
    std::wstring sizeText = L"0M";
    std::wstring dimensionsText;      // "%d*%d"
    int formatType = FormatPriority;  // copied from the current choice when queued
    bool readCodes = true;            // the code switch, copied when queued
    // TaskState. Written by the runner's worker (Running) while the UI thread
    // reads it, hence atomic.
    std::atomic<int> state{TaskNone};
    bool shown = false;
    int listElementTag = 0;  // identifies the item's row; handed back with every event
    int taskKey = 0;
};

// The next item id of the run: 1 first, then rising; never reused, not reset
// when the list is cleared. UI thread.
int NextBatchItemId();

// The items of the batch list by ascending id (the order of adding), at most
// kCapacity of them. All on the UI thread. An item may be erased only when no
// task refers to it any more (never queued, cancelled, or its final event
// handled).
class BatchFileStore {
public:
    static constexpr std::size_t kCapacity = 100;
    using Items = std::map<int, std::unique_ptr<BatchFileItem>>;

    BatchFileItem* Find(int id) const;
    std::size_t Size() const { return m_items.size(); }
    bool Empty() const { return m_items.empty(); }
    const Items& All() const { return m_items; }

    // Moves `items` (ascending ids) in until the store is full; the rest are
    // left in `items`. Returns the items taken.
    std::vector<BatchFileItem*> Fill(std::vector<std::unique_ptr<BatchFileItem>>& items);
    bool Erase(int id);
    void Clear() { m_items.clear(); }

    // The result file of `item` in `folder` for base name `baseName`. An
    // empty folder (the batch source folder before any addition) means the
    // picture's own folder, never a path relative to the working folder. A
    // name that another item of the store with a different picture already
    // writes gets " (2)", " (3)" … so that two results never overwrite each
    // other; the same picture keeps its own name.
    std::wstring OutputPathFor(const BatchFileItem& item, std::wstring folder,
                               const std::wstring& baseName) const;

private:
    bool IsClaimedByOther(const BatchFileItem& item, const std::wstring& path) const;

    Items m_items;
};

// The path up to and including its last "/"; empty when there is none.
std::wstring FolderOfPath(const std::wstring& path);

// "folder" + `baseName` + `extension`; while `claimedByOther` says another
// picture already writes that path, " (2)", " (3)" … goes before the
// extension, so two results never overwrite each other.
std::wstring NumberedResultPath(const std::wstring& folder, const std::wstring& baseName,
                                const std::function<bool(const std::wstring&)>& claimedByOther,
                                const std::wstring& extension = L".txt");

// The process-wide store of the batch page.
BatchFileStore& ProcessBatchStore();

// The folder into which batch results go while the output option is the source
// folder: the folder of the pictures added last, ending with "/". Set by the
// batch page, read when a task is queued; both on the UI thread.
std::wstring& BatchSourceFolder();

}  // namespace kelsor

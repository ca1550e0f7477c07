#pragma once

#include <array>
#include <string>

#include "platform/ui/UiLib.h"

namespace kelsor {
struct BatchFileItem;
}

// One row of the batch list: its controls, built from "listItem.xml" and
// filled from an item, and the five display states.
namespace kelsor::jobs {

// Display states of a row; the numbers are the list's own.
enum class RowState : int {
    Failed = 0,
    NotRecognised = 1,
    Waiting = 2,
    Running = 3,
    Done = 4,
};

// What a display state shows. The status mark named is shown and the other
// four are hidden; `file_del` stays visible in every state.
struct RowLook {
    const wchar_t* mark;
    bool startVisible;
    bool startEnabled;
    bool openVisible;
    bool retryVisible;
    bool deleteEnabled;
};
RowLook RowLookFor(RowState state);

// The five status controls of cell 6, in the order of the row table.
inline constexpr std::array<const wchar_t*, 5> kRowStatusControls = {
    L"file_unconver", L"file_wait", L"file_progress", L"file_convered", L"file_converfail"};

// The controls of one row that change after it is built.
struct BatchRowControls {
    ui::CListContainerElementUI* row = nullptr;
    ui::CLabelUI* fileId = nullptr;
    ui::CLabelUI* serial = nullptr;
    ui::CProgressUI* progress = nullptr;
    std::array<ui::CControlUI*, kRowStatusControls.size()> marks{};
    ui::CButtonUI* start = nullptr;
    ui::CButtonUI* open = nullptr;
    ui::CButtonUI* retry = nullptr;
    ui::CButtonUI* remove = nullptr;
};

// The row "new_node" of "listItem.xml", still without cells: what the list
// holds for a row that has not come into view yet.
ui::CListContainerElementUI* MakeBatchRow();

// Gives `row` one cell per column of the list header (nine) and fills them
// for `item`, with `serial` as its serial number, in display state 1 (not
// recognised).
BatchRowControls FillBatchRow(ui::CListContainerElementUI* row, const BatchFileItem& item,
                              int serial);

// Shows `state` on the row's controls.
void ShowRowState(const BatchRowControls& row, RowState state);

}  // namespace kelsor::jobs

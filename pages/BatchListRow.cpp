#include "pages/BatchListRow.h"

#include <optional>
#include <span>
#include <utility>

#include "jobs/BatchFileItem.h"

namespace kelsor::jobs {
namespace {

using Attribute = std::pair<const wchar_t*, const wchar_t*>;

constexpr int kColumns = 9;

constexpr Attribute kLabelLook[] = {
    {L"textcolor", L"#ff999999"}, {L"endellipsis", L"true"}, {L"font", L"0"}};

constexpr Attribute kPicViewLook[] = {
    {L"padding", L"30,15,0,0"},
    {L"width", L"16"},
    {L"height", L"16"},
    {L"normalimage", L"file='batchocr\\picview.png' source='0,0,16,16'"},
    {L"hotimage", L"file='batchocr\\picview.png' source='16,0,32,16'"},
    {L"pushedimage", L"file='batchocr\\picview.png' source='16,0,32,16'"},
    {L"disabledimage", L"file='batchocr\\picview.png' source='32,0,48,16'"}};

// As tall as the icon, so that the text beside it is centred on it; the
// padding puts both on the row's middle, where the other columns' text is.
constexpr Attribute kMarkLook[] = {{L"textcolor", L"#ff999999"},  {L"endellipsis", L"true"},
                                   {L"align", L"left"},           {L"height", L"16"},
                                   {L"textpadding", L"20,0,0,0"}, {L"mouse", L"false"}};

constexpr Attribute kProgressLook[] = {{L"padding", L"50,18,35,0"},
                                       {L"height", L"7"},
                                       {L"borderround", L"3,3"},
                                       {L"bkimage", L"file='global\\progress_bk.png'"},
                                       {L"foreimage", L"file='global\\progress_fg.png'"},
                                       {L"value", L"0"}};

constexpr Attribute kActionLook[] = {{L"textcolor", L"#FF666666"},
                                     {L"hottextcolor", L"#FF4399FD"},
                                     {L"pushedtextcolor", L"#FF4399FD"},
                                     {L"disabledtextcolor", L"#FF666666"},
                                     {L"endellipsis", L"true"},
                                     {L"align", L"center"},
                                     {L"font", L"0"}};

// The status marks other than the progress bar: name, text, left padding, icon.
struct Mark {
    const wchar_t* name;
    const wchar_t* text;
    const wchar_t* padding;
    const wchar_t* icon;
};
constexpr Mark kMarks[] = {
    {L"file_unconver", L"未识别", L"60,12,0,0", L"file='batchocr\\ocrunknow.png' dest='0,0,16,16'"},
    {L"file_wait", L"等待", L"60,12,0,0", L"file='batchocr\\ocrwait.png' dest='0,0,16,16'"},
    {L"file_convered", L"识别完成", L"50,12,0,0",
     L"file='batchocr\\ocrsuccess.png' dest='0,0,16,16'"},
    {L"file_converfail", L"识别失败", L"50,12,0,0",
     L"file='batchocr\\ocrfail.png' dest='0,0,16,16'"},
};

// Display states by number, as the row table gives them.
constexpr RowLook kLooks[] = {
    {L"file_converfail", false, false, false, true, true},  // 0 failed
    {L"file_unconver", true, true, false, false, true},     // 1 not recognised
    {L"file_wait", true, false, false, false, true},        // 2 waiting
    {L"file_progress", true, false, false, false, false},   // 3 running
    {L"file_convered", false, false, true, false, true},    // 4 done
};

void Apply(ui::CControlUI* control, std::span<const Attribute> attributes) {
    for (const auto& [name, value] : attributes) {
        control->SetAttribute(name, value);
    }
}

template <typename Control>
Control* Make(ui::CContainerUI* cell, const wchar_t* name, std::span<const Attribute> look) {
    auto* control = new Control;
    control->SetName(name);
    Apply(control, look);
    cell->Add(control);
    return control;
}

ui::CLabelUI* MakeLabel(ui::CContainerUI* cell, const wchar_t* name, const std::wstring& text,
                        const wchar_t* align) {
    auto* label = Make<ui::CLabelUI>(cell, name, kLabelLook);
    label->SetAttribute(L"align", align);
    label->SetText(text);
    return label;
}

ui::CButtonUI* MakeAction(ui::CContainerUI* cell, const wchar_t* name, const wchar_t* text) {
    auto* button = Make<ui::CButtonUI>(cell, name, kActionLook);
    button->SetText(text);
    return button;
}

// The row element of the layout file, read once: rows are made by the
// hundred and each would otherwise parse the file again.
const ui::MarkupNode* RowMarkup() {
    static const std::optional<ui::MarkupNode> layout =
        ui::LoadLayout(QStringLiteral("listItem.xml"));
    return layout ? layout->Child(QStringLiteral("ListContainerElement")) : nullptr;
}

void FillStatusCell(ui::CContainerUI* cell, BatchRowControls& out) {
    std::size_t slot = 0;
    for (const Mark& mark : kMarks) {
        if (slot == 2) {
            out.progress = Make<ui::CProgressUI>(cell, L"file_progress", kProgressLook);
            out.marks[slot++] = out.progress;
        }
        auto* option = Make<ui::COptionUI>(cell, mark.name, kMarkLook);
        option->SetAttribute(L"padding", mark.padding);
        option->SetAttribute(L"normalimage", mark.icon);
        option->SetAttribute(L"selectedimage", mark.icon);
        option->SetText(mark.text);
        out.marks[slot++] = option;
    }
}

}  // namespace

RowLook RowLookFor(RowState state) {
    const int index = static_cast<int>(state);
    return index >= 0 && index < static_cast<int>(std::size(kLooks)) ? kLooks[index] : kLooks[1];
}

ui::CListContainerElementUI* MakeBatchRow() {
    auto* row = new ui::CListContainerElementUI;
    if (const ui::MarkupNode* markup = RowMarkup()) {
        for (const auto& [name, value] : markup->attributes) {
            row->SetAttribute(name.toStdWString(), value.toStdWString());
        }
    } else {
        // The layout is part of the program; without it the row still works.
        row->SetName(L"new_node");
        row->SetFixedHeight(40);
    }
    return row;
}

BatchRowControls FillBatchRow(ui::CListContainerElementUI* row, const BatchFileItem& item,
                              int serial) {
    BatchRowControls out;
    out.row = row;
    ui::CContainerUI* cells[kColumns] = {};
    for (auto*& cell : cells) {
        cell = new ui::CHorizontalLayoutUI;
        out.row->Add(cell);
    }
    out.fileId = MakeLabel(cells[0], L"file_id", std::to_wstring(item.id), L"center");
    out.serial = MakeLabel(cells[1], L"file_sn", std::to_wstring(serial), L"center");
    MakeLabel(cells[2], L"file_name", item.fileName, L"left");
    MakeLabel(cells[3], L"file_size", item.sizeText, L"center");
    MakeLabel(cells[4], L"pic_size", item.dimensionsText, L"center");
    Make<ui::CButtonUI>(cells[5], L"pic_view", kPicViewLook);
    FillStatusCell(cells[6], out);
    out.start = MakeAction(cells[7], L"file_start", L"开始");
    out.open = MakeAction(cells[7], L"file_open", L"打开文件");
    out.retry = MakeAction(cells[7], L"file_retry", L"重新识别");
    out.remove = MakeAction(cells[8], L"file_del", L"移除");
    ShowRowState(out, RowState::NotRecognised);
    return out;
}

void ShowRowState(const BatchRowControls& row, RowState state) {
    const RowLook look = RowLookFor(state);
    for (std::size_t i = 0; i < kRowStatusControls.size(); ++i) {
        if (row.marks[i] != nullptr) {
            row.marks[i]->SetVisible(std::wstring_view(kRowStatusControls[i]) == look.mark);
        }
    }
    row.start->SetVisible(look.startVisible);
    row.start->SetEnabled(look.startEnabled);
    row.open->SetVisible(look.openVisible);
    row.retry->SetVisible(look.retryVisible);
    row.remove->SetVisible(true);
    row.remove->SetEnabled(look.deleteEnabled);
}

}  // namespace kelsor::jobs

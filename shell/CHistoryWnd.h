#pragma once

#include <QImage>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "history/HistoryStore.h"
#include "platform/ui/UiLib.h"

// The history window of the main menu: a search field that narrows the list
// as the user types, the recognitions kept (newest first: time, road,
// thumbnail, first line), and for the chosen one its whole text with 复制,
// 打开文件, 打开图片, 删除 and 清空历史 (asked first). The list shows a page of
// rows at a time and loads the next page on request, so a history of ten
// thousand entries opens as fast as one of ten. Enter copies the chosen
// entry (choosing the newest first when none is), Esc closes, arrows move
// the choice.
namespace kelsor::shell {

class CHistoryWnd : public ui::WindowImplBase {
public:
    // The history of the program whose data folder and settings file these are.
    CHistoryWnd(std::wstring dataFolder, std::wstring configPath);
    ~CHistoryWnd() override;

    // Rows of one page of the list.
    static constexpr std::size_t kPageRows = 50;

    void Notify(ui::TNotifyUI& msg) override;

    // The ids of the rows shown, top to bottom, and the chosen one (0: none).
    std::vector<std::int64_t> ShownIds() const;
    std::int64_t ChosenId() const { return m_chosen ? m_chosen->summary.id : 0; }
    // Chooses the row of this id, as a click on it does; false when not shown.
    bool Choose(std::int64_t id);
    // Puts `words` in the search field, which narrows the list at once.
    void Search(const std::wstring& words);

protected:
    ui::CDuiString GetWindowClassName() const override { return L"HistoryWnd"; }
    ui::CDuiString GetSkinFolder() override { return L""; }
    ui::CDuiString GetSkinFile() override { return L"historywnd.xml"; }
    void InitWindow() override;
    void OnClick(ui::TNotifyUI& msg) override;
    bool HostEvent(QEvent* event) override;

private:
    struct Row {
        history::EntrySummary summary;
        ui::CListContainerElementUI* element = nullptr;
        QString thumbName;  // the row's picture among the window's images
    };

    void ShowNotice();
    // Runs the search field's words again from the first page.
    void Refill();
    // Adds the rows past those shown, up to `want` in all.
    void LoadRows(std::size_t want);
    void AddRow(const history::EntrySummary& summary);
    void ClearRows();
    void ShowCount();
    void ChooseRow(std::size_t index);
    void ShowChosen();
    void MoveChoice(int step);
    void Copy();
    void OpenTextFile();
    void OpenPicture();
    void DeleteChosen();
    void ClearAll();
    void SetTip(const std::wstring& text);
    QImage ThumbnailFor(std::int64_t id);

    std::wstring m_dataFolder;
    std::wstring m_configPath;
    std::unique_ptr<history::HistoryStore> m_store;
    std::wstring m_words;
    std::vector<Row> m_rows;
    bool m_more = false;
    std::optional<history::Entry> m_chosen;

    ui::CListUI* m_list = nullptr;
    ui::CEditUI* m_search = nullptr;
    ui::CLabelUI* m_count = nullptr;
    ui::CLabelUI* m_empty = nullptr;
    ui::CButtonUI* m_moreBtn = nullptr;
    ui::CLabelUI* m_meta = nullptr;
    ui::CLabelUI* m_source = nullptr;
    ui::CRichEditUI* m_text = nullptr;
    ui::CLabelUI* m_tip = nullptr;
};

// Runs the history window of the running program modally over `owner`.
void OpenHistoryWindow(ui::HWND owner);

}  // namespace kelsor::shell

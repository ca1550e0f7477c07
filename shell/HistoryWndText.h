#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What the history window says: times of entries as a reader scans a list
// (today's by the clock, this year's by the day), the count line and the
// notices about keeping recognitions.
namespace kelsor::shell::history_text {

// `time` and `now` in seconds since the epoch, read in the local time zone:
// "今天 14:03", "昨天 09:12", "12月3日 08:00" this year, "2025-11-30 21:05"
// before; a time after `now` (a clock set back) reads as its date.
std::wstring EntryTime(std::int64_t time, std::int64_t now);
// The whole time, for the chosen entry: "2026-12-08 14:03:27".
std::wstring FullTime(std::int64_t time);

// The line beside the search field: how many entries the list shows, and
// whether there are more than it shows.
std::wstring CountLine(std::size_t shown, bool more, bool searching);

// The list's empty state: no entries at all, or none for the words.
std::wstring EmptyText(bool searching);

// Said the first time the window opens, and while recording is off.
std::wstring KeptNotice();
std::wstring RecordingOffNotice();
// The store could not be opened: the window shows nothing else.
std::wstring UnavailableNotice();

// The question 清空历史 asks, and its buttons.
std::wstring ClearQuestion();
inline constexpr const wchar_t* kClearCancel = L"取消";
inline constexpr const wchar_t* kClearConfirm = L"清空";

// A file of the chosen entry is no longer where it was.
std::wstring MissingTextFile();
std::wstring MissingPicture();

inline constexpr const wchar_t* kCopied = L"已复制到剪贴板";
inline constexpr const wchar_t* kSearchPrompt = L"搜索识别记录（任意文字）";
inline constexpr const wchar_t* kChoosePrompt = L"在左侧选择一条记录，这里显示它的全部文字";

}  // namespace kelsor::shell::history_text

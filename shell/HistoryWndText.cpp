#include "shell/HistoryWndText.h"

#include <ctime>
#include <cwchar>

namespace kelsor::shell::history_text {

namespace {

std::tm LocalTime(std::int64_t time) {
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm out{};
    localtime_r(&t, &out);
    return out;
}

// Days since the epoch of the local calendar day: "yesterday" is one less
// across month and year ends.
long DayNumber(const std::tm& t) {
    std::tm day{};
    day.tm_year = t.tm_year;
    day.tm_mon = t.tm_mon;
    day.tm_mday = t.tm_mday;
    day.tm_hour = 12;  // noon: a daylight-saving change never moves the day
    day.tm_isdst = -1;
    return static_cast<long>(timegm(&day) / 86400);
}

std::wstring Format(const wchar_t* pattern, const std::tm& t) {
    wchar_t buffer[64];
    const std::size_t n = std::wcsftime(buffer, sizeof buffer / sizeof buffer[0], pattern, &t);
    return std::wstring(buffer, n);
}

}  // namespace

std::wstring EntryTime(std::int64_t time, std::int64_t now) {
    const std::tm t = LocalTime(time);
    const std::tm n = LocalTime(now);
    const long days = DayNumber(n) - DayNumber(t);
    if (time <= now && days == 0)
        return L"今天 " + Format(L"%H:%M", t);
    if (time <= now && days == 1)
        return L"昨天 " + Format(L"%H:%M", t);
    if (time <= now && t.tm_year == n.tm_year)
        return std::to_wstring(t.tm_mon + 1) + L"月" + std::to_wstring(t.tm_mday) + L"日 " +
               Format(L"%H:%M", t);
    return Format(L"%Y-%m-%d %H:%M", t);
}

std::wstring FullTime(std::int64_t time) {
    return Format(L"%Y-%m-%d %H:%M:%S", LocalTime(time));
}

std::wstring CountLine(std::size_t shown, bool more, bool searching) {
    const std::wstring n = std::to_wstring(shown);
    if (more)
        return L"已显示最近的 " + n + L" 条，可在列表下方显示更多";
    if (searching)
        return L"找到 " + n + L" 条";
    return L"共 " + n + L" 条";
}

std::wstring EmptyText(bool searching) {
    return searching ? L"没有找到包含这些文字的记录" : L"还没有识别记录";
}

std::wstring KeptNotice() {
    return L"每次识别的文字和图片都会保存在本机的历史记录中，可在主菜单关闭“保存识别记录”";
}

std::wstring RecordingOffNotice() {
    return L"“保存识别记录”已关闭：新的识别不会记入历史，可在主菜单重新开启";
}

std::wstring UnavailableNotice() {
    return L"无法打开历史记录，请检查数据文件夹是否可写";
}

std::wstring ClearQuestion() {
    return L"确定清空全部历史记录吗？保存的截图也会一并删除，且无法恢复。";
}

std::wstring MissingTextFile() {
    return L"找不到该文本文件，它可能已被移动或删除！";
}

std::wstring MissingPicture() {
    return L"找不到该图片，它可能已被移动或删除！";
}

}  // namespace kelsor::shell::history_text

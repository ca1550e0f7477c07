#include "history/HistoryText.h"

#include <algorithm>
#include <cwctype>

namespace kelsor::history {
namespace {

// Blanks of either width: a recognised line may carry the ideographic space.
bool IsBlank(wchar_t c) {
    return c == L'\u3000' || std::iswspace(static_cast<wint_t>(c)) != 0;
}

}  // namespace

std::wstring FirstLine(const std::wstring& text) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of(L"\r\n", start);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        std::size_t first = start;
        std::size_t last = end;
        while (first < last && IsBlank(text[first])) {
            ++first;
        }
        while (last > first && IsBlank(text[last - 1])) {
            --last;
        }
        if (first < last) {
            return text.substr(first, std::min(last - first, kFirstLineChars));
        }
        start = end + 1;
    }
    return {};
}

SearchPlan PlanSearch(const std::wstring& words) {
    SearchPlan plan;
    std::size_t at = 0;
    while (at < words.size()) {
        while (at < words.size() && IsBlank(words[at])) {
            ++at;
        }
        std::size_t end = at;
        while (end < words.size() && !IsBlank(words[end])) {
            ++end;
        }
        if (end == at) {
            break;
        }
        const std::wstring word = words.substr(at, end - at);
        at = end;
        if (word.size() >= 3) {
            std::wstring phrase = L"\"";
            for (wchar_t c : word) {
                phrase += c;
                if (c == L'"') {
                    phrase += L'"';
                }
            }
            phrase += L'"';
            plan.match += plan.match.empty() ? phrase : L" AND " + phrase;
        } else if (std::none_of(word.begin(), word.end(), [](wchar_t c) {
                       return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
                   })) {
            plan.contains.push_back(word);
        } else {
            std::wstring pattern = L"%";
            for (wchar_t c : word) {
                if (c == L'%' || c == L'_' || c == L'\\') {
                    pattern += L'\\';
                }
                pattern += c;
            }
            pattern += L'%';
            plan.likes.push_back(pattern);
        }
    }
    return plan;
}

}  // namespace kelsor::history

#pragma once

#include <string>
#include <vector>

// The text side of the history: what a list shows of an entry and how the
// words of a search become a query.
namespace kelsor::history {

// The first line holding more than blanks, without its surrounding blanks,
// at most kFirstLineChars characters.
inline constexpr std::size_t kFirstLineChars = 200;
std::wstring FirstLine(const std::wstring& text);

// A search split by what can answer each word: the trigram index takes words
// of three characters or more (as one MATCH expression, every word a quoted
// phrase); shorter ones, which it cannot see, are looked for in the text:
// with LIKE when they hold Latin letters (either case matches), else as they
// are with instr, which is several times quicker.
struct SearchPlan {
    std::wstring match;                  // empty: no index words
    std::vector<std::wstring> likes;     // "%word%" with % _ \ escaped by "\"
    std::vector<std::wstring> contains;  // the words themselves
};
SearchPlan PlanSearch(const std::wstring& words);

}  // namespace kelsor::history

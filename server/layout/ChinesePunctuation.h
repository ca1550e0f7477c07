#pragma once

#include <string>
#include <vector>

// Punctuation of Chinese text as a reader expects to copy it: the forms set
// in columns of vertical text (︐ ︒ ﹁ ︵ …) and the half-width marks a
// recogniser gives for full-width ones between Chinese characters come out
// as the horizontal full-width characters (，。「（ …).
namespace kelsor::server::layout {

// The characters of UTF-8 `text`, each as its own string.
std::vector<std::string> Utf8Characters(const std::string& text);

// The horizontal form of a vertical presentation form (U+FE10..U+FE19,
// U+FE30..U+FE48); other characters as they are. UTF-8 in and out.
std::string HorizontalForm(const std::string& character);

// `text` (UTF-8) with every vertical form made horizontal, and each of
// , . : ; ! ? ( ) made full-width where it follows a Chinese character and
// is followed by one, by more punctuation or by the end of the text ("3.5",
// "Linux, BSD", "中文 (Chinese)" and the dots of "等等..." stay as they are).
std::string ChinesePunctuation(const std::string& text);

// The marks of a column of vertical Chinese read turned on its side: the
// comma and full stop set in a corner of their cell read as ’ and ° there,
// and are ， and 。 after a Chinese character.
std::string LaidDownColumnMarks(const std::string& text);

}  // namespace kelsor::server::layout

#include "server/ppocr/CtcDecoder.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string_view>

namespace kelsor::server::ppocr {

namespace {

// Probability of class `c` in one row; softmax only when the row does not
// already sum to one.
float ClassProbability(const float* row, int classes, int best, int c) {
    double sum = 0.0;
    bool probabilities = true;
    for (int k = 0; k < classes; ++k) {
        if (row[k] < 0.0f || row[k] > 1.0f) {
            probabilities = false;
            break;
        }
        sum += row[k];
    }
    if (probabilities && std::abs(sum - 1.0) < 1e-2) {
        return row[c];
    }
    double denominator = 0.0;
    for (int k = 0; k < classes; ++k) {
        denominator += std::exp(static_cast<double>(row[k] - row[best]));
    }
    return static_cast<float>(std::exp(static_cast<double>(row[c] - row[best])) / denominator);
}

// Letters, digits and ASCII punctuation: the characters next to which a word
// space is meaningful (Chinese text itself has none).
bool IsLatin(const std::string& label) {
    return label.size() == 1 && label[0] > ' ' && static_cast<unsigned char>(label[0]) < 0x7F;
}

bool IsLetterOrDigit(const std::string& label) {
    return label.size() == 1 && std::isalnum(static_cast<unsigned char>(label[0])) != 0;
}

// Characters a word space may follow or precede in running text.
bool EndsWord(const std::string& label) {
    return IsLetterOrDigit(label) ||
           (label.size() == 1 &&
            std::string_view(",.;:!?)\"'").find(label[0]) != std::string_view::npos);
}
bool StartsWord(const std::string& label) {
    return IsLetterOrDigit(label) ||
           (label.size() == 1 && std::string_view("(\"'").find(label[0]) != std::string_view::npos);
}

// The widest run of blank columns from the start of frame `from` to the start
// of frame `to`, in frames. (A character's frames sit at its right side or
// just past it, so the space before a character ends about where its first
// frame starts.)
double WidestBlankRun(const std::vector<std::uint8_t>& blank, int steps, int from, int to) {
    const double perFrame = static_cast<double>(blank.size()) / steps;
    const auto first = static_cast<std::size_t>(from * perFrame);
    const auto last = std::min(blank.size(), static_cast<std::size_t>(to * perFrame));
    std::size_t widest = 0, run = 0;
    for (std::size_t x = first; x < last; ++x) {
        run = blank[x] != 0 ? run + 1 : 0;
        widest = std::max(widest, run);
    }
    return static_cast<double>(widest) / perFrame;
}

// Characters from U+0800 on: CJK ideographs and punctuation, between which
// no space is written.
bool IsWide(const std::string& label) {
    return !label.empty() && static_cast<unsigned char>(label[0]) >= 0xE0;
}

// One emitted character and the frames it was the best class in.
struct Emitted {
    int label = 0;
    int first = 0;
    int last = 0;
    float gapSpace = 0.0f;  // most likely space in the blank frames before it
};

// Distance between the starts of neighbouring letters and digits: the width
// of one Latin character on this line, which the model's frames scale with.
// Zero when the line has too few to tell.
double MedianLatinPitch(const std::vector<Emitted>& chars, const std::vector<std::string>& labels) {
    std::vector<int> pitches;
    for (std::size_t i = 1; i < chars.size(); ++i) {
        if (IsLetterOrDigit(labels[chars[i - 1].label]) &&
            IsLetterOrDigit(labels[chars[i].label])) {
            pitches.push_back(chars[i].first - chars[i - 1].first);
        }
    }
    if (pitches.size() < 3) {
        return 0.0;
    }
    std::nth_element(pitches.begin(), pitches.begin() + pitches.size() / 2, pitches.end());
    return pitches[pitches.size() / 2];
}

}  // namespace

DecodedLine GreedyCtcDecode(const float* scores, int steps, int classes,
                            const std::vector<std::string>& labels, float latinSpaceProbability,
                            float gapSpaceRatio, const std::vector<std::uint8_t>* blankColumns) {
    DecodedLine line;
    if (scores == nullptr || steps <= 0 || classes <= 0) {
        return line;
    }
    const int space = static_cast<int>(labels.size()) - 1;
    const bool spaceClass = space > 0 && space < classes && labels[space] == " ";
    const bool recoverSpaces = latinSpaceProbability > 0.0f && spaceClass;
    double probabilitySum = 0.0;
    std::vector<Emitted> chars;
    int previous = -1;
    float gapSpace = 0.0f;  // most likely space since the last emitted character
    for (int t = 0; t < steps; ++t) {
        const float* row = scores + static_cast<std::size_t>(t) * classes;
        const int best = static_cast<int>(std::max_element(row, row + classes) - row);
        if (best == 0 && recoverSpaces) {
            gapSpace = std::max(gapSpace, ClassProbability(row, classes, best, space));
        }
        if (best == 0 || best >= static_cast<int>(labels.size())) {
            // blank, or a class the character list does not have
        } else if (best == previous) {
            chars.back().last = t;
        } else {
            chars.push_back({best, t, t, gapSpace});
            probabilitySum += ClassProbability(row, classes, best, best);
            gapSpace = 0.0f;
        }
        previous = best;
    }
    if (chars.empty()) {
        return line;
    }
    line.confidence = probabilitySum / static_cast<double>(chars.size());
    const double pitch = MedianLatinPitch(chars, labels);
    int written = -1;  // label of the last character written, space excluded
    bool pendingSpace = false;
    for (std::size_t i = 0; i < chars.size(); ++i) {
        const Emitted& c = chars[i];
        const std::string& label = labels[c.label];
        if (spaceClass && c.label == space) {
            pendingSpace = written > 0;
            continue;
        }
        // How much wider than between letters the gap is: the blank run of
        // columns, or the frames beyond the usual distance.
        const auto gap = [&] {
            const Emitted& left = chars[i - 1];
            return blankColumns != nullptr && !blankColumns->empty()
                       ? WidestBlankRun(*blankColumns, steps, left.last, c.first)
                       : static_cast<double>(c.first - left.first) - pitch;
        };
        if (written > 0 && !pendingSpace) {
            const std::string& before = labels[written];
            // The model leaves out most spaces around Latin words: a space it
            // rated likely in the gap is kept, and so is a gap between two
            // words as wide as a good part of a character.
            pendingSpace = (recoverSpaces && (IsLatin(before) || IsLatin(label)) &&
                            c.gapSpace >= latinSpaceProbability) ||
                           (gapSpaceRatio > 0.0f && pitch > 0.0 && EndsWord(before) &&
                            StartsWord(label) && gap() >= gapSpaceRatio * pitch);
        }
        // Chinese text has no spaces, whatever the model thought it saw.
        if (pendingSpace && !(IsWide(labels[written]) && IsWide(label))) {
            line.text += ' ';
        }
        pendingSpace = false;
        line.text += label;
        written = c.label;
    }
    return line;
}

}  // namespace kelsor::server::ppocr

#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Greedy decoding of a CTC recognition output.
namespace kelsor::server::ppocr {

struct DecodedLine {
    std::string text;         // UTF-8
    double confidence = 0.0;  // mean probability of the emitted characters
};

// `scores` holds `steps` rows of `classes` values (class 0 is the blank). Rows
// that are not probabilities already (the model's last layer may be logits) are
// turned into probabilities first. Repeats of a class collapse to one character
// unless a blank separates them. Classes beyond `labels` are ignored.
// With `latinSpaceProbability` above zero, a space is put between two
// characters of which one is Latin (ASCII) when the space class (the last label, " ") reached that
// probability in the blank frames between them.
// With `gapSpaceRatio` above zero, a space is also put between two letters or
// digits (or after , . ; : ! ? and closing quotes, before opening ones) when
// the gap between them is at least that many times the line's median
// distance between neighbouring letters (a character's width, in frames).
// The gap is how much farther apart the two are than that median, or, given
// `blankColumns` (one flag per input column, 1 where the line has no ink,
// spread evenly over the frames), the widest run of blank columns between
// the two characters' frames. A space is never written between two CJK
// characters.
DecodedLine GreedyCtcDecode(const float* scores, int steps, int classes,
                            const std::vector<std::string>& labels,
                            float latinSpaceProbability = 0.0f, float gapSpaceRatio = 0.0f,
                            const std::vector<std::uint8_t>* blankColumns = nullptr);

}  // namespace kelsor::server::ppocr

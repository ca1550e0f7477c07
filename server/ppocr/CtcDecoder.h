#pragma once

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
DecodedLine GreedyCtcDecode(const float* scores, int steps, int classes,
                            const std::vector<std::string>& labels,
                            float latinSpaceProbability = 0.0f);

}  // namespace kelsor::server::ppocr

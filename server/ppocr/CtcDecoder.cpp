#include "server/ppocr/CtcDecoder.h"

#include <algorithm>
#include <cmath>

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

}  // namespace

DecodedLine GreedyCtcDecode(const float* scores, int steps, int classes,
                            const std::vector<std::string>& labels, float latinSpaceProbability) {
    DecodedLine line;
    if (scores == nullptr || steps <= 0 || classes <= 0) {
        return line;
    }
    const int space = static_cast<int>(labels.size()) - 1;
    const bool recoverSpaces =
        latinSpaceProbability > 0.0f && space > 0 && space < classes && labels[space] == " ";
    double probabilitySum = 0.0;
    int emitted = 0;
    int previous = -1;
    int lastEmitted = -1;
    float gapSpace = 0.0f;  // most likely space since the last emitted character
    for (int t = 0; t < steps; ++t) {
        const float* row = scores + static_cast<std::size_t>(t) * classes;
        const int best = static_cast<int>(std::max_element(row, row + classes) - row);
        if (best == 0 && recoverSpaces) {
            gapSpace = std::max(gapSpace, ClassProbability(row, classes, best, space));
        }
        if (best != 0 && best != previous && best < static_cast<int>(labels.size())) {
            // The model leaves out most spaces around Latin words; a space it
            // rated likely in the gap is kept.
            if (recoverSpaces && lastEmitted > 0 && best != space && lastEmitted != space &&
                (IsLatin(labels[lastEmitted]) || IsLatin(labels[best])) &&
                gapSpace >= latinSpaceProbability) {
                line.text += ' ';
            }
            line.text += labels[best];
            probabilitySum += ClassProbability(row, classes, best, best);
            ++emitted;
            lastEmitted = best;
            gapSpace = 0.0f;
        }
        previous = best;
    }
    if (emitted > 0) {
        line.confidence = probabilitySum / emitted;
    }
    return line;
}

}  // namespace kelsor::server::ppocr

#include "server/ppocr/CtcDecoder.h"

#include <algorithm>
#include <cmath>

namespace kelsor::server::ppocr {

namespace {

// Probability of the best class of one row; softmax only when the row does not
// already sum to one.
float BestProbability(const float* row, int classes, int best) {
    double sum = 0.0;
    bool probabilities = true;
    for (int c = 0; c < classes; ++c) {
        if (row[c] < 0.0f || row[c] > 1.0f) {
            probabilities = false;
            break;
        }
        sum += row[c];
    }
    if (probabilities && std::abs(sum - 1.0) < 1e-2) {
        return row[best];
    }
    double denominator = 0.0;
    for (int c = 0; c < classes; ++c) {
        denominator += std::exp(static_cast<double>(row[c] - row[best]));
    }
    return static_cast<float>(1.0 / denominator);
}

}  // namespace

DecodedLine GreedyCtcDecode(const float* scores, int steps, int classes,
                            const std::vector<std::string>& labels) {
    DecodedLine line;
    if (scores == nullptr || steps <= 0 || classes <= 0) {
        return line;
    }
    double probabilitySum = 0.0;
    int emitted = 0;
    int previous = -1;
    for (int t = 0; t < steps; ++t) {
        const float* row = scores + static_cast<std::size_t>(t) * classes;
        const int best = static_cast<int>(std::max_element(row, row + classes) - row);
        if (best != 0 && best != previous && best < static_cast<int>(labels.size())) {
            line.text += labels[best];
            probabilitySum += BestProbability(row, classes, best);
            ++emitted;
        }
        previous = best;
    }
    if (emitted > 0) {
        line.confidence = probabilitySum / emitted;
    }
    return line;
}

}  // namespace kelsor::server::ppocr

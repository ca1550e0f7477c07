#pragma once

#include <array>

#include "server/ppocr/DbPostProcess.h"

// The PP-OCR engine's settings and the account of where its time goes,
// shared by its stages (detector, orientation step, line reader).
namespace kelsor::server::ppocr {

struct PpOcrSettings {
    DbSettings detection;
    // The picture is scaled so that its longer side is at most this (and its
    // shorter side at least `detectionMinSide`), in multiples of 32.
    int detectionMaxSide = 960;
    int detectionMinSide = 64;
    int recognitionHeight = 48;
    // Line crops narrower than this are padded; wider ones are capped (very long
    // lines are squeezed rather than cut).
    int recognitionMinWidth = 320;
    int recognitionMaxWidth = 3200;
    // Lines whose mean character probability is below this are dropped.
    double minLineConfidence = 0.5;
    // A space next to a Latin word is kept when the model gave it this
    // probability (0 = only where it is the most likely class).
    float latinSpaceProbability = 0.1f;
    // A space is put between two letters or digits whose blank frames are
    // this many times the line's letter width (0 = off); the model drops
    // word spaces in lines that mix Chinese and English. At half a letter,
    // gaps inside English words (around r, m, an apostrophe) passed for
    // spaces.
    float gapSpaceRatio = 0.6f;
    // Small text is read from an enlarged picture: an area of text whose
    // lines' median height is below this (pixels) is scaled up to bring it
    // there (at most `smallTextMaxScale` times) and detected again.
    int smallTextHeight = 24;
    double smallTextMaxScale = 3.0;
    // With the direction classifier installed: pages turned by 90, 180 or
    // 270 degrees are found from up to `turnSampleLines` lines and read
    // upright, and single lines the classifier finds upside down with at
    // least `lineTurnProbability` are turned (0 = no page or line turning).
    int turnSampleLines = 5;
    float lineTurnProbability = 0.9f;
    // Lines recognised in one run of the model, sorted by width so that a
    // batch holds little padding. One: on one CPU thread a batch of six took
    // twice the time of six single runs (1.2 times with the spread below),
    // and padding changed some word spaces.
    int recognitionBatch = 1;
    // A line joins a batch only while its padded width is at most this many
    // times the batch's narrowest.
    double recognitionBatchSpread = 1.1;
    // Text nearer to the picture's edge than its own height is given that
    // margin, in the edge colour, before detection: the detector finds
    // text that touches an edge only in pieces.
    bool textMargin = true;
    // A picture whose ink is one band of rows, at most this many times as
    // high as the picture, is read as one line first (0 = never). The whole
    // line is kept without detection when its confidence is at least
    // `oneLineSure`; otherwise the detected lines are read too and the
    // better reading (confidence times the share of the line covered) wins.
    double oneLineHeightRatio = 8.0;
    double oneLineSure = 0.9;
    // The line read whole is cut with this much of its surroundings, in
    // text heights: above and below, and before and after.
    float oneLineContextAcross = 0.1f;
    float oneLineContextAlong = 0.3f;
};

// Where an engine's processor time went (its own thread), summed over the
// pictures it recognised.
struct PpOcrStageTimes {
    double detection = 0.0;       // scaling, normalising, the detection model
    double postProcessing = 0.0;  // boxes from the probability map, reading order
    double recognition = 0.0;     // line crops, the recognition model, decoding
    double orientation = 0.0;     // direction classifier, trial readings of turned lines
    long long lines = 0;
    long long pictures = 0;
    // Pixels of the maps the detection model ran on: its work, whatever
    // else runs on the machine.
    long long detectionPixels = 0;
    // Columns of the strips the recognition model read (padding included):
    // its work, in the same way.
    long long recognitionColumns = 0;
};

// A line box and the direction classifier's probability that it is upside
// down.
struct JudgedLine {
    std::array<cv::Point2f, 4> corners;
    float upsideDown = 0.0f;
};

}  // namespace kelsor::server::ppocr

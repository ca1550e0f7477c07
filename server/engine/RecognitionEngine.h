#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The recognition engines of kelsor-server. An engine instance is used by one
// thread at a time; the server keeps a pool of them.
namespace kelsor::server {

// A decoded picture: 8-bit RGB, rows top to bottom, no padding.
struct DecodedPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // width * height * 3 bytes
};

// One recognised text line.
struct TextBlock {
    std::string words;                           // UTF-8
    std::array<std::array<int, 2>, 4> location;  // corners: top-left, top-right,
                                                 // bottom-right, bottom-left
    double confidence = 0.0;                     // 0..1
};

// Cores a request may borrow for a part of its work while they are idle; the
// engine pool lends those of its idle engines.
class CoreLender {
public:
    virtual ~CoreLender() = default;
    // True when a core was lent; it is given back with GiveBack.
    virtual bool TryBorrow() = 0;
    virtual void GiveBack() = 0;
};

class RecognitionEngine {
public:
    virtual ~RecognitionEngine() = default;
    // Engines that can spread one picture over several cores borrow them
    // here; `lender` outlives the engine. Others ignore it.
    virtual void BorrowCoresFrom(CoreLender* /*lender*/) {}
    // Short name for logs and the start-up line, e.g. "tesseract".
    virtual std::string Name() const = 0;
    // Lines in reading order. Returns false and sets `error` when recognition
    // itself fails (not when the picture simply holds no text).
    virtual bool Recognize(const DecodedPicture& picture, std::vector<TextBlock>& lines,
                           std::string& error) = 0;
};

}  // namespace kelsor::server

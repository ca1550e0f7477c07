#include "cloud/Base64.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <random>
#include <vector>

using kelsor::Base64Encode;

namespace {

std::string Encode(const std::vector<unsigned char>& bytes) {
    return Base64Encode(bytes.data(), bytes.size());
}

std::vector<unsigned char> Bytes(std::size_t size) {
    std::vector<unsigned char> bytes(size);
    std::mt19937 random(static_cast<unsigned>(size));
    for (auto& b : bytes) {
        b = static_cast<unsigned char>(random());
    }
    return bytes;
}

}  // namespace

TEST(Base64Encode, LineBreakRuleAt57And58Bytes) {
    const std::string full = Encode(Bytes(57));
    ASSERT_EQ(full.size(), 78u);
    EXPECT_EQ(full.substr(76), "\r\n") << "19 complete groups end their line";
    const std::string padded = Encode(Bytes(58));
    ASSERT_EQ(padded.size(), 82u);
    EXPECT_EQ(padded.substr(76, 2), "\r\n");
    EXPECT_EQ(padded.substr(80), "==");
    // The padded final group is never followed by CR LF.
    const std::string twoLines = Encode(Bytes(57 * 2 + 2));
    EXPECT_EQ(twoLines.substr(twoLines.size() - 1), "=");
    EXPECT_EQ(twoLines.size(), 2 * 78 + 4u);
}

TEST(Base64Encode, EmptyAndShortInputs) {
    EXPECT_EQ(Base64Encode(nullptr, 0), "");
    const unsigned char text[] = "Man";
    EXPECT_EQ(Base64Encode(text, 1), "TQ==");
    EXPECT_EQ(Base64Encode(text, 2), "TWE=");
    EXPECT_EQ(Base64Encode(text, 3), "TWFu");
}

TEST(Base64Encode, MatchesOpenSslOnceLineBreaksAreRemoved) {
    for (std::size_t size : {1u, 56u, 100u, 114u, 171u, 172u, 173u, 1000u, 4095u, 65537u}) {
        const std::vector<unsigned char> bytes = Bytes(size);
        std::string ours = Encode(bytes);
        for (std::size_t at = 76; at < ours.size(); at += 76) {
            ASSERT_EQ(ours.substr(at, 2), "\r\n") << size;
            ours.erase(at, 2);
        }
        std::string reference(4 * ((size + 2) / 3) + 1, '\0');
        const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(reference.data()),
                                           bytes.data(), static_cast<int>(size));
        reference.resize(length);
        EXPECT_EQ(ours, reference) << size;
    }
}

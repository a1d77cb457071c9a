// The pack generator's SHA-256, which fixes the noise family's control
// points, against the standard test vectors and the padding boundaries.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "atlas/sha256.hpp"

namespace {

std::string hex(const kinetrope::packgen::atlas::Digest& digest) {
    std::string text;
    for (const auto byte : digest) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", byte);
        text += pair;
    }
    return text;
}

struct Vector {
    std::string message;
    std::string digest;
};

void PrintTo(const Vector& v, std::ostream* os) { *os << v.message.size() << "-byte message"; }

class Sha256 : public ::testing::TestWithParam<Vector> {};

TEST_P(Sha256, MatchesTheKnownDigest) {
    EXPECT_EQ(hex(kinetrope::packgen::atlas::sha256(GetParam().message)), GetParam().digest);
}

INSTANTIATE_TEST_SUITE_P(
    StandardVectors, Sha256,
    ::testing::Values(
        Vector{"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        Vector{"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        Vector{"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
               "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        Vector{"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrs"
               "tnopqrstu",
               "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        Vector{std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"}));

// 55 bytes leave room for the length in the last block; 56 and 64 do not.
INSTANTIATE_TEST_SUITE_P(
    PaddingBoundaries, Sha256,
    ::testing::Values(Vector{std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
                      Vector{std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
                      Vector{std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"}));

}  // namespace

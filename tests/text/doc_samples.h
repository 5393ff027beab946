// Inputs shared by the Doc tests: deterministic English-like text, random
// bytes, small alphabets, a sequence without repeated three-byte strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace docref {

// Words, punctuation and CR LF / LF line ends, from a fixed seed.
std::vector<uint8_t> englishText(size_t length, uint32_t seed);
// Uniform random bytes (every value, CR and LF included).
std::vector<uint8_t> randomBytes(size_t length, uint32_t seed);
// Random bytes drawn from the given alphabet.
std::vector<uint8_t> randomFrom(const std::string& alphabet, size_t length, uint32_t seed);
// length bytes from first .. first + symbols - 1 in which no three-byte
// string occurs twice (a prefix of a de Bruijn sequence; symbols^3 >= length).
std::vector<uint8_t> noRepeats(size_t length, uint8_t first, unsigned symbols);

// The line-end conversion written out plainly.
std::vector<uint8_t> convertedCopy(std::vector<uint8_t> bytes);

std::string hex(const std::vector<uint8_t>& bytes);

}  // namespace docref

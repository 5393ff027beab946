// The plain Doc record encoder, step by step as the format describes it: a
// forward scan of the window for every one-byte extension of the candidate,
// an unmerged stream of 0x01 c pairs, then the merge pass. Slow; the shipped
// encoder must give the same bytes.
#pragma once

#include <cstdint>
#include <vector>

namespace docref {

// Encodes bytes whose line ends are already converted.
std::vector<uint8_t> referenceEncode(const std::vector<uint8_t>& text);

// The merge pass alone: joins adjacent 0x01 c pairs into runs of up to 8.
std::vector<uint8_t> mergeEscapedLiterals(const std::vector<uint8_t>& stream);

}  // namespace docref

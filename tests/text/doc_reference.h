// The plain Doc record codec, step by step as the format describes it, for
// the shipped codec to be compared against (the Doc tests and the decoder's
// fuzz target). The encoder: a forward scan of the window for every one-byte
// extension of the candidate, an unmerged stream of 0x01 c pairs, then the
// merge pass. Slow; the shipped encoder must give the same bytes. The
// decoder: one token at a time, every rule spelled out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace docref {

// Encodes bytes whose line ends are already converted.
std::vector<uint8_t> referenceEncode(const std::vector<uint8_t>& text);

// The merge pass alone: joins adjacent 0x01 c pairs into runs of up to 8.
std::vector<uint8_t> mergeEscapedLiterals(const std::vector<uint8_t>& stream);

// Decodes a compression-2 record one token at a time, with the capacity and
// stop rules of the format (a token that cannot be decoded whole ends it and
// clears intact).
std::vector<uint8_t> simpleDecode(const std::vector<uint8_t>& record, size_t capacity,
                                  bool* intact = nullptr);

}  // namespace docref

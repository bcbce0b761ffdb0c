// UTF-8, read in one place for every part that takes names or key bytes apart.
#pragma once

#include <cstddef>
#include <string_view>

namespace tarnwick::frontend::utf8 {

// The length of the sequence a byte `lead` starts: 1 for ASCII, 2 to 4, or 0 for a byte that
// starts none (a continuation byte, or a lead no valid sequence has).
int sequence_length(unsigned char lead);

// True for the bytes 0x80-0xBF, which only continue a sequence.
bool is_continuation(unsigned char byte);

// Decodes the sequence at the start of the non-empty `text` into `c`: its length, or 0 when
// it starts no valid sequence. The surrogates that UTF-16 names without a partner become
// (as in WTF-8) count as valid.
std::size_t decode(std::string_view text, char32_t& c);

// True when every byte of `text` belongs to a valid sequence, as decode tells.
bool is_valid(std::string_view text);

}  // namespace tarnwick::frontend::utf8

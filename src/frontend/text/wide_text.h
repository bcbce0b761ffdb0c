// Text as Windows wants it: UTF-16 names, CR LF line ends, paths free of the 260 limit.
// Pure, so it builds and is tested on every platform.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick::frontend::text {

// Decodes the UTF-8 sequence at the start of the non-empty `text` into `c`: its length, or 0
// when it starts no valid sequence. The surrogates utf16_to_utf8 writes count as valid.
std::size_t decode_utf8(std::string_view text, char32_t& c);

// True when every byte of `text` belongs to a valid UTF-8 sequence, as decode_utf8 tells.
bool is_valid_utf8(std::string_view text);

// UTF-16 to UTF-8. A surrogate without its partner, which Windows allows in names, becomes
// its own three-byte sequence (as WTF-8 does), so that every name survives the round trip.
std::string utf16_to_utf8(std::u16string_view text);

// UTF-8 (and the surrogates utf16_to_utf8 writes) to UTF-16; each byte that starts no valid
// sequence becomes U+FFFD.
std::u16string utf8_to_utf16(std::string_view text);

// `text` and a line end, each newline written as CR LF.
std::string crlf_line(std::string_view text);

// A full path (drive or UNC, as GetFullPathName gives it) with the prefix that lifts the 260
// character limit; a path that already has a prefix, or names a device, is left as it is.
std::u16string extended_length_path(std::u16string_view full_path);

}  // namespace tarnwick::frontend::text

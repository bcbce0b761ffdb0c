// Layout of a TI-86 program file (.86p) holding one program variable.
//
// Every number is an unsigned 16-bit word stored low byte first.
//
//   offset  size  field
//   0       8     signature "**TI86**"
//   8       3     marker 1A 0A 00
//   11      42    comment: 24-character time text, then 18 zero bytes
//   53      2     data section length D = P + 18
//   55      D     data section:
//                   +0   2  variable header length, 12
//                   +2   2  variable data length V = P + 2
//                   +4   1  variable type 0x12 (program)
//                   +5   1  name length, always 8
//                   +6   8  variable name, zero-padded
//                   +14  2  V again
//                   +16  2  program length P
//                   +18  P  program body: 00 "AsmPrgm" D6, then the rows with D6 between
//   55 + D  2     checksum: low 16 bits of the sum of the data section's bytes
//
// The whole file is P + 75 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarnwick::ti86 {

inline constexpr std::string_view signature{"**TI86**", 8};
inline constexpr std::string_view marker{"\x1A\x0A\x00", 3};
inline constexpr std::size_t comment_length = 42;
inline constexpr std::size_t time_text_length = 24;
inline constexpr std::size_t header_length = 53;  // signature, marker and comment

inline constexpr std::uint16_t variable_header_length = 12;
inline constexpr std::uint8_t program_type = 0x12;
inline constexpr std::size_t name_length = 8;

// Body bytes before the first row: a zero byte, "AsmPrgm" and a line separator.
inline constexpr std::string_view body_start{
    "\x00"
    "AsmPrgm"
    "\xD6",
    9};
inline constexpr char line_separator = '\xD6';

// Data section bytes ahead of the body, and file bytes around the data section.
inline constexpr std::size_t variable_entry_length = 18;
inline constexpr std::size_t file_overhead = header_length + 2 + variable_entry_length + 2;

// D = P + 18 is a 16-bit field, which bounds the program body.
inline constexpr std::size_t max_program_length = 0xFFFF - variable_entry_length;

}  // namespace tarnwick::ti86

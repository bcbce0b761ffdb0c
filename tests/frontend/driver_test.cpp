// The driver against the fake system: every message, in order, and what becomes of the files,
// with no disk touched.
#include "frontend/driver.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "fake_system.h"
#include "golden.h"
#include "ti86/file_format.h"

namespace tarnwick::testing {
namespace {

using lines = std::vector<std::string>;

// A conversion of `in` into `out` that warns with `warnings` before its `last` line.
lines warned(const std::string& in, const std::string& out, const lines& warnings,
             const std::string& last = "Success!") {
  lines shown = converted(in, out, last);
  shown.insert(shown.end() - 1, warnings.begin(), warnings.end());
  return shown;
}

lines opening_failed(const std::string& shown) {
  return {"<clear>", frontend::banner() + "\n", "Error opening " + shown + "!"};
}

TEST(run, golden_file_of_two_records) {
  const std::string data32b = "2A4B3C5D6E7F8091A2B3C4D5E6F70819";
  fake_system sys;
  sys.files["prog.hex"] = rec16 + "\r\n:10001000" + data32b + "E8\r\n" + end_record + "\r\n";
  EXPECT_EQ(sys.run({"prog.hex"}), converted("prog.hex", "prog.86p"));
  EXPECT_EQ(sys.files["prog.86p"],
            fixed_header() +
                from_hex("5C 00 0C 00 4C 00 12 08 70 72 6F 67 2E 38 36 70 4C 00"
                         "4A 00 00 41 73 6D 50 72 67 6D D6") +
                data32 + "\xD6" + data32b + from_hex("14 16"));
}

TEST(run, outcomes) {
  const std::string refusal = ": output would overwrite the input!";
  const std::string no_record =
      ": no line is an Intel HEX record; assemble the source to Intel HEX first (pasmo --hex "
      "prog.asm prog.hex) and convert the .hex file";
  const auto not_hex = [](const std::string& in) {
    return converted(in, "t.86p", "Error converting " + in + ": not Intel HEX!");
  };
  const lines empty = warned("t.hex", "t.86p", {frontend::not_intel_hex_warning("t.hex")});
  lines closing = converted("t.hex", "t.86p");
  closing.insert(closing.end(), {"\nPress any key to close this window.", "<key>"});
  struct {
    const char* what;
    std::vector<std::string> args;
    std::map<std::string, std::string> files;
    void (*fault)(fake_system&);
    lines shown;
    std::map<std::string, std::size_t> written;  // the size of each file made or changed
    lines errors = {};                           // on the error stream
  } const cases[] = {
      {"output in the input's folder, further arguments ignored",
       {"sub/x", "x.hex", "y.hex"},
       {{"sub/x", t_hex}},
       nullptr,
       converted("sub/x", "sub/.86p"),
       {{"sub/.86p", 90}}},
      {"a window that closes as the program ends",
       {"t.hex"},
       {{"t.hex", t_hex}},
       [](fake_system& s) { s.window_is_own = true; },
       closing,
       {{"t.86p", 90}}},
      {"missing input, a space in its name",
       {"no such.hex"},
       {},
       nullptr,
       opening_failed("no such.hex"),
       {},
       {"tarnwick: no such.hex: error 2"}},
      {"empty name", {""}, {}, nullptr, opening_failed(""), {}, {"tarnwick: : error 2"}},
      // Not UTF-8 as a whole, it is read byte by byte: 0x9B is CSI even where it ends U+2A1B.
      {"control characters and C1 bytes of a name that is not UTF-8",
       {"\x1b]0;\a\x7f\xe9\x9b[m\xe2\xa8\x9b\x9f\xa0\xff\nSuccess"},
       {},
       nullptr,
       opening_failed("?]0;??\xe9?[m\xe2\xa8??\xa0\xff?Success"),
       {},
       {"tarnwick: ?]0;??\xe9?[m\xe2\xa8??\xa0\xff?Success: error 2"}},
      {"names shown without DEL and C1",
       {"a\x7f\xc2\x9b.hex"},
       {{"a\x7f\xc2\x9b.hex", t_hex}},
       nullptr,
       converted("a??.hex", "a??.86p"),
       {{"a\x7f\xc2\x9b.86p", 90}}},
      {"other letter case",
       {"t.86P"},
       {{"t.86P", t_hex}},
       nullptr,
       converted("t.86P", "t.86p", "Error converting t.86P" + refusal),
       {},
       {"tarnwick: t.86P: the same file as the input"}},
      {"output reaches the input",
       {"t.hex"},
       {{"t.hex", t_hex}},
       [](fake_system& s) { s.input_is_output = true; },
       converted("t.hex", "t.86p", "Error converting t.hex" + refusal),
       {},
       {"tarnwick: t.hex: the same file as the input"}},
      {"read error",
       {"t.hex"},
       {{"t.hex", t_hex}, {"t.86p", "old"}},
       [](fake_system& s) { s.read_fails_at = 5; },
       converted("t.hex", "t.86p", "Error reading t.hex!"),
       {},
       {"tarnwick: t.hex: error 5"}},
      {"out of memory",
       {"t.hex"},
       {{"t.hex", t_hex}, {"t.86p", "old"}},
       [](fake_system& s) { s.memory_runs_out = true; },
       converted("t.hex", "t.86p", "Error converting t.hex: out of memory!"),
       {},
       {"tarnwick: t.hex: not enough memory"}},
      {"write error",
       {"t.hex"},
       {{"t.hex", t_hex}},
       [](fake_system& s) { s.write_fails = true; },
       converted("t.hex", "t.86p", "Error writing t.86p!"),
       {},
       {"tarnwick: t.86p: error 28"}},
      {"largest program",
       {"big.hex"},
       {{"big.hex", largest_input()}},
       nullptr,
       converted("big.hex", "big.86p"),
       {{"big.86p", ti86::max_program_length + ti86::file_overhead}}},
      {"warnings in the order of their lines, then the outcome",
       {"w.hex"},
       {{"w.hex", ":03000000010203F8\r\nnop\r\nnop\r\n:01001000559A\r\n:020000040001F9\r\n" +
                      end_record + "\r\n"}},
       nullptr,
       warned("w.hex", "w.86p",
              {"Warning: w.hex line 1: a record whose checksum is wrong; its data may be damaged. "
               "The line was changed or damaged after the assembler wrote it: assemble again.",
               "Warning: w.hex line 2: not an Intel HEX record; its characters after the ninth go "
               "into the program (2 lines in all). Delete such lines, or make the HEX file again.",
               "Warning: w.hex line 4: data at address 0010 does not follow on from the data "
               "before it, which ends at 0003; the program is put together without the gap, so "
               "the bytes from here on are not where the assembler put them. Give the program "
               "one origin, or fill the gap when making the HEX file.",
               "Warning: w.hex line 5: an extended address record sets the base address 10000; "
               "the data after it belongs there, not at the addresses its records name, and no "
               "TI-86 program runs there. Assemble for the TI-86's memory (org 0D748h)."}),
       {{"w.86p", 93}}},
      {"two warnings of one line, in the order of their kinds",
       {"w.hex"},
       {{"w.hex", ":01000000ZZ\r\n"}},
       nullptr,
       warned("w.hex", "w.86p",
              {"Warning: w.hex line 1: a record whose characters are not all hex digits, or not "
               "as many as its byte count gives; what it puts in the program is not its data. "
               "The line was changed or damaged after the assembler wrote it: assemble again.",
               "Warning: w.hex line 1: no end-of-file record: the file may be cut short. "
               "Assemble or copy it again, whole."}),
       {{"w.86p", 84}}},
      // Text without one record, a source or a binary named by mistake, is refused; no line
      // at all is an empty program.
      {"assembly source, the output kept",
       {"t.asm"},
       {{"t.asm", "\tld a,1\n; :01 is no record\n"}, {"t.86p", "old"}},
       nullptr,
       not_hex("t.asm"),
       {},
       {"tarnwick: t.asm" + no_record}},
      {"binary, no output made",
       {"t.bin"},
       {{"t.bin", "\177ELF\1\1\326"}},
       nullptr,
       not_hex("t.bin"),
       {},
       {"tarnwick: t.bin" + no_record}},
      {"empty file", {"t.hex"}, {{"t.hex", ""}, {"t.86p", "old"}}, nullptr, empty, {{"t.86p", 84}}},
      {"blank lines only", {"t.hex"}, {{"t.hex", "\r\n\n\r\n"}}, nullptr, empty, {{"t.86p", 84}}},
      {"records after other text",
       {"t.hex"},
       {{"t.hex", "; t.asm\r\n" + t_hex + end_record + "\r\n"}, {"t.86p", "old"}},
       nullptr,
       warned("t.hex", "t.86p",
              {"Warning: t.hex line 1: not an Intel HEX record; its characters after the ninth "
               "go into the program. Delete such lines, or make the HEX file again.",
               "Warning: t.hex line 4: a record after the end-of-file record; it still goes into "
               "the program. The file may be two files joined: make it again from one program."}),
       {{"t.86p", 90}}},
      {"program too large",
       {"big.hex"},
       {{"big.hex", largest_input(true)}, {"big.86p", "old"}},
       nullptr,
       converted("big.hex", "big.86p", "Error converting big.hex: program too large!"),
       {},
       {"tarnwick: big.hex: larger than a .86p file can hold"}},
  };
  for (const auto& c : cases) {
    fake_system sys;
    sys.files = c.files;
    if (c.fault != nullptr) c.fault(sys);
    EXPECT_EQ(sys.run(c.args), c.shown) << c.what;
    std::map<std::string, std::size_t> written;
    for (const auto& [name, content] : sys.files) {
      const auto before = c.files.find(name);
      if (before == c.files.end() || before->second != content) written[name] = content.size();
    }
    EXPECT_EQ(written, c.written) << c.what;
    EXPECT_EQ(sys.errors, c.errors) << c.what;
  }
}

TEST(run, clock_is_read_before_the_input) {
  // The clock rewrites the input: only a run that reads the clock first converts the new text.
  fake_system sys;
  sys.files["t.hex"] = rec3;
  sys.on_clock = [&sys] { sys.files["t.hex"] = rec16; };
  sys.run({"t.hex"});
  EXPECT_EQ(sys.files["t.86p"].size(), 116U);
}

}  // namespace
}  // namespace tarnwick::testing

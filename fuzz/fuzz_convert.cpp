// Any input and any output name through convert(): a refusal exactly when the program would
// pass the format's bound, no text holding a record refused as no Intel HEX, and otherwise a
// file whose every field agrees with its bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "frontend/convert.h"
#include "fuzz_check.h"
#include "hexreader/byte_source.h"
#include "hexreader/row_table.h"
#include "program_reader.h"
#include "ti86/file_format.h"
#include "ti86/variable_name.h"

namespace tarnwick {
namespace {

using namespace hexreader;

using fuzz::check;

constexpr std::string_view time_text = "Tue Feb 06 12:34:56 2024";
// Repeating the input lets a short one reach the size bound; this caps the work per run.
constexpr std::size_t max_repeated = std::size_t{96} * 1024;

// Takes the next `n` bytes (fewer at the end) off the front of `in`.
std::string_view take(std::string_view& in, std::size_t n) {
  const std::string_view part = in.substr(0, n);
  in.remove_prefix(part.size());
  return part;
}

std::uint8_t take_byte(std::string_view& in) {
  const std::string_view b = take(in, 1);
  return b.empty() ? 0 : static_cast<std::uint8_t>(b[0]);
}

// The program body the README lays out for `table`: a zero byte, "AsmPrgm", 0xD6, then the
// rows with one 0xD6 between two of them.
std::string expected_body(const row_table& table) {
  std::string body("\0AsmPrgm\xD6", 9);
  std::string_view rows = table.text;
  if (!rows.empty()) rows.remove_suffix(1);
  const std::size_t rows_start = body.size();
  body += rows;
  for (std::size_t i = rows_start; i < body.size(); ++i) {
    if (body[i] == '\0') body[i] = '\xD6';
  }
  return body;
}

// The tests' decoder checks the fields against each other; the time, the name and the body
// are checked against what was converted.
void check_image(std::string_view image, std::string_view name, const row_table& table) {
  const testing::program_fields fields = testing::read_program(image);
  check(fields.problems.empty(), fields.problems.empty() ? "" : fields.problems[0].c_str());
  check(fields.time_text == time_text, "comment holds the time text");
  const ti86::variable_name var = ti86::make_variable_name(name);
  check(fields.name == std::string_view(var.data(), var.size()), "variable name");
  check(fields.body == expected_body(table), "the program body");
}

}  // namespace
}  // namespace tarnwick

// Input: a name length byte, the name, two bytes choosing a repeat count, then the text.
// Below 0x80 the first repeat byte means one copy, so most runs read the text as it is.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnwick;
  using namespace tarnwick::hexreader;
  using namespace tarnwick::frontend;
  std::string_view in(reinterpret_cast<const char*>(data), size);
  const std::string_view name = take(in, take_byte(in));
  const std::uint8_t r0 = take_byte(in);
  const std::uint8_t r1 = take_byte(in);
  std::size_t copies = r0 < 0x80 ? 1 : 1 + (static_cast<std::size_t>(r0 & 0x7F) << 8 | r1) % 2048;
  copies = std::max<std::size_t>(
      1, std::min(copies, max_repeated / std::max<std::size_t>(1, in.size())));
  std::string text;
  text.reserve(in.size() * copies);
  for (std::size_t i = 0; i < copies; ++i) text += in;

  memory_source source(text);
  const conversion result = convert(source, name, time_text);

  row_table table;
  memory_source again(text);
  check(read_rows(again, table, SIZE_MAX, '\0') == read_status::ok, "memory is read to its end");
  const std::size_t body = table.non_empty >= 1 ? 8 + table.non_empty + table.chars : 9;

  check(result.status != read_status::read_error, "memory never fails a read");
  if (body > ti86::max_program_length) {
    check(result.status == read_status::too_large,
          "a body past the largest a file holds is refused");
    check(result.image.empty(), "a refusal gives no file");
  } else {
    check(result.status == read_status::ok, "a body within the largest a file holds converts");
    if (result.not_intel_hex) {
      check(!table.faults.any_record && result.image.empty(),
            "only text without records is refused");
    } else {
      check_image(result.image, name, table);
    }
  }
  return 0;
}

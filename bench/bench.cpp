// Reader and writer on the largest program the file format allows, and the reader on a
// long run of blank lines.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "frontend/convert.h"
#include "hexreader/byte_source.h"
#include "hexreader/row_table.h"
#include "ti86/program_file.h"
#include "ti86/variable_name.h"

namespace {

using namespace tarnwick;
using namespace tarnwick::hexreader;
using namespace tarnwick::frontend;

// 1985 records of 16 bytes with CR LF line ends: a body just under the 65517-byte limit.
std::string largest_input() {
  std::string text;
  std::uint32_t state = 12345;
  char line[64];
  for (unsigned record = 0; record < 1985; ++record) {
    const unsigned address = 0xD748 + record * 16;
    unsigned sum = 16 + (address >> 8) + (address & 0xFF);
    int n = std::snprintf(line, sizeof line, ":10%04X00", address & 0xFFFF);
    for (int i = 0; i < 16; ++i) {
      state = state * 1103515245 + 12345;
      const unsigned byte = (state >> 16) & 0xFF;
      sum += byte;
      n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "%02X", byte);
    }
    (void)std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "%02X\r\n",
                        (0x100 - (sum & 0xFF)) & 0xFF);
    text += line;
  }
  return text + ":00000001FF\r\n";
}

const std::string& largest() {
  static const std::string text = largest_input();
  return text;
}

void read_rows_largest(benchmark::State& state) {
  for (auto _ : state) {
    memory_source in(largest());
    row_table table;
    benchmark::DoNotOptimize(read_rows(in, table, ti86::max_row_text, ti86::line_separator));
    benchmark::DoNotOptimize(table.text.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * largest().size()));
}
BENCHMARK(read_rows_largest);

void write_program_largest(benchmark::State& state) {
  std::string rows;
  ti86::write_header(rows, "Mon Dec 07 04:09:03 2026");
  ti86::begin_program(rows);
  memory_source in(largest());
  row_table table;
  table.text = rows;
  read_rows(in, table, ti86::max_row_text, ti86::line_separator);
  const ti86::variable_name name = ti86::make_variable_name("largest.86p");
  std::string file;
  for (auto _ : state) {
    file = table.text;
    ti86::write_program(file, name);
    benchmark::DoNotOptimize(file.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}
BENCHMARK(write_program_largest);

void convert_largest(benchmark::State& state) {
  for (auto _ : state) {
    memory_source in(largest());
    benchmark::DoNotOptimize(convert(in, "largest.86p", "Mon Dec 07 04:09:03 2026"));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * largest().size()));
}
BENCHMARK(convert_largest);

void read_rows_blank_lines(benchmark::State& state) {
  const std::string blank(8 << 20, '\n');
  for (auto _ : state) {
    memory_source in(blank);
    row_table table;
    benchmark::DoNotOptimize(read_rows(in, table, ti86::max_row_text, ti86::line_separator));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * blank.size()));
}
BENCHMARK(read_rows_blank_lines);

}  // namespace

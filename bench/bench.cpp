// Reader and writer on the largest program the file format allows, and the reader on a
// long run of blank lines. With --largest-input, writes that input to standard output instead,
// for compare.sh; with --largest-input-at-zero, the same records all at address 0.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "frontend/convert.h"
#include "hexreader/byte_source.h"
#include "hexreader/row_table.h"
#include "sample_records.h"
#include "ti86/program_file.h"
#include "ti86/variable_name.h"

namespace {

using namespace tarnwick;
using namespace tarnwick::hexreader;
using namespace tarnwick::frontend;

const std::string& largest() {
  static const std::string text = testing::largest_input();
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

int main(int argc, char** argv) {
  if (argc == 2 && std::string_view(argv[1]).starts_with("--largest-input")) {
    const std::string text =
        testing::largest_input(false, std::string_view(argv[1]) == "--largest-input-at-zero");
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() ? 0 : 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

#include "hexreader/row_table.h"

#include <algorithm>
#include <cstring>

#include "hexreader/line_source.h"
#include "hexreader/scan.h"

namespace tarnwick::hexreader {
namespace {

constexpr std::size_t head_length = 9;
constexpr std::size_t row_length = 100;
constexpr std::size_t checksum_digits = 2;  // the record checksum, which ends every row
// Rows are copied 32 bytes, then 16 at a time, past their ends: the text keeps room for that.
constexpr std::size_t copy_least = 32;

}  // namespace

read_status read_rows(byte_source& in, row_table& table, std::size_t max_text, char row_end) {
  constexpr auto window = static_cast<std::ptrdiff_t>(line_source::window);
  line_source lines(in);
  std::string& text = table.text;
  // Room for a typical program at once: growing the text would copy it over and over.
  text.reserve(std::min(max_text, std::size_t{64} * 1024) + copy_least);
  char* out = text.data();  // where the next row goes
  char* fence = out;        // how far rows may reach: the limit, or a copy short of the end
  std::uint64_t rows = 0, non_empty = 0;
  bool full = false, at_end = false;
  const char* p = nullptr;
  const char* clear = nullptr;  // no zero byte comes between `p` and here
  // One iteration at `p`, `avail` bytes in view; checked, it looks for a zero byte and the limit.
  // False once full.
  const auto step = [&](std::size_t avail, bool checked) __attribute__((always_inline)) {
    const std::size_t lf = scan::line_feed(p, head_length + 1 + row_length);
    // Empty lines, all LF or all CR LF, go two to an iteration, its head and its row.
    if (lf <= 1 && (lf == 0 || p[0] == '\r')) {
      const std::size_t pairs = lines.run(p, p[0], '\n') / (2 * lf + 2);
      rows += pairs;
      p += pairs * (2 * lf + 2);
      if (pairs > 0) return true;
    }
    const line_read head = bounded_read(p, avail, head_length, lf);
    const char* const row = p + head.consumed;
    // A head that met its line end leaves the row to be searched anew.
    const line_read r = bounded_read(
        row, avail - head.consumed, row_length,
        head.consumed > head.length ? scan::line_feed(row, row_length + 1) : lf - head.consumed);
    p = row + r.consumed;
    at_end = r.at_end;
    ++rows;
    std::size_t len = r.length;
    if (checked && row + len > clear) {  // a zero byte ends the row's text
      const void* z = std::memchr(row, '\0', len);
      if (z != nullptr) len = static_cast<std::size_t>(static_cast<const char*>(z) - row);
    }
    if (len <= checksum_digits) return true;
    const std::size_t kept = len - checksum_digits;
    if (checked && kept >= static_cast<std::size_t>(fence - out)) return false;
    std::memcpy(out, row, copy_least);
    if (kept > copy_least) [[unlikely]] {
      for (std::size_t i = copy_least; i < kept; i += 16) std::memcpy(out + i, row + i, 16);
    }
    out[kept] = row_end;
    out += kept + 1;
    ++non_empty;
    return true;
  };
  while (!at_end && !full) {
    lines.fill();
    for (p = clear = lines.begin(); !at_end && !full && lines.whole(p);) {
      if (fence - out < window) {
        // The text grows ahead of its rows, up to the limit, in steps short of the 2 KiB from
        // which zeroing takes a slow-starting string instruction.
        const auto written = static_cast<std::size_t>(out - text.data());
        const std::size_t want = std::min(written + window, max_text) + copy_least;
        if (text.size() < want) {
          text.resize(std::max(std::min(text.size() + 2000, text.capacity()), want));
        }
        out = text.data() + written;
        fence = text.data() + std::min(max_text, text.size() - copy_least);
      }
      if (clear <= p) {
        const void* z = std::memchr(p, '\0', static_cast<std::size_t>(lines.end() - p));
        clear = z != nullptr ? static_cast<const char*>(z) : lines.end();
      }
      // Iterations short of the view's end, the next zero byte and the fence need no checks:
      // an iteration writes fewer bytes than it reads.
      const auto reach = std::min({lines.end() - p, clear - p, fence - out});
      if (reach < window) {
        full = !step(static_cast<std::size_t>(lines.end() - p), true);
        continue;
      }
      const char* const last = p + (reach - window);
      while (p <= last) step(line_source::window, false);
    }
    lines.consume_to(p, at_end);
  }
  text.resize(static_cast<std::size_t>(out - text.data()));
  table.rows += rows;
  table.non_empty += non_empty;
  table.chars += text.size() - non_empty;
  if (full) return read_status::too_large;
  return lines.read_failed() ? read_status::read_error : read_status::ok;
}

}  // namespace tarnwick::hexreader

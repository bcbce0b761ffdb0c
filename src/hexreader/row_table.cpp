#include "hexreader/row_table.h"

#include <algorithm>
#include <cstring>

#include "hexreader/line_source.h"
#include "hexreader/scan.h"

namespace tarnwick::hexreader {
namespace {

// The two bounded reads of one iteration: the record head, then the row.
constexpr std::size_t head_length = 9;
constexpr std::size_t row_length = 100;
// Digits of the record checksum that end every data text.
constexpr std::size_t checksum_digits = 2;
// Rows are copied sixteen bytes a step, so the text keeps that much room behind its last row.
constexpr std::size_t copy_step = 16;
// Every row is copied as at least this many bytes, the most a typical one needs.
constexpr std::size_t copy_least = 32;

// The table's text while rows are added: it grows ahead of them, a step at a time, and is cut
// back to them when the reading ends.
struct text_room {
  char* out;    // where the next row goes
  char* fence;  // rows may reach up to here, a copy's overshoot short of the end
};

// Grows `text`, which holds rows up to `out`, so that `need` more bytes fit with a copy's
// overshoot behind them, unless that would pass `max_text`. Gives the room there is.
text_room make_room(std::string& text, char* out, std::size_t need, std::size_t max_text) {
  const auto written = static_cast<std::size_t>(out - text.data());
  if (written + need <= max_text) {
    // Steps under 2 KiB are zeroed with vector stores; larger ones with a string instruction
    // that starts slowly.
    constexpr std::size_t step = 2000;
    text.resize(
        std::max(std::min(text.size() + step, text.capacity()), written + need + copy_least));
  }
  const std::size_t end = text.size() < copy_least ? 0 : text.size() - copy_least;
  return {text.data() + written, text.data() + std::max(written, std::min(max_text, end))};
}

// One read iteration: the row's characters, and where the next one begins.
struct iteration {
  const char* row;
  std::size_t length;
  const char* next;
  bool at_end;
};

// The iteration at `p` over the `avail` bytes there, which hold line_source::window bytes or
// the whole rest of the input. `lf` is the first line feed within the iteration's reach,
// head_length + 1 + row_length bytes, or that length when none is there.
inline iteration read_iteration(const char* p, std::size_t avail, std::size_t lf) {
  const line_read head = bounded_read(p, avail, head_length, lf);
  if (head.at_end) return {p, 0, p + head.consumed, true};
  const char* const row = p + head.consumed;
  // A head that took its nine characters leaves the search standing; one that met its line
  // end leaves the row to be searched anew.
  lf = head.consumed > head.length ? find_line_feed(row, row_length + 1) : lf - head.consumed;
  const line_read text = bounded_read(row, avail - head.consumed, row_length, lf);
  return {row, text.length, row + text.consumed, text.at_end};
}

// The iterations of a run of empty lines at `p`, all LF or all CR LF, counted whole: each
// takes two empty lines, one as its head and one as its row. Gives the bytes they take.
inline std::size_t blank_run(line_source& lines, const char* p, std::uint64_t& iterations) {
  const bool crlf = p[0] == '\r';
  const std::size_t line_end = crlf ? 2 : 1;
  const std::size_t run =
      crlf ? lines.pattern_run(p, '\r', '\n') : lines.pattern_run(p, '\n', '\n');
  iterations = run / (2 * line_end);
  return iterations * 2 * line_end;
}

}  // namespace

read_status read_rows(byte_source& in, row_table& table, std::size_t max_text, char row_end) {
  constexpr std::size_t window = line_source::window;
  line_source lines(in);
  std::string& text = table.text;
  // Room for a typical program at once: growing the text would copy it over and over.
  text.reserve(std::min(max_text, std::size_t{64} * 1024) + copy_least);
  text_room room{text.data(), text.data()};
  std::uint64_t rows = 0;
  std::uint64_t non_empty = 0;
  bool full = false;
  bool at_end = false;
  const char* p = nullptr;
  const char* clear = nullptr;  // no zero byte comes between `p` and here
  // One iteration at `p`, its reads given `avail` bytes. Checked, it ends the row's text at a
  // zero byte and makes room for it; unchecked, the caller knows that neither is needed.
  // False once the text is full.
  const auto step = [&](std::size_t avail, bool checked) __attribute__((always_inline)) {
    const std::size_t lf = find_line_feed(p, head_length + 1 + row_length);
    if (lf <= 1) {
      std::uint64_t blank = 0;
      if (const std::size_t consumed = blank_run(lines, p, blank); consumed > 0) {
        rows += blank;
        p += consumed;
        return true;
      }
    }
    const iteration it = read_iteration(p, avail, lf);
    p = it.next;
    at_end = it.at_end;
    ++rows;
    std::size_t len = it.length;
    // A zero byte ends the row's text.
    if (checked && it.row + len > clear) {
      if (const void* z = std::memchr(it.row, '\0', len)) {
        len = static_cast<std::size_t>(static_cast<const char*>(z) - it.row);
      }
    }
    if (len <= checksum_digits) return true;
    // The row's text less the checksum digits, copied a step at a time past its end.
    const std::size_t kept = len - checksum_digits;
    if (checked && kept >= static_cast<std::size_t>(room.fence - room.out)) {
      room = make_room(text, room.out, kept + 1, max_text);
      if (kept >= static_cast<std::size_t>(room.fence - room.out)) return false;
    }
    std::memcpy(room.out, it.row, copy_least);
    if (kept > copy_least) [[unlikely]] {
      for (std::size_t i = copy_least; i < kept; i += copy_step) {
        std::memcpy(room.out + i, it.row + i, copy_step);
      }
    }
    room.out[kept] = row_end;
    room.out += kept + 1;
    ++non_empty;
    return true;
  };
  while (!at_end && !full) {
    lines.fill();
    p = lines.begin();
    clear = p;
    while (!full && static_cast<std::size_t>(lines.end() - p) >= window) {
      const char* const end = lines.end();
      // A run of blank lines needs neither the search for a zero byte nor room.
      if (*p == '\n' || *p == '\r') {
        full = !step(window, true);
        continue;
      }
      if (clear <= p) {
        const void* z = std::memchr(p, '\0', static_cast<std::size_t>(end - p));
        clear = z != nullptr ? static_cast<const char*>(z) : end;
      }
      if (room.fence - room.out < static_cast<std::ptrdiff_t>(window)) {
        room = make_room(text, room.out, window, max_text);
      }
      // Iterations that reach neither the end of the view, nor a zero byte, nor past the
      // text's room need no checks: an iteration writes fewer bytes than it reads.
      const auto reach = std::min({end - p, clear - p, room.fence - room.out});
      if (reach >= static_cast<std::ptrdiff_t>(window)) {
        for (const char* const last = p + (reach - window); p <= last;) step(window, false);
      } else {
        full = !step(window, true);
      }
    }
    if (lines.exhausted()) {
      // The last bytes of the input, fewer than a whole iteration.
      while (!at_end && !full) full = !step(static_cast<std::size_t>(lines.end() - p), true);
    }
    lines.consume_to(p, at_end);
  }
  text.resize(static_cast<std::size_t>(room.out - text.data()));
  table.rows += rows;
  table.non_empty += non_empty;
  table.chars += text.size() - non_empty;
  if (full) return read_status::too_large;
  return lines.read_failed() ? read_status::read_error : read_status::ok;
}

}  // namespace tarnwick::hexreader

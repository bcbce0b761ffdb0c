// The reader's byte search: sixteen bytes a step with SSE2 where the compiler targets it, eight
// elsewhere. It may read up to 15 bytes past the stretch it is given, which must be readable.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarnwick::hexreader::scan {

#if defined(__SSE2__)
using lane = __m128i;
constexpr int shift = 0;  // byte i of a lane is bit i << shift of its mask
inline lane equal(lane x, lane y) {
  return _mm_cmpeq_epi8(x, y);
}
inline std::uint64_t mask(lane x) {
  return static_cast<unsigned>(_mm_movemask_epi8(x));
}
#else
using lane = std::uint64_t;
constexpr int shift = 3;
// The top bit of each byte where `x` and `y` agree: exact, as no byte's sum carries over.
inline lane equal(lane x, lane y) {
  x ^= y;
  return ~(((x & 0x7F7F7F7F7F7F7F7FU) + 0x7F7F7F7F7F7F7F7FU) | x) & 0x8080808080808080U;
}
// Byte i of a lane is counted from its low end, so on a big-endian machine the lowest
// address is the highest byte.
inline std::uint64_t mask(lane x) {
  if constexpr (std::endian::native == std::endian::big) return __builtin_bswap64(x);
  return x;
}
#endif
constexpr std::size_t width = sizeof(lane);
constexpr std::uint64_t all = width == 16 ? 0xFFFF : 0x8080808080808080U;

inline lane load(const char* p) {
  lane x;
  std::memcpy(&x, p, sizeof x);
  return x;
}

// The index of the first byte in p[0, n) that is (`equal_stops`) or is not the byte of the
// pattern a b a b ... at its place, or n.
inline std::size_t find(const char* p, std::size_t n, char a, char b, bool equal_stops) {
  char pair[width] = {};
  for (std::size_t k = 0; k < width; ++k) pair[k] = k % 2 == 0 ? a : b;
  const lane pattern = load(pair);
  std::size_t i = 0;
  // Runs are long: sixteen lanes a step while all of them match.
  for (; !equal_stops && i + 16 * width <= n; i += 16 * width) {
    lane m = equal(load(p + i), pattern);
    for (std::size_t k = width; k < 16 * width; k += width) m &= equal(load(p + i + k), pattern);
    if (mask(m) != all) break;
  }
  for (; i < n; i += width) {
    const std::uint64_t hits = mask(equal(load(p + i), pattern)) ^ (equal_stops ? 0 : all);
    if (hits != 0)
      return std::min(i + (static_cast<std::size_t>(std::countr_zero(hits)) >> shift), n);
  }
  return n;
}

inline std::size_t line_feed(const char* p, std::size_t n) {
  return find(p, n, '\n', '\n', true);
}

}  // namespace tarnwick::hexreader::scan

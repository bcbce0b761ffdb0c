// The reader's byte searches: sixteen bytes a step with SSE2 where the compiler targets it,
// eight a step elsewhere. Each may read up to 15 bytes past the stretch it is given, so the
// memory behind it must be allocated and initialised.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>

#include <algorithm>
#include <bit>
#endif

namespace tarnwick::hexreader {

#if defined(__SSE2__)

namespace simd {

inline __m128i load(const char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Bit i set where byte i of `a` equals byte i of `b`.
inline unsigned equal_bits(__m128i a, __m128i b) {
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)));
}

}  // namespace simd

// The index of the first line feed in p[0, n), or n.
inline std::size_t find_line_feed(const char* p, std::size_t n) {
  const __m128i lf = _mm_set1_epi8('\n');
  for (std::size_t i = 0; i < n; i += 16) {
    const std::uint64_t bits = simd::equal_bits(simd::load(p + i), lf);
    if (bits != 0) {
      const std::size_t at = i + static_cast<std::size_t>(std::countr_zero(bits));
      return at < n ? at : n;
    }
  }
  return n;
}

// How many of the first `n` bytes at `p` follow the pattern a b a b ... from its start.
inline std::size_t pattern_run(const char* p, std::size_t n, char a, char b) {
  const __m128i pattern = _mm_set1_epi16(static_cast<short>(
      static_cast<unsigned char>(a) | static_cast<unsigned>(static_cast<unsigned char>(b)) << 8));
  const auto same = [&](std::size_t at) { return _mm_cmpeq_epi8(simd::load(p + at), pattern); };
  // A whole block a step while all of it matches: one mask for its sixteen-byte comparisons.
  constexpr std::size_t block = 256;
  const auto block_matches = [&](std::size_t at) {
    __m128i all = same(at);
    for (std::size_t k = 16; k < block; k += 16) all = _mm_and_si128(all, same(at + k));
    return _mm_movemask_epi8(all) == 0xFFFF;
  };
  std::size_t i = 0;
  while (i + block <= n && block_matches(i)) i += block;
  for (; i < n; i += 16) {
    const unsigned miss = ~static_cast<unsigned>(_mm_movemask_epi8(same(i))) & 0xFFFFU;
    if (miss != 0) return std::min(i + static_cast<unsigned>(std::countr_zero(miss)), n);
  }
  return n;
}

#else

namespace word {

inline std::uint64_t load(const char* p) {
  std::uint64_t w = 0;
  std::memcpy(&w, p, sizeof w);
  return w;
}

}  // namespace word

// The index of the first line feed in p[0, n), or n.
inline std::size_t find_line_feed(const char* p, std::size_t n) {
  for (std::size_t i = 0; i < n; i += 8) {
    const std::uint64_t w = word::load(p + i) ^ 0x0A0A0A0A0A0A0A0AU;
    // Some byte of `w` is zero: exact as a test in either byte order, since with no zero
    // byte nothing borrows.
    if (((w - 0x0101010101010101U) & ~w & 0x8080808080808080U) != 0) {
      while (p[i] != '\n') ++i;
      return i < n ? i : n;
    }
  }
  return n;
}

// How many of the first `n` bytes at `p` follow the pattern a b a b ... from its start.
inline std::size_t pattern_run(const char* p, std::size_t n, char a, char b) {
  const char pair_bytes[8] = {a, b, a, b, a, b, a, b};
  const std::uint64_t pattern = word::load(pair_bytes);
  std::size_t i = 0;
  while (i + 8 <= n && word::load(p + i) == pattern) i += 8;
  while (i < n && p[i] == ((i & 1) == 0 ? a : b)) ++i;
  return i;
}

#endif

}  // namespace tarnwick::hexreader

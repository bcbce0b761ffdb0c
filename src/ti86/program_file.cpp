#include "ti86/program_file.h"

#include <algorithm>
#include <cstdint>

#include "ti86/coding.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarnwick::ti86 {
namespace {

std::uint16_t word(std::size_t value) {
  return static_cast<std::uint16_t>(value);
}

// The low 16 bits of the sum of the bytes of `data`, taken as unsigned.
std::uint16_t checksum(std::string_view data) {
  std::uint64_t sum = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  // Each half of a sum of absolute differences against zero is the sum of eight bytes. Four
  // blocks of sixteen a step, then one.
  const __m128i zero = _mm_setzero_si128();
  const auto sum16 = [&](std::size_t at) {
    return _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data.data() + at)), zero);
  };
  __m128i sums = zero;
  for (; i + 64 <= data.size(); i += 64) {
    sums = _mm_add_epi64(sums, _mm_add_epi64(_mm_add_epi64(sum16(i), sum16(i + 16)),
                                             _mm_add_epi64(sum16(i + 32), sum16(i + 48))));
  }
  for (; i + 16 <= data.size(); i += 16) sums = _mm_add_epi64(sums, sum16(i));
  sum += static_cast<std::uint64_t>(_mm_cvtsi128_si64(sums)) +
         static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
#endif
  for (; i < data.size(); ++i) sum += static_cast<unsigned char>(data[i]);
  return word(sum & 0xFFFF);
}

}  // namespace

void write_header(std::string& out, std::string_view time_text) {
  out += signature;
  out += marker;
  const std::string_view stamp = time_text.substr(0, comment_length);
  out += stamp;
  out.append(comment_length - stamp.size(), '\0');
}

void begin_program(std::string& file) {
  file.append(2 + variable_entry_length, '\0');
  file += body_start;
}

void write_program(std::string& file, const variable_name& name) {
  // Each row is followed by a separator; the last one has none after it.
  if (file.size() > rows_offset) file.pop_back();
  const std::size_t data_start = header_length + 2;
  const std::size_t p = file.size() - (data_start + variable_entry_length);
  std::string fields;
  put_word(fields, word(p + variable_entry_length));
  put_word(fields, variable_header_length);
  put_word(fields, word(p + 2));
  fields.push_back(static_cast<char>(program_type));
  fields.push_back(static_cast<char>(name_length));
  fields.append(name.data(), name.size());
  put_word(fields, word(p + 2));
  put_word(fields, word(p));
  file.replace(header_length, fields.size(), fields);
  put_word(file, checksum(std::string_view(file).substr(data_start)));
}

}  // namespace tarnwick::ti86

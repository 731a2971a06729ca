#include "common/text_encoding.h"

#include <array>
#include <cstdint>

namespace qm {
namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F. The five undefined
// bytes map to the C1 controls, as Windows itself does.
constexpr std::array<char32_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

char ToCp1252(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (std::size_t i = 0; i < kHigh.size(); ++i) {
    if (kHigh[i] == c) return static_cast<char>(0x80 + i);
  }
  return '?';
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char ch : text) {
    const auto b = static_cast<std::uint8_t>(ch);
    AppendUtf8(out, b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : char32_t{b});
  }
  return out;
}

std::string Utf8ToCp1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<std::uint8_t>(text[i]);
    int extra = 0;
    char32_t c = 0;
    if (b < 0x80) {
      c = b;
    } else if ((b & 0xE0) == 0xC0) {
      extra = 1;
      c = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2;
      c = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3;
      c = b & 0x07;
    } else {
      out += '?';
      ++i;
      continue;
    }
    bool valid = i + static_cast<std::size_t>(extra) < text.size();
    for (int k = 1; valid && k <= extra; ++k) {
      const auto cont = static_cast<std::uint8_t>(text[i + k]);
      if ((cont & 0xC0) != 0x80) valid = false;
      c = (c << 6) | (cont & 0x3F);
    }
    if (!valid) {
      out += '?';
      ++i;
      continue;
    }
    out += ToCp1252(c);
    i += 1 + extra;
  }
  return out;
}

}  // namespace qm

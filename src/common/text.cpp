#include "common/text.h"

#include <array>
#include <cstdint>

namespace tvi {

namespace {

// Unicode of the bytes 0x80-0x9F in Windows-1252. The five bytes the code
// page leaves undefined carry the C1 control of the same value.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

char32_t windows1252CodePoint(unsigned char b) {
  return b >= 0x80 && b < 0xA0 ? kHighControls[b - 0x80] : b;
}

int windows1252Byte(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (std::size_t i = 0; i < kHighControls.size(); ++i)
    if (kHighControls[i] == cp) return static_cast<int>(0x80 + i);
  return -1;
}

Utf8Step decodeUtf8(std::string_view s, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(pos);
  if (lead < 0x80) return {lead, 1, true};

  // Well-formed sequences as Unicode defines them: no overlong forms, no
  // surrogates, nothing past U+10FFFF. A broken sequence is consumed up to
  // the first byte that cannot continue it (its "maximal subpart").
  std::size_t length;
  unsigned char lo = 0x80, hi = 0xBF;
  char32_t cp;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2; cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3; cp = lead & 0x0F;
    if (lead == 0xE0) lo = 0xA0;
    if (lead == 0xED) hi = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4; cp = lead & 0x07;
    if (lead == 0xF0) lo = 0x90;
    if (lead == 0xF4) hi = 0x8F;
  } else {
    return {0, 1, false};
  }
  std::size_t used = 1;
  for (; used < length; ++used) {
    if (pos + used >= s.size()) return {0, used, false};
    const unsigned char c = byte(pos + used);
    if (used == 1 ? (c < lo || c > hi) : !isContinuation(c)) return {0, used, false};
    cp = (cp << 6) | (c & 0x3F);
  }
  return {cp, length, true};
}

void appendUtf8Char(std::string& out, char32_t cp) { appendUtf8(out, cp); }

std::string trimmed(std::string_view text) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  std::size_t begin = 0, end = text.size();
  while (begin < end && blank(text[begin])) ++begin;
  while (end > begin && blank(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

std::string toAnsi(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    const unsigned char c = static_cast<unsigned char>(utf8[pos]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++pos;
      continue;
    }
    const Utf8Step step = decodeUtf8(utf8, pos);
    pos += step.length;
    int b = step.valid ? windows1252Byte(step.codePoint) : -1;
    // The other C1 controls keep their value, as the system's own
    // conversion does: a Latin-1 file holding a stray 0x80 gives the euro.
    if (b < 0 && step.valid && step.codePoint >= 0x80 && step.codePoint <= 0x9F)
      b = static_cast<int>(step.codePoint);
    out += b < 0 ? '?' : static_cast<char>(b);
  }
  return out;
}

std::string fromAnsi(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size() + ansi.size() / 8);
  for (char ch : ansi) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x80)
      out += ch;
    else
      appendUtf8(out, windows1252CodePoint(c));
  }
  return out;
}

unsigned char ansiUpperByte(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
  // à-þ to À-Þ, leaving ÷ (0xF7) alone; ß and ÿ have no upper case in the
  // Latin-1 half, ÿ has Ÿ at 0x9F.
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
  switch (c) {
    case 0x9A: return 0x8A;  // š Š
    case 0x9C: return 0x8C;  // œ Œ
    case 0x9E: return 0x8E;  // ž Ž
    case 0xFF: return 0x9F;  // ÿ Ÿ
    default: return c;
  }
}

std::string ansiUpper(std::string_view ansi) {
  std::string out(ansi);
  for (char& ch : out) ch = static_cast<char>(ansiUpperByte(static_cast<unsigned char>(ch)));
  return out;
}

bool ansiEqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (ansiUpperByte(static_cast<unsigned char>(a[i])) !=
        ansiUpperByte(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace tvi

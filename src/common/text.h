#pragma once
// Text helpers shared by the document service, the tables and the steps.
//
// Two encodings meet here: documents are read as UTF-8, and tables hold
// Windows-1252 (the Windows ANSI code page of Spanish systems) one byte per
// character. The steps work on ANSI text, so "the first four characters" of
// a value is its first four bytes.

#include <cstddef>
#include <string>
#include <string_view>

namespace tvi {

// Removes leading and trailing characters with codes 0 to 32.
std::string trimmed(std::string_view text);

// UTF-8 to Windows-1252; a character the code page cannot hold becomes "?".
// A malformed UTF-8 sequence also becomes one "?" (each maximal broken
// subpart, as Unicode recommends). The C1 controls U+0080-U+009F give the
// byte of the same value, as the system's own conversion does, so a Latin-1
// file holding a stray 0x80 yields the euro sign in the tables.
std::string toAnsi(std::string_view utf8);

// Windows-1252 to UTF-8. The five bytes the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the same value.
std::string fromAnsi(std::string_view ansi);

// Upper case of a Windows-1252 text, accented letters included (à -> À,
// ñ -> Ñ, ç -> Ç, ÿ -> Ÿ...). Used where codes are compared without regard
// to letter case.
std::string ansiUpper(std::string_view ansi);

// True when the two ANSI texts are equal without regard to letter case.
bool ansiEqualNoCase(std::string_view a, std::string_view b);

// The upper case of one Windows-1252 byte (as ansiUpper).
unsigned char ansiUpperByte(unsigned char c);

// The code point of a Windows-1252 byte (the five undefined bytes give the
// C1 control of the same value), and its exact inverse: the byte of a code
// point, or -1 when the code page has none (the other C1 controls included).
char32_t windows1252CodePoint(unsigned char b);
int windows1252Byte(char32_t cp);

// One step of UTF-8 decoding at `pos` (which must be inside `s`): the code
// point and the bytes consumed; a malformed sequence is consumed up to the
// first byte that cannot continue it and reported invalid.
struct Utf8Step {
  char32_t codePoint = 0;
  std::size_t length = 1;
  bool valid = false;
};
Utf8Step decodeUtf8(std::string_view s, std::size_t pos);

// Appends the UTF-8 form of a code point (at most U+10FFFF, no surrogate).
void appendUtf8Char(std::string& out, char32_t cp);

// The first n bytes of an ANSI text (all of it when shorter).
inline std::string leftAnsi(std::string_view s, std::size_t n) {
  return std::string(s.substr(0, n));
}
// The last n bytes of an ANSI text (all of it when shorter).
inline std::string rightAnsi(std::string_view s, std::size_t n) {
  return std::string(s.size() > n ? s.substr(s.size() - n) : s);
}

}  // namespace tvi

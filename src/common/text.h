#pragma once
// Text helpers shared by the document service, the tables and the steps.
//
// Two encodings meet here: documents are read as UTF-8, and tables hold
// Windows-1252 (the Windows ANSI code page of Spanish systems) one byte per
// character. The steps work on ANSI text, so "the first four characters" of
// a value is its first four bytes.

#include <string>
#include <string_view>

namespace tvi {

// Removes leading and trailing characters with codes 0 to 32.
std::string trimmed(std::string_view text);

// UTF-8 to Windows-1252; a character the code page cannot hold becomes "?".
// Malformed UTF-8 bytes also become "?".
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

// The first n bytes of an ANSI text (all of it when shorter).
inline std::string leftAnsi(std::string_view s, std::size_t n) {
  return std::string(s.substr(0, n));
}
// The last n bytes of an ANSI text (all of it when shorter).
inline std::string rightAnsi(std::string_view s, std::size_t n) {
  return std::string(s.size() > n ? s.substr(s.size() - n) : s);
}

}  // namespace tvi

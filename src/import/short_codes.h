#pragma once
// Velmaran's short codes (at most four characters) for teachers (PROFT
// ABREV), rooms (AULAT ABREV) and groups (GRUPOST ABREV), and the spare
// codes given to subjects that would otherwise get no ASIGNOMT record.
//
// Teachers, rooms and groups: each table's own rule gives a code from a
// base code (the initials, the room's code, the group's key) and numbers it
// when it repeats. Those rules run out past the number 9 (teachers, groups)
// or 99 (rooms): they then produce five characters, which ABREV cuts to
// four, or a group code that nobody checked, so two records would share a
// code and every later lookup by code would find the wrong one. The
// assignment therefore runs in two passes:
//   1. every element gets the code its table's rule gives, with the rule's
//      own list of codes given out (so each rule code is exactly what the
//      rule alone would give);
//   2. the elements whose rule code is longer than four characters, or (for
//      groups) equal to a code given out before, get a spare code instead:
//      the first of the series below that no element holds, without regard
//      to letter case. Every other element keeps its rule code.
// The spare series, for the base code's first three characters s:
//      s[0..2) followed by 10, 11, ..., 99
//      s[0..1) followed by 100, ..., 999
//      1000, ..., 9999
// so the eleventh teacher with the initials GLA gets GL10, the twelfth GL11
// (unless another element holds them), and a group past 1E10 continues with
// 1E11. Codes are compared without regard to case throughout.

#include <set>
#include <string>
#include <vector>

namespace tvi {

enum class ShortCodeRule {
  Teacher,  // stem (3 chars) + 1, 2, 3...
  Room,     // stem (3 chars) + 1, 2...; past four characters 2 chars + 1, 2...
  Group     // stem (3 chars) + 1, 2...; past four characters first 2 + last 2, unchecked
};

struct ShortCode {
  std::string code;      // the code to store (at most four characters)
  std::string ruleCode;  // what the table's rule alone gives
  bool spare = false;    // code differs from ruleCode
};

// `baseCodes` are ANSI texts of at most four characters, one per element in
// document order. `table` names the table in the error raised when no code
// of the spare series is free (some ten thousand elements of one stem).
std::vector<ShortCode> assignShortCodes(ShortCodeRule rule,
                                        const std::vector<std::string>& baseCodes,
                                        const char* table);

// A spare ASIGNOMT code for a subject whose own candidate (or stem) is
// already given out. Tries, in order, the candidate itself; its first three
// characters followed by one of 1-9 and A-Z; its first two followed by 01-99; its first
// character followed by 001-999; 0000-9999. The first code not in `used`
// (compared exactly, as COD is) is returned. Throws Error when none is free.
std::string spareSubjectCode(const std::string& candidate, const std::set<std::string>& used);

}  // namespace tvi

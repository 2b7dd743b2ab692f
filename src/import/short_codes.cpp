#include "import/short_codes.h"

#include <cstdio>
#include <unordered_set>

#include "common/error.h"
#include "common/text.h"

namespace tvi {

namespace {

// Codes given out, compared without regard to letter case.
class NoCaseSet {
 public:
  bool has(const std::string& code) const { return keys_.count(ansiUpper(code)) > 0; }
  void add(const std::string& code) { keys_.insert(ansiUpper(code)); }

 private:
  std::unordered_set<std::string> keys_;
};

// First `stem + n` (n = 1, 2, ...) that the list does not hold. The list is
// finite, so the search ends.
std::string firstFree(const std::string& stem, const NoCaseSet& list) {
  for (long n = 1;; ++n) {
    std::string code = stem + std::to_string(n);
    if (!list.has(code)) return code;
  }
}

struct RuleResult {
  std::string code;
  bool faulty = false;  // too long, or shared with a code given out before
};

RuleResult ruleCode(ShortCodeRule rule, const std::string& base, const NoCaseSet& list) {
  if (!list.has(base)) return {base, base.size() > 4};
  std::string code = firstFree(leftAnsi(base, 3), list);
  if (code.size() <= 4) return {code, false};
  switch (rule) {
    case ShortCodeRule::Teacher:
      return {code, true};
    case ShortCodeRule::Room: {
      std::string again = firstFree(leftAnsi(code, 2), list);
      return {again, again.size() > 4};
    }
    case ShortCodeRule::Group: {
      std::string cut = leftAnsi(code, 2) + rightAnsi(code, 2);
      return {cut, list.has(cut)};
    }
  }
  return {code, true};
}

std::string spareCode(const std::string& base, const NoCaseSet& taken, const char* table) {
  const std::string stem = leftAnsi(base, 3);
  const std::string two = leftAnsi(stem, 2);
  const std::string one = leftAnsi(stem, 1);
  for (int n = 10; n <= 99; ++n)
    if (std::string c = two + std::to_string(n); !taken.has(c)) return c;
  for (int n = 100; n <= 999; ++n)
    if (std::string c = one + std::to_string(n); !taken.has(c)) return c;
  for (int n = 1000; n <= 9999; ++n)
    if (std::string c = std::to_string(n); !taken.has(c)) return c;
  throw Error(std::string("No quedan códigos cortos libres en la tabla ") + table +
              " para el código «" + fromAnsi(base) + "».");
}

}  // namespace

std::vector<ShortCode> assignShortCodes(ShortCodeRule rule,
                                        const std::vector<std::string>& baseCodes,
                                        const char* table) {
  std::vector<ShortCode> result;
  result.reserve(baseCodes.size());
  std::vector<bool> faulty;
  faulty.reserve(baseCodes.size());

  NoCaseSet ruleList;  // the rule's own list, faulty codes included
  for (const std::string& base : baseCodes) {
    RuleResult r = ruleCode(rule, base, ruleList);
    ruleList.add(r.code);
    result.push_back({r.code, r.code, false});
    faulty.push_back(r.faulty);
  }

  NoCaseSet taken;  // every code that stays, so a spare never takes one
  for (std::size_t i = 0; i < result.size(); ++i)
    if (!faulty[i]) taken.add(result[i].code);
  for (std::size_t i = 0; i < result.size(); ++i) {
    if (!faulty[i]) continue;
    result[i].code = spareCode(baseCodes[i], taken, table);
    result[i].spare = true;
    taken.add(result[i].code);
  }
  return result;
}

std::string spareSubjectCode(const std::string& candidate, const std::set<std::string>& used) {
  static const std::string kSuffixes = "123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  if (!used.count(candidate)) return candidate;
  const std::string three = leftAnsi(candidate, 3);
  for (char c : kSuffixes)
    if (std::string code = three + c; !used.count(code)) return code;
  char digits[16];
  const std::string two = leftAnsi(candidate, 2);
  for (int n = 1; n <= 99; ++n) {
    std::snprintf(digits, sizeof digits, "%02d", n);
    if (std::string code = two + digits; !used.count(code)) return code;
  }
  const std::string one = leftAnsi(candidate, 1);
  for (int n = 1; n <= 999; ++n) {
    std::snprintf(digits, sizeof digits, "%03d", n);
    if (std::string code = one + digits; !used.count(code)) return code;
  }
  for (int n = 0; n <= 9999; ++n) {
    std::snprintf(digits, sizeof digits, "%04d", n);
    if (std::string code = digits; !used.count(code)) return code;
  }
  throw Error("No quedan códigos libres en ASIGNOMT para la asignatura de código «" +
              fromAnsi(candidate) + "».");
}

}  // namespace tvi

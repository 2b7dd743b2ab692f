// The update of Velmaran.ini on arbitrary bytes. Whatever the file holds,
// the update must keep every other line as it was (its text and its line
// end), and the key must read back with the value written, as the profile
// functions read a file: the first section of that name (without regard
// to case), the first line of it that sets the key.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/velmaran_ini.h"
#include "common/text.h"
#include "fuzz_support.h"

namespace {

constexpr std::string_view kSection = "Transformadores";
constexpr std::string_view kKey = "Transformado";

struct Line {
  std::string_view body, end;
};

// Lines end at CR LF, LF or a lone CR.
std::vector<Line> lines(std::string_view text) {
  std::vector<Line> out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t stop = text.find_first_of("\r\n", pos);
    if (stop == std::string_view::npos) {
      out.push_back({text.substr(pos), {}});
      break;
    }
    const std::size_t n = text.compare(stop, 2, "\r\n") == 0 ? 2 : 1;
    out.push_back({text.substr(pos, stop - pos), text.substr(stop, n)});
    pos = stop + n;
  }
  return out;
}

std::string_view blankTrimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool isHeader(std::string_view body, std::string_view& name) {
  std::string_view t = blankTrimmed(body);
  if (t.empty() || t.front() != '[') return false;
  t.remove_prefix(1);
  name = blankTrimmed(t.substr(0, t.find(']')));
  return true;
}

bool setsKey(std::string_view body, std::string_view& key, std::string_view& value) {
  const std::string_view t = blankTrimmed(body);
  if (t.empty() || t.front() == ';') return false;
  const std::size_t eq = t.find('=');
  key = blankTrimmed(t.substr(0, eq));
  value = eq == std::string_view::npos ? std::string_view() : blankTrimmed(t.substr(eq + 1));
  return true;
}

std::string_view bodyOf(const std::vector<Line>& ls, std::size_t i) {
  std::string_view b = ls[i].body;
  if (i == 0 && b.substr(0, 3) == "\xEF\xBB\xBF") b.remove_prefix(3);
  return b;
}

// The value the key reads as, or nothing when it is not set.
bool readKey(const std::vector<Line>& ls, std::string_view& value) {
  bool inSection = false;
  for (std::size_t i = 0; i < ls.size(); ++i) {
    std::string_view name, key;
    const std::string_view body = bodyOf(ls, i);
    if (isHeader(body, name)) {
      if (inSection) return false;
      inSection = tvi::ansiEqualNoCase(name, kSection);
      continue;
    }
    if (inSection && setsKey(body, key, value) && tvi::ansiEqualNoCase(key, kKey)) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const char* const kValues[] = {"1", "0", "-1"};
  const std::string_view value = kValues[data[0] % 3];
  const std::string_view text = tvifuzz::asText(data + 1, size - 1);

  const std::string updated = tvi::updateProfileText(text, kSection, kKey, value);
  const std::vector<Line> in = lines(text), out = lines(updated);

  std::string_view read;
  if (!readKey(out, read) || read != value)
    tvifuzz::fail("the key does not read back as \"" + std::string(value) + "\"");

  // Every line of the input is in the output, in order, with its line end
  // (the last one may gain one); one line may be the key's, rewritten; new
  // lines are at most a blank one, the section header and the key.
  std::size_t j = 0, inserted = 0, rewritten = 0;
  for (std::size_t i = 0; i < in.size(); ++i) {
    const bool last = i + 1 == in.size();
    while (j < out.size()) {
      const bool sameBody = out[j].body == in[i].body;
      const bool sameEnd = out[j].end == in[i].end || (last && in[i].end.empty());
      if (sameBody && sameEnd) break;
      std::string_view key, v;
      if (sameEnd && rewritten == 0 && setsKey(bodyOf(in, i), key, v) && tvi::ansiEqualNoCase(key, kKey) &&
          setsKey(bodyOf(out, j), key, v) && v == value) {
        ++rewritten;
        break;
      }
      ++inserted;
      ++j;
    }
    if (j == out.size()) tvifuzz::fail("input line " + std::to_string(i + 1) + " is lost");
    ++j;
  }
  inserted += out.size() - j;
  if (inserted > 3) tvifuzz::fail(std::to_string(inserted) + " lines added");
  return 0;
}

#include "app/velmaran_ini.h"

#include <fstream>
#include <sstream>
#include <vector>

#include "common/error.h"
#include "common/text.h"
#include "itaca/atomic_file.h"

namespace tvi {

namespace fs = std::filesystem;

namespace {

// One line of the file as it stands, its terminator apart.
struct IniLine {
  std::string_view body;
  std::string_view end;  // "\r\n", "\n", "\r" or empty on the last line
};

std::vector<IniLine> splitLines(std::string_view text) {
  std::vector<IniLine> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t stop = text.find_first_of("\r\n", pos);
    if (stop == std::string_view::npos) {
      lines.push_back({text.substr(pos), {}});
      break;
    }
    const std::size_t endLength = (text[stop] == '\r' && stop + 1 < text.size() && text[stop + 1] == '\n') ? 2 : 1;
    lines.push_back({text.substr(pos, stop - pos), text.substr(stop, endLength)});
    pos = stop + endLength;
  }
  return lines;
}

std::string_view trimView(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// The section a header line opens, or nothing when the line is no header.
// As the profile functions read it: blanks around the name do not count,
// a missing "]" closes the name at the end of the line.
bool sectionOf(std::string_view body, std::string_view& name) {
  std::string_view t = trimView(body);
  if (t.empty() || t.front() != '[') return false;
  t.remove_prefix(1);
  const std::size_t close = t.find(']');
  name = trimView(close == std::string_view::npos ? t : t.substr(0, close));
  return true;
}

// The key a line sets: the text before "=", or the whole line without one.
// Comment lines set no key.
bool keyOf(std::string_view body, std::string_view& key) {
  const std::string_view t = trimView(body);
  if (t.empty() || t.front() == ';') return false;
  key = trimView(t.substr(0, t.find('=')));
  return true;
}

std::string_view withoutBom(std::string_view s) {
  return s.substr(0, 3) == "\xEF\xBB\xBF" ? s.substr(3) : s;
}

}  // namespace

std::string updateProfileText(std::string_view text, std::string_view section, std::string_view key,
                              std::string_view value) {
  const std::vector<IniLine> lines = splitLines(text);
  // New lines follow the file's own style; a new file gets the Windows one.
  std::string_view newline = "\r\n";
  for (const auto& line : lines) {
    if (!line.end.empty()) {
      newline = line.end;
      break;
    }
  }
  const std::string entry = std::string(key) + "=" + std::string(value);

  // The first section of that name, its extent, and its first line for the key.
  std::size_t header = lines.size(), sectionEnd = lines.size(), keyLine = lines.size();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string_view name;
    const std::string_view body = i == 0 ? withoutBom(lines[i].body) : lines[i].body;
    if (sectionOf(body, name)) {
      if (header < lines.size()) {
        sectionEnd = i;
        break;
      }
      if (ansiEqualNoCase(name, section)) header = i;
      continue;
    }
    std::string_view k;
    if (header < lines.size() && keyLine == lines.size() && keyOf(body, k) && ansiEqualNoCase(k, key))
      keyLine = i;
  }

  std::string out;
  out.reserve(text.size() + entry.size() + section.size() + 8);
  const auto copyLine = [&](std::size_t i) {
    out.append(lines[i].body);
    out.append(lines[i].end);
  };

  if (header == lines.size()) {
    out.append(text);
    if (!lines.empty()) {
      const IniLine& last = lines.back();
      if (last.end.empty()) out.append(newline);
      // The blank line before the new section repeats the last line's own
      // end: a lone CR followed by a LF would read as one CR LF, changing
      // that line's end and swallowing the blank line.
      if (!trimView(last.body).empty()) out.append(last.end.empty() ? newline : last.end);
    }
    out.append("[").append(section).append("]").append(newline);
    out.append(entry).append(newline);
    return out;
  }

  if (keyLine < lines.size()) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (i != keyLine) {
        copyLine(i);
        continue;
      }
      std::string_view written;
      keyOf(lines[i].body, written);
      out.append(written).append("=").append(value);
      out.append(lines[i].end);
    }
    return out;
  }

  // A new key goes after the section's last line that is not blank.
  std::size_t last = header;
  for (std::size_t i = header + 1; i < sectionEnd; ++i)
    if (!trimView(lines[i].body).empty()) last = i;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    copyLine(i);
    if (i == last) {
      // The new line ends as the one it follows: the file's first line end
      // could be a lone CR before a line that starts with LF, and the two
      // would read as one CR LF, swallowing that line.
      if (lines[i].end.empty()) out.append(newline);
      out.append(entry);
      out.append(lines[i].end.empty() ? newline : lines[i].end);
    }
  }
  return out;
}

void writeProfileString(const fs::path& file, std::string_view section, std::string_view key,
                        std::string_view value) {
  std::string text;
  std::error_code ec;
  if (fs::exists(file, ec) && !fs::is_directory(file, ec)) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
      throw Error("No se puede leer el archivo " + displayPath(file) +
                  ". Compruebe que tiene permiso para leerlo y vuelva a intentarlo.");
    std::ostringstream bytes;
    bytes << in.rdbuf();
    text = bytes.str();
  }
  replaceFileAtomically(file, updateProfileText(text, section, key, value));
}

void writeOutcome(const fs::path& exeFolder, int resultado) {
  // Under Wine the file may have been created as "velmaran.ini"; Windows
  // would find it whatever its case, so we do too.
  fs::path file = exeFolder / "Velmaran.ini";
  std::error_code ec;
  if (!fs::exists(file, ec)) {
    for (const auto& entry : fs::directory_iterator(exeFolder, ec)) {
      if (ansiEqualNoCase(entry.path().filename().string(), "Velmaran.ini")) {
        file = entry.path();
        break;
      }
    }
  }
  writeProfileString(file, "Transformadores", "Transformado", std::to_string(resultado));
}

}  // namespace tvi

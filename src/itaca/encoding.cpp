#include "itaca/encoding.h"

#include <cstring>

#include "common/text.h"

namespace tvi {

namespace {

struct EncodingAlias {
  const char* name;
  XmlEncoding encoding;
};

// The names the IANA registry gives the encodings we read, compared in
// lower case. "utf-16" and its variants are accepted only on UTF-16 bytes.
constexpr EncodingAlias kAliases[] = {
    {"utf-8", XmlEncoding::Utf8},
    {"utf8", XmlEncoding::Utf8},
    {"utf-16", XmlEncoding::Utf16LE},
    {"utf-16le", XmlEncoding::Utf16LE},
    {"utf-16be", XmlEncoding::Utf16BE},
    {"iso-8859-1", XmlEncoding::Latin1},
    {"iso8859-1", XmlEncoding::Latin1},
    {"iso_8859-1", XmlEncoding::Latin1},
    {"iso_8859-1:1987", XmlEncoding::Latin1},
    {"latin1", XmlEncoding::Latin1},
    {"latin-1", XmlEncoding::Latin1},
    {"l1", XmlEncoding::Latin1},
    {"iso-ir-100", XmlEncoding::Latin1},
    {"cp819", XmlEncoding::Latin1},
    {"ibm819", XmlEncoding::Latin1},
    {"csisolatin1", XmlEncoding::Latin1},
    {"windows-1252", XmlEncoding::Windows1252},
    {"cp1252", XmlEncoding::Windows1252},
    {"x-cp1252", XmlEncoding::Windows1252},
};

bool isUtf16(XmlEncoding e) { return e == XmlEncoding::Utf16LE || e == XmlEncoding::Utf16BE; }

std::string asciiLower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The encoding pseudo-attribute of an XML declaration at the start of
// `text` (ASCII), or empty.
std::string declaredEncodingOf(std::string_view text) {
  if (text.size() < 6 || text.substr(0, 5) != "<?xml" || !isXmlSpace(text[5])) return {};
  const std::size_t end = text.find("?>");
  const std::string_view decl = text.substr(0, end);
  for (std::size_t at = decl.find("encoding"); at != std::string_view::npos;
       at = decl.find("encoding", at + 1)) {
    if (!isXmlSpace(decl[at - 1])) continue;
    std::size_t p = at + 8;
    while (p < decl.size() && isXmlSpace(decl[p])) ++p;
    if (p >= decl.size() || decl[p] != '=') continue;
    ++p;
    while (p < decl.size() && isXmlSpace(decl[p])) ++p;
    if (p >= decl.size() || (decl[p] != '"' && decl[p] != '\'')) continue;
    const char quote = decl[p];
    const std::size_t close = decl.find(quote, p + 1);
    if (close == std::string_view::npos) return {};
    return std::string(decl.substr(p + 1, close - p - 1));
  }
  return {};
}

// The first characters of a UTF-16 text as ASCII, enough to read its
// declaration; stops at the first unit outside ASCII.
std::string asciiOfUtf16(std::string_view bytes, bool bigEndian) {
  std::string out;
  for (std::size_t i = 0; i + 1 < bytes.size() && out.size() < 512; i += 2) {
    const unsigned lo = static_cast<unsigned char>(bytes[i + (bigEndian ? 1 : 0)]);
    const unsigned hi = static_cast<unsigned char>(bytes[i + (bigEndian ? 0 : 1)]);
    const unsigned unit = lo | (hi << 8);
    if (unit == 0xFEFF && out.empty() && i == 0) continue;
    if (unit >= 0x80) break;
    out += static_cast<char>(unit);
  }
  return out;
}

char32_t singleByteCodePoint(unsigned char b, XmlEncoding encoding) {
  return encoding == XmlEncoding::Windows1252 ? windows1252CodePoint(b) : char32_t{b};
}

std::size_t utf8Length(char32_t cp) {
  return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
}

char* putUtf8(char* out, char32_t cp) {
  if (cp < 0x80) {
    *out++ = static_cast<char>(cp);
  } else if (cp < 0x800) {
    *out++ = static_cast<char>(0xC0 | (cp >> 6));
    *out++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (cp >> 12));
    *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (cp >> 18));
    *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

// Walks a UTF-16 buffer code point by code point. An odd trailing byte and
// unpaired surrogates give U+FFFD.
template <class Sink>
void forEachUtf16CodePoint(std::string_view bytes, bool bigEndian, Sink&& sink) {
  const auto unitAt = [&](std::size_t i) -> char32_t {
    const unsigned a = static_cast<unsigned char>(bytes[i]);
    const unsigned b = static_cast<unsigned char>(bytes[i + 1]);
    return bigEndian ? (a << 8) | b : (b << 8) | a;
  };
  std::size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) {
    const char32_t unit = unitAt(i);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
      const char32_t next = unitAt(i + 2);
      if (next >= 0xDC00 && next <= 0xDFFF) {
        sink(0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
        i += 2;
        continue;
      }
    }
    sink(unit >= 0xD800 && unit <= 0xDFFF ? char32_t{0xFFFD} : unit);
  }
  if (i < bytes.size()) sink(char32_t{0xFFFD});
}

// Where in serialized XML a character stands, to know whether a character
// reference may replace it.
enum class XmlContext { Text, Tag, AttributeValue, Comment, Instruction, CData, Doctype };

}  // namespace

EncodingGuess guessEncoding(std::string_view head) {
  EncodingGuess guess;
  const auto starts = [&](std::string_view prefix) { return head.substr(0, prefix.size()) == prefix; };

  if (starts(std::string_view("\x00\x00\xFE\xFF", 4)) || starts(std::string_view("\xFF\xFE\x00\x00", 4))) {
    guess.refusal = "está en la codificación UTF-32, que no se puede leer (se leen UTF-8, UTF-16, "
                    "ISO-8859-1 y Windows-1252).";
    return guess;
  }
  std::string ascii;
  if (starts("\xEF\xBB\xBF")) {
    guess.bom = true;
    ascii = std::string(head.substr(3, 512));
  } else if (starts("\xFF\xFE") || starts(std::string_view("<\0?\0", 4))) {
    guess.encoding = XmlEncoding::Utf16LE;
    guess.bom = starts("\xFF\xFE");
    ascii = asciiOfUtf16(head, false);
  } else if (starts("\xFE\xFF") || starts(std::string_view("\0<\0?", 4))) {
    guess.encoding = XmlEncoding::Utf16BE;
    guess.bom = starts("\xFE\xFF");
    ascii = asciiOfUtf16(head, true);
  } else {
    ascii = std::string(head.substr(0, 512));
  }

  guess.declared = declaredEncodingOf(ascii);
  if (guess.declared.empty()) return guess;

  const std::string name = asciiLower(guess.declared);
  const EncodingAlias* alias = nullptr;
  for (const auto& a : kAliases)
    if (name == a.name) alias = &a;
  if (!alias) {
    guess.refusal = "declara la codificación \"" + guess.declared +
                    "\", que no se puede leer (se leen UTF-8, UTF-16, ISO-8859-1 y Windows-1252).";
    return guess;
  }
  if (guess.bom) return guess;  // the byte order mark has said it already
  if (isUtf16(alias->encoding) != isUtf16(guess.encoding)) {
    guess.refusal = "declara la codificación \"" + guess.declared +
                    "\", pero su contenido no está en esa codificación.";
    return guess;
  }
  if (!isUtf16(alias->encoding)) guess.encoding = alias->encoding;
  return guess;
}

const char* encodingName(XmlEncoding encoding) {
  switch (encoding) {
    case XmlEncoding::Utf8: return "utf-8";
    case XmlEncoding::Utf16LE:
    case XmlEncoding::Utf16BE: return "utf-16";
    case XmlEncoding::Latin1: return "iso-8859-1";
    case XmlEncoding::Windows1252: return "windows-1252";
  }
  return "utf-8";
}

std::size_t utf8SizeOf(std::string_view bytes, XmlEncoding encoding) {
  switch (encoding) {
    case XmlEncoding::Utf8:
      return bytes.size();
    case XmlEncoding::Utf16LE:
    case XmlEncoding::Utf16BE: {
      std::size_t n = 0;
      forEachUtf16CodePoint(bytes, encoding == XmlEncoding::Utf16BE,
                            [&](char32_t cp) { n += utf8Length(cp); });
      return n;
    }
    case XmlEncoding::Latin1:
    case XmlEncoding::Windows1252: {
      std::size_t n = 0;
      for (char c : bytes) n += utf8Length(singleByteCodePoint(static_cast<unsigned char>(c), encoding));
      return n;
    }
  }
  return bytes.size();
}

void convertToUtf8(std::string_view bytes, XmlEncoding encoding, char* out) {
  switch (encoding) {
    case XmlEncoding::Utf8:
      if (!bytes.empty()) std::memcpy(out, bytes.data(), bytes.size());
      return;
    case XmlEncoding::Utf16LE:
    case XmlEncoding::Utf16BE:
      forEachUtf16CodePoint(bytes, encoding == XmlEncoding::Utf16BE,
                            [&](char32_t cp) { out = putUtf8(out, cp); });
      return;
    case XmlEncoding::Latin1:
    case XmlEncoding::Windows1252:
      for (char c : bytes) out = putUtf8(out, singleByteCodePoint(static_cast<unsigned char>(c), encoding));
      return;
  }
}

std::string toUtf8(std::string_view bytes, XmlEncoding encoding) {
  std::string out(utf8SizeOf(bytes, encoding), '\0');
  convertToUtf8(bytes, encoding, out.data());
  return out;
}

std::string xmlToSingleByte(std::string_view utf8, XmlEncoding encoding) {
  const auto byteOf = [encoding](char32_t cp) -> int {
    if (cp < 0x80) return static_cast<int>(cp);
    if (encoding == XmlEncoding::Latin1) return cp <= 0xFF ? static_cast<int>(cp) : -1;
    return windows1252Byte(cp);
  };
  const auto at = [&](std::size_t pos, std::string_view s) { return utf8.substr(pos, s.size()) == s; };

  std::string out;
  out.reserve(utf8.size());
  XmlContext context = XmlContext::Text;
  char quote = '"';
  int bracketDepth = 0;
  for (std::size_t pos = 0; pos < utf8.size();) {
    const char c = utf8[pos];
    if (static_cast<unsigned char>(c) >= 0x80) {
      const Utf8Step step = decodeUtf8(utf8, pos);
      pos += step.length;
      const int b = step.valid ? byteOf(step.codePoint) : -1;
      if (b >= 0) {
        out += static_cast<char>(b);
      } else if (step.valid && (context == XmlContext::Text || context == XmlContext::AttributeValue)) {
        out += "&#" + std::to_string(static_cast<unsigned long>(step.codePoint)) + ";";
      } else {
        out += '?';
      }
      continue;
    }
    // Markup is ASCII: follow it to know the context of the next character.
    std::size_t take = 1;
    switch (context) {
      case XmlContext::Text:
        if (c == '<') {
          if (at(pos, "<!--")) context = XmlContext::Comment, take = 4;
          else if (at(pos, "<![CDATA[")) context = XmlContext::CData, take = 9;
          else if (at(pos, "<?")) context = XmlContext::Instruction, take = 2;
          else if (at(pos, "<!")) context = XmlContext::Doctype, take = 2, bracketDepth = 0;
          else context = XmlContext::Tag;
        }
        break;
      case XmlContext::Tag:
        if (c == '"' || c == '\'') context = XmlContext::AttributeValue, quote = c;
        else if (c == '>') context = XmlContext::Text;
        break;
      case XmlContext::AttributeValue:
        if (c == quote) context = XmlContext::Tag;
        break;
      case XmlContext::Comment:
        if (at(pos, "-->")) context = XmlContext::Text, take = 3;
        break;
      case XmlContext::Instruction:
        if (at(pos, "?>")) context = XmlContext::Text, take = 2;
        break;
      case XmlContext::CData:
        if (at(pos, "]]>")) context = XmlContext::Text, take = 3;
        break;
      case XmlContext::Doctype:
        if (c == '[') ++bracketDepth;
        else if (c == ']') --bracketDepth;
        else if (c == '>' && bracketDepth <= 0) context = XmlContext::Text;
        break;
    }
    out.append(utf8.substr(pos, take));
    pos += take;
  }
  return out;
}

TextPosition positionOf(std::string_view utf8, std::size_t offset) {
  TextPosition p;
  if (offset > utf8.size()) offset = utf8.size();
  std::size_t pos = utf8.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  while (pos < offset) {
    const char c = utf8[pos];
    if (c == '\r' || c == '\n') {
      ++p.line;
      p.column = 1;
      pos += (c == '\r' && pos + 1 < utf8.size() && utf8[pos + 1] == '\n') ? 2 : 1;
      continue;
    }
    pos += static_cast<unsigned char>(c) < 0x80 ? 1 : decodeUtf8(utf8, pos).length;
    ++p.column;
  }
  return p;
}

}  // namespace tvi

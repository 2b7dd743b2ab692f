#pragma once
// The character encodings an ITACA file may come in, and the conversions
// the document service makes itself so that the XML parser only ever sees
// UTF-8 (its offsets then point into one buffer we know).

#include <cstddef>
#include <string>
#include <string_view>

namespace tvi {

enum class XmlEncoding { Utf8, Utf16LE, Utf16BE, Latin1, Windows1252 };

// What the first bytes of a file say about its encoding.
struct EncodingGuess {
  XmlEncoding encoding = XmlEncoding::Utf8;
  bool bom = false;            // the file starts with a byte order mark
  std::string declared;        // the declaration's encoding as written, or empty
  // Set when the file cannot be read: the declared encoding is not one we
  // read, or the bytes contradict it. Spanish, without the file's name: it
  // completes "El archivo X ".
  std::string refusal;
};

// Looks at the byte order mark and the XML declaration (a byte order mark
// wins over a declaration that contradicts it, as XML readers do).
EncodingGuess guessEncoding(std::string_view head);

// The lower-case name the document reports for an encoding.
const char* encodingName(XmlEncoding encoding);

// The UTF-8 size of a buffer in the given encoding, and the conversion into
// a buffer of that size. UTF-16 loses nothing but unpaired surrogates
// (U+FFFD); the byte order mark is kept, the parser skips it.
std::size_t utf8SizeOf(std::string_view bytes, XmlEncoding encoding);
void convertToUtf8(std::string_view bytes, XmlEncoding encoding, char* out);
std::string toUtf8(std::string_view bytes, XmlEncoding encoding);

// Serialized XML in UTF-8 to a one-byte encoding (Latin-1 or Windows-1252).
// A character the code page cannot hold is written as a character reference
// where XML allows one (text and attribute values) and as "?" elsewhere
// (names, comments, processing instructions), so no value is lost.
std::string xmlToSingleByte(std::string_view utf8, XmlEncoding encoding);

// Line and column (1-based, columns in characters) of a byte offset in a
// UTF-8 text; CR LF, CR and LF each end a line, a leading BOM is no column.
struct TextPosition {
  std::size_t line = 1;
  std::size_t column = 1;
};
TextPosition positionOf(std::string_view utf8, std::size_t offset);

}  // namespace tvi

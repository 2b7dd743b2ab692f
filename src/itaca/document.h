#pragma once
// The ITACA document service: an XML file loaded whole into a pugixml DOM.
//
// Elements are found by absolute paths of element names ("/centro/aulas/aula"),
// walked name by name in document order; no XPath engine is involved. Every
// value read is trimmed of characters 0 to 32 and handed out as UTF-8.
//
// Encodings read: UTF-8 (with or without BOM), UTF-16 (with BOM),
// ISO-8859-1 and Windows-1252 as the declaration says; a byte order mark
// wins over a declaration that contradicts it. Any other declared encoding
// is refused with a message naming it. A document is saved in the encoding
// it was read in, which is the one its declaration names (UTF-8 when it has
// none and no byte order mark says otherwise), with a byte order mark when
// the input had one. Characters a one-byte encoding cannot hold are saved as
// character references, so nothing is lost.
//
// Every top-level node (declaration, comments, processing instructions, the
// document type declaration) is kept as read and saved as it stands.
//
// No DTD and no external entity is ever loaded: entity references other than
// the five predefined ones and character references stay as literal text.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "itaca/encoding.h"

namespace tvi {

class Document {
 public:
  Document() = default;
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;
  Document(Document&&) = default;
  Document& operator=(Document&&) = default;

  // Loads the file whole. Throws Error when it cannot be read, is not
  // well-formed (the message gives line and column) or declares an encoding
  // that is not supported.
  static Document load(const std::filesystem::path& file);
  // Parses a document held in memory (tests, fuzzing); same rules as load.
  static Document parse(std::string_view bytes, const std::string& name = "documento");

  // The elements at an absolute path, in document order; possibly none.
  std::vector<pugi::xml_node> select(std::string_view path) const;
  // The number of elements at a path, without collecting them.
  std::size_t count(std::string_view path) const;
  // The first element at a path, or an empty node.
  pugi::xml_node selectSingle(std::string_view path) const;

  // The root element (empty node when there is none).
  pugi::xml_node root() const { return doc_.document_element(); }

  pugi::xml_document& dom() { return doc_; }
  const pugi::xml_document& dom() const { return doc_; }

  // The encoding the file was read in, by its lower-case name: "utf-8",
  // "utf-16", "iso-8859-1" or "windows-1252" ("utf-8" for a new document).
  std::string encoding() const { return encodingName(encoding_); }

  // Writes the document in its declared encoding, atomically: a temporary
  // file in the same folder, then a rename over the target. On failure no
  // partial file is left and an earlier file at that path stays whole.
  void save(const std::filesystem::path& file) const;

 private:
  // Parses a UTF-8 buffer allocated with pugixml's allocator, taking it
  // over. `original` gives the text again, untouched by the in-place parse,
  // to place an error by line and column.
  static Document fromBuffer(char* utf8, std::size_t size, const EncodingGuess& guess,
                             const std::string& name,
                             const std::function<std::string()>& original);

  pugi::xml_document doc_;
  XmlEncoding encoding_ = XmlEncoding::Utf8;
  bool bom_ = false;
};

// The value of an attribute, trimmed of characters 0 to 32; empty text when
// the node or the attribute is missing.
std::string attr(pugi::xml_node node, const char* name);

// Same, but a missing attribute is an error naming the element and the
// attribute (for callers that cannot go on without it).
std::string requiredAttr(pugi::xml_node node, const char* name);

}  // namespace tvi

#pragma once
// The ITACA document service: an XML file loaded whole into a pugixml DOM.
//
// Elements are found by absolute paths of element names ("/centro/aulas/aula"),
// walked name by name in document order; no XPath engine is involved. Every
// value read is trimmed of characters 0 to 32 and handed out as UTF-8.
//
// Encodings read: UTF-8 (with or without BOM), UTF-16 (with BOM),
// ISO-8859-1 and Windows-1252 as the declaration says. Any other declared
// encoding is refused with a message naming it. A document is saved in the
// encoding its declaration names (UTF-8 when it has none).
//
// No DTD and no external entity is ever loaded.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

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

  // The encoding the file declared, in lower case ("utf-8" when none).
  const std::string& encoding() const { return encoding_; }

  // Writes the document in its declared encoding, atomically: a temporary
  // file in the same folder, then a rename over the target. On failure no
  // partial file is left and an earlier file at that path stays whole.
  void save(const std::filesystem::path& file) const;

 private:
  pugi::xml_document doc_;
  std::string encoding_ = "utf-8";
};

// The value of an attribute, trimmed of characters 0 to 32; empty text when
// the node or the attribute is missing.
std::string attr(pugi::xml_node node, const char* name);

// Same, but a missing attribute is an error naming the element and the
// attribute (for callers that cannot go on without it).
std::string requiredAttr(pugi::xml_node node, const char* name);

}  // namespace tvi

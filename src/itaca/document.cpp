#include "itaca/document.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <new>

#include "common/error.h"
#include "common/text.h"
#include "itaca/atomic_file.h"

namespace tvi {

namespace fs = std::filesystem;

namespace {

// Declaration, comments, processing instructions and the document type
// declaration are kept so a saved document carries them as read. Neither
// pugixml nor these options ever fetch a DTD or expand a declared entity.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_declaration |
                                   pugi::parse_pi | pugi::parse_comments | pugi::parse_doctype;

// The layout is ours to choose: one element per line, tab indentation. A
// declaration is never added: the top-level nodes stay exactly as read.
constexpr unsigned kSaveFlags = pugi::format_indent | pugi::format_no_declaration;

struct PugiFree {
  void operator()(void* p) const { pugi::get_memory_deallocation_function()(p); }
};
using PugiBuffer = std::unique_ptr<char, PugiFree>;

PugiBuffer allocate(std::size_t size) {
  // One byte more than asked: pugixml may not be handed a null pointer.
  void* p = pugi::get_memory_allocation_function()(size + 1);
  if (!p) throw std::bad_alloc();  // load() and parse() name the file
  return PugiBuffer(static_cast<char*>(p));
}

// What a person can do about each kind of failure.
constexpr const char* kAdviceInvalid =
    " Compruebe que es el archivo que exportó ITACA y que se copió entero, o vuelva a exportarlo.";
constexpr const char* kAdviceEncoding = " Vuelva a exportarlo desde ITACA o guárdelo en UTF-8.";
constexpr const char* kAdviceUnreadable =
    " Compruebe que el archivo existe y que tiene permiso para leerlo.";

Error outOfMemory(const std::string& name) {
  return Error("No hay memoria suficiente para cargar el archivo " + name +
               ". Cierre otros programas y vuelva a intentarlo.");
}

struct StatusText {
  pugi::xml_parse_status status;
  const char* text;
};

constexpr StatusText kStatusTexts[] = {
    {pugi::status_out_of_memory, "no hay memoria suficiente"},
    {pugi::status_internal_error, "error interno del analizador"},
    {pugi::status_unrecognized_tag, "etiqueta no reconocida"},
    {pugi::status_bad_pi, "declaración XML o instrucción de procesamiento mal formada"},
    {pugi::status_bad_comment, "comentario mal formado"},
    {pugi::status_bad_cdata, "sección CDATA mal formada"},
    {pugi::status_bad_doctype, "declaración de tipo de documento mal formada"},
    {pugi::status_bad_pcdata, "texto mal formado"},
    {pugi::status_bad_start_element, "etiqueta de apertura mal formada"},
    {pugi::status_bad_attribute, "atributo mal formado"},
    {pugi::status_bad_end_element, "etiqueta de cierre mal formada"},
    {pugi::status_end_element_mismatch, "una etiqueta de cierre no corresponde a la abierta"},
    {pugi::status_no_document_element, "no tiene elemento raíz"},
};

const char* statusText(pugi::xml_parse_status status) {
  for (const auto& s : kStatusTexts)
    if (s.status == status) return s.text;
  return "error de sintaxis";
}

std::string notReadable(const fs::path& file, const std::string& reason) {
  return "No se puede leer el archivo " + displayPath(file) + ": " + reason + "." + kAdviceUnreadable;
}

// The whole file, in a buffer the DOM can take over without a copy.
std::pair<PugiBuffer, std::size_t> readWhole(const fs::path& file) {
  std::error_code ec;
  if (fs::is_directory(file, ec)) throw Error(notReadable(file, "es una carpeta"));
  errno = 0;
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    const int e = errno;
    throw Error(notReadable(file, fileErrorReason(e ? std::error_code(e, std::generic_category())
                                                    : std::make_error_code(std::errc::no_such_file_or_directory))));
  }
  in.seekg(0, std::ios::end);
  const std::streamoff end = in.tellg();
  in.seekg(0, std::ios::beg);
  if (end < 0 || !in) throw Error(notReadable(file, "no se puede conocer su tamaño"));
  const auto size = static_cast<std::size_t>(end);
  PugiBuffer buffer = allocate(size);
  if (size && !in.read(buffer.get(), static_cast<std::streamsize>(size)))
    throw Error(notReadable(file, "la lectura se interrumpió"));
  return {std::move(buffer), size};
}

std::string readAll(const fs::path& file) {
  auto [buffer, size] = readWhole(file);
  return std::string(buffer.get(), size);
}

// The buffer the parser gets: the bytes themselves when they are UTF-8,
// else their conversion (the original is released as soon as it is done).
std::pair<PugiBuffer, std::size_t> asUtf8(PugiBuffer bytes, std::size_t size, XmlEncoding encoding) {
  if (encoding == XmlEncoding::Utf8) return {std::move(bytes), size};
  const std::string_view view(bytes.get(), size);
  const std::size_t utf8Size = utf8SizeOf(view, encoding);
  PugiBuffer converted = allocate(utf8Size);
  convertToUtf8(view, encoding, converted.get());
  return {std::move(converted), utf8Size};
}

class StreamWriter : public pugi::xml_writer {
 public:
  explicit StreamWriter(std::ostream& out) : out_(out) {}
  void write(const void* data, std::size_t size) override {
    out_.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  }

 private:
  std::ostream& out_;
};

template <class Visit>
bool walkPath(pugi::xml_node from, const std::vector<std::string_view>& names, std::size_t level,
              Visit& visit) {
  const std::string_view name = names[level];
  for (pugi::xml_node child = from.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element || name != child.name()) continue;
    if (level + 1 == names.size()) {
      if (!visit(child)) return false;
    } else if (!walkPath(child, names, level + 1, visit)) {
      return false;
    }
  }
  return true;
}

std::vector<std::string_view> splitPath(std::string_view path) {
  std::vector<std::string_view> names;
  std::size_t pos = 0;
  while (pos <= path.size()) {
    std::size_t slash = path.find('/', pos);
    if (slash == std::string_view::npos) slash = path.size();
    if (slash > pos) names.push_back(path.substr(pos, slash - pos));
    pos = slash + 1;
  }
  return names;
}

// Calls visit(node) for every element at an absolute path, in document
// order, until it returns false.
template <class Visit>
void forEachAt(const pugi::xml_document& doc, std::string_view path, Visit visit) {
  const std::vector<std::string_view> names = splitPath(path);
  if (!names.empty()) walkPath(doc, names, 0, visit);
}

}  // namespace

Document Document::fromBuffer(char* utf8, std::size_t size, const EncodingGuess& guess,
                              const std::string& name,
                              const std::function<std::string()>& original) {
  Document document;
  document.encoding_ = guess.encoding;
  document.bom_ = guess.bom;
  const pugi::xml_parse_result result =
      document.doc_.load_buffer_inplace_own(utf8, size, kParseOptions, pugi::encoding_utf8);

  const auto invalid = [&](const char* what, std::ptrdiff_t offset) {
    const TextPosition at = positionOf(original(), offset < 0 ? 0 : static_cast<std::size_t>(offset));
    return Error("El archivo " + name + " no es un documento XML válido: " + what + " (línea " +
                 std::to_string(at.line) + ", columna " + std::to_string(at.column) + ")." +
                 kAdviceInvalid);
  };
  // Placing the error would read the whole text again: not when memory
  // is what ran out.
  if (result.status == pugi::status_out_of_memory) throw outOfMemory(name);
  if (!result) throw invalid(statusText(result.status), result.offset);

  // The parser accepts a second root element; XML does not.
  int roots = 0;
  for (pugi::xml_node child : document.doc_.children()) {
    if (child.type() == pugi::node_element && ++roots == 2)
      throw invalid("tiene más de un elemento raíz", child.offset_debug());
  }
  return document;
}

// A file too big for the memory left gives a message, not std::bad_alloc:
// whatever was allocated is released on the way out.
Document Document::load(const fs::path& file) {
  const std::string name = displayPath(file);
  try {
    auto [bytes, size] = readWhole(file);
    const EncodingGuess guess = guessEncoding(std::string_view(bytes.get(), size));
    if (!guess.refusal.empty()) throw Error("El archivo " + name + " " + guess.refusal + kAdviceEncoding);
    auto [utf8, utf8Size] = asUtf8(std::move(bytes), size, guess.encoding);
    return fromBuffer(utf8.release(), utf8Size, guess, name,
                      [&] {
                        std::string bytes = readAll(file);
                        return guess.encoding == XmlEncoding::Utf8 ? bytes : toUtf8(bytes, guess.encoding);
                      });
  } catch (const std::bad_alloc&) {
    throw outOfMemory(name);
  }
}

Document Document::parse(std::string_view bytes, const std::string& name) {
  try {
    const EncodingGuess guess = guessEncoding(bytes);
    if (!guess.refusal.empty()) throw Error("El archivo " + name + " " + guess.refusal + kAdviceEncoding);
    const std::size_t size = utf8SizeOf(bytes, guess.encoding);
    PugiBuffer utf8 = allocate(size);
    convertToUtf8(bytes, guess.encoding, utf8.get());
    return fromBuffer(utf8.release(), size, guess, name, [&] { return toUtf8(bytes, guess.encoding); });
  } catch (const std::bad_alloc&) {
    throw outOfMemory(name);
  }
}

std::vector<pugi::xml_node> Document::select(std::string_view path) const {
  std::vector<pugi::xml_node> nodes;
  forEachAt(doc_, path, [&](pugi::xml_node n) {
    nodes.push_back(n);
    return true;
  });
  return nodes;
}

std::size_t Document::count(std::string_view path) const {
  std::size_t n = 0;
  forEachAt(doc_, path, [&](pugi::xml_node) {
    ++n;
    return true;
  });
  return n;
}

pugi::xml_node Document::selectSingle(std::string_view path) const {
  pugi::xml_node found;
  forEachAt(doc_, path, [&](pugi::xml_node n) {
    found = n;
    return false;
  });
  return found;
}

void Document::save(const fs::path& file) const {
  unsigned flags = kSaveFlags;
  switch (encoding_) {
    case XmlEncoding::Utf8:
    case XmlEncoding::Utf16LE:
    case XmlEncoding::Utf16BE: {
      const bool utf16 = encoding_ != XmlEncoding::Utf8;
      // UTF-16 needs its byte order mark to be read back.
      if (bom_ || utf16) flags |= pugi::format_write_bom;
      const pugi::xml_encoding target = encoding_ == XmlEncoding::Utf8     ? pugi::encoding_utf8
                                        : encoding_ == XmlEncoding::Utf16LE ? pugi::encoding_utf16_le
                                                                            : pugi::encoding_utf16_be;
      replaceFileAtomically(file, [&](std::ostream& out) {
        StreamWriter writer(out);
        doc_.save(writer, "\t", flags, target);
      });
      return;
    }
    case XmlEncoding::Latin1:
    case XmlEncoding::Windows1252: {
      std::string utf8;
      struct StringWriter : pugi::xml_writer {
        std::string& text;
        explicit StringWriter(std::string& t) : text(t) {}
        void write(const void* data, std::size_t size) override {
          text.append(static_cast<const char*>(data), size);
        }
      } writer(utf8);
      doc_.save(writer, "\t", flags, pugi::encoding_utf8);
      replaceFileAtomically(file, xmlToSingleByte(utf8, encoding_));
      return;
    }
  }
}

std::string attr(pugi::xml_node node, const char* name) {
  return trimmed(node.attribute(name).value());
}

std::string requiredAttr(pugi::xml_node node, const char* name) {
  if (!node) throw Error(std::string("Falta el elemento del que leer el atributo \"") + name + "\".");
  const pugi::xml_attribute a = node.attribute(name);
  if (!a)
    throw Error(std::string("Falta el atributo \"") + name + "\" en el elemento \"" + node.name() + "\".");
  return trimmed(a.value());
}

}  // namespace tvi

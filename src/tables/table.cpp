#include "tables/table.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <unordered_map>

#include "common/error.h"
#include "tables/dbf_format.h"
#include "tables/file_io.h"

namespace tvi {

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

std::string upperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

std::string baseName(const std::string& name) {
  std::filesystem::path p(name);
  if (upperAscii(p.extension().string()) == ".DBF") return p.stem().string();
  return name;
}

std::string fileNameOf(const std::string& name) {
  std::filesystem::path p(name);
  return p.has_extension() ? name : name + ".DBF";
}

std::string_view trimRight(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
  return s;
}

std::string_view trimBoth(std::string_view s) {
  s = trimRight(s);
  while (!s.empty() && (s.front() == ' ' || s.front() == '\0')) s.remove_prefix(1);
  return s;
}

}  // namespace

// ---------------------------------------------------------------------------
// Value conversions shared by reading, writing and locate.

std::string dbf::formatFloat(double v) {
  if (v == 0) return "0";  // also for -0
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", v);
  return buf;
}

bool dbf::parseInteger(std::string_view text, std::int32_t& out) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  std::int32_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  out = value;
  return true;
}

bool dbf::parseFloat(std::string_view text, double& out) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  // Only plain decimal notation with an optional exponent: no "inf", "nan"
  // or hexadecimal forms.
  for (char c : text)
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == 'e' || c == 'E')) return false;
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return false;
  out = value;
  return true;
}

std::string dbf::integerError(std::string_view text) {
  return "'" + std::string(text) + "' no es un valor entero válido";
}

std::string dbf::floatError(std::string_view text) {
  return "'" + std::string(text) + "' no es un valor en coma flotante válido";
}

namespace {

std::uint32_t readBE32(const char* p) {
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  return (std::uint32_t(u[0]) << 24) | (std::uint32_t(u[1]) << 16) | (std::uint32_t(u[2]) << 8) |
         std::uint32_t(u[3]);
}
std::uint32_t readLE32(const char* p) {
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  return (std::uint32_t(u[3]) << 24) | (std::uint32_t(u[2]) << 16) | (std::uint32_t(u[1]) << 8) |
         std::uint32_t(u[0]);
}
std::uint64_t readBE64(const char* p) {
  return (std::uint64_t(readBE32(p)) << 32) | readBE32(p + 4);
}
void writeBE32(char* p, std::uint32_t v) {
  for (int i = 3; i >= 0; --i, v >>= 8) p[i] = static_cast<char>(v & 0xFF);
}
void writeLE32(char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i, v >>= 8) p[i] = static_cast<char>(v & 0xFF);
}
void writeBE64(char* p, std::uint64_t v) {
  writeBE32(p, static_cast<std::uint32_t>(v >> 32));
  writeBE32(p + 4, static_cast<std::uint32_t>(v));
}
void writeLE16(char* p, std::uint16_t v) {
  p[0] = static_cast<char>(v & 0xFF);
  p[1] = static_cast<char>(v >> 8);
}
std::uint16_t readLE16(const char* p) {
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  return static_cast<std::uint16_t>(u[0] | (u[1] << 8));
}

bool allZero(const char* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    if (p[i] != 0) return false;
  return true;
}

// Level-7 doubles are stored so that their bytes sort as the numbers do:
// big-endian, positive values with the sign bit set, negative values with
// every bit inverted. All-zero bytes mean an empty field.
std::uint64_t sortableDouble(double v) {
  std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
  return (bits >> 63) ? ~bits : (bits | (std::uint64_t(1) << 63));
}
double fromSortableDouble(std::uint64_t u) {
  u = (u >> 63) ? (u & ~(std::uint64_t(1) << 63)) : ~u;
  return std::bit_cast<double>(u);
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void civilFromDays(std::int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t yy = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

// A level-7 timestamp: milliseconds since 0001-01-01 counted from day 1.
std::string timestampText(const char* p) {
  std::uint64_t u = readBE64(p);
  if (u >> 63) u &= ~(std::uint64_t(1) << 63);
  double ms = std::bit_cast<double>(u);
  if (!std::isfinite(ms) || ms < 86400000.0 || ms > 4e14) return {};
  auto total = static_cast<std::int64_t>(std::llround(ms));
  std::int64_t days = total / 86400000;
  std::int64_t rest = total % 86400000;
  int y = 0, m = 0, d = 0;
  civilFromDays(days - 1 - 719162, y, m, d);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d,
                static_cast<int>(rest / 3600000), static_cast<int>(rest / 60000 % 60),
                static_cast<int>(rest / 1000 % 60));
  return buf;
}

std::uint64_t readLE64(const char* p) {
  return (std::uint64_t(readLE32(p + 4)) << 32) | readLE32(p);
}

// A FoxPro datetime: Julian day number, then milliseconds since midnight,
// both little-endian. All zero means empty.
std::string foxDateTimeText(const char* p) {
  auto julian = static_cast<std::int32_t>(readLE32(p));
  auto ms = static_cast<std::int32_t>(readLE32(p + 4));
  if (julian <= 0 || ms < 0 || ms >= 86400000) return {};
  int y = 0, m = 0, d = 0;
  civilFromDays(std::int64_t(julian) - 2440588, y, m, d);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d, ms / 3600000,
                ms / 60000 % 60, ms / 1000 % 60);
  return buf;
}

// Numbers in character form: canonical integer text when it is one, the
// shortest decimal text otherwise ("3", "2.5"); anything unreadable as it
// stands.
std::string numericText(std::string_view raw) {
  std::string_view t = trimBoth(raw);
  if (t.empty()) return {};
  std::string_view digits = t;
  bool negative = false;
  if (digits.front() == '-' || digits.front() == '+') {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  if (!digits.empty() &&
      std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
    if (digits == "0") return "0";
    return (negative ? "-" : "") + std::string(digits);
  }
  double v = 0;
  if (dbf::parseFloat(t, v)) return dbf::formatFloat(v);
  return std::string(t);
}

}  // namespace

// ---------------------------------------------------------------------------

namespace dbf {

// The record numbers (0-based, in physical order) of the records not
// deleted, by the values of a set of key fields.
struct KeyIndex {
  std::vector<std::size_t> fields;
  std::unordered_map<std::string, std::vector<std::uint32_t>> records;
};

}  // namespace dbf

using Field = dbf::LayoutField;
using dbf::KeyIndex;

namespace {
// Field names are looked up by string_view without building a string.
struct NameHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
};
using FieldMap = std::unordered_map<std::string, std::size_t, NameHash, std::equal_to<>>;
}  // namespace

struct Table::Impl {
  enum class Mode { Browse, Append, Edit };

  std::vector<FieldDef> definitions;

  fileio::LockedFile file;
  std::filesystem::path path;
  std::string header;
  std::vector<Field> fields;
  std::vector<FieldDef> storedDefinitions;  // fields[i].def, for fields()
  FieldMap fieldByName;  // upper-case names
  bool foxPro = false;
  std::size_t recordLength = 0;
  std::string records;  // count * recordLength bytes
  std::size_t count = 0;
  std::size_t live = 0;
  fileio::Date today;

  std::size_t current = kNone;
  bool atEnd = true;
  Mode mode = Mode::Browse;
  std::string buffer;

  std::vector<KeyIndex> indexes;

  const char* record(std::size_t i) const { return records.data() + i * recordLength; }
  bool deleted(std::size_t i) const { return records[i * recordLength] == '*'; }
};

namespace {

using Impl = Table::Impl;

bool isBinary(const Field& f, bool foxPro) {
  char t = static_cast<char>(f.def.type);
  if (t == 'I' || t == '+' || t == 'O' || t == '@') return true;
  if (foxPro && std::strchr("BYT0GWQP", t) != nullptr) return true;
  if (foxPro && t == 'M' && f.size == 4) return true;
  return false;
}

std::string blankRecord(const Impl& t) {
  std::string rec(t.recordLength, ' ');
  for (const Field& f : t.fields)
    if (isBinary(f, t.foxPro)) std::fill_n(rec.begin() + static_cast<std::ptrdiff_t>(f.offset), f.size, '\0');
  return rec;
}

// The value of a field as text: what asString gives and what locate
// compares.
std::string fieldText(const Field& f, bool foxPro, const char* rec) {
  const char* p = rec + f.offset;
  std::string_view raw(p, f.size);
  switch (static_cast<char>(f.def.type)) {
    case 'C':
      return std::string(trimRight(raw));
    case 'N':
    case 'F':
      return numericText(raw);
    case 'L': {
      std::string_view t = trimBoth(raw);
      if (t.empty()) return {};
      char c = t.front();
      if (c == 'T' || c == 't' || c == 'Y' || c == 'y') return "T";
      if (c == 'F' || c == 'f' || c == 'N' || c == 'n') return "F";
      return {};
    }
    case 'I':
    case '+':
      if (f.size != 4) return {};
      if (foxPro) return std::to_string(static_cast<std::int32_t>(readLE32(p)));
      if (allZero(p, 4)) return {};
      return std::to_string(static_cast<std::int32_t>(readBE32(p) ^ 0x80000000u));
    case 'O':
      if (f.size != 8 || allZero(p, 8)) return {};
      return dbf::formatFloat(fromSortableDouble(readBE64(p)));
    case '@':
      if (f.size != 8 || allZero(p, 8)) return {};
      return timestampText(p);
    case 'M':
      return {};  // memo contents live in another file and are not read
    case 'B':
      if (foxPro && f.size == 8) return dbf::formatFloat(std::bit_cast<double>(readLE64(p)));
      return std::string(trimBoth(raw));
    case 'Y':
      if (foxPro && f.size == 8)
        return dbf::formatFloat(static_cast<double>(static_cast<std::int64_t>(readLE64(p))) /
                                10000.0);
      return std::string(trimBoth(raw));
    case 'T':
      if (foxPro && f.size == 8) return foxDateTimeText(p);
      return std::string(trimBoth(raw));
    default:
      if (isBinary(f, foxPro)) return {};
      return std::string(trimBoth(raw));
  }
}

// Writes `value` into a numeric field's bytes, right-aligned, with the
// field's decimals or as few fewer as make it fit.
bool numericBytes(const Field& f, double v, char* dst) {
  if (!std::isfinite(v)) return false;
  if (v == 0) v = 0;  // no "-0"
  char buf[400];
  for (int dec = f.def.decimals; dec >= 0; --dec) {
    int n = std::snprintf(buf, sizeof buf, "%.*f", dec, v);
    if (n > 0 && static_cast<std::size_t>(n) <= f.size) {
      std::memset(dst, ' ', f.size);
      std::memcpy(dst + f.size - static_cast<std::size_t>(n), buf, static_cast<std::size_t>(n));
      return true;
    }
  }
  return false;
}

// Level-7 integers have no form for -2147483648: its bytes would be those
// of an empty field.
bool integerBytes(bool foxPro, std::int32_t v, char* dst) {
  if (foxPro) {
    writeLE32(dst, static_cast<std::uint32_t>(v));
    return true;
  }
  if (v == std::numeric_limits<std::int32_t>::min()) return false;
  writeBE32(dst, static_cast<std::uint32_t>(v) ^ 0x80000000u);
  return true;
}

void textBytes(const Field& f, std::string_view value, char* dst) {
  std::size_t n = std::min(value.size(), f.size);
  std::memcpy(dst, value.data(), n);
  std::memset(dst + n, ' ', f.size - n);
}

}  // namespace

// ---------------------------------------------------------------------------
// Messages

std::string dbf::displayPath(const std::filesystem::path& p) {
  std::u8string s = p.u8string();
  return std::string(s.begin(), s.end());
}

std::string dbf::lockedMessage(const std::string& name) {
  return "La tabla " + name +
         " está en uso por otro programa. Cierre Velmaran (u otro programa que la tenga "
         "abierta) y vuelva a intentarlo.";
}

namespace {

using dbf::displayPath;
using dbf::lockedMessage;

std::string tableLabel(const std::string& name, const std::filesystem::path& file) {
  return "La tabla " + name + " (" + displayPath(file) + ")";
}

std::string writeFailureMessage(const std::string& name, const std::filesystem::path& file,
                                const std::string& reason) {
  return "No se pudo escribir en la tabla " + name + " (" + displayPath(file) + "): " + reason +
         ". Puede que el disco esté lleno o sea de solo lectura: libere espacio o compruebe los "
         "permisos de la carpeta y vuelva a intentarlo.";
}

}  // namespace

// ---------------------------------------------------------------------------
// Reading a file's layout

dbf::Layout dbf::parseLayout(std::string_view bytes, const std::string& tableName,
                             const std::filesystem::path& file) {
  auto damaged = [&](const std::string& reason) {
    return Error(tableLabel(tableName, file) + " está dañada: " + reason + ".");
  };
  if (bytes.empty()) throw damaged("el archivo está vacío");
  if (bytes.size() < 32)
    throw damaged("el archivo mide " + std::to_string(bytes.size()) +
                  " bytes, menos que una cabecera dBase");
  const auto version = static_cast<unsigned char>(bytes[0]);
  const bool visualFoxPro = version == 0x30 || version == 0x31 || version == 0x32;
  const unsigned level = version & 0x07;
  if (!visualFoxPro && level != 2 && level != 3 && level != 4 && level != 5) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", version);
    throw damaged(std::string("el primer byte (") + hex +
                  ") no corresponde a ninguna versión de dBase");
  }
  Layout layout;
  layout.version = version;
  layout.foxPro = visualFoxPro || version == 0xF5 || version == 0xFB || level == 2 || level == 5;
  const bool level7 = !visualFoxPro && level == 4;
  const std::size_t descStart = level7 ? 68 : 32;
  const std::size_t descSize = level7 ? 48 : 32;
  const std::size_t nameSize = level7 ? 32 : 11;
  const std::size_t sizeAt = level7 ? 33 : 16;
  const std::size_t typeAt = level7 ? 32 : 11;

  layout.count = readLE32(bytes.data() + 4);
  layout.headerLength = readLE16(bytes.data() + 8);
  layout.recordLength = readLE16(bytes.data() + 10);
  if (layout.headerLength > bytes.size())
    throw damaged("la cabecera declara " + std::to_string(layout.headerLength) +
                  " bytes y el archivo solo tiene " + std::to_string(bytes.size()));
  if (layout.headerLength < descStart + 1)
    throw damaged("la longitud de la cabecera (" + std::to_string(layout.headerLength) +
                  " bytes) es demasiado corta");

  std::size_t pos = descStart;
  std::size_t offset = 1;
  while (pos < layout.headerLength && bytes[pos] != 0x0D) {
    if (pos + descSize > layout.headerLength)
      throw damaged("la descripción de los campos no termina dentro de la cabecera");
    const char* d = bytes.data() + pos;
    std::size_t nameLength = 0;
    while (nameLength < nameSize && d[nameLength] != '\0') ++nameLength;
    std::string name(trimRight(std::string_view(d, nameLength)));
    if (name.empty())
      throw damaged("el campo " + std::to_string(layout.fields.size() + 1) + " no tiene nombre");
    FieldDef def;
    def.name = name;
    def.type = static_cast<FieldType>(d[typeAt]);
    std::size_t size = static_cast<unsigned char>(d[sizeAt]);
    int decimals = static_cast<unsigned char>(d[sizeAt + 1]);
    if (layout.foxPro && d[typeAt] == 'C') {
      size += static_cast<std::size_t>(decimals) * 256;  // wide character fields
      decimals = 0;
    }
    if (size == 0) throw damaged("el campo " + name + " tiene longitud 0");
    std::size_t fixed = 0;
    switch (d[typeAt]) {
      case 'I': case '+': fixed = 4; break;
      case 'O': case '@': fixed = 8; break;
      default: break;
    }
    if (fixed != 0 && size != fixed)
      throw damaged("el campo " + name + " de tipo " + std::string(1, d[typeAt]) + " mide " +
                    std::to_string(size) + " bytes y debería medir " + std::to_string(fixed));
    def.width = static_cast<int>(size);
    def.decimals = decimals;
    layout.fields.push_back({def, offset, size});
    offset += size;
    pos += descSize;
  }
  if (layout.fields.empty()) throw damaged("no tiene ningún campo");
  if (offset > layout.recordLength)
    throw damaged("los campos ocupan " + std::to_string(offset) +
                  " bytes por registro y la cabecera declara registros de " +
                  std::to_string(layout.recordLength));
  const std::uint64_t needed =
      std::uint64_t(layout.headerLength) + std::uint64_t(layout.count) * layout.recordLength;
  if (needed > bytes.size()) {
    std::uint64_t room = (bytes.size() - layout.headerLength) / layout.recordLength;
    throw damaged("la cabecera anuncia " + std::to_string(layout.count) +
                  " registros y el archivo solo tiene sitio para " + std::to_string(room) +
                  " (está truncado)");
  }
  return layout;
}

std::string dbf::level7Header(const std::vector<FieldDef>& defs, fileio::Date date,
                              std::vector<LayoutField>& fields, std::size_t& recordLength) {
  const std::size_t headerLength = 68 + 48 * defs.size() + 1;
  std::string h(headerLength, '\0');
  h[0] = 0x04;
  h[1] = static_cast<char>(date.year - 1900);
  h[2] = static_cast<char>(date.month);
  h[3] = static_cast<char>(date.day);
  std::memcpy(&h[32], "DBWINWE0", 8);
  std::size_t offset = 1;
  fields.clear();
  for (std::size_t i = 0; i < defs.size(); ++i) {
    const FieldDef& def = defs[i];
    char type = static_cast<char>(def.type);
    int size = def.width;
    int decimals = 0;
    switch (def.type) {
      case FieldType::Logical: size = 1; break;
      case FieldType::Integer: size = 4; break;
      case FieldType::Float:  // written as a numeric, as level-7 writers do
        type = 'N';
        size = 18;
        decimals = 8;
        break;
      case FieldType::Numeric:
      case FieldType::FloatN: decimals = def.decimals; break;
      case FieldType::Date: size = 8; break;
      default: break;
    }
    char* d = &h[68 + 48 * i];
    std::memcpy(d, def.name.data(), def.name.size());
    d[32] = type;
    d[33] = static_cast<char>(size);
    d[34] = static_cast<char>(decimals);
    FieldDef stored{def.name, static_cast<FieldType>(type), size, decimals};
    fields.push_back({stored, offset, static_cast<std::size_t>(size)});
    offset += static_cast<std::size_t>(size);
  }
  h[headerLength - 1] = 0x0D;
  writeLE16(&h[8], static_cast<std::uint16_t>(headerLength));
  writeLE16(&h[10], static_cast<std::uint16_t>(offset));
  recordLength = offset;
  return h;
}

// ---------------------------------------------------------------------------

Table::Table(std::filesystem::path folder, std::string name, bool exclusive)
    : folder_(std::move(folder)), name_(std::move(name)), exclusive_(exclusive),
      impl_(std::make_unique<Impl>()) {}

Table::~Table() {
  // An unposted change is dropped here: the destructor may run while an
  // error is on its way out, and then nothing more may be written.
  impl_->mode = Impl::Mode::Browse;
  impl_->file.close();
}

void Table::clearFields() { impl_->definitions.clear(); }

void Table::addField(FieldDef field) { impl_->definitions.push_back(std::move(field)); }

std::filesystem::path Table::file() const {
  if (impl_->file.isOpen()) return impl_->path;
  return fileio::findNoCase(folder_, fileNameOf(name_));
}

const std::vector<FieldDef>& Table::fields() const {
  return impl_->file.isOpen() ? impl_->storedDefinitions : impl_->definitions;
}

bool Table::hasField(std::string_view name) const {
  if (impl_->file.isOpen()) return impl_->fieldByName.count(upperAscii(name)) != 0;
  for (const FieldDef& d : impl_->definitions)
    if (upperAscii(d.name) == upperAscii(name)) return true;
  return false;
}

bool Table::isOpen() const { return impl_->file.isOpen(); }

namespace {

void checkDefinitions(const std::string& table, const std::vector<FieldDef>& defs) {
  auto bad = [&](const std::string& why) {
    return Error("No se puede crear la tabla " + table + ": " + why + ".");
  };
  if (defs.empty()) throw bad("no tiene ningún campo");
  std::size_t recordLength = 1;
  for (std::size_t i = 0; i < defs.size(); ++i) {
    const FieldDef& d = defs[i];
    if (d.name.empty() || d.name.size() > 31)
      throw bad("el nombre del campo " + std::to_string(i + 1) + " ('" + d.name +
                "') debe tener de 1 a 31 caracteres");
    for (std::size_t j = 0; j < i; ++j)
      if (upperAscii(defs[j].name) == upperAscii(d.name))
        throw bad("el campo " + d.name + " está repetido");
    switch (d.type) {
      case FieldType::Character:
        if (d.width < 1 || d.width > 254)
          throw bad("el campo " + d.name + " debe tener de 1 a 254 caracteres");
        recordLength += static_cast<std::size_t>(d.width);
        break;
      case FieldType::Numeric:
      case FieldType::FloatN:
        if (d.width < 1 || d.width > 20 || d.decimals < 0 ||
            (d.decimals > 0 && d.decimals > d.width - 2))
          throw bad("el campo numérico " + d.name + " tiene un ancho o unos decimales no válidos");
        recordLength += static_cast<std::size_t>(d.width);
        break;
      case FieldType::Logical: recordLength += 1; break;
      case FieldType::Integer: recordLength += 4; break;
      case FieldType::Float: recordLength += 18; break;
      case FieldType::Date: recordLength += 8; break;
      default:
        throw bad("el campo " + d.name + " es de un tipo que no se puede crear");
    }
  }
  if (recordLength > 65535) throw bad("los registros serían demasiado largos");
}

}  // namespace

void Table::create() {
  const std::string label = baseName(name_);
  if (isOpen()) throw Error("La tabla " + label + " ya está abierta y no se puede crear de nuevo.");
  checkDefinitions(label, impl_->definitions);
  const std::filesystem::path target = file();
  std::vector<dbf::LayoutField> layoutFields;
  std::size_t recordLength = 0;
  std::string bytes =
      dbf::level7Header(impl_->definitions, fileio::today(), layoutFields, recordLength);
  bytes.push_back('\x1A');
  try {
    fileio::LockedFile out = fileio::LockedFile::createEmpty(target);
    try {
      out.writeAt(0, bytes.data(), bytes.size());
    } catch (const fileio::FileIoError& e) {
      out.close();
      fileio::removeQuietly(target);  // no half-written table is left behind
      throw Error(writeFailureMessage(label, target, e.reason()));
    }
  } catch (const fileio::FileIoError& e) {
    if (e.kind() == fileio::FailureKind::Locked) throw Error(lockedMessage(label));
    throw Error("No se pudo crear la tabla " + label + " (" + displayPath(target) +
                "): " + e.reason() + ".");
  }
}

void Table::open() {
  if (isOpen()) return;
  const std::string label = baseName(name_);
  const std::filesystem::path source = file();
  fileio::LockedFile f;
  std::string bytes;
  try {
    f = fileio::LockedFile::openExisting(
        source, exclusive_ ? fileio::LockMode::Exclusive : fileio::LockMode::Shared);
    bytes = f.readAll();
  } catch (const fileio::FileIoError& e) {
    if (e.kind() == fileio::FailureKind::NotFound)
      throw MissingFile("No existe la tabla " + label + " (" + displayPath(source) + ").");
    if (e.kind() == fileio::FailureKind::Locked) throw Error(lockedMessage(label));
    throw Error("No se pudo abrir la tabla " + label + " (" + displayPath(source) +
                "): " + e.reason() + ".");
  }
  dbf::Layout layout = dbf::parseLayout(bytes, label, source);

  Impl& t = *impl_;
  t.path = source;
  t.header.assign(bytes.data(), layout.headerLength);
  t.fields.clear();
  t.storedDefinitions.clear();
  t.fieldByName.clear();
  for (const dbf::LayoutField& lf : layout.fields) {
    t.fieldByName.emplace(upperAscii(lf.def.name), t.fields.size());
    t.fields.push_back({lf.def, lf.offset, lf.size});
    t.storedDefinitions.push_back(lf.def);
  }
  t.foxPro = layout.foxPro;
  t.recordLength = layout.recordLength;
  t.count = layout.count;
  t.records.assign(bytes.data() + layout.headerLength, t.count * t.recordLength);
  t.live = 0;
  for (std::size_t i = 0; i < t.count; ++i)
    if (!t.deleted(i)) ++t.live;
  t.today = fileio::today();
  t.mode = Impl::Mode::Browse;
  t.indexes.clear();
  t.file = std::move(f);
  first();
}

void Table::close() {
  if (!isOpen()) return;
  struct Release {
    Impl& t;
    ~Release() {
      t.mode = Impl::Mode::Browse;
      t.file.close();
      t.records.clear();
      t.records.shrink_to_fit();
      t.indexes.clear();
      t.fields.clear();
      t.storedDefinitions.clear();
      t.fieldByName.clear();
      t.count = t.live = 0;
      t.current = kNone;
      t.atEnd = true;
    }
  } release{*impl_};
  post();  // a change not yet posted is kept, not lost
}

// ---------------------------------------------------------------------------
// Navigation

namespace {

void requireOpen(const Table& table, const Impl& t) {
  if (!t.file.isOpen()) throw Error("La tabla " + baseName(table.name()) + " no está abierta.");
}

std::size_t nextLive(const Impl& t, std::size_t from) {
  for (std::size_t i = from; i < t.count; ++i)
    if (!t.deleted(i)) return i;
  return kNone;
}

}  // namespace

void Table::first() {
  requireOpen(*this, *impl_);
  post();
  impl_->current = nextLive(*impl_, 0);
  impl_->atEnd = impl_->current == kNone;
}

void Table::next() {
  requireOpen(*this, *impl_);
  post();
  Impl& t = *impl_;
  if (t.current == kNone) {
    t.atEnd = true;
    return;
  }
  std::size_t n = nextLive(t, t.current + 1);
  if (n == kNone) {
    t.atEnd = true;  // the last record stays current
  } else {
    t.current = n;
    t.atEnd = false;
  }
}

bool Table::eof() const { return !isOpen() || impl_->atEnd; }

std::size_t Table::recordCount() const { return isOpen() ? impl_->live : 0; }

int Table::recNo() const {
  const Impl& t = *impl_;
  if (!isOpen() || t.current == kNone || t.mode == Impl::Mode::Append) return 0;
  return static_cast<int>(t.current + 1);
}

// ---------------------------------------------------------------------------
// Indexes

namespace {

void appendKeyPart(std::string& key, const std::string& part) {
  auto n = static_cast<std::uint32_t>(part.size());
  key.append(reinterpret_cast<const char*>(&n), sizeof n);
  key.append(part);
}

std::string recordKey(const Impl& t, const std::vector<std::size_t>& fields, const char* rec) {
  if (fields.size() == 1) return fieldText(t.fields[fields[0]], t.foxPro, rec);
  std::string key;
  for (std::size_t f : fields) appendKeyPart(key, fieldText(t.fields[f], t.foxPro, rec));
  return key;
}

void indexInsert(KeyIndex& index, const std::string& key, std::uint32_t rec) {
  auto& list = index.records[key];
  list.insert(std::lower_bound(list.begin(), list.end(), rec), rec);
}

void indexErase(KeyIndex& index, const std::string& key, std::uint32_t rec) {
  auto it = index.records.find(key);
  if (it == index.records.end()) return;
  auto& list = it->second;
  auto pos = std::lower_bound(list.begin(), list.end(), rec);
  if (pos != list.end() && *pos == rec) list.erase(pos);
  if (list.empty()) index.records.erase(it);
}

KeyIndex& indexFor(Impl& t, const std::vector<std::size_t>& fields) {
  for (KeyIndex& index : t.indexes)
    if (index.fields == fields) return index;
  KeyIndex index;
  index.fields = fields;
  index.records.reserve(t.live);
  for (std::size_t i = 0; i < t.count; ++i)
    if (!t.deleted(i))
      index.records[recordKey(t, fields, t.record(i))].push_back(static_cast<std::uint32_t>(i));
  t.indexes.push_back(std::move(index));
  return t.indexes.back();
}

}  // namespace

// ---------------------------------------------------------------------------
// Field access

namespace {

const Field& fieldNamed(const Table& table, const Impl& t, std::string_view name) {
  requireOpen(table, t);
  auto it = t.fieldByName.find(name);
  if (it == t.fieldByName.end()) it = t.fieldByName.find(upperAscii(name));
  if (it == t.fieldByName.end())
    throw Error(tableLabel(baseName(table.name()), t.path) + " no tiene el campo " +
                std::string(name) + ".");
  return t.fields[it->second];
}

const char* currentBytes(const Impl& t) {
  if (t.mode != Impl::Mode::Browse) return t.buffer.data();
  if (t.current == kNone) return nullptr;
  return t.record(t.current);
}

char* editableBytes(const Table& table, Impl& t, const Field& f) {
  if (t.mode == Impl::Mode::Browse)
    throw Error("La tabla " + baseName(table.name()) + " no está en edición: no se puede asignar " +
                "el campo " + f.def.name + ".");
  return t.buffer.data() + f.offset;
}

Error unwritable(const Table& table, const Field& f) {
  return Error("El campo " + f.def.name + " de la tabla " + baseName(table.name()) +
               " es de un tipo que no se puede escribir.");
}

Error doesNotFit(const Table& table, const Field& f, const std::string& value) {
  return Error("El valor " + value + " no cabe en el campo " + f.def.name + " de la tabla " +
               baseName(table.name()) + ".");
}

// Stores text into a field as setString does; throws Error when the text
// does not convert to the field's type.
void storeText(const Table& table, const Field& f, bool foxPro, std::string_view value,
               char* dst) {
  switch (static_cast<char>(f.def.type)) {
    case 'C':
    case 'D':
      textBytes(f, value, dst);
      return;
    case 'N':
    case 'F': {
      std::string_view t = trimBoth(value);
      if (t.empty()) {
        std::memset(dst, ' ', f.size);
        return;
      }
      double v = 0;
      if (!dbf::parseFloat(t, v)) throw Error(dbf::floatError(value));
      if (!numericBytes(f, v, dst)) throw doesNotFit(table, f, std::string(t));
      return;
    }
    case 'I':
    case '+': {
      std::string_view t = trimBoth(value);
      if (t.empty()) {
        std::memset(dst, 0, 4);
        return;
      }
      std::int32_t v = 0;
      if (!dbf::parseInteger(t, v)) throw Error(dbf::integerError(value));
      if (!integerBytes(foxPro, v, dst)) throw doesNotFit(table, f, std::string(t));
      return;
    }
    case 'O': {
      std::string_view t = trimBoth(value);
      if (t.empty()) {
        std::memset(dst, 0, 8);
        return;
      }
      double v = 0;
      if (!dbf::parseFloat(t, v)) throw Error(dbf::floatError(value));
      writeBE64(dst, sortableDouble(v));
      return;
    }
    case 'L': {
      std::string_view t = trimBoth(value);
      if (t.empty()) {
        *dst = ' ';
        return;
      }
      if (std::strchr("TtYySs", t.front()) != nullptr)
        *dst = 'T';
      else if (std::strchr("FfNn", t.front()) != nullptr)
        *dst = 'F';
      else
        throw Error("'" + std::string(value) + "' no es un valor lógico válido");
      return;
    }
    default:
      throw unwritable(table, f);
  }
}

}  // namespace

std::string Table::asString(std::string_view field) const {
  const Field& f = fieldNamed(*this, *impl_, field);
  const char* rec = currentBytes(*impl_);
  return rec ? fieldText(f, impl_->foxPro, rec) : std::string();
}

std::int32_t Table::asInteger(std::string_view field) const {
  const Field& f = fieldNamed(*this, *impl_, field);
  const char* rec = currentBytes(*impl_);
  if (!rec) return 0;
  char type = static_cast<char>(f.def.type);
  const char* p = rec + f.offset;
  if ((type == 'I' || type == '+') && f.size == 4) {
    if (impl_->foxPro) return static_cast<std::int32_t>(readLE32(p));
    return allZero(p, 4) ? 0 : static_cast<std::int32_t>(readBE32(p) ^ 0x80000000u);
  }
  std::string text = fieldText(f, impl_->foxPro, rec);
  if (text.empty()) return 0;
  std::int32_t v = 0;
  if (!dbf::parseInteger(text, v)) throw Error(dbf::integerError(text));
  return v;
}

double Table::asFloat(std::string_view field) const {
  const Field& f = fieldNamed(*this, *impl_, field);
  const char* rec = currentBytes(*impl_);
  if (!rec) return 0;
  char type = static_cast<char>(f.def.type);
  const char* p = rec + f.offset;
  if (type == 'O' && f.size == 8) return allZero(p, 8) ? 0 : fromSortableDouble(readBE64(p));
  if (type == 'B' && impl_->foxPro && f.size == 8) return std::bit_cast<double>(readLE64(p));
  std::string text = fieldText(f, impl_->foxPro, rec);
  if (text.empty()) return 0;
  double v = 0;
  if (!dbf::parseFloat(text, v)) throw Error(dbf::floatError(text));
  return v;
}

bool Table::asBool(std::string_view field) const {
  const Field& f = fieldNamed(*this, *impl_, field);
  const char* rec = currentBytes(*impl_);
  if (!rec) return false;
  std::string text = fieldText(f, impl_->foxPro, rec);
  switch (static_cast<char>(f.def.type)) {
    case 'L':
      return text == "T";
    case 'C':
      return !text.empty() && std::strchr("TtYySs", text.front()) != nullptr;
    case 'N': case 'F': case 'I': case '+': case 'O': case 'B': case 'Y': {
      double v = 0;
      return dbf::parseFloat(text, v) && v != 0;
    }
    default:  // dates, timestamps, memos
      return false;
  }
}

void Table::setString(std::string_view field, std::string_view value) {
  const Field& f = fieldNamed(*this, *impl_, field);
  char* dst = editableBytes(*this, *impl_, f);
  storeText(*this, f, impl_->foxPro, value, dst);
}

void Table::setInteger(std::string_view field, std::int32_t value) {
  const Field& f = fieldNamed(*this, *impl_, field);
  char* dst = editableBytes(*this, *impl_, f);
  switch (static_cast<char>(f.def.type)) {
    case 'I':
    case '+':
      if (!integerBytes(impl_->foxPro, value, dst))
        throw doesNotFit(*this, f, std::to_string(value));
      return;
    case 'O':
      writeBE64(dst, sortableDouble(value));
      return;
    case 'L':
      *dst = value != 0 ? 'T' : 'F';
      return;
    default:
      storeText(*this, f, impl_->foxPro, std::to_string(value), dst);
  }
}

void Table::setFloat(std::string_view field, double value) {
  const Field& f = fieldNamed(*this, *impl_, field);
  char* dst = editableBytes(*this, *impl_, f);
  switch (static_cast<char>(f.def.type)) {
    case 'C':
      textBytes(f, dbf::formatFloat(value), dst);
      return;
    case 'N':
    case 'F':
      if (!numericBytes(f, value, dst)) throw doesNotFit(*this, f, dbf::formatFloat(value));
      return;
    case 'O':
      if (!std::isfinite(value)) throw Error(dbf::floatError(dbf::formatFloat(value)));
      writeBE64(dst, sortableDouble(value));
      return;
    case 'I':
    case '+': {
      double r = std::nearbyint(value);
      if (!(r >= std::numeric_limits<std::int32_t>::min() &&
            r <= std::numeric_limits<std::int32_t>::max()))
        throw Error(dbf::integerError(dbf::formatFloat(value)));
      if (!integerBytes(impl_->foxPro, static_cast<std::int32_t>(r), dst))
        throw doesNotFit(*this, f, dbf::formatFloat(value));
      return;
    }
    case 'L':
      *dst = value != 0 ? 'T' : 'F';
      return;
    default:
      throw unwritable(*this, f);
  }
}

void Table::setBool(std::string_view field, bool value) {
  const Field& f = fieldNamed(*this, *impl_, field);
  char* dst = editableBytes(*this, *impl_, f);
  switch (static_cast<char>(f.def.type)) {
    case 'L':
      *dst = value ? 'T' : 'F';
      return;
    case 'C':
      textBytes(f, value ? "T" : "F", dst);
      return;
    default:
      setInteger(field, value ? 1 : 0);
  }
}

// ---------------------------------------------------------------------------
// Changes

void Table::append() {
  requireOpen(*this, *impl_);
  post();
  impl_->buffer = blankRecord(*impl_);
  impl_->mode = Impl::Mode::Append;
}

void Table::edit() {
  requireOpen(*this, *impl_);
  Impl& t = *impl_;
  if (t.mode == Impl::Mode::Edit) return;
  post();
  if (t.current == kNone || t.deleted(t.current))
    throw Error("La tabla " + baseName(name_) + " no tiene ningún registro que modificar.");
  t.buffer.assign(t.record(t.current), t.recordLength);
  t.mode = Impl::Mode::Edit;
}

void Table::post() {
  Impl& t = *impl_;
  if (t.mode == Impl::Mode::Browse) return;
  const std::string label = baseName(name_);
  const Impl::Mode mode = t.mode;
  t.mode = Impl::Mode::Browse;  // a failed post is not tried again
  const std::uint64_t headerLength = t.header.size();

  if (mode == Impl::Mode::Append) {
    const std::size_t index = t.count;
    if (index >= std::numeric_limits<std::uint32_t>::max())
      throw Error("La tabla " + label + " no admite más registros.");
    const std::uint64_t at = headerLength + std::uint64_t(index) * t.recordLength;
    std::string& bytes = t.buffer;  // the record and the end marker, in one write
    bytes.push_back('\x1A');
    char counts[7];
    counts[0] = static_cast<char>(t.today.year - 1900);
    counts[1] = static_cast<char>(t.today.month);
    counts[2] = static_cast<char>(t.today.day);
    writeLE32(counts + 3, static_cast<std::uint32_t>(index + 1));
    try {
      t.file.writeAt(at, bytes.data(), bytes.size());
      t.file.writeAt(1, counts, sizeof counts);
    } catch (const fileio::FileIoError& e) {
      // Put the file back as it was: the old end marker and length need no
      // new space, so this works on a full disk too.
      try {
        const char end = '\x1A';
        char oldCount[4];
        writeLE32(oldCount, static_cast<std::uint32_t>(index));
        t.file.writeAt(4, oldCount, 4);
        t.file.writeAt(at, &end, 1);
        t.file.truncate(at + 1);
      } catch (const fileio::FileIoError&) {
      }
      throw Error(writeFailureMessage(label, t.path, e.reason()));
    }
    bytes.pop_back();
    std::memcpy(&t.header[1], counts, sizeof counts);
    t.records.append(t.buffer);
    ++t.count;
    ++t.live;
    for (KeyIndex& ix : t.indexes)
      ix.records[recordKey(t, ix.fields, t.record(index))].push_back(
          static_cast<std::uint32_t>(index));
    t.current = index;
    t.atEnd = false;
    return;
  }

  // Edit
  const std::size_t index = t.current;
  const std::uint64_t at = headerLength + std::uint64_t(index) * t.recordLength;
  try {
    t.file.writeAt(at, t.buffer.data(), t.buffer.size());
  } catch (const fileio::FileIoError& e) {
    throw Error(writeFailureMessage(label, t.path, e.reason()));
  }
  for (KeyIndex& ix : t.indexes) {
    std::string oldKey = recordKey(t, ix.fields, t.record(index));
    std::string newKey = recordKey(t, ix.fields, t.buffer.data());
    if (oldKey != newKey) {
      indexErase(ix, oldKey, static_cast<std::uint32_t>(index));
      indexInsert(ix, newKey, static_cast<std::uint32_t>(index));
    }
  }
  std::memcpy(t.records.data() + index * t.recordLength, t.buffer.data(), t.recordLength);
}

void Table::deleteRecord() {
  requireOpen(*this, *impl_);
  Impl& t = *impl_;
  if (t.mode == Impl::Mode::Append) {  // deleting a record not yet posted drops it
    t.mode = Impl::Mode::Browse;
    return;
  }
  t.mode = Impl::Mode::Browse;
  if (t.current == kNone || t.deleted(t.current))
    throw Error("La tabla " + baseName(name_) + " no tiene ningún registro que borrar.");
  const std::size_t index = t.current;
  const char mark = '*';
  try {
    t.file.writeAt(t.header.size() + std::uint64_t(index) * t.recordLength, &mark, 1);
  } catch (const fileio::FileIoError& e) {
    throw Error(writeFailureMessage(baseName(name_), t.path, e.reason()));
  }
  for (KeyIndex& ix : t.indexes)
    indexErase(ix, recordKey(t, ix.fields, t.record(index)), static_cast<std::uint32_t>(index));
  t.records[index * t.recordLength] = mark;
  --t.live;
  std::size_t following = nextLive(t, index + 1);
  if (following != kNone) {
    t.current = following;
    t.atEnd = false;
    return;
  }
  t.atEnd = true;
  t.current = kNone;
  for (std::size_t i = index; i-- > 0;)
    if (!t.deleted(i)) {
      t.current = i;
      break;
    }
}

bool Table::locate(std::string_view keyFields, const std::vector<std::string>& values) {
  requireOpen(*this, *impl_);
  post();
  Impl& t = *impl_;
  std::vector<std::size_t> fields;
  std::size_t start = 0;
  while (start <= keyFields.size()) {
    std::size_t end = keyFields.find(';', start);
    if (end == std::string_view::npos) end = keyFields.size();
    std::string_view name = trimBoth(keyFields.substr(start, end - start));
    const Field& f = fieldNamed(*this, t, name);
    fields.push_back(static_cast<std::size_t>(&f - t.fields.data()));
    start = end + 1;
  }
  if (fields.size() != values.size())
    throw Error("La búsqueda en la tabla " + baseName(name_) + " por " + std::string(keyFields) +
                " necesita " + std::to_string(fields.size()) + " valores y recibió " +
                std::to_string(values.size()) + ".");

  // Each value as a write to its field would store it.
  std::string key;
  std::string scratch;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const Field& f = t.fields[fields[i]];
    scratch.assign(t.recordLength, ' ');
    try {
      storeText(*this, f, t.foxPro, values[i], scratch.data() + f.offset);
    } catch (const Error&) {
      return false;  // a value the field cannot hold matches no record
    }
    std::string part = fieldText(f, t.foxPro, scratch.data());
    if (fields.size() == 1)
      key = std::move(part);
    else
      appendKeyPart(key, part);
  }

  KeyIndex& index = indexFor(t, fields);
  auto it = index.records.find(key);
  if (it == index.records.end() || it->second.empty()) return false;
  t.current = it->second.front();
  t.atEnd = false;
  return true;
}

bool Table::pack() {
  requireOpen(*this, *impl_);
  try {
    post();
  } catch (const Error&) {
    return false;
  }
  Impl& t = *impl_;
  std::string packed;
  packed.reserve(t.live * t.recordLength);
  for (std::size_t i = 0; i < t.count; ++i)
    if (!t.deleted(i)) packed.append(t.record(i), t.recordLength);
  std::string header = t.header;
  writeLE32(&header[4], static_cast<std::uint32_t>(t.live));

  // Rewritten in place: the packed file is never longer than the old one,
  // so no new disk space is needed, and on a failure the old bytes are
  // written back.
  std::string bytes = header + packed + '\x1A';
  try {
    t.file.writeAt(0, bytes.data(), bytes.size());
    t.file.truncate(bytes.size());
  } catch (const fileio::FileIoError&) {
    try {
      std::string old = t.header + t.records + '\x1A';
      t.file.writeAt(0, old.data(), old.size());
    } catch (const fileio::FileIoError&) {
    }
    return false;
  }
  t.header = std::move(header);
  t.records = std::move(packed);
  t.count = t.live;
  t.indexes.clear();  // rebuilt on the next locate
  t.current = nextLive(t, 0);
  t.atEnd = t.current == kNone;
  return true;
}

}  // namespace tvi

#pragma once
// The dBase file layout as the table engine reads and writes it, and the
// value conversions every field access shares. Internal to src/tables
// (and to the tools and fuzz targets that exercise the reader directly).

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tables/file_io.h"
#include "tables/table.h"

namespace tvi::dbf {

struct LayoutField {
  FieldDef def;            // as stored: type code, width in bytes, decimals
  std::size_t offset = 0;  // in the record; byte 0 is the deletion flag
  std::size_t size = 0;    // bytes in the record
};

struct Layout {
  unsigned version = 0;
  bool foxPro = false;  // FoxPro family: 'I' little-endian, wide 'C' fields
  std::uint32_t count = 0;
  std::size_t headerLength = 0;
  std::size_t recordLength = 0;
  std::vector<LayoutField> fields;
};

// Reads the header of a whole file held in `bytes` and checks that it is
// consistent with the file's length: every record the header announces is
// inside `bytes`, and every field inside its record. Throws Error
// "La tabla NAME (FILE) está dañada: ..." otherwise.
Layout parseLayout(std::string_view bytes, const std::string& tableName,
                   const std::filesystem::path& file);

// The header of a new level-7 table (without the 0x1A end marker) and the
// fields as stored: logical L(1), integer I(4), floating point N(18,8),
// character C(n).
std::string level7Header(const std::vector<FieldDef>& defs, fileio::Date date,
                         std::vector<LayoutField>& fields, std::size_t& recordLength);

// Number texts: "3", "2.5", "-0.125" (up to 15 significant digits).
std::string formatFloat(double v);
// Whole-text conversions (blanks around allowed); false when the text is
// not a number of that kind.
bool parseInteger(std::string_view text, std::int32_t& out);
bool parseFloat(std::string_view text, double& out);
// Messages shared by the table and the catalogue.
std::string lockedMessage(const std::string& tableName);
std::string displayPath(const std::filesystem::path& file);

// The conversion errors the whole system uses.
std::string integerError(std::string_view text);
std::string floatError(std::string_view text);

}  // namespace tvi::dbf

#pragma once
// A dBase table: the engine behind every step.
//
// A Table is bound to a folder and a table name, then created or opened.
// While open, the whole file is held in memory and every post writes the
// record (and the header's record count) through to the file, so records
// posted before a failure are on disk and the file stays valid.
//
// Files written are dBase level 7 tables (version byte 0x04, language driver
// "DBWINWE0", 48-byte field descriptors holding names of up to 31
// characters, no production index). Fields are stored as other level-7
// writers store them: character C(n) padded with blanks, logical L(1) "T" or
// "F" (blank when never written), integer I(4) (big-endian with the sign bit
// flipped; four zero bytes when never written), floating point as numeric
// N(18,8). Files read may also be dBase III/IV/V/7 or FoxPro tables; a
// damaged file gives an Error naming it, never a read past its end.
//
// Text is stored as given: the callers pass Windows-1252 text. A character
// field reads back without its right-hand padding blanks; a numeric field
// read as text gives the number without padding ("3", "2.5").
//
// Navigation visits the records not deleted, in physical order. Record
// numbers are 1-based physical positions and stay fixed until pack.
//
// Locate compares whole values, case-sensitively, with the value cut to the
// field's width as a write to that field would store it; an empty value
// matches an empty field. Lookups go through hash indexes the table keeps
// per set of key fields, with the same result as a scan from the first
// record: the first match in physical order, deleted records never found.
//
// Failures throw Error with a message naming the table.

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tvi {

enum class FieldType : char {
  Character = 'C',
  Logical = 'L',
  Integer = 'I',    // 32-bit signed integer
  Float = 'O',      // floating point: defined so, stored as Numeric N(18,8);
                    // an 'O' field of another program's file reads as Float
  Numeric = 'N',    // width and decimals of the definition
  FloatN = 'F',
  Date = 'D',
  Timestamp = '@',
  Autoinc = '+',
  Memo = 'M',
};

struct FieldDef {
  std::string name;  // upper case, up to 31 characters
  FieldType type = FieldType::Character;
  int width = 0;     // characters for Character; ignored for fixed-size types
  int decimals = 0;  // Numeric only
};

class Table {
 public:
  // Bind: nothing touches the disk yet. `name` may carry the extension
  // ".DBF" or not; an existing file is found whatever the case of its name.
  Table(std::filesystem::path folder, std::string name, bool exclusive);
  ~Table();  // closes the table if open
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  // Field definitions, for create.
  void clearFields();
  void addField(FieldDef field);

  // Creates a new empty table with the defined fields, replacing a file of
  // the same name. The table is left closed.
  void create();

  // Opens the table (exclusively when bound so, through an OS file lock:
  // a second exclusive open, by another process or another Table of this
  // one, fails with an error naming the table; a shared open takes a shared
  // lock). Positions on the first record. A missing file throws MissingFile.
  void open();
  // Posts a change not yet posted, then releases the file. The destructor
  // closes too but drops an unposted change.
  void close();
  bool isOpen() const;

  // The file the table is bound to (as found on disk when it exists).
  std::filesystem::path file() const;
  const std::string& name() const { return name_; }
  // While open, the fields as the file stores them (a Float definition
  // reads back as Numeric 18,8); while closed, the definitions.
  const std::vector<FieldDef>& fields() const;
  bool hasField(std::string_view name) const;

  // Navigation over the records not deleted, in physical order. Moving
  // posts a change not yet posted. After next() past the last record eof()
  // is true and the last record stays current.
  void first();
  void next();
  bool eof() const;
  // Number of records not deleted.
  std::size_t recordCount() const;

  // Editing. Values are assigned between append/edit and post.
  void append();
  void edit();
  void post();
  // Marks the current record deleted; the following one becomes current.
  void deleteRecord();

  // Key fields joined by ";", one value per field. True and the first match
  // current; false and the current record unchanged.
  bool locate(std::string_view keyFields, const std::vector<std::string>& values);
  bool locate(std::string_view keyField, const std::string& value) {
    return locate(keyField, std::vector<std::string>{value});
  }
  // locate("CLAVE;CURSO", {clave, curso}): a braced list of values would
  // otherwise be ambiguous with the single-value form.
  bool locate(std::string_view keyFields, std::initializer_list<std::string> values) {
    return locate(keyFields, std::vector<std::string>(values));
  }

  // 1-based physical position of the current record.
  int recNo() const;

  // Removes deleted records for good and renumbers the rest. Returns false
  // when the packing could not be done (the deleted records then stay out
  // of view).
  bool pack();

  // Field access on the current record (or the record being appended).
  // Reads: asString as above (an integer as decimal text, a logical as "T"
  // or "F"); asInteger/asFloat of a text that is not such a number throw
  // "'<text>' no es un valor entero válido" / "... en coma flotante
  // válido"; an empty field reads as "" or 0. Writes happen between
  // append/edit and post; text is cut to a character field's width.
  std::string asString(std::string_view field) const;
  std::int32_t asInteger(std::string_view field) const;
  double asFloat(std::string_view field) const;
  bool asBool(std::string_view field) const;
  void setString(std::string_view field, std::string_view value);
  void setInteger(std::string_view field, std::int32_t value);
  void setFloat(std::string_view field, double value);
  void setBool(std::string_view field, bool value);

  struct Impl;

 private:
  std::filesystem::path folder_;
  std::string name_;
  bool exclusive_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tvi

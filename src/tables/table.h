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
// characters). Files read may also be dBase III/IV/V/7 or FoxPro tables.
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
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tvi {

enum class FieldType : char {
  Character = 'C',
  Logical = 'L',
  Integer = 'I',    // 32-bit signed integer
  Float = 'O',      // floating point (level-7 double)
  Numeric = 'N',    // read only from other programs' files
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
  // a second exclusive open by another process fails with an error naming
  // the table). Positions on the first record.
  void open();
  void close();
  bool isOpen() const;

  // The file the table is bound to (as found on disk when it exists).
  std::filesystem::path file() const;
  const std::string& name() const { return name_; }
  const std::vector<FieldDef>& fields() const;
  bool hasField(std::string_view name) const;

  // Navigation over the records not deleted, in physical order.
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

  // 1-based physical position of the current record.
  int recNo() const;

  // Removes deleted records for good and renumbers the rest. Returns false
  // when the packing could not be done (the deleted records then stay out
  // of view).
  bool pack();

  // Field access on the current record (or the record being appended).
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

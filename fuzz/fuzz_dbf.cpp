// The dBase reader on arbitrary bytes: a file another program may have
// written (SOLUC comes from Velmaran). Open, a full scan, every field read
// in every way, a locate by each character field, then one record appended
// and read back. A tvi::Error is the expected answer to a damaged file;
// anything else (a crash, undefined behaviour, a leak, another exception)
// is a finding.

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "common/error.h"
#include "fuzz_support.h"
#include "tables/table.h"

namespace {

using tvi::FieldType;

std::string upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

template <class F>
void quietly(F f) {
  try {
    f();
  } catch (const tvi::Error&) {
  }
}

// Every read a step may do on the current record.
void readAll(const tvi::Table& table) {
  for (const tvi::FieldDef& f : table.fields()) {
    quietly([&] { (void)table.asString(f.name); });
    quietly([&] { (void)table.asInteger(f.name); });
    quietly([&] { (void)table.asFloat(f.name); });
    quietly([&] { (void)table.asBool(f.name); });
  }
}

// The number of records the file should hold when the writes went through,
// or -1 when the reader refused it (or a write failed: nothing to check).
long exercise(const tvifuzz::fs::path& folder) {
  tvi::Table table(folder, "FUZZ", true);
  table.open();

  std::size_t seen = 0;
  std::vector<std::pair<std::string, std::string>> firstValues;
  for (table.first(); !table.eof(); table.next()) {
    if (seen == 0) {
      // By name a field is the first of that name: a later one with the
      // same name (a damaged header may repeat one) is out of reach.
      std::set<std::string> named;
      for (const tvi::FieldDef& f : table.fields()) {
        if (!named.insert(upper(f.name)).second) continue;
        if (f.type == FieldType::Character) firstValues.emplace_back(f.name, table.asString(f.name));
      }
    }
    readAll(table);
    ++seen;
  }
  if (seen != table.recordCount())
    tvifuzz::fail("the scan visited " + std::to_string(seen) + " records, recordCount() says " +
                  std::to_string(table.recordCount()));

  // A value read from a live record is found again, on a record that holds it.
  for (const auto& [field, value] : firstValues) {
    if (!table.locate(field, value)) tvifuzz::fail("locate(" + field + ") misses a value read from the table");
    if (table.asString(field) != value) tvifuzz::fail("locate(" + field + ") lands on another value");
  }

  // Write paths on whatever layout the reader accepted.
  const std::size_t before = table.recordCount();
  table.append();
  for (const tvi::FieldDef& f : table.fields()) {
    quietly([&] {
      switch (f.type) {
        case FieldType::Character: table.setString(f.name, "X"); break;
        case FieldType::Logical: table.setBool(f.name, true); break;
        case FieldType::Integer:
        case FieldType::Autoinc: table.setInteger(f.name, 7); break;
        case FieldType::Numeric:
        case FieldType::FloatN:
        case FieldType::Float: table.setFloat(f.name, 1.5); break;
        default: break;
      }
    });
  }
  table.post();
  table.close();
  return static_cast<long>(before + 1);
}

// A file this engine has just written opens again, whole.
void reopen(const tvifuzz::fs::path& folder, long expected) {
  try {
    tvi::Table again(folder, "FUZZ", false);
    again.open();
    if (static_cast<long>(again.recordCount()) != expected)
      tvifuzz::fail("after the append the table holds " + std::to_string(again.recordCount()) +
                    " records instead of " + std::to_string(expected));
    for (again.first(); !again.eof(); again.next()) readAll(again);
    again.close();
  } catch (const tvi::Error& e) {
    tvifuzz::fail(std::string("the table does not open again after an append: ") + e.what());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const tvifuzz::fs::path folder = tvifuzz::scratch() / "dbf";
  static const bool made = tvifuzz::fs::create_directories(folder) || true;
  (void)made;
  tvifuzz::writeBytes(folder / "FUZZ.DBF", tvifuzz::asText(data, size));
  long expected = -1;
  quietly([&] { expected = exercise(folder); });
  if (expected >= 0) reopen(folder, expected);
  return 0;
}

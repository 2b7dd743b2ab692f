// tvi-dbftool: the table engine from the command line, for the scripted
// interoperability tests.
//
//   tvi-dbftool dump FILE.DBF       fields, then the records not deleted, as
//                                   our engine reads them (UTF-8, tab-separated)
//   tvi-dbftool write-fixture DIR   the eight tables, filled with sample rows
//                                   (accents, empty fields, values longer than
//                                   their fields, records deleted then packed)
//
// The dump's lines are "FIELD<TAB>NAME<TAB>TYPE<TAB>WIDTH<TAB>DECIMALS" and
// "RECORD<TAB>value<TAB>value...", the format the Pascal and Python readers
// of the tests print too.

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/text.h"
#include "tables/catalogue.h"
#include "tables/table.h"

namespace {

using tvi::FieldDef;
using tvi::FieldType;
using tvi::Table;

int dump(const std::filesystem::path& file) {
  Table table(file.parent_path().empty() ? "." : file.parent_path(), file.filename().string(),
              false);
  table.open();
  for (const FieldDef& f : table.fields())
    std::cout << "FIELD\t" << f.name << '\t' << static_cast<char>(f.type) << '\t' << f.width
              << '\t' << f.decimals << '\n';
  for (table.first(); !table.eof(); table.next()) {
    std::cout << "RECORD";
    for (const FieldDef& f : table.fields()) std::cout << '\t' << tvi::fromAnsi(table.asString(f.name));
    std::cout << '\n';
  }
  return 0;
}

// Sample values by row; row 1 writes nothing (every field left empty),
// row 4 is deleted and packed away, row 6 is appended after the pack.
const char* const kTexts[] = {
    "àèéíïòóúüçñ l·l ÀÈÉÍÏÒÓÚÜÇÑ",  // accents, cut in narrow fields
    nullptr,
    "VALOR-MUCHO-MAS-LARGO-QUE-CUALQUIER-CAMPO-DE-LA-TABLA-0123456789",
    "  con blancos delante",
    "fila borrada",
    "ñ",
    "después del empaquetado",
};
// -2147483648 has no level-7 form: its bytes would be those of an empty field.
const int kIntegers[] = {123456, 0, -7, 0, 99, 2147483647, -2147483647};
const double kFloats[] = {2.5, 0, -0.125, 0, 7, 1234567.75, 3};
const bool kLogicals[] = {true, false, false, true, true, false, true};

void writeRow(Table& table, int row) {
  table.append();
  if (row != 1) {
    for (const FieldDef& f : table.fields()) {
      switch (f.type) {
        case FieldType::Logical:
          table.setBool(f.name, kLogicals[row]);
          break;
        case FieldType::Integer:
          table.setInteger(f.name, kIntegers[row]);
          break;
        case FieldType::Numeric:
        case FieldType::Float:
          if (f.decimals == 0)
            table.setInteger(f.name, kIntegers[row] % 1000);
          else
            table.setFloat(f.name, kFloats[row]);
          break;
        default:
          table.setString(f.name, tvi::toAnsi(kTexts[row]));
      }
    }
  }
  table.post();
}

void fill(Table& table) {
  table.open();
  for (int row = 0; row < 6; ++row) writeRow(table, row);
  // Delete row 4 (record number 5) and pack it away.
  for (table.first(); !table.eof(); table.next())
    if (table.recNo() == 5) {
      table.deleteRecord();
      break;
    }
  if (!table.pack()) throw tvi::Error("pack failed on " + table.name());
  writeRow(table, 6);
  table.close();
}

int writeFixture(const std::filesystem::path& dir) {
  std::filesystem::create_directories(dir);
  for (tvi::TableId id : tvi::importedTables()) {
    tvi::recreateTable(dir, id);
    fill(*tvi::bindTable(dir, id));
  }
  // SOLUC as Velmaran might define it.
  Table soluc(dir, "SOLUC.DBF", false);
  soluc.clearFields();
  soluc.addField({"ASIG", FieldType::Character, 4, 0});
  soluc.addField({"TAREA", FieldType::Character, 4, 0});
  soluc.addField({"DIA", FieldType::Integer, 4, 0});
  soluc.addField({"HORA", FieldType::Numeric, 4, 0});
  soluc.addField({"CODGRUPO", FieldType::Character, 4, 0});
  soluc.addField({"PROF", FieldType::Character, 4, 0});
  soluc.addField({"AULA", FieldType::Character, 4, 0});
  soluc.create();
  fill(soluc);
  return 0;
}

int usage() {
  std::cerr << "uso: tvi-dbftool dump FICHERO.DBF | tvi-dbftool write-fixture CARPETA\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return usage();
  std::string command = argv[1];
  try {
    if (command == "dump") return dump(argv[2]);
    if (command == "write-fixture") return writeFixture(argv[2]);
  } catch (const std::exception& e) {
    std::cerr << "tvi-dbftool: " << e.what() << '\n';
    return 1;
  }
  return usage();
}

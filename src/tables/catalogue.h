#pragma once
// Velmaran's eight tables: their names and fields, and how a step rebuilds one.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tables/table.h"

namespace tvi {

enum class TableId { ASIGNOMT, PROFT, AULAT, CURSOST, GRUPOST, ASIGT, DIASHORAST, SOLUC };

struct TableDef {
  TableId id;
  const char* name;              // "ASIGNOMT"
  std::vector<FieldDef> fields;  // in file order; empty for SOLUC (Velmaran's own)
};

const TableDef& tableDef(TableId id);
// The seven tables an import rebuilds, in the order the steps create them.
const std::vector<TableId>& importedTables();

// The data file of a table in a folder: "<folder>/<NAME>.DBF", or an
// existing file whose name differs only in case ("soluc.dbf").
std::filesystem::path tableFile(const std::filesystem::path& folder, TableId id);
// Same for the production index file (".MDX").
std::filesystem::path indexFile(const std::filesystem::path& folder, TableId id);
bool tableExists(const std::filesystem::path& folder, TableId id);

// Deletes the table's .DBF then its .MDX (each when present, results not
// looked at) and creates it anew, empty, with its fields and no index.
void recreateTable(const std::filesystem::path& folder, TableId id);

// A handle bound to one of the tables, as the main window's table
// components are: exclusive, no field definitions of its own.
std::unique_ptr<Table> bindTable(const std::filesystem::path& folder, TableId id,
                                 bool exclusive = true);

// The tables folder: `explicitDir` when given, else the environment variable
// TRANSVELMAR_TABLES, else C:\QTEMP on Windows, else
// ${WINEPREFIX:-$HOME/.wine}/drive_c/QTEMP.
std::filesystem::path resolveTablesFolder(const std::string& explicitDir = {});

}  // namespace tvi

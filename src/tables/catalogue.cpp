#include "tables/catalogue.h"

#include <cstdlib>
#include <stdexcept>

#include "common/error.h"
#include "tables/dbf_format.h"
#include "tables/file_io.h"

namespace tvi {

namespace {

FieldDef C(const char* name, int width) { return {name, FieldType::Character, width, 0}; }
FieldDef L(const char* name) { return {name, FieldType::Logical, 1, 0}; }
FieldDef I(const char* name) { return {name, FieldType::Integer, 4, 0}; }
FieldDef F(const char* name) { return {name, FieldType::Float, 0, 0}; }

const std::vector<TableDef>& definitions() {
  static const std::vector<TableDef> all = {
      {TableId::ASIGNOMT,
       "ASIGNOMT",
       {C("COD", 4), C("CODLARGO", 8), C("NOMBRE", 40), C("MATERIA", 8), C("CODTAREA", 12),
        L("ESTAREA"), C("ABREV_ITACA", 10)}},
      {TableId::PROFT,
       "PROFT",
       {C("ABREV", 4), C("NOMBRE", 40), C("DEPART", 40), C("DNI", 14), C("X_EMPLEADO", 10),
        C("F_TOMAPOS", 10), C("ENSENANZA", 5)}},
      {TableId::AULAT,
       "AULAT",
       {C("ABREV", 4), C("NOMBRE", 40), C("EDIFICIO", 1), I("MAXALUM"), C("DEPCENTRO", 10),
        C("ABREV_ITACA", 20)}},
      {TableId::CURSOST,
       "CURSOST",
       {C("ABREV", 3), C("TURNO", 1), C("NIVEL", 5), C("CURSO", 3), C("CLAVE", 10),
        C("ESTUD", 40)}},
      {TableId::GRUPOST,
       "GRUPOST",
       {C("ABREV", 4), C("TURNO", 1), C("NIVEL", 5), C("CURSO", 3), C("GRUPO", 2),
        C("CLAVE", 10), C("CLAVECURSO", 10), C("DESCRIP", 40), C("ENSENANZA", 10),
        C("TUTOR", 4)}},
      {TableId::ASIGT,
       "ASIGT",
       {C("CASIG", 4), C("CPROF", 4), C("CGRUP", 4), C("CAULA", 4), C("TURNO", 1),
        C("NIVEL", 5), C("CURSO", 3), C("GRUPO", 2), F("HORAS"), C("SESIONES", 20),
        C("CLAVE", 10), C("CLAVECURSO", 10), C("CTAREA", 4), C("ASIG_ITACA", 10)}},
      {TableId::DIASHORAST,
       "DIASHORAST",
       {C("DIHO", 10), C("CODDIHO", 10), C("DIA", 20), C("TEXTODIA", 20), C("HORA", 8),
        C("TEXTOHOR", 15), C("HORADESDE", 8), C("HORAHASTA", 8), C("MINUTOS", 8),
        I("SESION_ORDEN"), C("PLANTILLA", 20)}},
      {TableId::SOLUC, "SOLUC", {}},
  };
  return all;
}

std::filesystem::path utf8Path(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string environment(const char* name) {
#if defined(_MSC_VER)
  char* value = nullptr;
  std::size_t length = 0;
  if (_dupenv_s(&value, &length, name) != 0 || value == nullptr) return {};
  std::string result(value);
  std::free(value);
  return result;
#else
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
#endif
}

}  // namespace

const TableDef& tableDef(TableId id) {
  for (const TableDef& def : definitions())
    if (def.id == id) return def;
  throw std::logic_error("unknown table id");
}

const std::vector<TableId>& importedTables() {
  static const std::vector<TableId> order = {TableId::ASIGNOMT, TableId::PROFT,
                                             TableId::AULAT,    TableId::GRUPOST,
                                             TableId::CURSOST,  TableId::ASIGT,
                                             TableId::DIASHORAST};
  return order;
}

std::filesystem::path tableFile(const std::filesystem::path& folder, TableId id) {
  return fileio::findNoCase(folder, std::string(tableDef(id).name) + ".DBF");
}

std::filesystem::path indexFile(const std::filesystem::path& folder, TableId id) {
  return fileio::findNoCase(folder, std::string(tableDef(id).name) + ".MDX");
}

bool tableExists(const std::filesystem::path& folder, TableId id) {
  std::error_code ec;
  return std::filesystem::is_regular_file(tableFile(folder, id), ec);
}

void recreateTable(const std::filesystem::path& folder, TableId id) {
  const TableDef& def = tableDef(id);
  const std::string dbfName = std::string(def.name) + ".DBF";
  const std::string mdxName = std::string(def.name) + ".MDX";

  // Where another program holds the table, Windows refuses the deletion
  // and the creation that follows fails on the lock. POSIX would delete a
  // locked file without a word, so the lock is tested first.
  for (const auto& existing : fileio::findAllNoCase(folder, dbfName)) {
    try {
      fileio::LockedFile probe =
          fileio::LockedFile::openExisting(existing, fileio::LockMode::Exclusive);
    } catch (const fileio::FileIoError& e) {
      if (e.kind() == fileio::FailureKind::Locked) throw Error(dbf::lockedMessage(def.name));
    }
  }
  for (const auto& existing : fileio::findAllNoCase(folder, dbfName)) fileio::removeQuietly(existing);
  for (const auto& existing : fileio::findAllNoCase(folder, mdxName)) fileio::removeQuietly(existing);

  Table table(folder, dbfName, false);
  table.clearFields();
  for (const FieldDef& field : def.fields) table.addField(field);
  table.create();
}

std::unique_ptr<Table> bindTable(const std::filesystem::path& folder, TableId id, bool exclusive) {
  return std::make_unique<Table>(folder, tableDef(id).name, exclusive);
}

std::filesystem::path resolveTablesFolder(const std::string& explicitDir) {
  if (!explicitDir.empty()) return utf8Path(explicitDir);
  std::string fromEnvironment = environment("TRANSVELMAR_TABLES");
  if (!fromEnvironment.empty()) return utf8Path(fromEnvironment);
#ifdef _WIN32
  return std::filesystem::path("C:\\QTEMP");
#else
  std::string prefix = environment("WINEPREFIX");
  if (prefix.empty()) prefix = environment("HOME") + "/.wine";
  // Wine keeps C:\QTEMP in whatever case the folder was first created.
  return fileio::findNoCase(utf8Path(prefix) / "drive_c", "QTEMP");
#endif
}

}  // namespace tvi

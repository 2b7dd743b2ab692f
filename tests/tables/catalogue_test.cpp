// The eight tables: their fields, their creation, and where they live.

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "support/test_support.h"
#include "tables/catalogue.h"
#include "tables/table.h"

namespace {

using tvi::TableId;

// "NAME:Cn" character of n, "NAME:L" logical, "NAME:I" integer, "NAME:F"
// floating point.
std::string describe(const std::vector<tvi::FieldDef>& fields, bool asStored) {
  std::string out;
  for (const auto& f : fields) {
    out += (out.empty() ? "" : " ") + f.name + ":";
    switch (f.type) {
      case tvi::FieldType::Character: out += "C" + std::to_string(f.width); break;
      case tvi::FieldType::Logical: out += asStored ? "L1" : "L"; break;
      case tvi::FieldType::Integer: out += asStored ? "I4" : "I"; break;
      case tvi::FieldType::Float: out += "F"; break;
      case tvi::FieldType::Numeric:
        out += "N" + std::to_string(f.width) + "." + std::to_string(f.decimals);
        break;
      default: out += static_cast<char>(f.type);
    }
  }
  return out;
}

struct Expected {
  TableId id;
  const char* name;
  const char* fields;
};

const std::vector<Expected> kCatalogue = {
    {TableId::ASIGNOMT, "ASIGNOMT",
     "COD:C4 CODLARGO:C8 NOMBRE:C40 MATERIA:C8 CODTAREA:C12 ESTAREA:L ABREV_ITACA:C10"},
    {TableId::PROFT, "PROFT",
     "ABREV:C4 NOMBRE:C40 DEPART:C40 DNI:C14 X_EMPLEADO:C10 F_TOMAPOS:C10 ENSENANZA:C5"},
    {TableId::AULAT, "AULAT",
     "ABREV:C4 NOMBRE:C40 EDIFICIO:C1 MAXALUM:I DEPCENTRO:C10 ABREV_ITACA:C20"},
    {TableId::CURSOST, "CURSOST", "ABREV:C3 TURNO:C1 NIVEL:C5 CURSO:C3 CLAVE:C10 ESTUD:C40"},
    {TableId::GRUPOST, "GRUPOST",
     "ABREV:C4 TURNO:C1 NIVEL:C5 CURSO:C3 GRUPO:C2 CLAVE:C10 CLAVECURSO:C10 DESCRIP:C40 "
     "ENSENANZA:C10 TUTOR:C4"},
    {TableId::ASIGT, "ASIGT",
     "CASIG:C4 CPROF:C4 CGRUP:C4 CAULA:C4 TURNO:C1 NIVEL:C5 CURSO:C3 GRUPO:C2 HORAS:F "
     "SESIONES:C20 CLAVE:C10 CLAVECURSO:C10 CTAREA:C4 ASIG_ITACA:C10"},
    {TableId::DIASHORAST, "DIASHORAST",
     "DIHO:C10 CODDIHO:C10 DIA:C20 TEXTODIA:C20 HORA:C8 TEXTOHOR:C15 HORADESDE:C8 "
     "HORAHASTA:C8 MINUTOS:C8 SESION_ORDEN:I PLANTILLA:C20"},
    {TableId::SOLUC, "SOLUC", ""},
};

TEST(Catalogue, DefinesTheEightTablesAndCreatesThemSo) {
  tvitest::TempDir dir;
  for (const auto& e : kCatalogue) {
    SCOPED_TRACE(e.name);
    const tvi::TableDef& def = tvi::tableDef(e.id);
    EXPECT_STREQ(def.name, e.name);
    EXPECT_EQ(describe(def.fields, false), e.fields);
    if (e.id == TableId::SOLUC) continue;  // Velmaran's own

    tvi::recreateTable(dir.path(), e.id);
    auto table = tvi::bindTable(dir.path(), e.id);
    EXPECT_TRUE(table->fields().empty()) << "the handles carry no definitions of their own";
    table->open();
    EXPECT_EQ(table->recordCount(), 0u);
    // As stored: floating point is a numeric of 18 digits, 8 decimals.
    std::string stored = e.fields;
    for (std::size_t at; (at = stored.find(":F")) != std::string::npos;) stored.replace(at, 2, ":N18.8");
    for (std::size_t at; (at = stored.find(":L ")) != std::string::npos;) stored.replace(at, 3, ":L1 ");
    for (std::size_t at; (at = stored.find(":I ")) != std::string::npos;) stored.replace(at, 3, ":I4 ");
    EXPECT_EQ(describe(table->fields(), true), stored);
    // Fields never written read back empty, the integer MAXALUM included.
    table->append();
    table->post();
    for (const auto& f : table->fields()) {
      EXPECT_EQ(table->asString(f.name), "") << f.name;
      EXPECT_EQ(table->asInteger(f.name), 0) << f.name;
    }
  }
  EXPECT_EQ(tvi::importedTables(),
            (std::vector<TableId>{TableId::ASIGNOMT, TableId::PROFT, TableId::AULAT,
                                  TableId::GRUPOST, TableId::CURSOST, TableId::ASIGT,
                                  TableId::DIASHORAST}));
}

TEST(Catalogue, RecreatingDeletesTheTableAndItsIndexWhateverTheirCase) {
  struct Case {
    std::vector<std::string> before;  // files present
  };
  const std::vector<Case> cases = {
      {{"AULAT.MDX"}},                  // an index without its table
      {{"AULAT.DBF", "AULAT.MDX"}},     // both
      {{"aulat.dbf", "Aulat.mdx"}},     // under Wine, any case
      {{}},                             // nothing yet
  };
  for (const auto& c : cases) {
    tvitest::TempDir dir;
    for (const auto& f : c.before) tvitest::writeFile(dir / f, "old");
    tvi::recreateTable(dir.path(), TableId::AULAT);
    std::vector<std::string> after;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
      after.push_back(entry.path().filename().string());
    EXPECT_EQ(after, std::vector<std::string>{"AULAT.DBF"});
    auto table = tvi::bindTable(dir.path(), TableId::AULAT);
    EXPECT_NO_THROW(table->open());
    EXPECT_EQ(tvi::indexFile(dir.path(), TableId::AULAT), dir / "AULAT.MDX");
  }
}

TEST(Catalogue, RecreatingEmptiesATableThatHadRecords) {
  tvitest::TempDir dir;
  tvi::recreateTable(dir.path(), TableId::PROFT);
  {
    auto t = tvi::bindTable(dir.path(), TableId::PROFT);
    t->open();
    t->append();
    t->setString("ABREV", "JGA");
    t->post();
  }
  tvi::recreateTable(dir.path(), TableId::PROFT);
  auto t = tvi::bindTable(dir.path(), TableId::PROFT);
  t->open();
  EXPECT_EQ(t->recordCount(), 0u);
}

// Sets an environment variable for the life of the object.
class EnvironmentVariable {
 public:
  EnvironmentVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    set(value);
  }
  ~EnvironmentVariable() { set(old_ ? old_->c_str() : nullptr); }

 private:
  void set(const char* value) {
#ifdef _WIN32
    _putenv_s(name_, value ? value : "");
#else
    if (value)
      setenv(name_, value, 1);
    else
      unsetenv(name_);
#endif
  }
  const char* name_;
  std::optional<std::string> old_;
};

TEST(Catalogue, TablesFolderComesFromTheOptionThenTheEnvironmentThenTheDefault) {
  EnvironmentVariable tables("TRANSVELMAR_TABLES", "/desde/el/entorno");
  EXPECT_EQ(tvi::resolveTablesFolder("/carpeta/dada"), std::filesystem::path("/carpeta/dada"));
  EXPECT_EQ(tvi::resolveTablesFolder(), std::filesystem::path("/desde/el/entorno"));
  EnvironmentVariable noTables("TRANSVELMAR_TABLES", nullptr);
#ifdef _WIN32
  EXPECT_EQ(tvi::resolveTablesFolder(), std::filesystem::path("C:\\QTEMP"));
#else
  {
    EnvironmentVariable prefix("WINEPREFIX", "/opt/vino");
    EXPECT_EQ(tvi::resolveTablesFolder(), std::filesystem::path("/opt/vino/drive_c/QTEMP"));
  }
  EnvironmentVariable noPrefix("WINEPREFIX", nullptr);
  tvitest::TempDir home;
  EnvironmentVariable homeVar("HOME", home.path().c_str());
  EXPECT_EQ(tvi::resolveTablesFolder(), home / ".wine/drive_c/QTEMP");
  // Wine keeps the folder in the case it was made in.
  std::filesystem::create_directories(home / ".wine/drive_c/qtemp");
  EXPECT_EQ(tvi::resolveTablesFolder(), home / ".wine/drive_c/qtemp");
#endif
}

}  // namespace

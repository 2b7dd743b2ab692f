// The export run on a small centre built in the test: which SOLUC rows
// become which records, the document around them, and what the run does
// with missing or bad inputs and with failures half-way.

#include <cstdlib>
#include <ctime>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "common/error.h"
#include "common/text.h"
#include "export/export_fixture.h"
#include "export/export_run.h"
#include "import/chooser.h"
#include "import/dias_horas.h"
#include "itaca/document.h"
#include "support/test_support.h"

namespace {

using tvi::TableId;
using tvi::soluc_kind::ContenidoDesconocido;
using tvi::soluc_kind::DiaCero;
using tvi::soluc_kind::DocenteDesconocido;
using tvi::soluc_kind::GrupoDesconocido;
using tvi::soluc_kind::HoraCero;
using tvi::soluc_kind::HoraDesconocida;
using tvi::soluc_kind::OcupacionDesconocida;
using tvi::soluc_kind::SinAula;
using tvi::soluc_kind::SinDocente;
using tvitest::Attrs;
using tvitest::ScriptedUi;
using tvitest::Soluc;

constexpr const char* kAviso =
    "Deberá Abrir el fichero XML de ITACA,\r\ndesde el cual realizó la Importación a Velmaran";
constexpr const char* kNoExiste = "No existe archivo XML o Solución.";
constexpr const char* kFinalizado = "Proceso finalizado";

// Template P1 has the orders 1, 2 and 5 on Monday (so its third hour is
// order 5); P2 four afternoon hours; P3 a Monday hour that does not read.
std::string centreXml(const std::string& encoding = "UTF-8") {
  return "<?xml version=\"1.0\" encoding=\"" + encoding +
         "\"?>\n"
         "<!-- exportación de ITACA -->\n"
         "<centro codigo=\"46001234\" denominacion=\"  IES Lluís Vives\n \" curso=\" 2025 \""
         " version=\"1.3\" otro=\"no se copia\">\n"
         " <plantillas_horario>\n"
         "  <plantilla_horario codigo=\"P1\" descripcion_val=\"Matí\" descripcion_cas=\"Mañana\""
         " turno=\"M\"/>\n"
         "  <plantilla_horario codigo=\"P2\" descripcion_val=\"Vesprada\" descripcion_cas=\"Tarde\""
         " turno=\"T\"/>\n"
         "  <plantilla_horario codigo=\"P3\" descripcion_val=\"Mala\" descripcion_cas=\"Mala\""
         " turno=\"M\"/>\n"
         " </plantillas_horario>\n"
         " <sesiones_horario>\n"
         "  <sesion_horario plantilla=\"P1\" dia_semana=\"L\" sesion_orden=\"5\" hora_desde=\"11:20\""
         " hora_hasta=\"12:15\"/>\n"
         "  <sesion_horario plantilla=\"P1\" dia_semana=\"L\" sesion_orden=\"1\" hora_desde=\"08:00\""
         " hora_hasta=\"08:55\"/>\n"
         "  <sesion_horario plantilla=\"P1\" dia_semana=\"M\" sesion_orden=\"3\" hora_desde=\"09:50\""
         " hora_hasta=\"10:45\"/>\n"
         "  <sesion_horario plantilla=\"P1\" dia_semana=\"L\" sesion_orden=\"2\" hora_desde=\"08:55\""
         " hora_hasta=\"09:50\"/>\n"
         "  <sesion_horario plantilla=\"P2\" dia_semana=\"L\" sesion_orden=\"1\" hora_desde=\"15:00\""
         " hora_hasta=\"15:50\"/>\n"
         "  <sesion_horario plantilla=\"P2\" dia_semana=\"L\" sesion_orden=\"2\" hora_desde=\"15:50\""
         " hora_hasta=\"16:40\"/>\n"
         "  <sesion_horario plantilla=\"P2\" dia_semana=\"L\" sesion_orden=\"3\" hora_desde=\"17:00\""
         " hora_hasta=\"17:50\"/>\n"
         "  <sesion_horario plantilla=\"P3\" dia_semana=\"L\" sesion_orden=\"1\" hora_desde=\"8:00\""
         " hora_hasta=\"08:55\"/>\n"
         " </sesiones_horario>\n"
         " <contenidos><contenido codigo=\"MAT1\" curso=\"C1ESO\" nombre_val=\"Matemàtiques\""
         " nombre_cas=\"Matemáticas\"/></contenidos>\n"
         " <horarios_grupo><horario_grupo plantilla=\"P1\" dia_semana=\"L\" grupo=\"VIEJO\""
         " contenido=\"MAT1\"/></horarios_grupo>\n"
         "</centro>\n";
}

const std::vector<std::string>& hoursOfP1() {
  static const std::vector<std::string> hours = {tvi::hourLine("1", "08:00", "08:55"),
                                                 tvi::hourLine("2", "08:55", "09:50"),
                                                 tvi::hourLine("5", "11:20", "12:15")};
  return hours;
}

// What an import of the centre left in the tables folder. ASIGNOMT merged
// the English of 1st ESO and 2nd Bachillerato into one code, ING.
class SmallCentre {
 public:
  SmallCentre() {
    std::filesystem::create_directories(tables());
    std::filesystem::create_directories(docs());
    tvitest::writeFile(input(), centreXml());
    window.tablesFolder = tables();
    window.FFicheroXML.clear();
    ui.file = input();

    using tvitest::writeTable;
    writeTable(tables(), TableId::ASIGNOMT,
               {{{"COD", "MAT"}, {"NOMBRE", "Matemáticas"}, {"ESTAREA", "F"}, {"ABREV_ITACA", "MAT1"}},
                {{"COD", "ING"}, {"NOMBRE", "Inglés"}, {"ESTAREA", "F"}, {"ABREV_ITACA", "ING1ESO"}},
                {{"COD", "MUS"}, {"ESTAREA", "F"}, {"ABREV_ITACA", tvi::toAnsi("MÚSICA")}},
                {{"COD", "*345"}, {"CODTAREA", "OC345"}, {"ESTAREA", "T"}, {"ABREV_ITACA", "OC345"}},
                // Records whose codes came out empty name nothing in SOLUC.
                {{"COD", ""}, {"ESTAREA", "T"}, {"ABREV_ITACA", "VACIA"}}});
    writeTable(tables(), TableId::PROFT,
               {{{"ABREV", "GLA"}, {"DNI", "11111111A"}, {"ENSENANZA", "ESO"}},
                {{"ABREV", "PMR"}, {"DNI", "22222222B"}, {"ENSENANZA", "BAT"}},
                {{"ABREV", tvi::toAnsi("ÑU")}, {"DNI", "33333333C"}, {"ENSENANZA", "ESO"}},
                {{"ABREV", ""}, {"DNI", "00000000Z"}, {"ENSENANZA", "ESO"}}});
    writeTable(tables(), TableId::AULAT,
               {{{"ABREV", "A1"}, {"ABREV_ITACA", "AULA1"}},
                {{"ABREV", "MUS"}, {"ABREV_ITACA", tvi::toAnsi("Aula de Música")}},
                {{"ABREV", ""}, {"ABREV_ITACA", "SINCODIGO"}}});
    writeTable(tables(), TableId::CURSOST, {{{"ABREV", "1ES"}, {"CLAVE", "C1ESO"}}});
    writeTable(tables(), TableId::GRUPOST,
               {{{"ABREV", "1ESA"}, {"CLAVE", "1ESOA"}, {"CLAVECURSO", "C1ESO"}, {"ENSENANZA", "ESO"}},
                {{"ABREV", "2BTA"}, {"CLAVE", "2BATA"}, {"CLAVECURSO", "C2BAT"}, {"ENSENANZA", "BAT"}}});
    writeTable(tables(), TableId::ASIGT,
               {{{"CASIG", "ING"}, {"CPROF", "GLA"}, {"CGRUP", "1ESA"}, {"HORAS", "3"},
                 {"CTAREA", "*479"}, {"ASIG_ITACA", "ING1ESO"}},
                {{"CASIG", "ING"}, {"CPROF", "PMR"}, {"CGRUP", "2BTA"}, {"HORAS", "2"},
                 {"CTAREA", "*479"}, {"ASIG_ITACA", "ING2BAT"}},
                {{"CASIG", "ING"}, {"CPROF", "GLA"}, {"CGRUP", "2BTA"}, {"HORAS", "1"},
                 {"CTAREA", "*479"}, {"ASIG_ITACA", "ING2BATG"}},
                {{"CASIG", "*345"}, {"CPROF", "GLA"}, {"HORAS", "2"}, {"CTAREA", "*345"},
                 {"ASIG_ITACA", "OC345"}}});
    tvi::crearDiasHoras(tables(), hoursOfP1(), "P1", tvi::kValenciano);
    tvitest::writeSoluc(tables(), {});
  }

  std::filesystem::path tables() const { return dir / "tablas"; }
  std::filesystem::path docs() const { return dir / "docs"; }
  std::filesystem::path input() const { return docs() / "centro.xml"; }
  std::filesystem::path output() const { return docs() / "ResultadoVelmarcentro.xml"; }
  std::filesystem::path diasHoras() const { return tvi::tableFile(tables(), TableId::DIASHORAST); }

  tvi::Outcome run() {
    tvi::ExportRun exportRun(window, ui, report);
    const tvi::Outcome outcome = exportRun.run();
    tablesLeftOpen = exportRun.tablesOpen();
    return outcome;
  }
  // Runs expecting a failure; returns its message.
  std::string runFailing() {
    tvi::ExportRun exportRun(window, ui, report);
    try {
      exportRun.run();
    } catch (const tvi::Error& e) {
      tablesLeftOpen = exportRun.tablesOpen();
      return e.what();
    }
    ADD_FAILURE() << "the run did not fail";
    return {};
  }

  tvitest::TempDir dir;
  tvi::WindowState window;
  ScriptedUi ui;
  tvi::Report report;
  bool tablesLeftOpen = true;
};

Attrs grupo(const char* dia, const char* orden, const char* desde, const char* hasta,
            const char* clave, const char* ensenanza, const char* curso, const char* contenido,
            const char* docente, const char* aula) {
  return {{"plantilla", "P1"}, {"dia_semana", dia},     {"sesion_orden", orden},
          {"hora_desde", desde}, {"hora_hasta", hasta}, {"grupo", clave},
          {"ensenanza", ensenanza}, {"curso", curso},   {"contenido", contenido},
          {"docente", docente}, {"aula", aula},         {"idioma", ""}};
}

Attrs ocupacion(const char* dia, const char* orden, const char* desde, const char* hasta,
                const char* docente, const char* ensenanza, const char* codigo) {
  return {{"plantilla", "P1"}, {"dia_semana", dia},   {"sesion_orden", orden},
          {"hora_desde", desde}, {"hora_hasta", hasta}, {"docente", docente},
          {"ensenanza", ensenanza}, {"ocupacion", codigo}};
}

// Report items as (kind, SOLUC row number), read back from their texts.
std::multiset<std::pair<std::string, int>> reportedRows(const tvi::Report& report) {
  std::multiset<std::pair<std::string, int>> rows;
  const std::regex rowNumber("^Fila ([0-9]+) de SOLUC ");
  for (const auto& item : report.items()) {
    std::smatch m;
    if (std::regex_search(item.detail, m, rowNumber)) rows.emplace(item.kind, std::stoi(m[1]));
  }
  return rows;
}

std::size_t count(const tvi::Report& report, const std::string& what) {
  for (const auto& [name, n] : report.counts()) {
    if (name == what) return n;
  }
  ADD_FAILURE() << "no count " << what;
  return 0;
}

// ---------------------------------------------------------------------------
// Every kind of SOLUC row, and what each pass makes of it.

class SolucRows : public ::testing::TestWithParam<tvi::FieldType> {};

TEST_P(SolucRows, GiveTheirRecordsInOrderAndTheSkipsAreReported) {
  SmallCentre centre;
  const std::string nu = tvi::toAnsi("ÑU");
  tvitest::writeSoluc(centre.tables(),
                      {
                          /* 1*/ {"MAT", "*479", 1, 1, "1ESA", "GLA", "A1"},
                          /* 2*/ {"*345", "*345", 2, 2, "", "GLA", ""},
                          /* 3*/ {"ING", "*479", 3, 3, "2BTA", "GLA", "MUS"},
                          /* 4*/ {"ING", "*479", 4, 1, "2BTA", nu, ""},
                          /* 5*/ {"ING", "*479", 5, 2, "1ESA", "", "A1"},
                          /* 6*/ {"MAT", "*479", 8, 1, "1ESA", "ZZZ", "ZZZ"},
                          /* 7*/ {"MAT", "*479", 0, 1, "1ESA", "GLA", "A1"},
                          /* 8*/ {"MAT", "*479", 1, 0, "1ESA", "GLA", "A1"},
                          /* 9*/ {"MAT", "*479", 1, 4, "1ESA", "GLA", "A1"},
                          /*10*/ {"MAT", "*479", 1, 1, "XXXX", "GLA", "A1"},
                          /*11*/ {"QQQ", "*479", 1, 1, "1ESA", "GLA", "A1"},
                          /*12*/ {"*345", "*345", 0, 1, "", "GLA", ""},
                          /*13*/ {"*345", "*345", 1, 0, "", "GLA", ""},
                          /*14*/ {"*345", "*345", 1, 1, "", "ZZZ", ""},
                          /*15*/ {"", "", 1, 1, "1ESA", "GLA", "A1"},
                          /*16*/ {"*345", "*345", 7, 3, "1ESA", "PMR", "A1"},
                          /*17*/ {"MUS", "*479", 6, 2, "1ESA", "GLA", "A1"},
                          /*18*/ {"MAT", "*479", 1, 1, "1ESA", "GLA", "A1"},
                          /*19*/ {"*345", "*345", 1, 4, "", "GLA", ""},
                      },
                      GetParam());

  ASSERT_EQ(centre.run(), tvi::Outcome::Finished);

  const auto out = tvitest::readOutput(centre.output());
  const std::vector<Attrs> expectedGrupo = {
      grupo("L", "1", "08:00", "08:55", "1ESOA", "ESO", "C1ESO", "MAT1", "11111111A", "AULA1"),
      // The class's own ASIGT row (group and teacher) gives the subject.
      grupo("X", "5", "11:20", "12:15", "2BATA", "BAT", "C2BAT", "ING2BATG", "11111111A",
            "Aula de Música"),
      // A teacher with no row of the group's subject: its first row.
      grupo("J", "1", "08:00", "08:55", "2BATA", "BAT", "C2BAT", "ING2BAT", "33333333C", ""),
      grupo("V", "2", "08:55", "09:50", "1ESOA", "ESO", "C1ESO", "ING1ESO", "", "AULA1"),
      grupo("", "1", "08:00", "08:55", "1ESOA", "ESO", "C1ESO", "MAT1", "", ""),
      grupo("S", "2", "08:55", "09:50", "1ESOA", "ESO", "C1ESO", "MÚSICA", "11111111A", "AULA1"),
      grupo("L", "1", "08:00", "08:55", "1ESOA", "ESO", "C1ESO", "MAT1", "11111111A", "AULA1"),
  };
  const std::vector<Attrs> expectedOcupacion = {
      ocupacion("M", "2", "08:55", "09:50", "11111111A", "ESO", "OC345"),
      // The teacher's teaching, not the group's.
      ocupacion("D", "5", "11:20", "12:15", "22222222B", "BAT", "OC345"),
  };
  EXPECT_EQ(out.grupo, expectedGrupo);
  EXPECT_EQ(out.ocupacion, expectedOcupacion);

  const std::multiset<std::pair<std::string, int>> expectedItems = {
      {SinAula, 4},          {SinDocente, 5},
      {SinDocente, 6},       {SinAula, 6},
      {DiaCero, 7},          {HoraCero, 8},
      {HoraDesconocida, 9},  {GrupoDesconocido, 10},
      {ContenidoDesconocido, 11}, {DiaCero, 12},
      {HoraCero, 13},        {DocenteDesconocido, 14},
      {OcupacionDesconocida, 15}, {HoraDesconocida, 19}};
  EXPECT_EQ(reportedRows(centre.report), expectedItems);
  EXPECT_EQ(centre.report.items().size(), expectedItems.size());
  EXPECT_EQ(count(centre.report, "filas_soluc"), 19u);
  EXPECT_EQ(count(centre.report, "horario_grupo"), 7u);
  EXPECT_EQ(count(centre.report, "horario_ocupacion"), 2u);
  EXPECT_EQ(count(centre.report, "filas_saltadas"), 10u);

  EXPECT_EQ(centre.ui.messages, (std::vector<std::string>{kAviso, kFinalizado}));
  EXPECT_EQ(centre.ui.busyCalls, (std::vector<bool>{true, false}));
  EXPECT_EQ(centre.window.ResultadoTransformacion, 1);
  EXPECT_EQ(centre.window.FPlantilla, "P1");
  EXPECT_FALSE(centre.tablesLeftOpen);
}

INSTANTIATE_TEST_SUITE_P(HoraField, SolucRows,
                         ::testing::Values(tvi::FieldType::Float, tvi::FieldType::Integer),
                         [](const auto& info) {
                           return info.param == tvi::FieldType::Float ? "Float" : "Integer";
                         });

TEST(ExportSkipDetail, NamesTheRowItsValuesAndTheReason) {
  SmallCentre centre;
  tvitest::writeSoluc(centre.tables(), {{"MAT", "*479", 1, 1, "XXXX", "GLA", "A1"}});
  ASSERT_EQ(centre.run(), tvi::Outcome::Finished);
  ASSERT_EQ(centre.report.items().size(), 1u);
  EXPECT_EQ(centre.report.items()[0].detail,
            "Fila 1 de SOLUC (ASIG \"MAT\", TAREA \"*479\", DIA 1, HORA \"1\", CODGRUPO \"XXXX\","
            " PROF \"GLA\", AULA \"A1\"): el grupo \"XXXX\" no está en GRUPOST; no se escribe.");
}

// The import keeps ITACA codes cut to their fields' widths; the input file
// still has them whole, and ITACA knows them only whole.
TEST(ExportRun, CodesCutByTheirFieldsAreWrittenWholeWhenOneCodeOfTheInputFits) {
  SmallCentre centre;
  std::string xml = centreXml();
  xml.insert(xml.rfind("</centro>"),
             " <contenidos><contenido codigo=\"MATEMATIQUES1\" curso=\"CURSO-1ESO-X\"/>"
             "<contenido codigo=\"MATEMATIQUES2\" curso=\"CURSO-2BAT-X\"/>"
             "<contenido codigo=\"ANGLESAVANCAT1\" curso=\"CURSO-1ESO-X\"/>"
             "<contenido codigo=\"ANGLESAVANCAT2\" curso=\"CURSO-1ESO-X\"/></contenidos>\n"
             " <docentes><docente documento=\"X-1234567890-AB\" ensenanza=\"ESO-LOMLOE\"/></docentes>\n"
             " <aulas><aula codigo=\"LABORATORI-DE-QUIMICA-2\"/><aula codigo=\"LABORATORI-DE-QUIMICA-3\"/>"
             "</aulas>\n"
             " <grupos><grupo codigo=\"1ESO-A-MATI\" ensenanza=\"ESO-LOMLOE-2\"/></grupos>\n"
             " <cursos><curso codigo=\"CURSO-1ESO-X\"/></cursos>\n"
             " <ocupaciones><ocupacion codigo=\"GUARDIA-PATI\"/></ocupaciones>\n");
  tvitest::writeFile(centre.input(), xml);
  using tvitest::writeTable;
  writeTable(centre.tables(), TableId::GRUPOST,
             {{{"ABREV", "1ESA"}, {"CLAVE", "1ESO-A-MATI"}, {"CLAVECURSO", "CURSO-1ESO-X"},
               {"ENSENANZA", "ESO-LOMLOE-2"}}});
  writeTable(centre.tables(), TableId::PROFT,
             {{{"ABREV", "GLA"}, {"DNI", "X-1234567890-AB"}, {"ENSENANZA", "ESO-LOMLOE"}}});
  writeTable(centre.tables(), TableId::AULAT, {{{"ABREV", "A1"}, {"ABREV_ITACA", "LABORATORI-DE-QUIMICA-2"}}});
  writeTable(centre.tables(), TableId::ASIGNOMT,
             {{{"COD", "MAT"}, {"ABREV_ITACA", "MATEMATIQUES1"}},
              {{"COD", "ING"}, {"ABREV_ITACA", "ANGLESAVANCAT1"}},
              {{"COD", "*345"}, {"ABREV_ITACA", "GUARDIA-PATI"}}});
  writeTable(centre.tables(), TableId::ASIGT,
             {{{"CASIG", "MAT"}, {"CPROF", "GLA"}, {"CGRUP", "1ESA"}, {"ASIG_ITACA", "MATEMATIQUES1"}}});
  tvitest::writeSoluc(centre.tables(), {{"MAT", "*479", 1, 1, "1ESA", "GLA", "A1"},
                                        {"ING", "*479", 2, 1, "1ESA", "GLA", "A1"},
                                        {"*345", "*345", 3, 1, "", "GLA", ""}});

  ASSERT_EQ(centre.run(), tvi::Outcome::Finished);
  const auto out = tvitest::readOutput(centre.output());
  ASSERT_EQ(out.grupo.size(), 2u);
  ASSERT_EQ(out.ocupacion.size(), 1u);
  using tvitest::value;
  EXPECT_EQ(value(out.grupo[0], "grupo"), "1ESO-A-MATI");
  EXPECT_EQ(value(out.grupo[0], "curso"), "CURSO-1ESO-X");
  EXPECT_EQ(value(out.grupo[0], "ensenanza"), "ESO-LOMLOE-2");
  EXPECT_EQ(value(out.grupo[0], "contenido"), "MATEMATIQUES1");  // of the group's course
  EXPECT_EQ(value(out.grupo[0], "docente"), "X-1234567890-AB");
  // Several codes fit: none is sure, the value stays as read.
  EXPECT_EQ(value(out.grupo[0], "aula"), "LABORATORI-DE-QUIMIC");
  EXPECT_EQ(value(out.grupo[1], "contenido"), "ANGLESAVAN");
  EXPECT_EQ(value(out.ocupacion[0], "docente"), "X-1234567890-AB");
  EXPECT_EQ(value(out.ocupacion[0], "ensenanza"), "ESO-LOMLOE");
  EXPECT_EQ(value(out.ocupacion[0], "ocupacion"), "GUARDIA-PATI");
}

// ---------------------------------------------------------------------------
// The document around the records.

class ExportHeader : public ::testing::TestWithParam<const char*> {};

TEST_P(ExportHeader, KeepsTheDeclarationAndCarriesOnlyTheIdentification) {
  const std::string encoding = GetParam();
  SmallCentre centre;
  const std::string xml = centreXml(encoding);
  tvitest::writeFile(centre.input(), encoding == "UTF-8" ? xml : tvi::toAnsi(xml));

  // A zone far from UTC, so that a time written in UTC shows.
  const char* oldTz = std::getenv("TZ");
  const std::string savedTz = oldTz ? oldTz : "";
  setenv("TZ", "TVI-5", 1);
  tzset();
  const std::time_t before = std::time(nullptr);
  const tvi::Outcome outcome = centre.run();
  const std::time_t after = std::time(nullptr);

  ASSERT_EQ(outcome, tvi::Outcome::Finished);
  const std::string bytes = tvitest::readFile(centre.output());
  EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"" + encoding + "\"?>", 0), 0u) << bytes;

  const tvi::Document out = tvi::Document::load(centre.output());
  std::vector<pugi::xml_node_type> topLevel;
  for (const pugi::xml_node& node : out.dom().children()) topLevel.push_back(node.type());
  EXPECT_EQ(topLevel, (std::vector<pugi::xml_node_type>{pugi::node_declaration, pugi::node_comment,
                                                         pugi::node_element}));
  EXPECT_STREQ(out.dom().first_child().next_sibling().value(), " exportación de ITACA ");

  const pugi::xml_node root = out.root();
  EXPECT_STREQ(root.name(), "centro");
  std::vector<std::string> names;
  for (const auto& a : root.attributes()) names.push_back(a.name());
  EXPECT_EQ(names, (std::vector<std::string>{"codigo", "denominacion", "curso",
                                             "fecha_exportacion", "version"}));
  EXPECT_STREQ(root.attribute("codigo").value(), "46001234");
  EXPECT_STREQ(root.attribute("denominacion").value(), "IES Lluís Vives");
  EXPECT_STREQ(root.attribute("curso").value(), "2025");
  EXPECT_STREQ(root.attribute("version").value(), "1.3");

  const std::string fecha = root.attribute("fecha_exportacion").value();
  std::smatch m;
  ASSERT_TRUE(std::regex_match(fecha, m,
                               std::regex("(\\d\\d)/(\\d\\d)/(\\d{4}) (\\d\\d):(\\d\\d):(\\d\\d)")))
      << fecha;
  std::tm local{};
  local.tm_mday = std::stoi(m[1]);
  local.tm_mon = std::stoi(m[2]) - 1;
  local.tm_year = std::stoi(m[3]) - 1900;
  local.tm_hour = std::stoi(m[4]);
  local.tm_min = std::stoi(m[5]);
  local.tm_sec = std::stoi(m[6]);
  local.tm_isdst = -1;
  const std::time_t written = std::mktime(&local);
  if (oldTz)
    setenv("TZ", savedTz.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
  EXPECT_GE(written, before - 1);
  EXPECT_LE(written, after + 1);

  // Both collections, empty, and nothing else: the input's own
  // horario_grupo and the other collections are gone.
  std::vector<std::string> children;
  for (const pugi::xml_node& child : root.children()) {
    children.push_back(child.name());
    EXPECT_FALSE(child.first_child()) << child.name();
  }
  EXPECT_EQ(children, (std::vector<std::string>{"horarios_grupo", "horarios_ocupaciones"}));
}

INSTANTIATE_TEST_SUITE_P(Encodings, ExportHeader, ::testing::Values("UTF-8", "ISO-8859-1"),
                         [](const auto& info) {
                           return std::string(info.param) == "UTF-8" ? "Utf8" : "Latin1";
                         });

TEST(FechaExportacion, IsTheSpanishShortDateAndLongTime) {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 2;
  t.tm_mday = 5;
  t.tm_hour = 7;
  t.tm_min = 8;
  t.tm_sec = 9;
  EXPECT_EQ(tvi::fechaExportacion(t), "05/03/2026 07:08:09");
}

TEST(ExportOutputPath, IsResultadoVelmarBeforeTheNameInTheInputsFolder) {
  EXPECT_EQ(tvi::exportOutputPath("/datos/horarios/centro.xml"),
            std::filesystem::path("/datos/horarios/ResultadoVelmarcentro.xml"));
  EXPECT_EQ(tvi::exportOutputPath("centro.XML"), std::filesystem::path("ResultadoVelmarcentro.XML"));
}

// ---------------------------------------------------------------------------
// The file, the chooser and the template.

TEST(ExportRun, ALaterExportOverwritesTheOutputAndTheInputIsNeverWritten) {
  SmallCentre centre;
  const std::string inputBytes = tvitest::readFile(centre.input());
  tvitest::writeSoluc(centre.tables(), {{"MAT", "*479", 1, 1, "1ESA", "GLA", "A1"},
                                        {"MAT", "*479", 2, 1, "1ESA", "GLA", "A1"}});
  ASSERT_EQ(centre.run(), tvi::Outcome::Finished);
  EXPECT_EQ(tvitest::readOutput(centre.output()).grupo.size(), 2u);

  tvitest::writeSoluc(centre.tables(), {{"*345", "*345", 3, 2, "", "PMR", ""}});
  ASSERT_EQ(centre.run(), tvi::Outcome::Finished);
  const auto out = tvitest::readOutput(centre.output());
  EXPECT_TRUE(out.grupo.empty());
  ASSERT_EQ(out.ocupacion.size(), 1u);
  EXPECT_EQ(tvitest::value(out.ocupacion[0], "docente"), "22222222B");

  EXPECT_EQ(tvitest::readFile(centre.input()), inputBytes);
  EXPECT_EQ(tvitest::folderListing(centre.docs()),
            (std::vector<std::string>{"ResultadoVelmarcentro.xml", "centro.xml"}));
}

TEST(ExportRun, ACancelledFileDialogKeepsTheEarlierFile) {
  SmallCentre centre;
  centre.window.FFicheroXML = centre.input();
  centre.ui.file.reset();
  EXPECT_EQ(centre.run(), tvi::Outcome::Finished);
  EXPECT_TRUE(std::filesystem::exists(centre.output()));
  EXPECT_EQ(centre.window.FFicheroXML, centre.input());
}

TEST(ExportRun, FindsSolucWhateverTheCaseOfItsName) {
  SmallCentre centre;
  tvitest::writeSoluc(centre.tables(), {{"MAT", "*479", 1, 1, "1ESA", "GLA", "A1"}},
                      tvi::FieldType::Float, "soluc");
  ASSERT_FALSE(std::filesystem::exists(centre.tables() / "SOLUC.DBF"));
  ASSERT_EQ(centre.run(), tvi::Outcome::Finished);
  EXPECT_EQ(tvitest::readOutput(centre.output()).grupo.size(), 1u);
}

// How the person leaves the chooser decides the template and so the hours:
// the slot table is rebuilt for it before SOLUC's HORA is looked up.
TEST(ExportRun, TheChoosersTemplateGivesThePlantillaAndTheHours) {
  struct Case {
    ScriptedUi::ChooserEnd end;
    std::optional<std::string> typed;
    const char* plantilla;
    const char* desde;  // of SOLUC's HORA 3
    const char* orden;
  };
  const Case cases[] = {
      {ScriptedUi::ChooserEnd::Continuar, std::nullopt, "P1", "11:20", "5"},
      {ScriptedUi::ChooserEnd::CloseBox, std::nullopt, "P1", "11:20", "5"},
      {ScriptedUi::ChooserEnd::Continuar, "P2", "P2", "17:00", "3"},
      {ScriptedUi::ChooserEnd::CloseBox, "P2", "P2", "17:00", "3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.plantilla) + (c.end == ScriptedUi::ChooserEnd::CloseBox ? " closed" : ""));
    SmallCentre centre;
    centre.ui.chooserEnd = c.end;
    centre.ui.typedCode = c.typed;
    tvitest::writeSoluc(centre.tables(), {{"MAT", "*479", 1, 3, "1ESA", "GLA", "A1"}});
    ASSERT_EQ(centre.run(), tvi::Outcome::Finished);
    EXPECT_EQ(centre.ui.choosersShown, 1);
    EXPECT_EQ(centre.window.FPlantilla, c.plantilla);
    const auto out = tvitest::readOutput(centre.output());
    ASSERT_EQ(out.grupo.size(), 1u);
    EXPECT_EQ(tvitest::value(out.grupo[0], "plantilla"), c.plantilla);
    EXPECT_EQ(tvitest::value(out.grupo[0], "hora_desde"), c.desde);
    EXPECT_EQ(tvitest::value(out.grupo[0], "sesion_orden"), c.orden);

    auto tramos = tvi::bindTable(centre.tables(), TableId::DIASHORAST, false);
    tramos->open();
    EXPECT_EQ(tvi::fromAnsi(tramos->asString("PLANTILLA")), c.plantilla);
  }
}

// ---------------------------------------------------------------------------
// Missing inputs: the message, and the flag only in host mode.

TEST(ExportRun, AMissingFileOrSolucEndsTheRunWithItsMessage) {
  enum class Missing { NoFileChosen, FileGone, Soluc };
  for (const Missing missing : {Missing::NoFileChosen, Missing::FileGone, Missing::Soluc}) {
    for (const bool host : {false, true}) {
      SCOPED_TRACE(std::to_string(static_cast<int>(missing)) + (host ? " host" : " alone"));
      SmallCentre centre;
      centre.window.NumParametros = host ? 2 : 0;
      centre.window.ResultadoTransformacion = 7;
      if (missing == Missing::NoFileChosen) centre.ui.file.reset();
      if (missing == Missing::FileGone) centre.ui.file = centre.docs() / "otro.xml";
      if (missing == Missing::Soluc)
        std::filesystem::remove(tvi::tableFile(centre.tables(), TableId::SOLUC));
      const std::string slots = tvitest::readFile(centre.diasHoras());

      EXPECT_EQ(centre.run(), tvi::Outcome::MissingInput);
      EXPECT_EQ(centre.ui.messages, (std::vector<std::string>{kAviso, kNoExiste}));
      EXPECT_EQ(centre.window.ResultadoTransformacion, host ? -1 : 7);
      EXPECT_EQ(centre.ui.choosersShown, 0);
      EXPECT_EQ(tvitest::readFile(centre.diasHoras()), slots);
      EXPECT_FALSE(std::filesystem::exists(centre.output()));
    }
  }
}

// ---------------------------------------------------------------------------
// Failures: before any table is touched, or after the tables are open.

TEST(ExportRun, ABadDocumentOrHourListStopsTheRunBeforeAnyTableIsTouched) {
  struct Case {
    const char* name;
    std::string xml;
    std::optional<std::string> typed;
    const char* messagePart;
  };
  const Case cases[] = {
      {"not well-formed", "<?xml version=\"1.0\"?><centro codigo=\"1\"><aulas></centro>",
       std::nullopt, ""},
      {"another root", "<?xml version=\"1.0\"?><escuela codigo=\"1\"/>", std::nullopt,
       "\"centro\""},
      {"hour that does not read", centreXml(), "P3", "no es un valor entero válido"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SmallCentre centre;
    tvitest::writeFile(centre.input(), c.xml);
    centre.ui.typedCode = c.typed;
    centre.window.ResultadoTransformacion = 7;
    const std::string slots = tvitest::readFile(centre.diasHoras());

    const std::string message = centre.runFailing();
    EXPECT_NE(message.find(c.messagePart), std::string::npos) << message;
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(tvitest::readFile(centre.diasHoras()), slots);
    EXPECT_TRUE(centre.ui.busyCalls.empty());
    EXPECT_EQ(centre.window.ResultadoTransformacion, 7);
    EXPECT_EQ(tvitest::folderListing(centre.docs()), (std::vector<std::string>{"centro.xml"}));
  }
}

TEST(ExportRun, AFailureAfterTheTablesAreOpenClosesThemAndLeavesNoOutput) {
  enum class Fault { SolucWithoutDia, GruposMissing, OutputIsAFolder };
  for (const Fault fault : {Fault::SolucWithoutDia, Fault::GruposMissing, Fault::OutputIsAFolder}) {
    SCOPED_TRACE(static_cast<int>(fault));
    SmallCentre centre;
    centre.window.ResultadoTransformacion = 7;
    const std::vector<Soluc> rows = {{"MAT", "*479", 1, 1, "1ESA", "GLA", "A1"}};
    tvitest::writeSoluc(centre.tables(), rows, tvi::FieldType::Float, "SOLUC",
                        fault == Fault::SolucWithoutDia ? "DIA" : "");
    if (fault == Fault::GruposMissing)
      std::filesystem::remove(tvi::tableFile(centre.tables(), TableId::GRUPOST));
    if (fault == Fault::OutputIsAFolder) {
      std::filesystem::create_directory(centre.output());
      tvitest::writeFile(centre.output() / "dentro.txt", "x");
    }

    EXPECT_FALSE(centre.runFailing().empty());
    EXPECT_FALSE(centre.tablesLeftOpen);
    EXPECT_EQ(centre.ui.busyCalls, (std::vector<bool>{true, false}));
    EXPECT_EQ(centre.ui.messages, (std::vector<std::string>{kAviso}));
    EXPECT_EQ(centre.window.ResultadoTransformacion, 7);
    if (fault == Fault::OutputIsAFolder) {
      EXPECT_TRUE(std::filesystem::is_directory(centre.output()));
      EXPECT_EQ(tvitest::folderListing(centre.output()), (std::vector<std::string>{"dentro.txt"}));
      EXPECT_EQ(tvitest::folderListing(centre.docs()),
                (std::vector<std::string>{"ResultadoVelmarcentro.xml", "centro.xml"}));
    } else {
      EXPECT_EQ(tvitest::folderListing(centre.docs()), (std::vector<std::string>{"centro.xml"}));
    }
  }
}

TEST(ExportRun, AFailedRunLeavesTheEarlierOutputWhole) {
  SmallCentre centre;
  tvitest::writeSoluc(centre.tables(), {{"MAT", "*479", 1, 1, "1ESA", "GLA", "A1"}});
  ASSERT_EQ(centre.run(), tvi::Outcome::Finished);
  const std::string earlier = tvitest::readFile(centre.output());

  tvitest::writeSoluc(centre.tables(), {{"MAT", "*479", 1, 1, "1ESA", "GLA", "A1"}},
                      tvi::FieldType::Float, "SOLUC", "HORA");
  EXPECT_FALSE(centre.runFailing().empty());
  EXPECT_EQ(tvitest::readFile(centre.output()), earlier);
}

}  // namespace

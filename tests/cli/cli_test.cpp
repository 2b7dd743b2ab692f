// The command line drives the same runs as the window; these tests check
// what is its own: options, exit statuses, what it prints.

#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "support/test_support.h"
#include "tables/catalogue.h"
#include "tables/table.h"

namespace {

using tvitest::TempDir;

// Two templates, each with Monday hours; a small but complete centre.
const char* kTwoTemplates = R"(<?xml version="1.0" encoding="UTF-8"?>
<centro codigo="46000001" denominacion="IES Prova" curso="2026" version="1">
 <plantillas_horario>
  <plantilla_horario codigo="MATI" turno="M" descripcion_val="Matí" descripcion_cas="Mañana"/>
  <plantilla_horario codigo="VESP" turno="T" descripcion_val="Vesprada" descripcion_cas="Tarde"/>
 </plantillas_horario>
 <sesiones_horario>
  <sesion_horario plantilla="MATI" dia_semana="L" sesion_orden="2" hora_desde="09:00" hora_hasta="09:55"/>
  <sesion_horario plantilla="MATI" dia_semana="L" sesion_orden="1" hora_desde="08:00" hora_hasta="08:55"/>
  <sesion_horario plantilla="MATI" dia_semana="M" sesion_orden="1" hora_desde="08:00" hora_hasta="08:55"/>
  <sesion_horario plantilla="VESP" dia_semana="L" sesion_orden="1" hora_desde="15:00" hora_hasta="15:55"/>
 </sesiones_horario>
 <contenidos>
  <contenido codigo="MAT1" nombre_val="Matemàtiques" nombre_cas="Matemáticas" curso="C1"/>
  <contenido codigo="CAS1" nombre_val="Castellà" nombre_cas="Castellano" curso="C1"/>
 </contenidos>
 <ocupaciones>
  <ocupacion codigo="GUARD" nombre_val="Guàrdia" nombre_cas="Guardia"/>
  <ocupacion codigo="REUN" nombre_val="Reunió" nombre_cas="Reunión"/>
 </ocupaciones>
 <docentes>
  <docente documento="111A" apellido1="Pérez" apellido2="Soler" nombre="Núria" fecha_ingreso="01/09/2010" ensenanza="ESO"/>
  <docente documento="222B" apellido1="Gil" apellido2="Mas" nombre="Joan" fecha_ingreso="01/09/2012" ensenanza="ESO"/>
 </docentes>
 <aulas>
  <aula codigo="A01" nombre="Aula 1"/>
  <aula codigo="A02" nombre="Aula 2"/>
 </aulas>
 <ensenanzas>
  <ensenanza ensenanza="ESO" abreviatura="ESO"/>
  <ensenanza ensenanza="BAT" abreviatura="BAT"/>
 </ensenanzas>
 <cursos>
  <curso codigo="C1" abreviatura="1ESO" padre="" ensenanza="ESO"/>
  <curso codigo="C2" abreviatura="2ESO" padre="" ensenanza="ESO"/>
 </cursos>
 <cursos_grupo>
  <curso_grupo grupo="1ESOA" curso="C1"/>
  <curso_grupo grupo="1ESOB" curso="C1"/>
 </cursos_grupo>
 <grupos>
  <grupo codigo="1ESOA" nombre="1r ESO A" turno="M" ensenanza="ESO" tutor_ppal="111A" tutor_sec=""/>
  <grupo codigo="1ESOB" nombre="1r ESO B" turno="M" ensenanza="ESO" tutor_ppal="" tutor_sec=""/>
 </grupos>
 <horarios_grupo>
  <horario_grupo plantilla="MATI" dia_semana="L" sesion_orden="1" grupo="1ESOA" curso="C1" contenido="MAT1" docente="111A" aula="A01"/>
  <horario_grupo plantilla="MATI" dia_semana="M" sesion_orden="1" grupo="1ESOA" curso="C1" contenido="MAT1" docente="111A" aula="A01"/>
  <horario_grupo plantilla="VESP" dia_semana="L" sesion_orden="1" grupo="1ESOB" curso="C1" contenido="CAS1" docente="222B" aula="A02"/>
 </horarios_grupo>
 <horarios_ocupaciones>
  <horario_ocupacion plantilla="MATI" docente="222B" ocupacion="GUARD"/>
 </horarios_ocupaciones>
</centro>
)";

struct Result {
  int status;
  std::string out, err;
};

Result cli(std::vector<std::string> args) {
  std::ostringstream out, err;
  int status = tvi::cli::run(args, out, err);
  return {status, out.str(), err.str()};
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override { tvitest::writeFile(xml(), kTwoTemplates); }
  std::string xml() const { return (dir / "centro.xml").string(); }
  std::string tables() const { return (dir / "QTEMP").string(); }
  TempDir dir;
};

TEST_F(CliTest, UsageErrorsExitWithTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"frobnicate", "x.xml"},
      {"import"},
      {"import", "a.xml", "b.xml"},
      {"import", "a.xml", "--bogus"},
      {"templates", "a.xml", "--tables"},
      {"show", "PROFT", "--all-templates"},
      {"import", "a.xml", "--keep-unused=yes"},
  };
  for (const auto& args : cases) {
    auto r = cli(args);
    EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
    EXPECT_NE(r.err.find("Uso:"), std::string::npos) << ::testing::PrintToString(args);
  }
}

TEST_F(CliTest, HelpAndVersion) {
  EXPECT_EQ(cli({"--help"}).status, 0);
  auto v = cli({"--version"});
  EXPECT_EQ(v.status, 0);
  EXPECT_NE(v.out.find("transvelmar 1."), std::string::npos);
}

TEST_F(CliTest, MissingFileExitsWithThreeAndTouchesNothing) {
  auto missing = (dir / "nada.xml").string();
  for (const char* command : {"import", "export"}) {
    auto r = cli({command, missing, "--tables", tables(), "--template", "MATI"});
    EXPECT_EQ(r.status, 3) << command;
    EXPECT_FALSE(r.err.empty()) << command;
  }
  EXPECT_EQ(cli({"templates", missing}).status, 3);
  EXPECT_FALSE(std::filesystem::exists(tables()) &&
               !std::filesystem::is_empty(tables()));
  auto r = cli({"import", missing, "--tables", tables()});
  EXPECT_NE(r.err.find("No existe archivo"), std::string::npos);
}

TEST_F(CliTest, TemplatesListsEachTemplateWithItsSortedMondayHours) {
  auto r = cli({"templates", xml(), "--language", "cas"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Plantilla MATI\n  Turno: M\n  Horario: Mañana\n  Horas (2):\n"
                       "     1 de 08:00 a 08:55\n     2 de 09:00 a 09:55\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("Plantilla VESP\n  Turno: T\n  Horario: Tarde\n  Horas (1):\n"
                       "     1 de 15:00 a 15:55\n"),
            std::string::npos)
      << r.out;
  auto val = cli({"templates", xml()});
  EXPECT_NE(val.out.find("Horario: Matí"), std::string::npos) << val.out;
}

TEST_F(CliTest, ImportWithSeveralTemplatesNeedsAValidTemplateBeforeTouchingTables) {
  auto none = cli({"import", xml(), "--tables", tables()});
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find("MATI"), std::string::npos) << none.err;
  EXPECT_NE(none.err.find("VESP"), std::string::npos) << none.err;

  auto wrong = cli({"import", xml(), "--tables", tables(), "--template", "NOCHE"});
  EXPECT_EQ(wrong.status, 2);
  EXPECT_FALSE(tvi::tableExists(tables(), tvi::TableId::ASIGNOMT));
}

TEST_F(CliTest, ImportPrintsCountsThenProcesoFinalizadoAndShowGivesCsv) {
  auto r = cli({"import", xml(), "--tables", tables(), "--template", "MATI", "--report",
                (dir / "informe.json").string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.substr(r.out.size() - std::string("Proceso finalizado\n").size()),
            "Proceso finalizado\n");
  EXPECT_NE(r.out.find("ASIGT"), std::string::npos) << r.out;
  EXPECT_NE(tvitest::readFile(dir / "informe.json").find("\"import\""), std::string::npos);

  // The restricted import keeps only MATI's class of 1ESOA; teacher 222B
  // stays for the occupation, group 1ESOB goes (no class in MATI).
  auto grupos = cli({"show", "GRUPOST", "--tables", tables()});
  ASSERT_EQ(grupos.status, 0) << grupos.err;
  EXPECT_NE(grupos.out.find("1ESA"), std::string::npos);
  EXPECT_EQ(grupos.out.find("1ESOB"), std::string::npos) << grupos.out;

  auto prof = cli({"show", (std::filesystem::path(tables()) / "PROFT.DBF").string()});
  ASSERT_EQ(prof.status, 0) << prof.err;
  EXPECT_EQ(prof.out.substr(0, prof.out.find('\n')),
            "ABREV,NOMBRE,DEPART,DNI,X_EMPLEADO,F_TOMAPOS,ENSENANZA");
  EXPECT_NE(prof.out.find("PSN,\"Pérez Soler, Núria\",,111A,,01/09/2010,ESO"), std::string::npos)
      << prof.out;
}

TEST_F(CliTest, AllTemplatesAndKeepUnusedAnswerTheQuestions) {
  auto r = cli({"import", xml(), "--tables", tables(), "--template", "MATI", "--all-templates"});
  ASSERT_EQ(r.status, 0) << r.err;
  // Every base row stays (two subjects of course C1 times its two groups),
  // and the occupation of every template is added.
  tvi::Table asigt(tables(), "ASIGT", false);
  asigt.open();
  EXPECT_EQ(asigt.recordCount(), 5u);
  asigt.close();

  auto keep = cli({"import", xml(), "--tables", tables(), "--template", "MATI", "--keep-unused"});
  ASSERT_EQ(keep.status, 0) << keep.err;
  auto grupos = cli({"show", "GRUPOST", "--tables", tables()});
  EXPECT_NE(grupos.out.find("1ESOB"), std::string::npos) << grupos.out;
}

TEST_F(CliTest, ShowOfAMissingTableExitsWithThree) {
  EXPECT_EQ(cli({"show", "PROFT", "--tables", tables()}).status, 3);
}

}  // namespace

namespace {

TEST_F(CliTest, ExportTakesTheSlotTablesTemplateAndRefusesAnUnknownOne) {
  ASSERT_EQ(cli({"import", xml(), "--tables", tables(), "--template", "MATI"}).status, 0);
  // No solution yet: the export cannot start.
  auto noSoluc = cli({"export", xml(), "--tables", tables()});
  EXPECT_EQ(noSoluc.status, 3);
  EXPECT_NE(noSoluc.err.find("No existe archivo XML o Solución."), std::string::npos);

  tvi::Table soluc(tables(), "SOLUC.DBF", true);
  soluc.addField({"ASIG", tvi::FieldType::Character, 4});
  soluc.addField({"TAREA", tvi::FieldType::Character, 4});
  soluc.addField({"DIA", tvi::FieldType::Integer, 4});
  soluc.addField({"HORA", tvi::FieldType::Integer, 4});
  soluc.addField({"CODGRUPO", tvi::FieldType::Character, 4});
  soluc.addField({"PROF", tvi::FieldType::Character, 4});
  soluc.addField({"AULA", tvi::FieldType::Character, 4});
  soluc.create();

  EXPECT_EQ(cli({"export", xml(), "--tables", tables(), "--template", "NOCHE"}).status, 2);

  // Without --template the export proposes DIASHORAST's template (MATI).
  auto r = cli({"export", xml(), "--tables", tables()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("ResultadoVelmarcentro.xml (plantilla MATI)"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("Deberá Abrir"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(dir / "ResultadoVelmarcentro.xml"));
}

}  // namespace

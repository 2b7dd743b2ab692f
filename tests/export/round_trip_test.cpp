// Import, solve with the stand-in, export: the timetable that comes back
// must be the one the solver placed, record for record, and the classes of
// the template must come back to ITACA under their own codes.

#include <algorithm>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "common/text.h"
#include "export/export_fixture.h"
#include "export/export_run.h"
#include "gencentre/generator.h"
#include "import/import_run.h"
#include "itaca/document.h"
#include "solver/solver.h"
#include "support/test_support.h"

namespace {

using tvi::TableId;
using tvitest::Attrs;

// The attributes of a record in their written order, values only.
using Record = std::vector<std::string>;

std::size_t width(TableId table, const char* field) {
  for (const auto& f : tvi::tableDef(table).fields) {
    if (f.name == field) return static_cast<std::size_t>(f.width);
  }
  ADD_FAILURE() << field;
  return 0;
}

// The values of a record, each code cut as the field it came from cuts it
// (the export writes long codes whole, the tables hold them cut).
Record values(const Attrs& attrs, bool occupation) {
  const std::map<std::string, std::size_t> cut =
      occupation ? std::map<std::string, std::size_t>{{"docente", width(TableId::PROFT, "DNI")},
                                                      {"ensenanza", width(TableId::PROFT, "ENSENANZA")},
                                                      {"ocupacion", width(TableId::ASIGNOMT, "ABREV_ITACA")}}
                 : std::map<std::string, std::size_t>{{"grupo", width(TableId::GRUPOST, "CLAVE")},
                                                      {"ensenanza", width(TableId::GRUPOST, "ENSENANZA")},
                                                      {"curso", width(TableId::GRUPOST, "CLAVECURSO")},
                                                      {"contenido", width(TableId::ASIGT, "ASIG_ITACA")},
                                                      {"docente", width(TableId::PROFT, "DNI")},
                                                      {"aula", width(TableId::AULAT, "ABREV_ITACA")}};
  Record r;
  for (const auto& [name, v] : attrs) {
    const auto it = cut.find(name);
    r.push_back(it == cut.end() ? v : tvi::fromAnsi(tvi::leftAnsi(tvi::toAnsi(v), it->second)));
  }
  return r;
}

// A table read whole into rows of field texts (UTF-8), keyed by one field.
class TableMap {
 public:
  TableMap(const std::filesystem::path& folder, TableId id, const char* key) {
    auto table = tvi::bindTable(folder, id, false);
    table->open();
    for (table->first(); !table->eof(); table->next()) {
      std::map<std::string, std::string> row;
      for (const auto& f : table->fields()) row[f.name] = tvi::fromAnsi(table->asString(f.name));
      const std::string k = key ? table->asString(key) : std::to_string(table->recNo());
      rows_.emplace(k, std::move(row));  // the first of equal keys, as a lookup finds it
    }
  }
  const std::map<std::string, std::string>* find(const std::string& key) const {
    const auto it = rows_.find(key);
    return it == rows_.end() ? nullptr : &it->second;
  }
  // An empty code names no record.
  std::string get(const std::string& key, const char* field) const {
    const auto* row = key.empty() ? nullptr : find(key);
    return row ? row->at(field) : std::string();
  }

 private:
  std::map<std::string, std::map<std::string, std::string>> rows_;
};

const char* dayLetter(int dia) {
  static const char* letters[] = {"L", "M", "X", "J", "V", "S", "D"};
  return dia >= 1 && dia <= 7 ? letters[dia - 1] : "";
}

struct RoundTrip {
  tvitest::TempDir dir;
  tvi::WindowState window;
  tvitest::ScriptedUi ui;
  tvi::Report importReport, exportReport;
  tvi::SolveSummary solution;
  std::filesystem::path input, output;

  std::filesystem::path tables() const { return dir / "tablas"; }

  void run(const std::filesystem::path& source, const std::string& plantilla, bool withSkips) {
    input = dir / source.filename().string();
    std::filesystem::copy_file(source, input);
    window.tablesFolder = tables();
    ui.file = input;
    ui.typedCode = plantilla;
    {
      tvi::ImportRun importRun(window, ui, importReport);
      ASSERT_EQ(importRun.run(), tvi::Outcome::Finished);
    }
    solution = tvi::solve(tables(), {.withSkips = withSkips});
    tvi::ExportRun exportRun(window, ui, exportReport);
    ASSERT_EQ(exportRun.run(), tvi::Outcome::Finished);
    output = exportRun.outputPath();
    ASSERT_EQ(window.FPlantilla, plantilla);
  }

  // What the export must write for the solver's rows, in SOLUC's order,
  // found through the tables as plain maps: the subject from the very ASIGT
  // row the solver placed.
  void expected(std::vector<Record>& grupo, std::vector<Record>& ocupacion) const {
    const TableMap grupos(tables(), TableId::GRUPOST, "ABREV");
    const TableMap profesores(tables(), TableId::PROFT, "ABREV");
    const TableMap aulas(tables(), TableId::AULAT, "ABREV");
    const TableMap tramos(tables(), TableId::DIASHORAST, "HORA");
    const TableMap asignaturas(tables(), TableId::ASIGNOMT, "COD");
    const TableMap asig(tables(), TableId::ASIGT, nullptr);
    for (const auto& row : solution.rows) {
      if (row.skipKind) continue;
      const std::string hora = std::to_string(static_cast<int>(row.hora));
      const auto* tramo = tramos.find(hora);
      ASSERT_NE(tramo, nullptr) << hora;
      const Record slot = {window.FPlantilla, dayLetter(row.dia), tramo->at("SESION_ORDEN"),
                           tramo->at("HORADESDE"), tramo->at("HORAHASTA")};
      Record r = slot;
      if (row.asig != row.tarea) {
        const auto* g = grupos.find(row.codgrupo);
        ASSERT_NE(g, nullptr) << row.codgrupo;
        const std::string recNo = std::to_string(row.asigtRecNo);
        r.insert(r.end(), {g->at("CLAVE"), g->at("ENSENANZA"), g->at("CLAVECURSO"),
                           asig.get(recNo, "ASIG_ITACA"), profesores.get(row.prof, "DNI"),
                           aulas.get(row.aula, "ABREV_ITACA"), ""});
        grupo.push_back(r);
      } else {
        if (row.prof.empty() || !profesores.find(row.prof)) continue;  // not written
        r.insert(r.end(), {profesores.get(row.prof, "DNI"), profesores.get(row.prof, "ENSENANZA"),
                           asignaturas.get(row.asig, "ABREV_ITACA")});
        ocupacion.push_back(r);
      }
    }
  }
};

// Sessions per key. Strict: the same classes with the same sessions.
// Otherwise every class that comes back is one of the input with at most
// its sessions (the import drops the sessions of classes that are not in
// the file, the solver leaves out what finds no free slot), and more than
// half the classes come back.
template <class Key>
void expectSameCounts(const std::map<Key, int>& in, const std::map<Key, int>& out, bool strict,
                      const char* what) {
  if (strict) {
    EXPECT_EQ(out, in) << what;
    return;
  }
  for (const auto& [key, n] : out) {
    const auto it = in.find(key);
    EXPECT_GE(it == in.end() ? 0 : it->second, n)
        << what << " " << std::get<0>(key) << " " << std::get<1>(key);
  }
  EXPECT_GT(out.size() * 2, in.size()) << what;
}

// `strict`: the input is clean and the week has room for every session.
// Otherwise a teacher the input names in no "docente" comes back empty, as
// the import leaves it.
void checkRoundTrip(const RoundTrip& trip, bool strict) {
  if (strict) {
    EXPECT_EQ(trip.solution.unplaced, 0u);
  }
  EXPECT_GT(trip.solution.classSessions, 0u);
  EXPECT_GT(trip.solution.occupationSessions, 0u);

  // Every placed session exactly once, in SOLUC's order, with its own
  // group, subject, teacher, room, day and session order.
  std::vector<Record> expectedGrupo, expectedOcupacion;
  trip.expected(expectedGrupo, expectedOcupacion);
  const auto out = tvitest::readOutput(trip.output);  // also: it parses
  std::vector<Record> grupo, ocupacion;
  for (const auto& a : out.grupo) grupo.push_back(values(a, false));
  for (const auto& a : out.ocupacion) ocupacion.push_back(values(a, true));
  EXPECT_EQ(grupo, expectedGrupo);
  EXPECT_EQ(ocupacion, expectedOcupacion);
  EXPECT_EQ(std::set<Record>(grupo.begin(), grupo.end()).size(), grupo.size());
  EXPECT_EQ(std::set<Record>(ocupacion.begin(), ocupacion.end()).size(), ocupacion.size());

  // Day and hour aside, the template's classes and occupations are those
  // of the input, each under its own subject code; a class's room is one
  // its sessions had.
  const tvi::Document in = tvi::Document::load(trip.input);
  std::set<std::string> teachers, rooms;
  for (const auto& e : in.select("/centro/docentes/docente")) teachers.insert(tvi::attr(e, "documento"));
  for (const auto& e : in.select("/centro/aulas/aula")) rooms.insert(tvi::attr(e, "codigo"));
  auto known = [](const std::set<std::string>& set, const std::string& v) {
    return set.count(v) ? v : std::string();
  };

  using Key = std::tuple<std::string, std::string, std::string, std::string>;
  std::map<Key, int> inClasses, outClasses;
  std::map<Key, std::set<std::string>> inRooms;
  for (const auto& e : in.select("/centro/horarios_grupo/horario_grupo")) {
    if (tvi::attr(e, "plantilla") != trip.window.FPlantilla) continue;
    const Key key{tvi::attr(e, "grupo"), tvi::attr(e, "contenido"), tvi::attr(e, "curso"),
                  known(teachers, tvi::attr(e, "docente"))};
    ++inClasses[key];
    inRooms[key].insert(known(rooms, tvi::attr(e, "aula")));
  }
  for (const auto& a : out.grupo) {
    const Key key{tvitest::value(a, "grupo"), tvitest::value(a, "contenido"),
                  tvitest::value(a, "curso"), tvitest::value(a, "docente")};
    ++outClasses[key];
    EXPECT_TRUE(inRooms[key].count(tvitest::value(a, "aula")))
        << std::get<0>(key) << " " << std::get<1>(key) << " in " << tvitest::value(a, "aula");
  }
  expectSameCounts(inClasses, outClasses, strict, "class");

  using OccKey = std::tuple<std::string, std::string>;
  std::map<OccKey, int> inOcc, outOcc;
  for (const auto& e : in.select("/centro/horarios_ocupaciones/horario_ocupacion")) {
    if (tvi::attr(e, "plantilla") == trip.window.FPlantilla)
      ++inOcc[{tvi::attr(e, "ocupacion"), known(teachers, tvi::attr(e, "docente"))}];
  }
  for (const auto& a : out.ocupacion)
    ++outOcc[{tvitest::value(a, "ocupacion"), tvitest::value(a, "docente")}];
  if (!strict) {
    // An occupation of no known teacher is placed but cannot be written.
    for (auto it = inOcc.begin(); it != inOcc.end();)
      it = std::get<1>(it->first).empty() ? inOcc.erase(it) : std::next(it);
  }
  expectSameCounts(inOcc, outOcc, strict, "occupation");
}

// Report items of rows left out; the sample's classes without a teacher or
// a room are written, with a note, and do not count.
std::multiset<std::pair<std::string, int>> skippedRows(const tvi::Report& report) {
  std::multiset<std::pair<std::string, int>> rows;
  const std::regex rowNumber("^Fila ([0-9]+) de SOLUC ");
  for (const auto& item : report.items()) {
    std::smatch m;
    EXPECT_TRUE(std::regex_search(item.detail, m, rowNumber)) << item.detail;
    if (item.kind != tvi::soluc_kind::SinDocente && item.kind != tvi::soluc_kind::SinAula)
      rows.emplace(item.kind, std::stoi(m[1]));
  }
  return rows;
}

std::filesystem::path sample() { return tvitest::sourceDir() / "examples" / "centro_ejemplo.xml"; }

TEST(RoundTrip, TheSampleComesBackAsSolvedForEachTemplate) {
  for (const std::string plantilla : {"1", "2"}) {
    SCOPED_TRACE("plantilla " + plantilla);
    RoundTrip trip;
    trip.run(sample(), plantilla, false);
    if (HasFatalFailure()) return;
    checkRoundTrip(trip, true);
    EXPECT_TRUE(skippedRows(trip.exportReport).empty());
  }
}

// The rows to skip are reported one by one, under the row number they have
// in SOLUC, and change nothing else.
TEST(RoundTrip, RowsToSkipAreReportedAndLeaveTheRestWhole) {
  RoundTrip trip;
  trip.run(sample(), "1", true);
  if (HasFatalFailure()) return;
  checkRoundTrip(trip, true);

  std::multiset<std::pair<std::string, int>> expected;
  for (std::size_t i = 0; i < trip.solution.rows.size(); ++i) {
    if (trip.solution.rows[i].skipKind)
      expected.emplace(trip.solution.rows[i].skipKind, static_cast<int>(i + 1));
  }
  EXPECT_EQ(skippedRows(trip.exportReport), expected);
  EXPECT_EQ(expected.size(), trip.solution.skipRows);
  EXPECT_GE(trip.solution.skipRows, 10u);
}

// A generated centre of the size of a large secondary school, with the
// collisions and the faults real exports have.
TEST(RoundTrip, AGeneratedLargeCentreComesBackAsSolved) {
  RoundTrip trip;
  tvitest::TempDir generated;
  const auto centre = generated / "grande.xml";
  tvi::gen::CentreOptions options;
  options.seed = 7;
  options.profile = tvi::gen::Profile::LargeSecondary;
  options.bulk = false;
  const tvi::gen::CentreSummary summary = tvi::gen::writeCentreFile(centre, options);
  trip.run(centre, summary.firstTemplate, false);
  if (HasFatalFailure()) return;
  checkRoundTrip(trip, false);
  // The generated week asks more of some groups, teachers and rooms than
  // it has slots; the stand-in still places a good part of it.
  EXPECT_GT(trip.solution.classSessions * 3, summary.classSessionsFirst);
  // What the export leaves out of a solution of its own tables: the
  // occupations of teachers the file names in no "docente".
  for (const auto& item : trip.exportReport.items()) {
    if (item.kind == tvi::soluc_kind::SinDocente || item.kind == tvi::soluc_kind::SinAula) continue;
    EXPECT_EQ(item.kind, tvi::soluc_kind::DocenteDesconocido) << item.detail;
  }
}

}  // namespace

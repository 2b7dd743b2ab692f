// The solver stand-in on a week too small for everyone: what it places must
// be a timetable (no one in two places at once), and what it cannot place
// is counted, not silently dropped.

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "export/export_fixture.h"
#include "export/export_run.h"
#include "import/chooser.h"
#include "import/dias_horas.h"
#include "solver/solver.h"
#include "support/test_support.h"

namespace {

using tvi::TableId;

// Two hours a day: ten slots from Monday to Friday. GLA is asked for
// eleven sessions, so exactly one cannot be placed.
class TightWeek : public ::testing::Test {
 protected:
  void SetUp() override {
    using tvitest::writeTable;
    tvi::crearDiasHoras(dir.path(), {tvi::hourLine("1", "08:00", "08:55"),
                                     tvi::hourLine("2", "08:55", "09:50")},
                        "P1", tvi::kCastellano);
    writeTable(dir.path(), TableId::ASIGT,
               {{{"CASIG", "MAT"}, {"CPROF", "GLA"}, {"CGRUP", "1ESA"}, {"CAULA", "A1"},
                 {"HORAS", "3"}, {"CTAREA", "*479"}},
                {{"CASIG", "ING"}, {"CPROF", "GLA"}, {"CGRUP", "2BTA"}, {"CAULA", "A2"},
                 {"HORAS", "3"}, {"CTAREA", "*479"}},
                {{"CASIG", "FIS"}, {"CPROF", "PMR"}, {"CGRUP", "1ESA"}, {"CAULA", "A1"},
                 {"HORAS", "3"}, {"CTAREA", "*479"}},
                {{"CASIG", "*345"}, {"CPROF", "GLA"}, {"HORAS", "2"}, {"CTAREA", "*345"}},
                {{"CASIG", "*345"}, {"CPROF", "PMR"}, {"HORAS", "2"}, {"CTAREA", "*345"}},
                {{"CPROF", "PMR"}, {"HORAS", "2"}},
                {{"CASIG", "HIS"}, {"CPROF", "GLA"}, {"CGRUP", "2BTA"}, {"HORAS", "3"},
                 {"CTAREA", "*479"}}});
    writeTable(dir.path(), TableId::GRUPOST, {{{"ABREV", "1ESA"}}, {{"ABREV", "2BTA"}}});
    writeTable(dir.path(), TableId::PROFT, {{{"ABREV", "GLA"}}, {{"ABREV", "PMR"}}});
    writeTable(dir.path(), TableId::ASIGNOMT,
               {{{"COD", "MAT"}}, {{"COD", "ING"}}, {{"COD", "FIS"}}, {{"COD", "HIS"}},
                {{"COD", "*345"}}, {{"COD", "#1"}}});
  }

  tvitest::TempDir dir;
};

TEST_F(TightWeek, PlacesWithoutClashesAndCountsWhatDoesNotFit) {
  const tvi::SolveSummary s = tvi::solve(dir.path());

  EXPECT_EQ(s.asigtRows, 7u);
  EXPECT_EQ(s.slots, 10u);
  EXPECT_EQ(s.rowsWithoutCode, 1u);
  EXPECT_EQ(s.sessionsWanted, 16u);
  EXPECT_EQ(s.unplaced, 1u);
  EXPECT_EQ(s.classSessions + s.occupationSessions + s.unplaced, s.sessionsWanted);
  EXPECT_EQ(s.occupationSessions, 4u);
  EXPECT_EQ(s.skipRows, 0u);

  std::set<std::tuple<std::string, std::string, int, int>> busy;  // who, code, day, hour
  std::map<int, std::set<int>> daysOfRow;
  std::map<int, int> sessionsOfRow;
  for (const auto& row : s.rows) {
    SCOPED_TRACE(row.asig + " " + std::to_string(row.dia) + "/" + std::to_string(row.hora));
    EXPECT_GE(row.dia, 1);
    EXPECT_LE(row.dia, 5);
    EXPECT_TRUE(row.hora == 1 || row.hora == 2);
    EXPECT_EQ(row.skipKind, nullptr);
    const int h = static_cast<int>(row.hora);
    EXPECT_TRUE(busy.emplace("P", row.prof, row.dia, h).second) << "teacher twice";
    if (!row.codgrupo.empty()) {
      EXPECT_TRUE(busy.emplace("G", row.codgrupo, row.dia, h).second) << "group twice";
    }
    if (!row.aula.empty()) {
      EXPECT_TRUE(busy.emplace("R", row.aula, row.dia, h).second) << "room twice";
    }
    // A class keeps its task code, an occupation repeats its own code.
    EXPECT_EQ(row.tarea, row.codgrupo.empty() ? row.asig : std::string("*479"));
    daysOfRow[row.asigtRecNo].insert(row.dia);
    ++sessionsOfRow[row.asigtRecNo];
  }
  // Rows 1 to 5 are placed whole; row 6 has no code; row 7 misses one.
  EXPECT_EQ(sessionsOfRow, (std::map<int, int>{{1, 3}, {2, 3}, {3, 3}, {4, 2}, {5, 2}, {7, 2}}));
  // A class of three sessions that fits is spread over three days.
  EXPECT_EQ(daysOfRow[1].size(), 3u);
  EXPECT_EQ(daysOfRow[3].size(), 3u);

  // What the summary says is what is on disk.
  auto soluc = tvi::bindTable(dir.path(), TableId::SOLUC, false);
  soluc->open();
  std::size_t i = 0;
  for (soluc->first(); !soluc->eof(); soluc->next(), ++i) {
    ASSERT_LT(i, s.rows.size());
    const auto& row = s.rows[i];
    EXPECT_EQ(soluc->asString("ASIG"), row.asig);
    EXPECT_EQ(soluc->asString("TAREA"), row.tarea);
    EXPECT_EQ(soluc->asInteger("DIA"), row.dia);
    EXPECT_EQ(soluc->asFloat("HORA"), row.hora);
    EXPECT_EQ(soluc->asString("HORA"), std::to_string(static_cast<int>(row.hora)));
    EXPECT_EQ(soluc->asString("CODGRUPO"), row.codgrupo);
    EXPECT_EQ(soluc->asString("PROF"), row.prof);
    EXPECT_EQ(soluc->asString("AULA"), row.aula);
  }
  EXPECT_EQ(i, s.rows.size());
}

TEST_F(TightWeek, RowsToSkipNameNothingTheTablesKnow) {
  const tvi::SolveSummary s = tvi::solve(dir.path(), {.withSkips = true});
  std::multiset<std::string> kinds;
  std::size_t placed = 0;
  for (std::size_t i = 0; i < s.rows.size(); ++i) {
    const auto& row = s.rows[i];
    if (!row.skipKind) {
      ++placed;
      continue;
    }
    kinds.insert(row.skipKind);
    EXPECT_GT(i, 0u) << "rows to skip are spread between the placed rows";
    const std::string kind = row.skipKind;
    using namespace tvi::soluc_kind;
    if (kind == GrupoDesconocido) {
      EXPECT_TRUE(row.codgrupo != "1ESA" && row.codgrupo != "2BTA");
    } else if (kind == ContenidoDesconocido) {
      EXPECT_EQ(row.asig, "#2");  // "#1" is taken in ASIGNOMT
      EXPECT_EQ(row.tarea, "*479");
    } else if (kind == OcupacionDesconocida) {
      EXPECT_EQ(row.asig, "#2");
      EXPECT_EQ(row.tarea, row.asig);
    } else if (kind == HoraDesconocida) {
      EXPECT_EQ(row.hora, 3);
    } else if (kind == DiaCero) {
      EXPECT_EQ(row.dia, 0);
    } else if (kind == HoraCero) {
      EXPECT_EQ(row.hora, 0);
    } else if (kind == DocenteDesconocido) {
      EXPECT_TRUE(row.prof != "GLA" && row.prof != "PMR");
    }
  }
  EXPECT_EQ(placed, s.classSessions + s.occupationSessions);
  EXPECT_EQ(s.skipRows, kinds.size());
  using namespace tvi::soluc_kind;
  EXPECT_EQ(kinds, (std::multiset<std::string>{GrupoDesconocido, ContenidoDesconocido,
                                               HoraDesconocida, HoraDesconocida, DiaCero, DiaCero,
                                               HoraCero, HoraCero, DocenteDesconocido,
                                               OcupacionDesconocida}));
}

}  // namespace

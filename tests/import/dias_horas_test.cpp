// The slot table DIASHORAST and the integer reading of the hour list.

#include <climits>

#include <gtest/gtest.h>

#include "common/error.h"
#include "import/dias_horas.h"
#include "import/import_fixture.h"

using namespace importtest;
using tvi::TableId;

namespace {

using Strings = std::vector<std::string>;

TEST(ReadInteger, AcceptsWhatTheHourListMayHold) {
  const std::vector<std::pair<std::string, int>> accepted{
      {"8", 8},       {" 8", 8},         {"   12", 12},     {"08", 8},
      {"+8", 8},      {"-8", -8},        {" -8", -8},      {"$A", 10},
      {"x1", 1},      {"X1f", 31},       {"0x1F", 31},     {"-$10", -16},
      {"2147483647", INT_MAX}, {"-2147483648", INT_MIN}, {"$FFFFFFFF", -1}};
  for (const auto& [text, value] : accepted) EXPECT_EQ(tvi::readInteger(text), value) << text;
}

TEST(ReadInteger, RefusesEverythingElseWithTheConversionError) {
  for (const std::string text : {"", " ", "8 ", "8a", "1.5", "--8", "+-8", "- 8", "2147483648",
                                 "-2147483649", "$", "0x", "$G", "1,5", "\t8", "$100000000"}) {
    try {
      tvi::readInteger(text);
      ADD_FAILURE() << "read: '" << text << "'";
    } catch (const tvi::Error& e) {
      EXPECT_EQ(std::string(e.what()), "'" + text + "' no es un valor entero válido");
    }
  }
}

TEST(HourList, TheFirstTextThatDoesNotReadIsNamed) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {tvi::hourLine("1a", "08:00", "08:55"), "'1a' no es un valor entero válido"},
      {tvi::hourLine("1", "8:00", "08:55"), "'8:' no es un valor entero válido"},
      {tvi::hourLine("100", "08:00", "08:55"), "':0' no es un valor entero válido"},
      {tvi::hourLine("1é", "08:00", "08:55"), "'1é' no es un valor entero válido"},
      {"", "'' no es un valor entero válido"},
  };
  for (const auto& [line, message] : cases) {
    try {
      tvi::checkHourList({tvi::hourLine("1", "08:00", "08:55"), line});
      ADD_FAILURE() << "accepted: '" << line << "'";
    } catch (const tvi::Error& e) {
      EXPECT_EQ(std::string(e.what()), message) << line;
    }
  }
  EXPECT_NO_THROW(tvi::checkHourList({tvi::hourLine("9", "08:00", "08:55"),
                                      tvi::hourLine("10", "14:05", "15:00")}));
}

Strings hourList(const std::vector<std::string>& orders) {
  Strings lines;
  for (std::size_t i = 0; i < orders.size(); ++i) {
    const int start = 8 * 60 + static_cast<int>(i) * 55;
    char from[24], to[24];
    std::snprintf(from, sizeof from, "%02d:%02d", start / 60, start % 60);
    std::snprintf(to, sizeof to, "%02d:%02d", (start + 55) / 60, (start + 55) % 60);
    lines.push_back(tvi::hourLine(orders[i], from, to));
  }
  return lines;
}

TEST(SlotTable, SevenDaysPerHourNumberedByPlaceInTheList) {
  tvitest::TempDir dir;
  Strings orders;
  for (int i = 1; i <= 10; ++i) orders.push_back(std::to_string(i == 3 ? 4 : i));
  tvi::crearDiasHoras(dir.path(), hourList(orders), "P-Ñ1", "VALENCIÁ");
  const auto rows = readTable(dir.path(), TableId::DIASHORAST);
  ASSERT_EQ(rows.size(), 70u);
  EXPECT_EQ(rows[0], (Row{{"DIHO", "11"}, {"CODDIHO", ""}, {"DIA", "1"}, {"TEXTODIA", "Dilluns"},
                          {"HORA", "1"}, {"TEXTOHOR", "1"}, {"HORADESDE", "08:00"},
                          {"HORAHASTA", "08:55"}, {"MINUTOS", "55"}, {"SESION_ORDEN", "1"},
                          {"PLANTILLA", "P-Ñ1"}}));
  // Hour 3 holds order 4: HORA by place, TEXTOHOR and SESION_ORDEN by order.
  EXPECT_EQ(rows[2 * 7 + 2].at("DIHO"), "33");
  EXPECT_EQ(rows[2 * 7 + 2].at("HORA"), "3");
  EXPECT_EQ(rows[2 * 7 + 2].at("TEXTOHOR"), "4");
  EXPECT_EQ(rows[2 * 7 + 2].at("SESION_ORDEN"), "4");
  EXPECT_EQ(rows[9 * 7].at("DIHO"), "110");
  EXPECT_EQ(rows[9 * 7].at("HORA"), "10");
  EXPECT_EQ(rows[9 * 7 + 6].at("DIHO"), "710");
  EXPECT_EQ(rows[9 * 7 + 6].at("HORADESDE"), "16:15");
  for (const Row& r : rows) EXPECT_EQ(r.at("PLANTILLA"), "P-Ñ1");
}

TEST(SlotTable, DayNamesFollowTheLanguageText) {
  const Strings castilian{"Lunes", "Martes", "Miércoles", "Jueves", "Viernes", "Sábado", "Domingo"};
  const Strings valencian{"Dilluns", "Dimarts", "Dimecres", "Dijous", "Divendres", "Dissabte", "Diumenge"};
  for (const auto& [language, names] : std::vector<std::pair<std::string, Strings>>{
           {"CASTELLANO", castilian}, {"VALENCIÁ", valencian}, {"castellano", valencian}, {"", valencian}}) {
    tvitest::TempDir dir;
    tvi::crearDiasHoras(dir.path(), hourList({"1"}), "P1", language);
    EXPECT_EQ(column(readTable(dir.path(), TableId::DIASHORAST), "TEXTODIA"), names) << language;
  }
}

TEST(SlotTable, MinutesMayBeNegative) {
  tvitest::TempDir dir;
  tvi::crearDiasHoras(dir.path(), {tvi::hourLine("1", "09:00", "08:30")}, "P1", "CASTELLANO");
  EXPECT_EQ(readTable(dir.path(), TableId::DIASHORAST).at(0).at("MINUTOS"), "-30");
}

TEST(SlotTable, AnEmptyListGivesAnEmptyTable) {
  tvitest::TempDir dir;
  tvi::crearDiasHoras(dir.path(), hourList({"1", "2"}), "P1", "CASTELLANO");
  tvi::crearDiasHoras(dir.path(), {}, "P1", "CASTELLANO");
  auto table = tvi::bindTable(dir.path(), TableId::DIASHORAST, false);
  table->open();
  EXPECT_EQ(table->recordCount(), 0u);
  EXPECT_EQ(table->fields().size(), 11u);
}

TEST(SlotTable, ABadLineLeavesThePreviousTableWhole) {
  tvitest::TempDir dir;
  tvi::crearDiasHoras(dir.path(), hourList({"1", "2"}), "P1", "CASTELLANO");
  const std::string before = tvitest::readFile(tvi::tableFile(dir.path(), TableId::DIASHORAST));
  Strings lines = hourList({"1", "2", "3"});
  lines[2] = tvi::hourLine("3", "10:xx", "11:00");
  EXPECT_THROW(tvi::crearDiasHoras(dir.path(), lines, "P2", "CASTELLANO"), tvi::Error);
  EXPECT_EQ(tvitest::readFile(tvi::tableFile(dir.path(), TableId::DIASHORAST)), before);
}

}  // namespace

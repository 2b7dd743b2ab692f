// The table engine on tables it creates itself: values, navigation,
// editing, locate and pack.

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "tables/table.h"
#include "tables/table_helpers.h"

namespace {

using tvi::FieldDef;
using tvi::FieldType;
using tvi::Table;
using tvitest::errorOf;

const std::vector<FieldDef> kAllTypes = {
    {"TEXTO", FieldType::Character, 6, 0}, {"LOGICO", FieldType::Logical, 1, 0},
    {"ENTERO", FieldType::Integer, 4, 0},  {"REAL", FieldType::Float, 0, 0},
    {"NUM", FieldType::Numeric, 5, 0},     {"DECI", FieldType::Numeric, 8, 2},
    {"FECHA", FieldType::Date, 8, 0},
};

class TableTest : public ::testing::Test {
 protected:
  tvitest::TempDir dir;
};

// A new table T of every type, open (a Table is neither copied nor moved).
#define OPEN_TABLE(var)                             \
  tvitest::createTable(dir.path(), "T", kAllTypes); \
  Table var(dir.path(), "T", true);                 \
  var.open()

struct WriteCase {
  const char* field;
  std::function<void(Table&)> write;
  const char* text;  // asString after closing and reopening
  std::int32_t integer;
  double real;
  bool logical;
};

TEST_F(TableTest, EveryTypeSurvivesAReopenAndReadsInEveryForm) {
  const std::vector<WriteCase> cases = {
      {"TEXTO", [](Table& t) { t.setString("TEXTO", "  ab"); }, "  ab", 0, 0, false},
      {"TEXTO", [](Table& t) { t.setString("TEXTO", "42"); }, "42", 42, 42, false},
      {"TEXTO", [](Table& t) { t.setInteger("TEXTO", -17); }, "-17", -17, -17, false},
      {"TEXTO", [](Table& t) { t.setFloat("TEXTO", 2.5); }, "2.5", 0, 2.5, false},
      {"TEXTO", [](Table& t) { t.setBool("TEXTO", true); }, "T", 0, 0, true},
      {"LOGICO", [](Table& t) { t.setBool("LOGICO", true); }, "T", 0, 0, true},
      {"LOGICO", [](Table& t) { t.setBool("LOGICO", false); }, "F", 0, 0, false},
      {"LOGICO", [](Table& t) { t.setString("LOGICO", "T"); }, "T", 0, 0, true},
      {"ENTERO", [](Table& t) { t.setInteger("ENTERO", 2147483647); }, "2147483647", 2147483647,
       2147483647.0, true},
      {"ENTERO", [](Table& t) { t.setInteger("ENTERO", -2147483647); }, "-2147483647",
       -2147483647, -2147483647.0, true},
      {"ENTERO", [](Table& t) { t.setInteger("ENTERO", 0); }, "0", 0, 0, false},
      {"ENTERO", [](Table& t) { t.setString("ENTERO", " 12 "); }, "12", 12, 12, true},
      {"ENTERO", [](Table& t) { t.setFloat("ENTERO", 3.0); }, "3", 3, 3, true},
      {"REAL", [](Table& t) { t.setFloat("REAL", 2.5); }, "2.5", 0, 2.5, true},
      {"REAL", [](Table& t) { t.setFloat("REAL", -0.125); }, "-0.125", 0, -0.125, true},
      {"REAL", [](Table& t) { t.setInteger("REAL", 3); }, "3", 3, 3, true},
      {"REAL", [](Table& t) { t.setFloat("REAL", 0); }, "0", 0, 0, false},
      {"REAL", [](Table& t) { t.setString("REAL", "10.75"); }, "10.75", 0, 10.75, true},
      {"NUM", [](Table& t) { t.setInteger("NUM", 3); }, "3", 3, 3, true},
      {"NUM", [](Table& t) { t.setInteger("NUM", -999); }, "-999", -999, -999, true},
      {"DECI", [](Table& t) { t.setFloat("DECI", 2.5); }, "2.5", 0, 2.5, true},
      {"DECI", [](Table& t) { t.setFloat("DECI", 4); }, "4", 4, 4, true},
      {"FECHA", [](Table& t) { t.setString("FECHA", "20240131"); }, "20240131", 20240131,
       20240131, false},
  };
  {
    OPEN_TABLE(t);
    for (const auto& c : cases) {
      t.append();
      c.write(t);
      t.post();
    }
    t.close();
  }
  Table t(dir.path(), "T", true);
  t.open();
  ASSERT_EQ(t.recordCount(), cases.size());
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " = " + c.text);
    ASSERT_FALSE(t.eof());
    EXPECT_EQ(t.asString(c.field), c.text);
    if (c.integer != 0) {
      EXPECT_EQ(t.asInteger(c.field), c.integer);
    }
    if (c.real != 0) {
      EXPECT_DOUBLE_EQ(t.asFloat(c.field), c.real);
    }
    EXPECT_EQ(t.asBool(c.field), c.logical);
    t.next();
  }
  EXPECT_TRUE(t.eof());
}

TEST_F(TableTest, FieldsNeverWrittenReadEmptyOrZero) {
  OPEN_TABLE(t);
  t.append();
  t.post();
  for (const FieldDef& f : kAllTypes) {
    SCOPED_TRACE(f.name);
    EXPECT_EQ(t.asString(f.name), "");
    EXPECT_EQ(t.asInteger(f.name), 0);
    EXPECT_EQ(t.asFloat(f.name), 0.0);
    EXPECT_FALSE(t.asBool(f.name));
  }
}

TEST_F(TableTest, TextIsCutToTheWidthAndLosesOnlyTrailingBlanks) {
  OPEN_TABLE(t);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"ABCDEFGHIJ", "ABCDEF"}, {" AB  ", " AB"}, {"\xE0\xE8\xE9\xED\xF1\xE7\xFC", "\xE0\xE8\xE9\xED\xF1\xE7"},
      {"", ""}, {"      ", ""}, {"A B", "A B"},
  };
  for (const auto& [written, read] : cases) {
    t.append();
    t.setString("TEXTO", written);
    t.post();
    EXPECT_EQ(t.asString("TEXTO"), read) << written;
  }
}

TEST_F(TableTest, ConversionErrorsUseTheSystemsTexts) {
  OPEN_TABLE(t);
  t.append();
  t.setString("TEXTO", "abc");
  t.setFloat("DECI", 2.5);
  t.post();
  EXPECT_EQ(errorOf([&] { t.asInteger("TEXTO"); }), "'abc' no es un valor entero válido");
  EXPECT_EQ(errorOf([&] { t.asFloat("TEXTO"); }), "'abc' no es un valor en coma flotante válido");
  EXPECT_EQ(errorOf([&] { t.asInteger("DECI"); }), "'2.5' no es un valor entero válido");
  t.edit();
  EXPECT_EQ(errorOf([&] { t.setString("ENTERO", "7x"); }), "'7x' no es un valor entero válido");
  EXPECT_EQ(errorOf([&] { t.setString("REAL", "2,5"); }),
            "'2,5' no es un valor en coma flotante válido");
  // -2147483648 has no level-7 form (its bytes are those of an empty field).
  EXPECT_NE(errorOf([&] { t.setInteger("ENTERO", -2147483647 - 1); }), "");
  EXPECT_NE(errorOf([&] { t.setInteger("NUM", 123456); }).find("no cabe en el campo NUM"),
            std::string::npos);
}

TEST_F(TableTest, AFieldTheTableLacksIsNamedWithTheTable) {
  OPEN_TABLE(t);
  std::string message = errorOf([&] { t.asString("NOEXISTE"); });
  EXPECT_NE(message.find("NOEXISTE"), std::string::npos) << message;
  EXPECT_NE(message.find("La tabla T ("), std::string::npos) << message;
  EXPECT_NE(errorOf([&] { t.locate("TEXTO;NADA", {"a", "b"}); }).find("NADA"), std::string::npos);
  // Field names are found whatever their case, as dBase engines do.
  EXPECT_EQ(errorOf([&] { t.asString("texto"); }), "");
}

TEST_F(TableTest, WritingOutsideAppendOrEditFails) {
  OPEN_TABLE(t);
  EXPECT_NE(errorOf([&] { t.setString("TEXTO", "x"); }), "");
  EXPECT_NE(errorOf([&] { t.edit(); }), "");  // no record yet
  EXPECT_NE(errorOf([&] { t.deleteRecord(); }), "");
}

// A table of five records "A".."E" in TEXTO, NUM = 1..5.
class FilledTable : public TableTest {
 protected:
  void SetUp() override {
    tvitest::createTable(dir.path(), "T", kAllTypes);
    table = std::make_unique<Table>(dir.path(), "T", true);
    table->open();
    for (int i = 0; i < 5; ++i) {
      table->append();
      table->setString("TEXTO", std::string(1, static_cast<char>('A' + i)));
      table->setInteger("NUM", i + 1);
      table->post();
    }
    table->first();
  }
  std::string visit() {
    std::string seen;
    for (table->first(); !table->eof(); table->next()) seen += table->asString("TEXTO");
    return seen;
  }
  bool go(int recNo) {
    for (table->first(); !table->eof(); table->next())
      if (table->recNo() == recNo) return true;
    return false;
  }
  std::unique_ptr<Table> table;
};

TEST_F(FilledTable, DeleteMakesTheFollowingRecordCurrentAndRecordNumbersStayUntilPack) {
  ASSERT_TRUE(go(2));
  table->deleteRecord();
  EXPECT_EQ(table->asString("TEXTO"), "C");
  EXPECT_EQ(table->recNo(), 3);
  EXPECT_FALSE(table->eof());
  EXPECT_EQ(visit(), "ACDE");
  EXPECT_EQ(table->recordCount(), 4u);

  ASSERT_TRUE(table->locate("TEXTO", "E"));
  EXPECT_EQ(table->recNo(), 5);  // unchanged by the deletion
  table->deleteRecord();         // the last one: nothing follows
  EXPECT_TRUE(table->eof());

  table->append();
  table->setString("TEXTO", "F");
  table->post();
  EXPECT_EQ(table->recNo(), 6);
  EXPECT_EQ(visit(), "ACDF");

  ASSERT_TRUE(table->pack());
  EXPECT_EQ(visit(), "ACDF");
  ASSERT_TRUE(table->locate("TEXTO", "F"));
  EXPECT_EQ(table->recNo(), 4);
  table->close();
  table->open();
  EXPECT_EQ(visit(), "ACDF");
  EXPECT_EQ(table->recordCount(), 4u);
}

TEST_F(FilledTable, DeletingEveryRecordInALoopEndsTheLoop) {
  int visited = 0;
  for (table->first(); !table->eof() && visited < 10; ++visited) table->deleteRecord();
  EXPECT_EQ(visited, 5);
  EXPECT_EQ(visit(), "");
  EXPECT_TRUE(table->pack());
  EXPECT_EQ(table->recordCount(), 0u);
}

TEST_F(FilledTable, EditChangesTheRecordInPlace) {
  ASSERT_TRUE(table->locate("TEXTO", "C"));
  table->edit();
  table->setString("TEXTO", "Z");
  table->post();
  EXPECT_EQ(table->recNo(), 3);
  EXPECT_EQ(visit(), "ABZDE");
  EXPECT_FALSE(table->locate("TEXTO", "C"));
  EXPECT_TRUE(table->locate("TEXTO", "Z"));
}

TEST_F(FilledTable, MovingOrClosingPostsAPendingChange) {
  ASSERT_TRUE(go(1));
  table->edit();
  table->setString("TEXTO", "Y");
  table->next();  // posts
  table->append();
  table->setString("TEXTO", "W");
  table->close();  // posts
  table->open();
  EXPECT_EQ(visit(), "YBCDEW");
}

TEST_F(FilledTable, NextPastTheEndKeepsTheLastRecordCurrent) {
  ASSERT_TRUE(go(5));
  table->next();
  EXPECT_TRUE(table->eof());
  EXPECT_EQ(table->asString("TEXTO"), "E");
}

struct LocateCase {
  const char* what;
  const char* fields;
  std::vector<std::string> values;
  int recNo;  // 0: not found
};

TEST_F(TableTest, LocateMatchesWholeStoredValues) {
  tvitest::createTable(dir.path(), "T",
                       {{"CLAVE", FieldType::Character, 10, 0},
                        {"CURSO", FieldType::Character, 3, 0},
                        {"ORDEN", FieldType::Integer, 4, 0}});
  Table t(dir.path(), "T", true);
  t.open();
  const std::vector<std::tuple<std::string, std::string, std::string>> rows = {
      {"ABCDEFGHIJK", "1", "1"},  // an 11-character code, stored as its first 10
      {"abc", "2", "2"},
      {"", "3", ""},
      {"ABC", "4", "4"},
      {"ABC", "5", "5"},
      {"BORRADO", "6", "6"},
      {"ABC", "", "7"},
  };
  for (const auto& [clave, curso, orden] : rows) {
    t.append();
    t.setString("CLAVE", clave);
    t.setString("CURSO", curso);
    t.setString("ORDEN", orden);
    t.post();
  }
  ASSERT_TRUE(t.locate("CLAVE", "BORRADO"));
  t.deleteRecord();

  const std::vector<LocateCase> cases = {
      {"a value cut as its field stores it", "CLAVE", {"ABCDEFGHIJK"}, 1},
      {"the stored text itself", "CLAVE", {"ABCDEFGHIJ"}, 1},
      {"another value sharing the cut prefix", "CLAVE", {"ABCDEFGHIJXYZ"}, 1},
      {"case-sensitive", "CLAVE", {"abc"}, 2},
      {"first match in physical order", "CLAVE", {"ABC"}, 4},
      {"whole values only", "CLAVE", {"AB"}, 0},
      {"an empty value matches an empty field", "CLAVE", {""}, 3},
      {"trailing blanks are padding", "CLAVE", {"ABC  "}, 4},
      {"a deleted record is never found", "CLAVE", {"BORRADO"}, 0},
      {"every field must match", "CLAVE;CURSO", {"ABC", "5"}, 5},
      {"names may carry blanks around them", "CLAVE ; CURSO", {"ABC", "5"}, 5},
      {"an empty value among several", "CLAVE;CURSO", {"ABC", ""}, 7},
      {"no record matches both", "CLAVE;CURSO", {"abc", "1"}, 0},
      {"an integer field compares its number", "ORDEN", {"5"}, 5},
      {"an integer field written as text", "ORDEN", {" 05"}, 5},
      {"an empty integer field", "ORDEN", {""}, 3},
      {"a value an integer field cannot hold", "ORDEN", {"x"}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(t.locate("CLAVE", "abc"));  // a known place to start from
    bool found = t.locate(c.fields, c.values);
    EXPECT_EQ(found, c.recNo != 0);
    EXPECT_EQ(t.recNo(), c.recNo != 0 ? c.recNo : 2);  // unchanged when not found
  }
  EXPECT_NE(errorOf([&] { t.locate("CLAVE;CURSO", {"ABC"}); }), "");
}

TEST_F(TableTest, ClosedTablesRefuseWorkAndMayBeOpenedAgain) {
  OPEN_TABLE(t);
  t.close();
  EXPECT_FALSE(t.isOpen());
  EXPECT_TRUE(t.eof());
  EXPECT_NE(errorOf([&] { t.append(); }).find("no está abierta"), std::string::npos);
  t.open();
  EXPECT_TRUE(t.isOpen());
  EXPECT_TRUE(t.eof());  // empty
}

TEST_F(TableTest, CreateReplacesAnExistingTable) {
  {
    OPEN_TABLE(t);
    t.append();
    t.post();
  }
  tvitest::createTable(dir.path(), "T", {{"OTRO", FieldType::Character, 3, 0}});
  Table t(dir.path(), "T", true);
  t.open();
  EXPECT_EQ(t.recordCount(), 0u);
  ASSERT_EQ(t.fields().size(), 1u);
  EXPECT_EQ(t.fields()[0].name, "OTRO");
}

TEST_F(TableTest, DefinitionsThatCannotBeStoredAreRefused) {
  const std::vector<std::vector<FieldDef>> bad = {
      {},
      {{"NOMBRE_DE_CAMPO_DE_MAS_DE_31_CAR", FieldType::Character, 4, 0}},
      {{"", FieldType::Character, 4, 0}},
      {{"A", FieldType::Character, 0, 0}},
      {{"A", FieldType::Character, 255, 0}},
      {{"A", FieldType::Character, 4, 0}, {"a", FieldType::Logical, 1, 0}},
      {{"A", FieldType::Memo, 10, 0}},
  };
  for (const auto& fields : bad) {
    EXPECT_NE(errorOf([&] { tvitest::createTable(dir.path(), "MALA", fields); })
                  .find("No se puede crear la tabla MALA"),
              std::string::npos);
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "MALA.DBF"));
  // 31 characters are fine.
  tvitest::createTable(dir.path(), "BUENA", {{std::string(31, 'N'), FieldType::Character, 4, 0}});
}

}  // namespace

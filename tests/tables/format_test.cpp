// The bytes of the files the engine writes, the layouts of other programs
// it reads, and damaged files.

#include <gtest/gtest.h>

#include <ctime>
#include <map>
#include <random>

#include "support/test_support.h"
#include "tables/table.h"
#include "tables/table_helpers.h"

namespace {

using tvi::FieldDef;
using tvi::FieldType;
using tvi::Table;
using tvitest::be32;
using tvitest::be64;
using tvitest::bitsOf;
using tvitest::buildDbf;
using tvitest::errorOf;
using tvitest::le32;
using tvitest::le64;
using tvitest::RawField;

unsigned byteAt(const std::string& s, std::size_t i) { return static_cast<unsigned char>(s[i]); }
unsigned le16At(const std::string& s, std::size_t i) { return byteAt(s, i) | byteAt(s, i + 1) << 8; }

// Our choice of stored forms, the ones level-7 writers such as Free Pascal's
// TDbf use: C(n) blank-padded, L(1) "T"/"F" or blank, I(4) big-endian with
// the sign bit flipped (zero bytes when empty), floating point N(18,8).
TEST(WrittenFormat, IsALevel7TableWithTheStoredFormsOfOtherLevel7Writers) {
  tvitest::TempDir dir;
  tvitest::createTable(dir.path(), "FORMA",
                       {{"NOMBRE_DE_DOCE", FieldType::Character, 5, 0},
                        {"ESTAREA", FieldType::Logical, 1, 0},
                        {"SESION_ORDEN", FieldType::Integer, 4, 0},
                        {"HORAS", FieldType::Float, 0, 0}});
  {
    Table t(dir.path(), "FORMA", true);
    t.open();
    t.append();
    t.setString("NOMBRE_DE_DOCE", "ab");
    t.setBool("ESTAREA", true);
    t.setInteger("SESION_ORDEN", 1);
    t.setFloat("HORAS", 2.5);
    t.post();
    t.append();
    t.setBool("ESTAREA", false);
    t.setInteger("SESION_ORDEN", -2);
    t.post();
    t.append();  // nothing written
    t.post();
  }
  const std::string f = tvitest::readFile(dir / "FORMA.DBF");
  const std::size_t header = 68 + 4 * 48 + 1, record = 1 + 5 + 1 + 4 + 18;

  std::time_t now = std::time(nullptr);
  std::tm local = *std::localtime(&now);
  EXPECT_EQ(byteAt(f, 0), 0x04u);
  EXPECT_EQ(byteAt(f, 1), static_cast<unsigned>(local.tm_year));
  EXPECT_EQ(byteAt(f, 2), static_cast<unsigned>(local.tm_mon + 1));
  EXPECT_EQ(byteAt(f, 3), static_cast<unsigned>(local.tm_mday));
  EXPECT_EQ(f.substr(4, 4), le32(3));
  EXPECT_EQ(le16At(f, 8), header);
  EXPECT_EQ(le16At(f, 10), record);
  EXPECT_EQ(byteAt(f, 28), 0u) << "no production index";
  EXPECT_EQ(f.substr(32, 32), std::string("DBWINWE0") + std::string(24, '\0'));
  EXPECT_EQ(f.substr(68, 32), "NOMBRE_DE_DOCE" + std::string(18, '\0'));
  const std::vector<std::tuple<char, unsigned, unsigned>> stored = {
      {'C', 5, 0}, {'L', 1, 0}, {'I', 4, 0}, {'N', 18, 8}};
  for (std::size_t i = 0; i < stored.size(); ++i) {
    EXPECT_EQ(f[68 + 48 * i + 32], std::get<0>(stored[i]));
    EXPECT_EQ(byteAt(f, 68 + 48 * i + 33), std::get<1>(stored[i]));
    EXPECT_EQ(byteAt(f, 68 + 48 * i + 34), std::get<2>(stored[i]));
  }
  EXPECT_EQ(f.substr(68 + 3 * 48 + 35), std::string(13, '\0') + '\x0D' + f.substr(header));
  ASSERT_EQ(f.size(), header + 3 * record + 1);
  EXPECT_EQ(f.back(), '\x1A');
  EXPECT_EQ(f.substr(header, record), std::string(" ab   T") + be32(0x80000001u) +
                                          "        2.50000000");
  EXPECT_EQ(f.substr(header + record, record),
            std::string("      F") + be32(0x7FFFFFFEu) + std::string(18, ' '));
  EXPECT_EQ(f.substr(header + 2 * record, record),
            std::string(7, ' ') + std::string(4, '\0') + std::string(18, ' '));
  EXPECT_FALSE(std::filesystem::exists(dir / "FORMA.MDX"));

  // Read back, the floating-point field shows how it is stored.
  Table t(dir.path(), "FORMA", true);
  t.open();
  EXPECT_EQ(t.fields()[3].type, FieldType::Numeric);
  EXPECT_EQ(t.fields()[3].width, 18);
  EXPECT_EQ(t.fields()[3].decimals, 8);
}

// --- Layouts of other programs ---------------------------------------------

struct ForeignCase {
  const char* what;
  std::string bytes;
  std::size_t records;                       // not deleted
  std::map<std::string, std::string> first;  // asString of the first record
  std::vector<std::pair<std::string, FieldType>> types = {};
};

std::vector<ForeignCase> foreignCases() {
  const std::uint64_t stamp =
      bitsOf((738916.0 * 86400000.0) + (12 * 3600 + 34 * 60 + 56) * 1000.0);
  auto sortable = [](double d) {
    std::uint64_t u = bitsOf(d);
    return (u >> 63) ? ~u : (u | (std::uint64_t(1) << 63));
  };
  return {
      {"dBase III (0x03), ten-character names, a deleted record",
       buildDbf(0x03,
                {{"NOMBRE_LAR", 'C', 5}, {"HORA", 'N', 5, 1}, {"FIJA", 'L', 1}, {"FECHA", 'D', 8}},
                {"*BORRA  9.0F20000101", " ABC    2.5T20240131", " \xF1" "        3?        "}),
       2,
       {{"NOMBRE_LAR", "ABC"}, {"HORA", "2.5"}, {"FIJA", "T"}, {"FECHA", "20240131"}},
       {{"HORA", FieldType::Numeric}, {"FECHA", FieldType::Date}}},
      {"dBase III with memo (0x83): memo contents are not read",
       buildDbf(0x83, {{"ASIG", 'C', 4}, {"OBS", 'M', 10}}, {" MAT          1"}), 1,
       {{"ASIG", "MAT"}, {"OBS", ""}}},
      {"dBase IV with memo (0x8B), F field",
       buildDbf(0x8B, {{"ASIG", 'C', 4}, {"PESO", 'F', 8, 3}}, {" VAL    1.250"}), 1,
       {{"ASIG", "VAL"}, {"PESO", "1.25"}}},
      {"FoxPro (0xF5): a character field wider than 255",
       buildDbf(0xF5, {{"LARGO", 'C', 44, 1}, {"DIA", 'N', 2}},
                {" " + std::string(299, 'x') + "y" + " 4"}),
       1, {{"LARGO", std::string(299, 'x') + "y"}, {"DIA", "4"}}},
      {"Visual FoxPro (0x30): little-endian I, double B, datetime T, backlink after the fields",
       buildDbf(0x30, {{"DIA", 'I', 4}, {"HORA", 'B', 8}, {"MOMENTO", 'T', 8}},
                {" " + le32(static_cast<std::uint32_t>(-5)) + le64(bitsOf(2.25)) + le32(2460341) +
                 le32((8 * 3600 + 30 * 60) * 1000)},
                32, 263),
       1, {{"DIA", "-5"}, {"HORA", "2.25"}, {"MOMENTO", "2024-01-31 08:30:00"}}},
      {"dBase 7 (0x04): I, O, @ and + fields, a 25-character name",
       buildDbf(0x04,
                {{"NOMBRE_MUY_LARGO_DEL_CAMPO", 'C', 3}, {"DIA", 'I', 4}, {"HORA", 'O', 8},
                 {"CUANDO", '@', 8}, {"CONTADOR", '+', 4}},
                {" abc" + be32(0x80000000u - 3) + be64(sortable(-1.5)) + be64(stamp) +
                 be32(0x80000007u)},
                48),
       1,
       {{"NOMBRE_MUY_LARGO_DEL_CAMPO", "abc"}, {"DIA", "-3"}, {"HORA", "-1.5"},
        {"CUANDO", "2024-01-31 12:34:56"}, {"CONTADOR", "7"}},
       {{"HORA", FieldType::Float}, {"DIA", FieldType::Integer}}},
      {"dBase 7 with memo (0x8C), empty binary fields",
       buildDbf(0x8C, {{"DIA", 'I', 4}, {"HORA", 'O', 8}}, {" " + std::string(12, '\0')}, 48),
       1, {{"DIA", ""}, {"HORA", ""}}},
      {"records longer than their fields, no end marker",
       buildDbf(0x03, {{"A", 'C', 2}}, {" xy???", " zz???"}, 32, 0, false).replace(10, 2, "\x06\x00", 2),
       2, {{"A", "xy"}}},
      {"a header longer than its field descriptors",
       [] {
         std::string b = buildDbf(0x03, {{"A", 'C', 2}}, {}, 32, 40);
         return b.substr(0, b.size() - 1) + " ok\x1A";
       }().replace(4, 4, le32(1)),
       1, {{"A", "ok"}}},
  };
}

TEST(ForeignLayouts, AreReadAsTheirHeadersDescribe) {
  for (const auto& c : foreignCases()) {
    SCOPED_TRACE(c.what);
    tvitest::TempDir dir;
    tvitest::writeFile(dir / "SOLUC.DBF", c.bytes);
    Table t(dir.path(), "SOLUC", false);
    ASSERT_EQ(errorOf([&] { t.open(); }), "");
    EXPECT_EQ(t.recordCount(), c.records);
    for (const auto& [field, value] : c.first) EXPECT_EQ(t.asString(field), value) << field;
    for (const auto& [field, type] : c.types) {
      auto it = std::find_if(t.fields().begin(), t.fields().end(),
                             [&](const FieldDef& d) { return d.name == field; });
      ASSERT_NE(it, t.fields().end());
      EXPECT_EQ(it->type, type) << field;
    }
    std::size_t seen = 0;
    for (t.first(); !t.eof(); t.next()) ++seen;
    EXPECT_EQ(seen, c.records);
  }
}

TEST(ForeignLayouts, NumbersOfOtherTypesReadAsNumbers) {
  tvitest::TempDir dir;
  tvitest::writeFile(dir / "SOLUC.DBF",
                     buildDbf(0x30, {{"DIA", 'I', 4}, {"HORA", 'B', 8}, {"TXT", 'N', 6, 2}},
                              {" " + le32(6) + le64(bitsOf(3.0)) + "  2.00"}, 32, 263));
  Table t(dir.path(), "SOLUC", false);
  t.open();
  EXPECT_EQ(t.asInteger("DIA"), 6);
  EXPECT_EQ(t.asFloat("HORA"), 3.0);
  EXPECT_EQ(t.asString("HORA"), "3");
  EXPECT_EQ(t.asString("TXT"), "2");
  EXPECT_EQ(t.asInteger("TXT"), 2);
}

TEST(ForeignLayouts, AppendingToAnotherProgramsTableKeepsItsLayout) {
  tvitest::TempDir dir;
  tvitest::writeFile(dir / "SOLUC.DBF",
                     buildDbf(0x30, {{"ASIG", 'C', 4}, {"DIA", 'I', 4}}, {" MAT " + le32(2)}, 32, 263));
  {
    Table t(dir.path(), "SOLUC", true);
    t.open();
    t.append();
    t.setString("ASIG", "VAL");
    t.setInteger("DIA", -4);
    t.post();
  }
  const std::string f = tvitest::readFile(dir / "SOLUC.DBF");
  EXPECT_EQ(f.substr(f.size() - 10), std::string(" VAL ") + le32(static_cast<std::uint32_t>(-4)) + '\x1A');
  Table t(dir.path(), "SOLUC", true);
  t.open();
  EXPECT_EQ(t.recordCount(), 2u);
}

// --- Damaged files -----------------------------------------------------------

struct DamageCase {
  const char* what;
  std::function<std::string(std::string)> damage;  // from a sound file
  const char* reason;                              // part of the message
};

TEST(DamagedFiles, GiveAnErrorNamingTheFile) {
  const std::string sound = buildDbf(0x04, {{"ASIG", 'C', 4}, {"DIA", 'I', 4}},
                                     {" MAT " + be32(0x80000001u), " VAL " + be32(0x80000002u)}, 48);
  auto set16 = [](std::string s, std::size_t at, unsigned v) {
    return s.replace(at, 2, {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)});
  };
  auto set8 = [](std::string s, std::size_t at, char v) { return s.replace(at, 1, 1, v); };
  const std::vector<DamageCase> cases = {
      {"empty", [](std::string) { return std::string(); }, "vacío"},
      {"shorter than a header", [](std::string s) { return s.substr(0, 20); }, "menos que una cabecera"},
      {"unknown version", [&](std::string s) { return set8(s, 0, 0x00); }, "versión"},
      {"header past the end", [&](std::string s) { return set16(s, 8, 5000); }, "la cabecera declara 5000"},
      {"header too short", [&](std::string s) { return set16(s, 8, 40); }, "demasiado corta"},
      {"descriptor cut by the header length",
       [&](std::string s) { return set16(s, 8, 68 + 48 + 20); }, "no termina dentro de la cabecera"},
      {"no fields", [&](std::string s) { return set8(s, 68, 0x0D); }, "ningún campo"},
      {"field without a name", [&](std::string s) { return set8(s, 68, '\0'); }, "no tiene nombre"},
      {"field of length 0", [&](std::string s) { return set8(s, 68 + 33, 0); }, "longitud 0"},
      {"integer field of 3 bytes", [&](std::string s) { return set8(s, 68 + 48 + 33, 3); }, "debería medir 4"},
      {"fields longer than the record", [&](std::string s) { return set16(s, 10, 6); }, "ocupan 9 bytes"},
      {"count past the end", [](std::string s) { return s.replace(4, 4, le32(1000)); }, "anuncia 1000 registros"},
      {"huge count", [](std::string s) { return s.replace(4, 4, le32(0xFFFFFFFFu)); }, "anuncia 4294967295"},
      {"truncated last record", [](std::string s) { return s.substr(0, s.size() - 4); }, "truncado"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    tvitest::TempDir dir;
    tvitest::writeFile(dir / "SOLUC.DBF", c.damage(sound));
    Table t(dir.path(), "SOLUC", true);
    std::string message = errorOf([&] { t.open(); });
    EXPECT_EQ(message.rfind("La tabla SOLUC (" + (dir / "SOLUC.DBF").string() + ") está dañada: ", 0), 0u)
        << message;
    EXPECT_NE(message.find(c.reason), std::string::npos) << message;
    EXPECT_FALSE(t.isOpen());
  }
}

// Whatever the bytes, opening gives a table or an Error, and reading every
// field of every record stays inside the file (run under AddressSanitizer
// this catches any read past the end).
TEST(DamagedFiles, AnyTruncationOrCorruptionFailsCleanly) {
  const std::string sound =
      buildDbf(0x04, {{"ASIG", 'C', 4}, {"DIA", 'I', 4}, {"HORA", 'O', 8}, {"CUANDO", '@', 8}},
               {" MAT " + be32(0x80000001u) + std::string(16, '\x42'), "*VAL " + std::string(20, '\xFF')},
               48);
  const std::string fox = buildDbf(0x30, {{"ASIG", 'C', 4, 1}, {"DIA", 'I', 4}, {"T", 'T', 8}},
                                   {" " + std::string(260, 'a') + le32(1) + le64(123)}, 32, 263);
  std::mt19937 random(20240131);
  tvitest::TempDir dir;
  int opened = 0, refused = 0;
  auto attempt = [&](const std::string& bytes) {
    std::filesystem::remove(dir / "X.DBF");  // a rewrite in place is slow on ext4
    tvitest::writeFile(dir / "X.DBF", bytes);
    Table t(dir.path(), "X", true);
    try {
      t.open();
    } catch (const tvi::Error&) {
      ++refused;
      return;
    }
    ++opened;
    for (t.first(); !t.eof(); t.next())
      for (const auto& f : t.fields()) {
        (void)t.asString(f.name);
        try {
          (void)t.asFloat(f.name);
        } catch (const tvi::Error&) {
        }
      }
  };
  for (const std::string& base : {sound, fox}) {
    for (std::size_t n = 0; n < base.size(); ++n) attempt(base.substr(0, n));
    for (int i = 0; i < 400; ++i) {
      std::string b = base;
      for (int k = 0; k < 3; ++k) b[random() % std::min<std::size_t>(b.size(), 120)] = static_cast<char>(random());
      attempt(b);
    }
  }
  EXPECT_GT(opened, 0);
  EXPECT_GT(refused, 0);
}

}  // namespace

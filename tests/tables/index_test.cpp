// Locate goes through indexes kept across appends, edits, deletions and
// packs; its answers must be those of a scan from the first record. A
// model of the table (a plain list of rows) gives the scan's answers.

#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "support/test_support.h"
#include "tables/table.h"
#include "tables/table_helpers.h"

namespace {

using tvi::FieldType;
using tvi::Table;

struct Row {
  std::string a, b;  // as stored: cut to 3 and 2, trailing blanks gone
  std::optional<int> n;
  bool deleted = false;
};

std::string stored(const std::string& v, std::size_t width) {
  std::string s = v.substr(0, width);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

TEST(IndexedLocate, AnswersAsAScanFromTheFirstRecordWould) {
  tvitest::TempDir dir;
  tvitest::createTable(dir.path(), "T",
                       {{"A", FieldType::Character, 3, 0},
                        {"B", FieldType::Character, 2, 0},
                        {"N", FieldType::Integer, 4, 0}});
  Table t(dir.path(), "T", true);
  t.open();
  std::vector<Row> model;
  std::mt19937 random(7);
  const std::vector<std::string> texts = {"", "a", "b", "ab", "abc", "abcd", "abx", "A", "b "};
  auto text = [&] { return texts[random() % texts.size()]; };
  auto number = [&]() -> std::optional<int> {
    int k = static_cast<int>(random() % 5);
    return k == 4 ? std::nullopt : std::optional<int>(k);
  };
  auto write = [&](Row& row) {
    std::string a = text(), b = text();
    std::optional<int> n = number();
    t.setString("A", a);
    t.setString("B", b);
    if (n)
      t.setInteger("N", *n);
    else
      t.setString("N", "");
    row.a = stored(a, 3);
    row.b = stored(b, 2);
    row.n = n;
  };
  // The first live row of the model matching, or -1.
  auto scan = [&](auto matches) {
    for (std::size_t i = 0; i < model.size(); ++i)
      if (!model[i].deleted && matches(model[i])) return static_cast<int>(i);
    return -1;
  };

  int located = 0, missed = 0;
  for (int op = 0; op < 4000; ++op) {
    unsigned kind = random() % 100;
    if (kind < 30 || model.empty()) {
      t.append();
      Row row;
      write(row);
      t.post();
      model.push_back(row);
    } else if (kind < 80) {
      std::string a = text(), b = text();
      std::optional<int> n = number();
      std::string nText = n ? std::to_string(*n) : "";
      int expected = -1;
      bool found = false;
      switch (kind % 3) {
        case 0:
          found = t.locate("A", a);
          expected = scan([&](const Row& r) { return r.a == stored(a, 3); });
          break;
        case 1:
          found = t.locate("A;B", {a, b});
          expected = scan([&](const Row& r) { return r.a == stored(a, 3) && r.b == stored(b, 2); });
          break;
        default:
          found = t.locate("B;N", {b, nText});
          expected = scan([&](const Row& r) { return r.b == stored(b, 2) && r.n == n; });
      }
      ASSERT_EQ(found, expected >= 0) << "operation " << op;
      if (!found) {
        ++missed;
        continue;
      }
      ++located;
      ASSERT_EQ(t.recNo(), expected + 1) << "operation " << op;
      // Change or delete what was found now and then.
      if (kind % 4 == 0) {
        t.edit();
        write(model[static_cast<std::size_t>(expected)]);
        t.post();
      } else if (kind % 4 == 1) {
        t.deleteRecord();
        model[static_cast<std::size_t>(expected)].deleted = true;
      }
    } else if (kind < 82) {
      ASSERT_TRUE(t.pack());
      std::erase_if(model, [](const Row& r) { return r.deleted; });
    } else if (kind < 84) {
      t.close();  // the indexes are built anew after a reopen
      t.open();
    }
  }
  EXPECT_GT(located, 500);
  EXPECT_GT(missed, 30);
  // And the table holds what the model holds.
  std::size_t i = 0;
  for (t.first(); !t.eof(); t.next(), ++i) {
    while (model[i].deleted) ++i;
    EXPECT_EQ(t.asString("A"), model[i].a);
    EXPECT_EQ(t.asString("B"), model[i].b);
    EXPECT_EQ(t.asString("N"), model[i].n ? std::to_string(*model[i].n) : "");
  }
}

}  // namespace

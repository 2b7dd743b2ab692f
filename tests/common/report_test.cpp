#include "common/report.h"

#include <gtest/gtest.h>

namespace tvi {
namespace {

TEST(Report, WritesCountsAndItemsInOrderAsJson) {
  Report report;
  report.setCount("ASIGNOMT", 3);
  report.setCount("PROFT", 7);
  report.setCount("ASIGNOMT", 4);  // replaced in place
  report.add("sesion_sin_clase", "Sesión de 1ESO-A sin clase");
  EXPECT_EQ(report.toJson("importar"),
            "{\n"
            "  \"run\": \"importar\",\n"
            "  \"counts\": {\n"
            "    \"ASIGNOMT\": 4,\n"
            "    \"PROFT\": 7\n"
            "  },\n"
            "  \"passed_over\": [\n"
            "    {\"kind\": \"sesion_sin_clase\", \"detail\": \"Sesión de 1ESO-A sin clase\"}\n"
            "  ]\n"
            "}\n");
  EXPECT_EQ(report.lines(), std::vector<std::string>{"Sesión de 1ESO-A sin clase"});
}

TEST(Report, EscapesQuotesBackslashesAndControlCharacters) {
  Report report;
  report.add("k", "a\"b\\c\nd\te\x01" "f\x7F" "€");
  const std::string json = report.toJson("r\"un");
  EXPECT_NE(json.find(R"("run": "r\"un")"), std::string::npos);
  EXPECT_NE(json.find(R"("detail": "a\"b\\c\nd\te\u0001f)" "\x7F" "€\"}"), std::string::npos) << json;
}

TEST(Report, MalformedUtf8BecomesTheReplacementCharacter) {
  Report report;
  report.add("k", "Ingl\xE9s");  // Latin-1 byte in a UTF-8 text
  EXPECT_NE(report.toJson("r").find("Ingl\\ufffds"), std::string::npos);
}

TEST(Report, EmptyReportAndClear) {
  Report report;
  report.setCount("x", 1);
  report.add("a", "b");
  report.clear();
  EXPECT_EQ(report.toJson("r"), "{\n  \"run\": \"r\",\n  \"counts\": {},\n  \"passed_over\": []\n}\n");
  EXPECT_TRUE(report.lines().empty());
}

}  // namespace
}  // namespace tvi

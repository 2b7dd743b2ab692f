#include "app/command_line.h"

#include <gtest/gtest.h>

#include "common/error.h"

namespace tvi {
namespace {

TEST(CommandLine, OnlyExactlyTwoParametersAskForHostMode) {
  const std::vector<std::vector<std::string>> standAlone = {
      {}, {"importar"}, {"importar", "1A2B", "x"}, {"a", "b", "c", "d"}};
  for (const auto& params : standAlone) {
    const CommandLine cl = parseCommandLine(params);
    EXPECT_FALSE(cl.host.has_value()) << params.size();
    EXPECT_EQ(cl.error, "");
  }
}

TEST(CommandLine, TheModeWordIsComparedInLowerCase) {
  const struct {
    const char* word;
    HostPanel panel;
  } cases[] = {
      {"importar", HostPanel::Importar}, {"IMPORTAR", HostPanel::Importar},
      {"Exportar", HostPanel::Exportar}, {"exportar", HostPanel::Exportar},
      {"ambos", HostPanel::Both},        {"", HostPanel::Both},
      {" importar", HostPanel::Both},    {"importar ", HostPanel::Both},
  };
  for (const auto& c : cases) {
    const CommandLine cl = parseCommandLine({c.word, "1a2B"});
    ASSERT_TRUE(cl.host.has_value()) << c.word;
    EXPECT_EQ(cl.host->panel, c.panel) << c.word;
    EXPECT_EQ(cl.host->handle, 0x1A2Bu);
    EXPECT_EQ(cl.error, "");
  }
}

TEST(CommandLine, TheHandleIsHexadecimalDigitsWithoutPrefix) {
  const struct {
    const char* digits;
    std::uintptr_t handle;
  } good[] = {
      {"0", 0}, {"1A2B", 0x1A2B}, {"abcdef", 0xABCDEF}, {"00000000000C0FFE", 0xC0FFE}, {"FFFFFFFF", 0xFFFFFFFFu},
  };
  for (const auto& c : good) EXPECT_EQ(hexHandle(c.digits), c.handle) << c.digits;

  // Prefixes, signs, blanks, other letters, nothing, and values past 32 bits.
  const char* bad[] = {"0x1A2B", "$1A2B", "-1A", "+1A", " 1A", "1A ", "1G", "", "100000000", "١٢"};
  for (const char* digits : bad) {
    const std::string expected = std::string("'$") + digits + "' no es un valor entero válido";
    try {
      hexHandle(digits);
      ADD_FAILURE() << digits << " converted";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), expected);
    }
    const CommandLine cl = parseCommandLine({"importar", digits});
    EXPECT_FALSE(cl.host.has_value()) << digits;
    EXPECT_EQ(cl.error, expected);
  }
}

}  // namespace
}  // namespace tvi

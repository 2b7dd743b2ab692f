#include "app/velmaran_ini.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/error.h"
#include "support/test_support.h"

namespace tvi {
namespace {

using tvitest::readFile;
using tvitest::TempDir;
using tvitest::writeFile;

struct IniCase {
  const char* what;
  std::string before;
  std::string after;
};

// Each case writes Transformado=1 in [Transformadores].
const IniCase kCases[] = {
    {"empty file", "", "[Transformadores]\r\nTransformado=1\r\n"},
    {"key replaced, everything else byte for byte",
     "; Velmaran\r\n[General]\r\nRuta = C:\\QTEMP \r\n\r\n[Transformadores]\r\nOtro=5\r\nTransformado=0\r\nUltimo=x\r\n",
     "; Velmaran\r\n[General]\r\nRuta = C:\\QTEMP \r\n\r\n[Transformadores]\r\nOtro=5\r\nTransformado=1\r\nUltimo=x\r\n"},
    {"names compared without case, key keeps its spelling",
     "[TRANSFORMADORES]\r\n  transformado = -1\r\n", "[TRANSFORMADORES]\r\ntransformado=1\r\n"},
    {"blanks inside the brackets do not count", "[ Transformadores ]\nTransformado=0\n",
     "[ Transformadores ]\nTransformado=1\n"},
    {"key added at the end of its section, before blank lines",
     "[Transformadores]\r\nOtro=5\r\n\r\n[Despues]\r\nTransformado=7\r\n",
     "[Transformadores]\r\nOtro=5\r\nTransformado=1\r\n\r\n[Despues]\r\nTransformado=7\r\n"},
    {"section added, LF file stays LF", "[General]\nA=1\n", "[General]\nA=1\n\n[Transformadores]\nTransformado=1\n"},
    {"last line without line end", "[General]\r\nA=1", "[General]\r\nA=1\r\n\r\n[Transformadores]\r\nTransformado=1\r\n"},
    {"key in an unterminated last line", "[Transformadores]\nTransformado=0", "[Transformadores]\nTransformado=1"},
    {"section header is the last line", "[Transformadores]", "[Transformadores]\r\nTransformado=1\r\n"},
    {"a commented-out key is no key", "[Transformadores]\r\n;Transformado=0\r\n",
     "[Transformadores]\r\n;Transformado=0\r\nTransformado=1\r\n"},
    {"only the first section of that name", "[Transformadores]\nA=1\n[transformadores]\nTransformado=0\n",
     "[Transformadores]\nA=1\nTransformado=1\n[transformadores]\nTransformado=0\n"},
    {"a key of the same name elsewhere is left", "[Otra]\nTransformado=0\n",
     "[Otra]\nTransformado=0\n\n[Transformadores]\nTransformado=1\n"},
    {"byte order mark before the first section", "\xEF\xBB\xBF[Transformadores]\r\nTransformado=0\r\n",
     "\xEF\xBB\xBF[Transformadores]\r\nTransformado=1\r\n"},
    {"prefix of the key is another key", "[Transformadores]\nTransformadoX=0\n",
     "[Transformadores]\nTransformadoX=0\nTransformado=1\n"},
};

TEST(ProfileText, UpdatesOneKeyAndKeepsTheRest) {
  for (const auto& c : kCases)
    EXPECT_EQ(updateProfileText(c.before, "Transformadores", "Transformado", "1"), c.after) << c.what;
}

TEST(ProfileFile, WriteOutcomeCreatesAndUpdatesVelmaranIni) {
  TempDir dir;
  writeOutcome(dir.path(), 0);
  EXPECT_EQ(readFile(dir / "Velmaran.ini"), "[Transformadores]\r\nTransformado=0\r\n");
  writeOutcome(dir.path(), -1);
  EXPECT_EQ(readFile(dir / "Velmaran.ini"), "[Transformadores]\r\nTransformado=-1\r\n");
}

TEST(ProfileFile, FindsTheFileWhateverTheCaseOfItsName) {
  TempDir dir;
  writeFile(dir / "velmaran.INI", "[Transformadores]\nTransformado=0\n");
  writeOutcome(dir.path(), 1);
  EXPECT_EQ(readFile(dir / "velmaran.INI"), "[Transformadores]\nTransformado=1\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "Velmaran.ini") &&
               !std::filesystem::equivalent(dir / "Velmaran.ini", dir / "velmaran.INI"));
}

TEST(ProfileFile, AFileThatCannotBeWrittenGivesAnErrorNamingItAndStaysAsItWas) {
  TempDir dir;
  const auto file = dir / "Velmaran.ini";
  writeFile(file, "[Transformadores]\r\nTransformado=0\r\n");
  std::filesystem::permissions(file, std::filesystem::perms::owner_read);
  try {
    writeProfileString(file, "Transformadores", "Transformado", "1");
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()),
              "No se puede escribir el archivo " + file.string() +
                  ": el archivo es de solo lectura. Quite la marca de solo lectura del archivo y "
                  "vuelva a intentarlo.");
  }
  EXPECT_EQ(readFile(file), "[Transformadores]\r\nTransformado=0\r\n");
  EXPECT_THROW(writeOutcome(dir / "no_existe", 1), Error);
}

}  // namespace
}  // namespace tvi

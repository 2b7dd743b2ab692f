// Inputs the fuzz targets found faults with, reduced to what shows each
// fault, with the result now expected.

#include <gtest/gtest.h>

#include <string>

#include "app/velmaran_ini.h"

namespace reliability {
namespace {

// fuzz_ini: a line ending in a lone CR, followed by a LF the update wrote,
// read as one CR LF: that line changed its end and the blank line or the
// line after it was swallowed. The new lines now end as the line they
// follow.
TEST(FuzzFindings, TheIniUpdateNeverJoinsALoneCarriageReturnWithTheLineFeedAfterIt) {
  const struct {
    const char* name;
    std::string before;
    std::string after;
  } cases[] = {
      {"new section after a last line ending in CR, LF style",
       "[A]\nX=1\r",
       "[A]\nX=1\r\r[Transformadores]\nTransformado=1\n"},
      {"new key after a header ending in CR LF, CR style, a blank LF line next",
       "x\r[Transformadores]\r\n\n[Otra]\r\n",
       "x\r[Transformadores]\r\nTransformado=1\r\n\n[Otra]\r\n"},
      // The same updates where nothing could join: unchanged behaviour.
      {"new section, CR LF style", "[A]\r\nX=1\r\n", "[A]\r\nX=1\r\n\r\n[Transformadores]\r\nTransformado=1\r\n"},
      {"new key, LF style", "[Transformadores]\nOtro=2\n\n[B]\n",
       "[Transformadores]\nOtro=2\nTransformado=1\n\n[B]\n"},
      {"new key after a last line without end", "[Transformadores]", "[Transformadores]\r\nTransformado=1\r\n"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(tvi::updateProfileText(c.before, "Transformadores", "Transformado", "1"), c.after) << c.name;
}

}  // namespace
}  // namespace reliability

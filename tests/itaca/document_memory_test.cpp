// A real export is tens of megabytes; the document service must hand the
// file to the parser without copies of its own.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "gencentre/generator.h"
#include "itaca/document.h"
#include "support/test_support.h"

namespace tvi {
namespace {

long peakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST(DocumentMemory, LoadingTakesAtMostFourTimesTheFileSize) {
  tvitest::TempDir dir;
  const auto summary = gen::writeCentreFile(dir / "grande.xml", gen::CentreOptions{});
  ASSERT_GT(summary.bytes, 20u << 20);

  // In a child process, so the peak measured is the load's own.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const long before = peakKilobytes();
    const Document doc = Document::load(dir / "grande.xml");
    const long grown = peakKilobytes() - before;
    const bool loaded = doc.count("/centro/horarios_grupo/horario_grupo") == summary.classSessions;
    _exit(!loaded ? 2 : static_cast<double>(grown) * 1024 <= 4.0 * static_cast<double>(summary.bytes) ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the load took more than four times the file; 2: it lost elements";
}

}  // namespace
}  // namespace tvi
#endif

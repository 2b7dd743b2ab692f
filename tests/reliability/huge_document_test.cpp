// A 200 MB ITACA file (the generated large centre at scale 6, about 230 MB)
// must import, or fail cleanly where memory is short: never exhaust the
// machine, never end in an uncaught exception, never touch a table when it
// fails.
//
// Each import runs in a child process, so that its peak memory is its own
// and a limit on its address space stays with it. Not run under the
// sanitizers: their own memory would make both figures meaningless.
#ifndef _WIN32
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "gencentre/generator.h"
#include "reliability/reliability_support.h"
#include "tables/catalogue.h"
#include "tables/table.h"

namespace reliability {
namespace {

struct HugeCentre {
  tvitest::TempDir dir;
  fs::path xml = dir / "centro_grande.xml";
  fs::path tables = dir / "QTEMP";
  tvi::gen::CentreSummary summary;

  HugeCentre() {
    tvi::gen::CentreOptions options;
    options.scale = 6;
    summary = tvi::gen::writeCentreFile(xml, options);
  }
};

// The address space the process holds now, in bytes.
std::uint64_t addressSpace() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    std::uint64_t kb = 0;
    if (key == "VmSize:" && status >> kb) return kb * 1024;
  }
  return 0;
}

// Runs the import in a child; what it writes to the pipe comes back with
// its exit status.
struct ChildResult {
  int status = 0;
  std::string said;
};

template <class Body>
ChildResult inChild(Body body) {
  int pipeFd[2];
  if (pipe(pipeFd) != 0) throw std::runtime_error("pipe");
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork");
  if (child == 0) {
    close(pipeFd[0]);
    const std::string said = body();
    (void)!write(pipeFd[1], said.data(), said.size());
    _exit(0);
  }
  close(pipeFd[1]);
  ChildResult result;
  char buffer[4096];
  for (ssize_t n; (n = read(pipeFd[0], buffer, sizeof buffer)) > 0;) result.said.append(buffer, static_cast<std::size_t>(n));
  close(pipeFd[0]);
  waitpid(child, &result.status, 0);
  return result;
}

TEST(HugeDocument, ImportsWithinFiveTimesItsSizeInMemory) {
  const HugeCentre centre;
  ASSERT_GT(centre.summary.bytes, 200u << 20);

  const ChildResult r = inChild([&] {
    const RunResult imported = runImport(centre.xml, centre.tables);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (imported.finished ? "ok " : "fallo " + imported.error + " ") + std::to_string(usage.ru_maxrss);
  });
  ASSERT_TRUE(WIFEXITED(r.status)) << "the import ended by signal " << WTERMSIG(r.status);
  ASSERT_EQ(r.said.rfind("ok ", 0), 0u) << r.said;
  const double peak = std::stod(r.said.substr(3)) * 1024;
  EXPECT_LE(peak, 5.0 * static_cast<double>(centre.summary.bytes)) << "peak " << peak / (1 << 20) << " MB";

  auto asigt = tvi::bindTable(centre.tables, tvi::TableId::ASIGT, false);
  asigt->open();
  EXPECT_GT(asigt->recordCount(), 1000u);
}

TEST(HugeDocument, WithTooLittleMemoryTheImportFailsCleanlyAndTouchesNoTable) {
  const HugeCentre centre;
  ASSERT_TRUE(runImport(tvitest::sourceDir() / "examples" / "centro_ejemplo.xml", centre.tables).finished);
  const Snapshot before = snapshot(centre.tables);

  // Room for the file and a little more, not for its document.
  const ChildResult r = inChild([&] {
    const rlim_t limit = addressSpace() + centre.summary.bytes + centre.summary.bytes / 2;
    const rlimit l{limit, limit};
    setrlimit(RLIMIT_AS, &l);
    const RunResult imported = runImport(centre.xml, centre.tables);
    return imported.finished ? std::string("terminada") : imported.error;
  });
  ASSERT_TRUE(WIFEXITED(r.status) && WEXITSTATUS(r.status) == 0)
      << "the import did not end cleanly (status " << r.status << ")";
  EXPECT_THAT(r.said, ::testing::HasSubstr("No hay memoria suficiente para cargar el archivo"));
  expectNamesAndAdvises(r.said, "centro_grande.xml", "import short of memory");
  EXPECT_EQ(snapshot(centre.tables), before);
}

}  // namespace
}  // namespace reliability
#endif

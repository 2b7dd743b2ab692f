#include "reliability/reliability_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sched.h>
#include <sys/mount.h>
#endif

#include <array>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <system_error>

#include "common/error.h"
#include "export/export_run.h"
#include "import/chooser.h"
#include "import/import_run.h"
#include "solver/solver.h"

namespace reliability {

void PrintTo(const Snapshot& snapshot, std::ostream* os) {
  *os << "{";
  for (const auto& [name, bytes] : snapshot.files) {
    std::uint64_t digest = 1469598103934665603ULL;  // FNV-1a
    for (unsigned char c : bytes) digest = (digest ^ c) * 1099511628211ULL;
    *os << "\n  " << name << " (" << bytes.size() << " bytes, " << std::hex << digest << std::dec << ")";
  }
  *os << "\n}";
}

Snapshot snapshot(const fs::path& folder) {
  Snapshot snapshot;
  auto& files = snapshot.files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    const std::string name = fs::relative(it->path(), folder).generic_string();
    if (it->is_directory())
      files[name + "/"] = {};
    else
      files[name] = tvitest::readFile(it->path());
  }
  return snapshot;
}

void SteadyPerson::showChooser(tvi::ChooserModel& chooser) {
  chooser.FormActivate();
  chooser.BitBtnContinuarClick();
  chooser.FormClose();
}

tvi::Interaction::Answer SteadyPerson::confirm(const std::string& text) {
  return text == tvi::ImportRun::pruneQuestion() ? Answer::Si : Answer::No;
}

namespace {

template <class Run>
RunResult drive(const fs::path& xml, const fs::path& tables, const std::string& language) {
  SteadyPerson person;
  person.file = xml;
  tvi::WindowState window;
  window.tablesFolder = tables;
  window.language = language;
  tvi::Report report;
  RunResult result;
  try {
    Run run(window, person, report);
    const tvi::Outcome outcome = run.run();
    result.finished = outcome == tvi::Outcome::Finished;
    result.missingInput = outcome == tvi::Outcome::MissingInput;
  } catch (const tvi::Error& e) {
    result.error = e.what();
  }
  result.messages = person.messages;
  return result;
}

}  // namespace

RunResult runImport(const fs::path& xml, const fs::path& tables, const std::string& language) {
  return drive<tvi::ImportRun>(xml, tables, language);
}

RunResult runExport(const fs::path& xml, const fs::path& tables) {
  return drive<tvi::ExportRun>(xml, tables, tvi::kValenciano);
}

std::string sampleBytes() {
  return tvitest::readFile(tvitest::sourceDir() / "examples" / "centro_ejemplo.xml");
}

SampleCentre::SampleCentre(bool solved) {
  fs::create_directories(xml().parent_path());
  tvitest::writeFile(xml(), sampleBytes());
  const RunResult imported = runImport(xml(), tables());
  if (!imported.finished) throw std::runtime_error("the sample does not import: " + imported.error);
  if (solved) tvi::solve(tables());
}

fs::path SampleCentre::output() const { return tvi::exportOutputPath(xml()); }

// ---------------------------------------------------------------------------

namespace {

// What the C library says in English; none of it may reach a person.
constexpr std::array<const char*, 10> kEnglish = {
    "Read-only file system", "No space left", "Permission denied", "No such file",
    "Resource temporarily", "Input/output error", "Operation not permitted", "Is a directory",
    "std::", "errno"};

// The imperative forms our messages use to say what to do.
const std::regex& advice() {
  static const std::regex re(
      "(Compruebe|compruebe|Cierre|cierre|[Vv]uelva a|[Ll]ibere|Quite|quite|Elija|Guárdelo|"
      "Corrija|corrija|[Ee]xpórtelo|Genere|genere|[Ii]mporte|Espere|espere)");
  return re;
}

}  // namespace

void expectSpanish(const std::string& message, const std::string& context) {
  EXPECT_FALSE(message.empty()) << context;
  for (const char* english : kEnglish) EXPECT_THAT(message, ::testing::Not(::testing::HasSubstr(english))) << context;
  // A number alone where the reason should be ("error 30", "(13)").
  static const std::regex bareNumber("(error|código) -?[0-9]+[^0-9 (]|\\(-?[0-9]+\\)");
  EXPECT_FALSE(std::regex_search(message, bareNumber)) << context << "\n" << message;
}

void expectNamesAndAdvises(const std::string& message, const std::string& names,
                           const std::string& context) {
  expectSpanish(message, context);
  EXPECT_THAT(message, ::testing::HasSubstr(names)) << context;
  EXPECT_TRUE(std::regex_search(message, advice())) << context << ": says nothing of what to do\n" << message;
}

// ---------------------------------------------------------------------------

#ifndef _WIN32

namespace {

// Once per process: a mount namespace of our own, with nothing shared back.
bool ownNamespace() {
  static const bool ok = [] {
    if (::unshare(CLONE_NEWNS) != 0) return false;
    return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
  }();
  return ok;
}

void mountOrThrow(const char* source, const fs::path& target, const char* type, unsigned long flags,
                  const char* data) {
  if (::mount(source, target.c_str(), type, flags, data) != 0)
    throw std::system_error(errno, std::generic_category(), "mount " + target.string());
}

}  // namespace

bool OwnFileSystem::available() {
  static const bool ok = [] {
    // TVI_TEST_NO_MOUNT=1 runs the tests as on a machine that forbids it.
    if (const char* no = std::getenv("TVI_TEST_NO_MOUNT"); no && *no == '1') return false;
    if (!ownNamespace()) return false;
    // Mounting may still be refused (a container without the capability).
    tvitest::TempDir probe;
    if (::mount("tvi-probe", probe.path().c_str(), "tmpfs", 0, "size=16k") != 0) return false;
    ::umount2(probe.path().c_str(), MNT_DETACH);
    return true;
  }();
  return ok;
}

OwnFileSystem OwnFileSystem::tmpfs(const fs::path& folder, std::size_t bytes) {
  fs::create_directories(folder);
  mountOrThrow("tvi-tmpfs", folder, "tmpfs", 0, ("size=" + std::to_string(bytes)).c_str());
  return OwnFileSystem(folder);
}

OwnFileSystem OwnFileSystem::readOnly(const fs::path& folder) {
  mountOrThrow(folder.c_str(), folder, nullptr, MS_BIND, nullptr);
  OwnFileSystem mounted(folder);
  mountOrThrow(nullptr, folder, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr);
  return mounted;
}

OwnFileSystem::~OwnFileSystem() {
  if (!folder_.empty()) ::umount2(folder_.c_str(), MNT_DETACH);
}

void OwnFileSystem::fillLeaving(std::size_t leave) {
  const fs::path filler = folder_ / "relleno";
  {
    std::ofstream out(filler, std::ios::binary);
    const std::string block(4096, 'x');
    while (out.write(block.data(), static_cast<std::streamsize>(block.size())) && out.flush()) {
    }
  }
  const auto full = fs::file_size(filler);
  fs::resize_file(filler, full > leave ? full - leave : 0);
}

#else

bool OwnFileSystem::available() { return false; }
OwnFileSystem OwnFileSystem::tmpfs(const fs::path& folder, std::size_t) { return OwnFileSystem(folder); }
OwnFileSystem OwnFileSystem::readOnly(const fs::path& folder) { return OwnFileSystem(folder); }
OwnFileSystem::~OwnFileSystem() = default;
void OwnFileSystem::fillLeaving(std::size_t) {}

#endif

}  // namespace reliability

// The engine and the file system: locks, write-through, a full disk, and
// file names whatever their case.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "support/test_support.h"
#include "tables/catalogue.h"
#include "tables/dbf_format.h"
#include "tables/file_io.h"
#include "tables/table.h"
#include "tables/table_helpers.h"

namespace {

using tvi::FieldType;
using tvi::Table;
using tvitest::errorOf;

const std::string kLocked =
    "La tabla ASIGT está en uso por otro programa. Cierre Velmaran (u otro programa que la "
    "tenga abierta) y vuelva a intentarlo.";

#ifndef _WIN32
// A child process holding a table open until told to go.
class Holder {
 public:
  Holder(const std::filesystem::path& folder, const std::string& name, bool exclusive) {
    if (pipe(ready_) != 0 || pipe(release_) != 0) throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ == 0) {
      char c = 'y';
      Table t(folder, name, exclusive);  // held open until the parent says
      try {
        t.open();
      } catch (...) {
        c = 'n';
      }
      if (write(ready_[1], &c, 1) != 1) _exit(2);
      if (read(release_[0], &c, 1) < 0) _exit(2);
      _exit(0);
    }
    char c = 0;
    if (read(ready_[0], &c, 1) != 1 || c != 'y') throw std::runtime_error("the child could not open");
  }
  ~Holder() {
    char c = 'x';
    if (write(release_[1], &c, 1) != 1) { /* the child is gone already */ }
    int status = 0;
    waitpid(pid_, &status, 0);
    for (int fd : {ready_[0], ready_[1], release_[0], release_[1]}) close(fd);
  }

 private:
  pid_t pid_ = -1;
  int ready_[2] = {-1, -1};
  int release_[2] = {-1, -1};
};
#endif

class FileTest : public ::testing::Test {
 protected:
  void SetUp() override { tvi::recreateTable(dir.path(), tvi::TableId::ASIGT); }
  void TearDown() override {
    tvi::fileio::testing::setSpaceLeft(std::nullopt);
    tvi::fileio::testing::setReadOnly(false);
  }
  tvitest::TempDir dir;
};

TEST_F(FileTest, AnExclusiveOpenFailsWhileAnotherProcessHoldsTheTable) {
#ifdef _WIN32
  GTEST_SKIP() << "uses fork";
#else
  {
    Holder other(dir.path(), "ASIGT", true);
    Table t(dir.path(), "ASIGT", true);
    EXPECT_EQ(errorOf([&] { t.open(); }), kLocked);
    Table shared(dir.path(), "ASIGT", false);
    EXPECT_EQ(errorOf([&] { shared.open(); }), kLocked);
    // Nor may the table be rebuilt under it.
    EXPECT_EQ(errorOf([&] { tvi::recreateTable(dir.path(), tvi::TableId::ASIGT); }), kLocked);
  }
  Table t(dir.path(), "ASIGT", true);
  EXPECT_EQ(errorOf([&] { t.open(); }), "");  // released with the other process
  {
    // Shared opens of other programs keep an exclusive one out, not each other.
    t.close();
    Holder reader(dir.path(), "ASIGT", false);
    Table shared(dir.path(), "ASIGT", false);
    EXPECT_EQ(errorOf([&] { shared.open(); }), "");
    EXPECT_EQ(errorOf([&] { t.open(); }), kLocked);
  }
#endif
}

TEST_F(FileTest, AnExclusiveOpenFailsWhileAnotherHandleOfThisProgramHoldsIt) {
  Table first(dir.path(), "ASIGT", true);
  first.open();
  Table second(dir.path(), "ASIGT.DBF", true);
  EXPECT_EQ(errorOf([&] { second.open(); }), kLocked);
  first.close();
  EXPECT_EQ(errorOf([&] { second.open(); }), "");
}

TEST_F(FileTest, AMissingTableIsAMissingFile) {
  Table t(dir.path(), "SOLUC", false);
  try {
    t.open();
    FAIL() << "opened a table that does not exist";
  } catch (const tvi::MissingFile& e) {
    EXPECT_EQ(std::string(e.what()), "No existe la tabla SOLUC (" + (dir / "SOLUC.DBF").string() + ").");
  }
}

// After every post the file on disk is a whole, valid table holding every
// record posted so far, without the table being closed.
TEST_F(FileTest, EveryPostIsOnDiskAtOnce) {
  Table t(dir.path(), "ASIGT", true);
  t.open();
  const auto onDisk = [&] {
    std::string bytes = tvitest::readFile(dir / "ASIGT.DBF");
    tvi::dbf::Layout layout = tvi::dbf::parseLayout(bytes, "ASIGT", dir / "ASIGT.DBF");
    EXPECT_EQ(bytes.size(), layout.headerLength + layout.count * layout.recordLength + 1);
    EXPECT_EQ(bytes.back(), '\x1A');
    return std::make_pair(bytes, layout);
  };
  for (int i = 1; i <= 3; ++i) {
    t.append();
    t.setString("CASIG", "A" + std::to_string(i));
    t.setFloat("HORAS", i);
    t.post();
    EXPECT_EQ(onDisk().second.count, static_cast<unsigned>(i));
  }
  ASSERT_TRUE(t.locate("CASIG", "A2"));
  t.edit();
  t.setString("CPROF", "PROF");
  t.post();
  t.deleteRecord();  // A2, now current
  auto [bytes, layout] = onDisk();
  const std::string second = bytes.substr(layout.headerLength + layout.recordLength, layout.recordLength);
  EXPECT_EQ(second.substr(0, 9), "*A2  PROF");
  EXPECT_TRUE(t.pack());
  EXPECT_EQ(onDisk().second.count, 2u);
}

struct SpaceCase {
  std::uint64_t space;  // bytes the disk takes before it is full, in records
  std::int64_t extra;   // and bytes more
  std::size_t kept;     // records on disk after the failure
};

TEST_F(FileTest, OnAFullDiskTheRecordsPostedBeforeStayAndTheFileStaysValid) {
  std::size_t record = 0;
  {
    Table probe(dir.path(), "ASIGT", true);
    probe.open();
    record = 1;
    for (const auto& f : probe.fields()) record += static_cast<std::size_t>(f.width);
  }
  const std::vector<SpaceCase> cases = {{0, 0, 0}, {0, 5, 0}, {3, 0, 3}, {3, 1, 3}, {3, -1, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.space) + " records and " + std::to_string(c.extra) + " bytes");
    tvi::recreateTable(dir.path(), tvi::TableId::ASIGT);
    Table t(dir.path(), "ASIGT", true);
    t.open();
    tvi::fileio::testing::setSpaceLeft(c.space * record + c.extra);
    std::string message;
    for (int i = 0; i < 5 && message.empty(); ++i)
      message = errorOf([&] {
        t.append();
        t.setString("CASIG", "R" + std::to_string(i));
        t.setString("ASIG_ITACA", "àèéíñ");
        t.post();
      });
    tvi::fileio::testing::setSpaceLeft(std::nullopt);
    EXPECT_EQ(message.rfind("No se pudo escribir en la tabla ASIGT (" + (dir / "ASIGT.DBF").string() +
                                "): no queda espacio en el disco. Puede que el disco esté lleno o "
                                "sea de solo lectura",
                            0),
              0u)
        << message;
    t.close();

    std::string bytes = tvitest::readFile(dir / "ASIGT.DBF");
    EXPECT_EQ(bytes.back(), '\x1A');
    Table again(dir.path(), "ASIGT", true);
    ASSERT_EQ(errorOf([&] { again.open(); }), "");
    EXPECT_EQ(again.recordCount(), c.kept);
    std::size_t i = 0;
    for (again.first(); !again.eof(); again.next(), ++i) {
      EXPECT_EQ(again.asString("CASIG"), "R" + std::to_string(i));
      EXPECT_EQ(again.asString("ASIG_ITACA"), "àèéíñ");
    }
  }
}

TEST_F(FileTest, ACreationOnAFullDiskLeavesNoHalfTable) {
  tvi::fileio::testing::setSpaceLeft(100);
  std::string message = errorOf([&] { tvi::recreateTable(dir.path(), tvi::TableId::DIASHORAST); });
  EXPECT_NE(message.find("No se pudo escribir en la tabla DIASHORAST"), std::string::npos) << message;
  EXPECT_NE(message.find("lleno"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir / "DIASHORAST.DBF"));
}

TEST_F(FileTest, OnAReadOnlyDiskAPackReportsItsFailureAndNothingChanges) {
  Table t(dir.path(), "ASIGT", true);
  t.open();
  for (int i = 0; i < 3; ++i) {
    t.append();
    t.setString("CASIG", std::to_string(i));
    t.post();
  }
  t.first();
  t.deleteRecord();
  const std::string before = tvitest::readFile(dir / "ASIGT.DBF");
  tvi::fileio::testing::setReadOnly(true);
  EXPECT_FALSE(t.pack());
  EXPECT_EQ(t.recordCount(), 2u);  // the deleted record stays out of view
  t.first();
  EXPECT_EQ(t.asString("CASIG"), "1");
  std::string message = errorOf([&] {
    t.edit();
    t.setString("CASIG", "x");
    t.post();
  });
  EXPECT_NE(message.find("No se pudo escribir en la tabla ASIGT"), std::string::npos) << message;
  EXPECT_NE(message.find("el disco es de solo lectura"), std::string::npos) << message;
  EXPECT_NE(errorOf([&] { tvi::recreateTable(dir.path(), tvi::TableId::PROFT); })
                .find("No se pudo crear la tabla PROFT"),
            std::string::npos);
  tvi::fileio::testing::setReadOnly(false);
  EXPECT_EQ(tvitest::readFile(dir / "ASIGT.DBF"), before);
  EXPECT_TRUE(t.pack());
  EXPECT_EQ(t.recordCount(), 2u);
}

TEST_F(FileTest, ExistingFilesAreFoundWhateverTheCaseOfTheirName) {
  std::filesystem::rename(dir / "ASIGT.DBF", dir / "asigt.dbf");
  Table t(dir.path(), "ASIGT", true);
  EXPECT_EQ(t.file(), dir / "asigt.dbf");
  t.open();
  t.append();
  t.setString("CASIG", "X");
  t.post();
  t.close();
  EXPECT_FALSE(std::filesystem::exists(dir / "ASIGT.DBF"));
  EXPECT_EQ(tvi::tableFile(dir.path(), tvi::TableId::ASIGT), dir / "asigt.dbf");
  EXPECT_TRUE(tvi::tableExists(dir.path(), tvi::TableId::ASIGT));
  // A table not there is named in upper case.
  EXPECT_EQ(tvi::tableFile(dir.path(), tvi::TableId::SOLUC), dir / "SOLUC.DBF");
  EXPECT_FALSE(tvi::tableExists(dir.path(), tvi::TableId::SOLUC));
}

}  // namespace

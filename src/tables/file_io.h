#pragma once
// The table engine's access to the file system: one locked file per open
// table, positioned writes, and a case-insensitive name lookup. Everything
// platform-specific of the engine lives behind this header.
//
// Locks are advisory OS locks held for as long as the file is open (flock
// on POSIX, LockFileEx on Windows). They are per open file, so a second
// exclusive open conflicts both with another process and with another
// handle of the same process.
//
// Failures throw FileIoError with a kind and a Spanish description of the
// system's reason; the table turns them into messages naming the table.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tvi::fileio {

enum class FailureKind { NotFound, Locked, Denied, NoSpace, ReadOnly, Other };

class FileIoError : public std::runtime_error {
 public:
  FileIoError(FailureKind kind, const std::string& reason)
      : std::runtime_error(reason), kind_(kind) {}
  FailureKind kind() const { return kind_; }
  // The system's reason in Spanish ("no queda espacio en el disco").
  std::string reason() const { return what(); }

 private:
  FailureKind kind_;
};

enum class LockMode { Shared, Exclusive };

class LockedFile {
 public:
  LockedFile() = default;
  ~LockedFile();
  LockedFile(LockedFile&& other) noexcept;
  LockedFile& operator=(LockedFile&& other) noexcept;
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;

  // Opens an existing file for reading and, where the system allows,
  // writing (a read-only file is opened for reading; writes then fail),
  // and takes the lock without waiting.
  static LockedFile openExisting(const std::filesystem::path& file, LockMode mode);
  // Opens or creates the file, takes an exclusive lock without waiting and
  // empties it.
  static LockedFile createEmpty(const std::filesystem::path& file);

  bool isOpen() const;
  std::uint64_t size() const;
  std::string readAll() const;
  // Writes all of `bytes` at `offset`; throws on any shortfall.
  void writeAt(std::uint64_t offset, const void* bytes, std::size_t count);
  void truncate(std::uint64_t size);
  void close();

 private:
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
  std::uint64_t size_ = 0;  // kept in step with our own writes
};

// Today's date on the local clock, as dBase headers record it.
struct Date {
  int year = 1970, month = 1, day = 1;
};
Date today();

// Removes a file; the result is not looked at.
void removeQuietly(const std::filesystem::path& file);

// `folder / name` when it exists, else an entry of the folder whose name
// equals `name` without regard to ASCII letter case, else `folder / name`.
std::filesystem::path findNoCase(const std::filesystem::path& folder, const std::string& name);

// Every entry of the folder whose name equals `name` without regard to
// ASCII letter case.
std::vector<std::filesystem::path> findAllNoCase(const std::filesystem::path& folder,
                                                 const std::string& name);

namespace testing {
// Simulates a full disk: from now on, at most `bytes` more bytes may be
// added to files (bytes written past a file's end); the write that goes
// over writes what fits and fails as on a full disk. Overwriting bytes a
// file already holds is unaffected. std::nullopt lifts the limit.
void setSpaceLeft(std::optional<std::uint64_t> bytes);
// Simulates a read-only disk: every write, truncation and creation fails.
void setReadOnly(bool readOnly);
}  // namespace testing

}  // namespace tvi::fileio

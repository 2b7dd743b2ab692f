#include "tables/file_io.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <system_error>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tvi::fileio {

namespace {

std::optional<std::uint64_t> g_spaceLeft;
bool g_readOnly = false;

FileIoError readOnlyDisk() {
  return FileIoError(FailureKind::ReadOnly, "el disco es de solo lectura");
}

bool asciiEqualNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

#ifdef _WIN32

std::string utf8(const wchar_t* text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string out(static_cast<std::size_t>(n - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  return out;
}

FileIoError systemFailure(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return FileIoError(FailureKind::NotFound, "no existe el archivo o la carpeta");
    case ERROR_ACCESS_DENIED:
      return FileIoError(FailureKind::Denied, "no hay permiso de acceso");
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return FileIoError(FailureKind::Locked, "el archivo está en uso");
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return FileIoError(FailureKind::NoSpace, "no queda espacio en el disco");
    case ERROR_WRITE_PROTECT:
      return FileIoError(FailureKind::ReadOnly, "el disco es de solo lectura");
    default: {
      wchar_t* buffer = nullptr;
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                         FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
      std::string text = buffer ? utf8(buffer) : std::string();
      if (buffer) LocalFree(buffer);
      while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.'))
        text.pop_back();
      if (text.empty()) text = "error del sistema " + std::to_string(code);
      return FileIoError(FailureKind::Other, text);
    }
  }
}

// Windows byte-range locks are mandatory, so the lock sits on one byte far
// past any table's end, where it never gets in the way of reading.
constexpr DWORD kLockOffsetHigh = 0x40000000;

void lockOrThrow(HANDLE h, LockMode mode) {
  OVERLAPPED ov{};
  ov.Offset = 0;
  ov.OffsetHigh = kLockOffsetHigh;
  DWORD flags = LOCKFILE_FAIL_IMMEDIATELY;
  if (mode == LockMode::Exclusive) flags |= LOCKFILE_EXCLUSIVE_LOCK;
  if (!LockFileEx(h, flags, 0, 1, 0, &ov)) {
    DWORD code = GetLastError();
    CloseHandle(h);
    if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING)
      throw FileIoError(FailureKind::Locked, "el archivo está en uso");
    throw systemFailure(code);
  }
}

#else

FileIoError systemFailure(int code) {
  switch (code) {
    case ENOENT:
    case ENOTDIR:
      return FileIoError(FailureKind::NotFound, "no existe el archivo o la carpeta");
    case EACCES:
    case EPERM:
      return FileIoError(FailureKind::Denied, "no hay permiso de acceso");
    case EROFS:
      return FileIoError(FailureKind::ReadOnly, "el disco es de solo lectura");
    case EBADF:
      return FileIoError(FailureKind::ReadOnly, "el archivo solo se pudo abrir para lectura");
    case ENOSPC:
      return FileIoError(FailureKind::NoSpace, "no queda espacio en el disco");
#ifdef EDQUOT
    case EDQUOT:
      return FileIoError(FailureKind::NoSpace, "se ha agotado la cuota de disco");
#endif
    case EIO:
      return FileIoError(FailureKind::Other, "error de entrada/salida del disco");
    case EISDIR:
      return FileIoError(FailureKind::Other, "es una carpeta, no un archivo");
    case EMFILE:
    case ENFILE:
      return FileIoError(FailureKind::Other, "hay demasiados archivos abiertos");
    case EWOULDBLOCK:
      return FileIoError(FailureKind::Locked, "el archivo está en uso");
    default:
      return FileIoError(FailureKind::Other,
                         "error del sistema: " + std::system_category().message(code));
  }
}

void lockOrThrow(int fd, LockMode mode) {
  int op = (mode == LockMode::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
  while (::flock(fd, op) != 0) {
    if (errno == EINTR) continue;
    int code = errno;
    ::close(fd);
    if (code == EWOULDBLOCK) throw FileIoError(FailureKind::Locked, "el archivo está en uso");
    throw systemFailure(code);
  }
}

#endif

}  // namespace

LockedFile::~LockedFile() { close(); }

LockedFile::LockedFile(LockedFile&& other) noexcept { *this = std::move(other); }

LockedFile& LockedFile::operator=(LockedFile&& other) noexcept {
  if (this != &other) {
    close();
#ifdef _WIN32
    handle_ = other.handle_;
    other.handle_ = nullptr;
#else
    fd_ = other.fd_;
    other.fd_ = -1;
#endif
    size_ = other.size_;
    other.size_ = 0;
  }
  return *this;
}

#ifdef _WIN32

LockedFile LockedFile::openExisting(const std::filesystem::path& file, LockMode mode) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE h = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED)
    h = CreateFileW(file.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw systemFailure(GetLastError());
  lockOrThrow(h, mode);
  LockedFile result;
  result.handle_ = h;
  LARGE_INTEGER size{};
  GetFileSizeEx(h, &size);
  result.size_ = static_cast<std::uint64_t>(size.QuadPart);
  return result;
}

LockedFile LockedFile::createEmpty(const std::filesystem::path& file) {
  if (g_readOnly) throw readOnlyDisk();
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE h = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw systemFailure(GetLastError());
  lockOrThrow(h, LockMode::Exclusive);
  LockedFile result;
  result.handle_ = h;
  result.truncate(0);
  return result;
}

bool LockedFile::isOpen() const { return handle_ != nullptr; }

std::string LockedFile::readAll() const {
  std::string bytes(static_cast<std::size_t>(size_), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    OVERLAPPED ov{};
    std::uint64_t offset = done;
    ov.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(static_cast<HANDLE>(handle_), bytes.data() + done, chunk, &got, &ov))
      throw systemFailure(GetLastError());
    if (got == 0) break;
    done += got;
  }
  bytes.resize(done);
  return bytes;
}

void LockedFile::truncate(std::uint64_t size) {
  if (g_readOnly) throw readOnlyDisk();
  LARGE_INTEGER pos{};
  pos.QuadPart = static_cast<LONGLONG>(size);
  if (!SetFilePointerEx(static_cast<HANDLE>(handle_), pos, nullptr, FILE_BEGIN) ||
      !SetEndOfFile(static_cast<HANDLE>(handle_)))
    throw systemFailure(GetLastError());
  size_ = size;
}

void LockedFile::close() {
  if (handle_) {
    CloseHandle(static_cast<HANDLE>(handle_));  // releases the lock
    handle_ = nullptr;
  }
}

namespace {
std::size_t rawWrite(void* handle, std::uint64_t offset, const char* bytes, std::size_t count,
                     unsigned long& failure) {
  std::size_t done = 0;
  while (done < count) {
    OVERLAPPED ov{};
    std::uint64_t at = offset + done;
    ov.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
    ov.OffsetHigh = static_cast<DWORD>(at >> 32);
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
    DWORD put = 0;
    if (!WriteFile(static_cast<HANDLE>(handle), bytes + done, chunk, &put, &ov)) {
      failure = GetLastError();
      return done;
    }
    done += put;
  }
  return done;
}
}  // namespace

#else

LockedFile LockedFile::openExisting(const std::filesystem::path& file, LockMode mode) {
  int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM))
    fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw systemFailure(errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    int code = errno;
    ::close(fd);
    throw systemFailure(code);
  }
  if (S_ISDIR(st.st_mode)) {
    ::close(fd);
    throw systemFailure(EISDIR);
  }
  lockOrThrow(fd, mode);
  LockedFile result;
  result.fd_ = fd;
  result.size_ = static_cast<std::uint64_t>(st.st_size);
  return result;
}

LockedFile LockedFile::createEmpty(const std::filesystem::path& file) {
  if (g_readOnly) throw readOnlyDisk();
  int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) throw systemFailure(errno);
  lockOrThrow(fd, LockMode::Exclusive);
  LockedFile result;
  result.fd_ = fd;
  result.truncate(0);
  return result;
}

bool LockedFile::isOpen() const { return fd_ >= 0; }

std::string LockedFile::readAll() const {
  std::string bytes(static_cast<std::size_t>(size_), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t got = ::pread(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (got < 0) {
      if (errno == EINTR) continue;
      throw systemFailure(errno);
    }
    if (got == 0) break;  // the file shrank under us: keep what is there
    done += static_cast<std::size_t>(got);
  }
  bytes.resize(done);
  return bytes;
}

void LockedFile::truncate(std::uint64_t size) {
  if (g_readOnly) throw readOnlyDisk();
  while (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
    if (errno == EINTR) continue;
    throw systemFailure(errno);
  }
  size_ = size;
}

void LockedFile::close() {
  if (fd_ >= 0) {
    ::close(fd_);  // releases the lock
    fd_ = -1;
  }
}

namespace {
std::size_t rawWrite(int fd, std::uint64_t offset, const char* bytes, std::size_t count,
                     int& failure) {
  std::size_t done = 0;
  while (done < count) {
    ssize_t put = ::pwrite(fd, bytes + done, count - done, static_cast<off_t>(offset + done));
    if (put < 0) {
      if (errno == EINTR) continue;
      failure = errno;
      return done;
    }
    if (put == 0) {
      failure = ENOSPC;
      return done;
    }
    done += static_cast<std::size_t>(put);
  }
  return done;
}
}  // namespace

#endif

std::uint64_t LockedFile::size() const { return size_; }

void LockedFile::writeAt(std::uint64_t offset, const void* bytes, std::size_t count) {
  if (g_readOnly) throw readOnlyDisk();
  const char* data = static_cast<const char*>(bytes);
  std::size_t allowed = count;
  bool overBudget = false;
  if (g_spaceLeft) {
    std::uint64_t end = offset + count;
    std::uint64_t growth = end > size_ ? end - std::max(size_, offset) : 0;
    if (growth > *g_spaceLeft) {
      overBudget = true;
      std::uint64_t cut = growth - *g_spaceLeft;
      allowed = cut >= count ? 0 : count - static_cast<std::size_t>(cut);
    }
  }
#ifdef _WIN32
  unsigned long failure = 0;
  std::size_t done = rawWrite(handle_, offset, data, allowed, failure);
#else
  int failure = 0;
  std::size_t done = rawWrite(fd_, offset, data, allowed, failure);
#endif
  bool ok = done == allowed;
  if (done > 0) {
    std::uint64_t end = offset + done;
    if (g_spaceLeft && end > size_) {
      std::uint64_t growth = end - std::max(size_, offset);
      *g_spaceLeft -= std::min(growth, *g_spaceLeft);
    }
    size_ = std::max(size_, end);
  }
  if (!ok) throw systemFailure(failure);
  if (overBudget) throw FileIoError(FailureKind::NoSpace, "no queda espacio en el disco");
}

Date today() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return Date{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

void removeQuietly(const std::filesystem::path& file) {
  std::error_code ec;
  std::filesystem::remove(file, ec);
}

std::filesystem::path findNoCase(const std::filesystem::path& folder, const std::string& name) {
  std::error_code ec;
  std::filesystem::path exact = folder / name;
  if (std::filesystem::exists(exact, ec)) return exact;
  for (auto it = std::filesystem::directory_iterator(folder, ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::u8string entry = it->path().filename().u8string();
    std::string entryName(entry.begin(), entry.end());
    if (asciiEqualNoCase(entryName, name)) return it->path();
  }
  return exact;
}

std::vector<std::filesystem::path> findAllNoCase(const std::filesystem::path& folder,
                                                 const std::string& name) {
  std::vector<std::filesystem::path> found;
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator(folder, ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::u8string entry = it->path().filename().u8string();
    if (asciiEqualNoCase(std::string(entry.begin(), entry.end()), name)) found.push_back(it->path());
  }
  return found;
}

namespace testing {
void setSpaceLeft(std::optional<std::uint64_t> bytes) { g_spaceLeft = bytes; }
void setReadOnly(bool readOnly) { g_readOnly = readOnly; }
}  // namespace testing

}  // namespace tvi::fileio

#include "itaca/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fstream>

#include "common/error.h"

namespace tvi {

namespace fs = std::filesystem;

namespace {

struct ReasonText {
  std::errc code;
  const char* text;
};

constexpr ReasonText kReasons[] = {
    {std::errc::permission_denied, "permiso denegado"},
    {std::errc::operation_not_permitted, "operación no permitida"},
    {std::errc::read_only_file_system, "el disco es de solo lectura"},
    {std::errc::no_space_on_device, "no queda espacio en el disco"},
    {std::errc::file_too_large, "el archivo es demasiado grande"},
    {std::errc::no_such_file_or_directory, "no existe el archivo o la carpeta"},
    {std::errc::not_a_directory, "la ruta no es una carpeta"},
    {std::errc::is_a_directory, "es una carpeta"},
    {std::errc::filename_too_long, "el nombre es demasiado largo"},
    {std::errc::device_or_resource_busy, "el archivo está en uso"},
    {std::errc::text_file_busy, "el archivo está en uso"},
    {std::errc::too_many_files_open, "hay demasiados archivos abiertos"},
    {std::errc::io_error, "error de entrada y salida del disco"},
    {std::errc::cross_device_link, "la carpeta temporal está en otro disco"},
    {std::errc::not_enough_memory, "no hay memoria suficiente"},
    {std::errc::file_exists, "ya existe un archivo con ese nombre"},
    {std::errc::directory_not_empty, "la carpeta no está vacía"},
    {std::errc::invalid_argument, "el nombre no es válido"},
    {std::errc::too_many_symbolic_link_levels, "la ruta tiene demasiados enlaces"},
    {std::errc::resource_unavailable_try_again, "el archivo está en uso"},
    {std::errc::no_such_device, "el disco no está disponible"},
};

// What a person can do about a write that failed, after its reason.
constexpr const char* kCheckFolder =
    " Compruebe que la carpeta admite escritura y que queda espacio en el disco, y vuelva a "
    "intentarlo.";

std::error_code lastError() {
  const int value = errno;
  return value ? std::error_code(value, std::generic_category())
               : std::make_error_code(std::errc::io_error);
}

fs::path temporaryBeside(const fs::path& target) {
  static std::atomic<unsigned> counter{0};
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (;;) {
    // Built on the native form so a name outside the ANSI code page works
    // on Windows too.
    fs::path name = ".";
    name += target.filename().native();
    name += ".tmp" + std::to_string(stamp) + "-" + std::to_string(counter++);
    const fs::path candidate = folder / name;
    std::error_code ec;
    if (!fs::exists(candidate, ec)) return candidate;
  }
}

// Removes the temporary file unless the rename consumed it.
class TemporaryFile {
 public:
  explicit TemporaryFile(fs::path path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!path_.empty()) {
      std::error_code ec;
      fs::remove(path_, ec);
    }
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const fs::path& path() const { return path_; }
  void release() { path_.clear(); }

 private:
  fs::path path_;
};

}  // namespace

std::string displayPath(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string fileErrorReason(const std::error_code& error) {
  for (const auto& r : kReasons)
    if (error == r.code) return r.text;
#if defined(EDQUOT) && !defined(_WIN32)
  if (error.value() == EDQUOT &&
      (error.category() == std::generic_category() || error.category() == std::system_category()))
    return "se ha agotado su cuota de disco";
#endif
  // Never the bare number: the system's own words go with it.
  return "error del sistema " + std::to_string(error.value()) + " (" + error.message() + ")";
}

void replaceFileAtomically(const fs::path& target, const std::function<void(std::ostream&)>& write) {
  const auto fail = [&](const std::string& reason, const char* advice = kCheckFolder) -> void {
    throw Error("No se puede escribir el archivo " + displayPath(target) + ": " + reason + "." + advice);
  };

  std::error_code ec;
  const fs::file_status status = fs::status(target, ec);
  const bool existed = fs::exists(status);
  if (existed) {
    if (fs::is_directory(status)) fail("es una carpeta", " Elija otro nombre o quite esa carpeta.");
    // A rename would replace a read-only file; the profile functions and
    // any user who set the flag expect it to stay untouched.
    if ((status.permissions() & fs::perms::owner_write) == fs::perms::none)
      fail("el archivo es de solo lectura",
           " Quite la marca de solo lectura del archivo y vuelva a intentarlo.");
  }
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  if (!fs::is_directory(folder, ec))
    fail("no existe la carpeta " + displayPath(folder), " Compruebe la ruta y vuelva a intentarlo.");

  TemporaryFile temp(temporaryBeside(target));
  {
    errno = 0;
    std::ofstream out(temp.path(), std::ios::binary | std::ios::trunc);
    if (!out) fail(fileErrorReason(lastError()));
    errno = 0;
    write(out);
    out.flush();
    if (!out) fail(fileErrorReason(lastError()));
    errno = 0;
    out.close();
    if (!out) fail(fileErrorReason(lastError()));
  }
  if (existed) fs::permissions(temp.path(), status.permissions(), ec);
  fs::rename(temp.path(), target, ec);
  if (ec) fail(fileErrorReason(ec));
  temp.release();
}

void replaceFileAtomically(const fs::path& target, std::string_view bytes) {
  replaceFileAtomically(target, [bytes](std::ostream& out) {
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  });
}

}  // namespace tvi

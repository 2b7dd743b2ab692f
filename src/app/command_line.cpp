#include "app/command_line.h"

#include <cstdint>

#include "common/error.h"

namespace tvi {

namespace {

// The handle is converted as the host's 32-bit integer conversion reads
// "$" followed by the parameter: hexadecimal digits of either case, nothing
// else. A blank or a sign would come after the "$" there, where that
// conversion refuses them, so they are errors here too; leading zeros are
// fine, a value past 32 bits is an overflow.
constexpr std::uint64_t kLargestHandle = 0xFFFFFFFFu;

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string asciiLower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

}  // namespace

std::uintptr_t hexHandle(const std::string& digits) {
  const auto refuse = [&]() -> Error { return Error("'$" + digits + "' no es un valor entero válido"); };
  if (digits.empty()) throw refuse();
  std::uint64_t value = 0;
  for (char c : digits) {
    const int d = hexDigit(c);
    if (d < 0) throw refuse();
    value = value * 16 + static_cast<std::uint64_t>(d);
    if (value > kLargestHandle) throw refuse();
  }
  return static_cast<std::uintptr_t>(value);
}

CommandLine parseCommandLine(const std::vector<std::string>& params) {
  CommandLine result;
  if (params.size() != 2) return result;
  HostRequest request;
  try {
    request.handle = hexHandle(params[1]);
  } catch (const Error& e) {
    result.error = e.what();
    return result;
  }
  const std::string mode = asciiLower(params[0]);
  if (mode == "importar")
    request.panel = HostPanel::Importar;
  else if (mode == "exportar")
    request.panel = HostPanel::Exportar;
  result.host = request;
  return result;
}

}  // namespace tvi

#pragma once
// The window program's command line: host mode is exactly two parameters,
// the mode word and the host window's handle in hexadecimal digits.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tvi {

enum class HostPanel { Both, Importar, Exportar };

struct HostRequest {
  std::uintptr_t handle = 0;
  HostPanel panel = HostPanel::Both;  // "importar" keeps the right panel
};

struct CommandLine {
  // Set when the parameters ask for host mode and the handle converts.
  std::optional<HostRequest> host;
  // The conversion error to show ("'$xyz' no es un valor entero válido")
  // when the handle did not convert; the program then runs stand-alone.
  std::string error;
};

// `params` are the parameters without the program name.
CommandLine parseCommandLine(const std::vector<std::string>& params);

// The "$"-prefixed hexadecimal conversion; throws Error with
// "'%s' no es un valor entero válido" on anything else.
std::uintptr_t hexHandle(const std::string& digits);

}  // namespace tvi

#pragma once
// Velmaran.ini beside the executable, where Velmaran reads the outcome of a
// run started in host mode.

#include <filesystem>
#include <string>
#include <string_view>

namespace tvi {

// Writes `key`=`value` in `section` of an INI file as the Windows profile
// functions do: the file and the section are created when missing, every
// other line, key and section is kept as it was, section and key names are
// compared without regard to case. The file is replaced atomically.
// Throws Error (Spanish, naming the file) when it cannot be written.
void writeProfileString(const std::filesystem::path& file, std::string_view section,
                        std::string_view key, std::string_view value);

// The same update applied to the text of an INI file (CR LF or LF lines).
std::string updateProfileText(std::string_view text, std::string_view section,
                              std::string_view key, std::string_view value);

// Key "Transformado" of section "Transformadores" in <exeFolder>/Velmaran.ini.
void writeOutcome(const std::filesystem::path& exeFolder, int resultado);

}  // namespace tvi

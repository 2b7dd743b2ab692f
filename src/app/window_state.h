#pragma once
// The state the main window keeps for the runs. It survives from one run
// to the next for the life of the window.

#include <filesystem>
#include <string>
#include <vector>

namespace tvi {

inline constexpr const char* kValenciano = "VALENCIÁ";
inline constexpr const char* kCastellano = "CASTELLANO";

struct WindowState {
  std::filesystem::path FFicheroXML;   // ITACA file chosen last
  std::string FPlantilla;              // template code, ANSI-free UTF-8 as read
  std::string FTurno;                  // template shift
  std::string language = kValenciano;  // text of ComboBoxValCast (UTF-8)
  std::vector<std::string> ListBoxPlanti;  // hour list of the chosen template
  int NumParametros = 0;               // 2 in host mode
  int ResultadoTransformacion = 0;     // outcome flag for Velmaran.ini
  std::filesystem::path tablesFolder;  // where Velmaran's tables live

  bool hostMode() const { return NumParametros == 2; }
};

}  // namespace tvi

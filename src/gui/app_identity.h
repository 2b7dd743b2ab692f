#pragma once
// Names the program shows and the files it looks for beside itself.

namespace tvi::gui {

// Caption of the task-bar button and of every plain message and error box.
inline constexpr const char* kAppTitle = "TransVelmarItaca";
// The help file opened by "F1 Ayuda" and F1, beside the executable.
inline constexpr const char* kHelpFile = "ITACA.chm";
// The coordinator's guide, opened when ITACA.chm is not there.
inline constexpr const char* kGuideFile = "guia.html";
// The message box that closes a run; it offers the run's report.
inline constexpr const char* kFinalMessage = "Proceso finalizado";

}  // namespace tvi::gui

#pragma once
// The help behind "F1 Ayuda" and the F1 key.
//
// ITACA.chm beside the executable comes first: on Windows the HTML Help
// viewer shows its contents (context 0) or the topic of a help context;
// elsewhere the desktop opens the file with its own handler. When it is
// missing, the coordinator's guide beside the executable is opened in the
// desktop's browser; when that is missing too, a plain message says so.

#include <QString>
#include <filesystem>

class QWidget;

namespace tvi::gui {

enum class HelpShown { HelpFile, Guide, Nothing };

// `context` 0 asks for the contents.
HelpShown openHelp(QWidget* parent, const std::filesystem::path& exeFolder, int context);

// The platform's viewer for a compiled help file; false when it could not
// be started.
bool showCompiledHelp(QWidget* parent, const QString& file, int context);

}  // namespace tvi::gui

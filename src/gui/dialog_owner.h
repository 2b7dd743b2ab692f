#pragma once
// Who owns the program's dialogs. Stand-alone, the main window does. In
// host mode the main window is a child of the host's window, and a child
// cannot own a dialog: the dialogs then stand free and are kept above the
// host's window instead.

class QWidget;
class QWindow;

namespace tvi::gui {

// The host's window, once the main window lives inside it.
void setHostWindow(QWindow* host);

// The parent to give a dialog of `owner`: `owner`, or none when `owner`
// lives inside another program's window.
QWidget* dialogParent(QWidget* owner);

// In host mode, keeps `dialog` above the host's window.
void keepAboveHost(QWidget* dialog);

}  // namespace tvi::gui

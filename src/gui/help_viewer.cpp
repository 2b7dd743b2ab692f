// The viewer of ITACA.chm: the HTML Help viewer on Windows, the desktop's
// handler for the file elsewhere.
#include "gui/help.h"

#include <QDesktopServices>
#include <QUrl>
#include <QWidget>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tvi::gui {

#ifdef _WIN32

namespace {

// htmlhelp.h is not in every tool chain; the viewer is loaded at run time.
constexpr UINT kDisplayToc = 0x0001;
constexpr UINT kHelpContext = 0x000F;
using HtmlHelpFn = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);

HtmlHelpFn htmlHelp() {
  static HtmlHelpFn fn = [] {
    HMODULE module = LoadLibraryW(L"hhctrl.ocx");
    return module ? reinterpret_cast<HtmlHelpFn>(GetProcAddress(module, "HtmlHelpW")) : nullptr;
  }();
  return fn;
}

}  // namespace

bool showCompiledHelp(QWidget* parent, const QString& file, int context) {
  HtmlHelpFn fn = htmlHelp();
  if (fn == nullptr) return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
  HWND owner = parent ? reinterpret_cast<HWND>(parent->window()->winId()) : nullptr;
  const std::wstring path = file.toStdWString();
  const HWND shown = context == 0
                         ? fn(owner, path.c_str(), kDisplayToc, 0)
                         : fn(owner, path.c_str(), kHelpContext, static_cast<DWORD_PTR>(context));
  return shown != nullptr;
}

#else

bool showCompiledHelp(QWidget*, const QString& file, int) {
  // Only the Windows viewer knows the topics of a compiled help file.
  return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

#endif

}  // namespace tvi::gui

// The one colour the forms take from the system.
#include "gui/look.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tvi::gui::colour {

QColor inactiveCaptionText() {
#ifdef _WIN32
  const COLORREF c = GetSysColor(COLOR_INACTIVECAPTIONTEXT);
  return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
#else
  // The value Windows gives it in its default appearance.
  return QColor(0x43, 0x4E, 0x54);
#endif
}

}  // namespace tvi::gui::colour

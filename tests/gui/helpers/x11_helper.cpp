// A stand-in for the host program's side of the X server, for the tests and
// the screenshots:
//   x11_helper window [WIDTH HEIGHT]  creates a window, prints its id in
//                                     hexadecimal digits (as the host passes
//                                     it), and keeps it until stdin closes
//   x11_helper pixel ID X Y           prints the colour at X,Y of a window
//                                     as RRGGBB
//   x11_helper snap ID FILE.png       saves what a window shows
// Qt first: Xlib's macros (Status, None...) break Qt's headers.
#include <QImage>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

unsigned long parseId(const char* text) { return std::strtoul(text, nullptr, 0); }

int createWindow(Display* display, int width, int height) {
  const int screen = DefaultScreen(display);
  const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, width,
                                            height, 0, BlackPixel(display, screen),
                                            0x808080);
  XStoreName(display, window, "Velmaran");
  XMapWindow(display, window);
  XSync(display, False);
  std::printf("%lX\n", window);
  std::fflush(stdout);
  // The window lives until whoever started us closes our stdin.
  char buffer[64];
  while (read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
  }
  XDestroyWindow(display, window);
  XCloseDisplay(display);
  return 0;
}

// The window's contents as the screen shows them, children included.
QImage grab(Display* display, Window window) {
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, window, &attributes)) return {};
  XImage* image = XGetImage(display, window, 0, 0, attributes.width, attributes.height, AllPlanes,
                            ZPixmap);
  if (image == nullptr) return {};
  QImage result(attributes.width, attributes.height, QImage::Format_RGB32);
  for (int y = 0; y < attributes.height; ++y) {
    for (int x = 0; x < attributes.width; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y);
      result.setPixel(x, y, static_cast<QRgb>(0xFF000000u | (pixel & 0xFFFFFFu)));
    }
  }
  XDestroyImage(image);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "x11_helper: no X display\n");
    return 1;
  }
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "window") {
    const int width = argc > 3 ? std::atoi(argv[2]) : 700;
    const int height = argc > 3 ? std::atoi(argv[3]) : 320;
    return createWindow(display, width, height);
  }
  if (command == "pixel" && argc == 5) {
    const QImage image = grab(display, parseId(argv[2]));
    const int x = std::atoi(argv[3]);
    const int y = std::atoi(argv[4]);
    if (!image.valid(x, y)) return 1;
    std::printf("%06X\n", image.pixel(x, y) & 0xFFFFFFu);
    return 0;
  }
  if (command == "snap" && argc == 4) {
    const QImage image = grab(display, parseId(argv[2]));
    return !image.isNull() && image.save(QString::fromLocal8Bit(argv[3])) ? 0 : 1;
  }
  std::fprintf(stderr, "uso: x11_helper window [W H] | pixel ID X Y | snap ID FILE.png\n");
  return 2;
}

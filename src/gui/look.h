#pragma once
// The look both forms share: fonts, colours, gradient panels, labels and
// the glyph buttons, so each form's constructor reads as its layout table.

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QRect>
#include <QString>
#include <QWidget>

namespace tvi::gui {

// Fonts are given in pixels, so that a layout made in pixels keeps its
// proportions at any resolution. Where Arial or MS Sans Serif is missing,
// Liberation Sans takes its place: its glyphs have Arial's widths, so the
// texts break where they would on Windows.
QFont formFont();                             // MS Sans Serif, height 11 px
QFont arialFont(int pixelSize, bool bold = true);
QFont boldFormFont();

namespace colour {
inline const QColor red{0xFF, 0x00, 0x00};
inline const QColor maroon{0x80, 0x00, 0x00};
inline const QColor blue{0x00, 0x00, 0xFF};
inline const QColor black{0x00, 0x00, 0x00};
inline const QColor white{0xFF, 0xFF, 0xFF};
inline const QColor yellow{0xFF, 0xFF, 0x00};
inline const QColor skyBlue{0xA6, 0xCA, 0xF0};
// The system's colour for the text of an inactive caption bar.
QColor inactiveCaptionText();
}  // namespace colour

// The key of the help topic a control leads F1 to; looked up from the
// focused control outwards.
inline constexpr const char* kHelpContextProperty = "helpContext";
void setHelpContext(QWidget* widget, int context);
// The help context of `widget` or of its nearest ancestor that has one; 0
// when none has.
int helpContextOf(const QWidget* widget);

// A panel painted with a vertical three-colour gradient (top, middle,
// bottom), the background of both forms.
class GradientPanel : public QWidget {
 public:
  GradientPanel(QColor top, QColor middle, QColor bottom, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor top_, middle_, bottom_;
};

struct LabelStyle {
  QFont font;
  QColor colour = colour::black;
  bool transparent = false;  // else the label paints the form's face colour
  bool wordWrap = false;
};

QLabel* makeLabel(QWidget* parent, const char* objectName, const QRect& place,
                  const QString& text, const LabelStyle& style);

// Button kinds with their glyphs: a green tick for the OK kind, an open door
// for the close kind.
enum class Glyph { None, Ok, Close };
QPushButton* makeButton(QWidget* parent, const char* objectName, const QRect& place,
                        const QString& caption, Glyph glyph, int helpContext,
                        bool bold = false);

}  // namespace tvi::gui

#include "gui/look.h"

#include <QIcon>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QVariant>

namespace tvi::gui {

namespace {

QFont fontOf(const QStringList& families, int pixelSize, bool bold) {
  QFont font;
  font.setFamilies(families);
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

const QStringList& formFamilies() {
  static const QStringList families{"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans",
                                    "Arial"};
  return families;
}

const QStringList& arialFamilies() {
  static const QStringList families{"Arial", "Liberation Sans"};
  return families;
}

QIcon okGlyph() {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0x00, 0x80, 0x00), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPolyline(QPolygonF({QPointF(2.5, 8.5), QPointF(6.5, 12.5), QPointF(13.5, 3.5)}));
  return QIcon(pixmap);
}

QIcon closeGlyph() {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  // Door frame, then the door standing open towards the viewer.
  p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
  p.setBrush(QColor(0x20, 0x20, 0x20));
  p.drawRect(QRectF(4.5, 1.5, 9, 13));
  QPainterPath door;
  door.moveTo(4.5, 1.5);
  door.lineTo(10.5, 3.5);
  door.lineTo(10.5, 15.5);
  door.lineTo(4.5, 14.5);
  door.closeSubpath();
  p.setBrush(QColor(0xC0, 0x80, 0x30));
  p.drawPath(door);
  p.setBrush(QColor(0xFF, 0xE0, 0x40));
  p.drawEllipse(QPointF(9, 9), 0.9, 0.9);
  return QIcon(pixmap);
}

}  // namespace

QFont formFont() { return fontOf(formFamilies(), 11, false); }
QFont boldFormFont() { return fontOf(formFamilies(), 11, true); }
QFont arialFont(int pixelSize, bool bold) { return fontOf(arialFamilies(), pixelSize, bold); }

void setHelpContext(QWidget* widget, int context) {
  widget->setProperty(kHelpContextProperty, context);
}

int helpContextOf(const QWidget* widget) {
  for (const QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
    const QVariant value = w->property(kHelpContextProperty);
    if (value.isValid() && value.toInt() != 0) return value.toInt();
  }
  return 0;
}

GradientPanel::GradientPanel(QColor top, QColor middle, QColor bottom, QWidget* parent)
    : QWidget(parent), top_(top), middle_(middle), bottom_(bottom) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void GradientPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QLinearGradient gradient(0, 0, 0, height());
  gradient.setColorAt(0.0, top_);
  gradient.setColorAt(0.5, middle_);
  gradient.setColorAt(1.0, bottom_);
  painter.fillRect(rect(), gradient);
}

QLabel* makeLabel(QWidget* parent, const char* objectName, const QRect& place,
                  const QString& text, const LabelStyle& style) {
  auto* label = new QLabel(parent);
  label->setObjectName(objectName);
  label->setGeometry(place);
  label->setTextFormat(Qt::PlainText);
  label->setText(text);
  label->setFont(style.font);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setWordWrap(style.wordWrap);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, style.colour);
  label->setPalette(palette);
  // An opaque label shows the form's face colour behind its text, as on the
  // original forms, where only some labels were made transparent.
  label->setAutoFillBackground(!style.transparent);
  return label;
}

QPushButton* makeButton(QWidget* parent, const char* objectName, const QRect& place,
                        const QString& caption, Glyph glyph, int helpContext, bool bold) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(objectName);
  button->setGeometry(place);
  button->setFont(bold ? boldFormFont() : formFont());
  switch (glyph) {
    case Glyph::Ok: button->setIcon(okGlyph()); break;
    case Glyph::Close: button->setIcon(closeGlyph()); break;
    case Glyph::None: break;
  }
  setHelpContext(button, helpContext);
  return button;
}

}  // namespace tvi::gui

// Conversions between the platform's values and Qt's: twips and pixels,
// host colours and QColor, the platform's font objects and QFont, Variant
// and QVariant, Qt's keys and the platform's virtual-key codes.
#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>
#include <QVariant>

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/font.h"
#include "platform/variant.h"

class QKeyEvent;
class QWidget;

namespace quorvel::qt {

// --- Text ---------------------------------------------------------------
inline QString toQString(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
inline std::string toStdString(const QString& s) { return s.toStdString(); }

// --- Twips --------------------------------------------------------------
// Twips per pixel for a widget: 1440 divided by its screen's logical DPI.
double twipsPerPixelX(const QWidget* widget);
double twipsPerPixelY(const QWidget* widget);

// One coordinate of a widget, in twips. It remembers the value it was last
// given, so that a value that is no whole number of pixels reads back
// exactly as long as the widget stays at the pixel it was put on; a move by
// anyone else reads as that pixel's twips.
class TwipsCoordinate {
public:
    // The pixel for the value.
    int set(float twips, double twipsPerPixel) {
        twips_ = twips;
        pixel_ = static_cast<int>(std::lround(twips / twipsPerPixel));
        return pixel_;
    }
    float read(int pixel, double twipsPerPixel) const {
        if (pixel == pixel_) return twips_;
        return static_cast<float>(pixel * twipsPerPixel);
    }
    int pixel() const { return pixel_; }

private:
    float twips_ = 0;
    int pixel_ = 0;
};

// Fails with 380 for a negative, infinite or NaN size.
void checkSize(float twips);

// --- Colours ------------------------------------------------------------
// RGB values are 0x00BBGGRR; a value with the high bit set names a system
// colour by its index, shown with the palette's colour for that use.
QColor colorOf(Color hostColor, const QPalette& palette);
Color hostColorOf(const QColor& color);
// The palette role that shows a system colour (QPalette::Window for an
// index that has none).
QPalette::ColorRole paletteRoleOf(int systemIndex);

// --- Fonts --------------------------------------------------------------
QFont qFontOf(const FontDescription& d);
FontDescription fontDescriptionOf(const QFont& f);

// --- Values -------------------------------------------------------------
// Empty and Null both come as a null QVariant (Null as std::nullptr_t),
// numbers as their type, Booleans as bool, dates as QDateTime, strings as
// QString, objects as ObjectRef.
QVariant toQVariant(const Variant& v);
// The reverse: bool gives a Boolean, int a Long (16-bit values an Integer
// when the QVariant holds a short), double a Double, float a Single,
// QString a String, QDate and QDateTime a Date, an invalid QVariant Empty and
// a std::nullptr_t Null. Failure 13 for anything else.
Variant fromQVariant(const QVariant& v);

// --- Keys ---------------------------------------------------------------
// The virtual-key code of a key event (0 for a key that has none).
std::int16_t virtualKeyOf(const QKeyEvent& event);
// The shift bits of Qt's keyboard modifiers.
std::int16_t shiftStateOf(Qt::KeyboardModifiers modifiers);
Qt::KeyboardModifiers modifiersOf(std::int16_t shift);
// The Qt key of a virtual-key code (Qt::Key_unknown for none).
int qtKeyOf(std::int16_t virtualKey);
// Mouse buttons as the platform numbers them.
std::int16_t mouseButtonOf(Qt::MouseButton button);
std::int16_t mouseButtonsOf(Qt::MouseButtons buttons);

}  // namespace quorvel::qt

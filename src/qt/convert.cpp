#include "qt/convert.h"

#include <QDateTime>
#include <QKeyEvent>
#include <QWidget>

#include "host/keys.h"
#include "platform/failure.h"
#include "platform/key_codes.h"
#include "platform/locale.h"

namespace quorvel::qt {

namespace {

constexpr double kTwipsPerInch = 1440.0;

double twipsPerPixel(int dpi) { return dpi > 0 ? kTwipsPerInch / dpi : 15.0; }

struct KeyPair {
    int qt;
    std::int16_t vk;
};

// Keys whose virtual-key code is not their character code.
constexpr KeyPair kNamedKeys[] = {
    {Qt::Key_Backspace, key_code::kBackspace},
    {Qt::Key_Tab, key_code::kTab},
    {Qt::Key_Backtab, key_code::kTab},
    {Qt::Key_Return, key_code::kEnter},
    {Qt::Key_Enter, key_code::kEnter},
    {Qt::Key_Shift, key_code::kShift},
    {Qt::Key_Control, key_code::kControl},
    {Qt::Key_Alt, key_code::kAlt},
    {Qt::Key_Pause, key_code::kPause},
    {Qt::Key_CapsLock, key_code::kCapsLock},
    {Qt::Key_Escape, key_code::kEscape},
    {Qt::Key_Space, key_code::kSpace},
    {Qt::Key_PageUp, key_code::kPageUp},
    {Qt::Key_PageDown, key_code::kPageDown},
    {Qt::Key_End, key_code::kEnd},
    {Qt::Key_Home, key_code::kHome},
    {Qt::Key_Left, key_code::kLeft},
    {Qt::Key_Up, key_code::kUp},
    {Qt::Key_Right, key_code::kRight},
    {Qt::Key_Down, key_code::kDown},
    {Qt::Key_Insert, key_code::kInsert},
    {Qt::Key_Delete, key_code::kDelete},
    {Qt::Key_NumLock, key_code::kNumLock},
};

}  // namespace

double twipsPerPixelX(const QWidget* widget) { return twipsPerPixel(widget ? widget->logicalDpiX() : 96); }

double twipsPerPixelY(const QWidget* widget) { return twipsPerPixel(widget ? widget->logicalDpiY() : 96); }

void checkSize(float twips) {
    if (!(twips >= 0) || std::isinf(twips)) fail(failure::kInvalidPropertyValue);
}

// --- Colours ------------------------------------------------------------

QPalette::ColorRole paletteRoleOf(int index) {
    switch (index) {
        case 1:
        case 12:
        case 15: return QPalette::Button;  // desktop, workspace, face
        case 2:
        case 13: return QPalette::Highlight;  // active caption, highlight
        case 3:
        case 16: return QPalette::Mid;        // inactive caption, shadow
        case 4: return QPalette::Window;      // menu
        case 5: return QPalette::Base;        // window
        case 6: return QPalette::Shadow;      // window frame
        case 7: return QPalette::WindowText;  // menu text
        case 8: return QPalette::Text;        // window text
        case 9:
        case 14: return QPalette::HighlightedText;  // caption text, highlight text
        case 10:
        case 11: return QPalette::Midlight;         // borders
        case 17: return QPalette::PlaceholderText;  // grey text
        case 18: return QPalette::ButtonText;
        case 19: return QPalette::Light;     // inactive caption text
        case 20: return QPalette::Light;     // button highlight
        case 21: return QPalette::Shadow;    // 3D dark shadow
        case 22: return QPalette::Midlight;  // 3D light
        case 23: return QPalette::ToolTipText;
        case 24: return QPalette::ToolTipBase;
        default: return QPalette::Window;
    }
}

QColor colorOf(Color c, const QPalette& palette) {
    auto u = static_cast<std::uint32_t>(c);
    if (u & 0x80000000u) return palette.color(paletteRoleOf(static_cast<int>(u & 0xFFu)));
    return QColor(static_cast<int>(u & 0xFF), static_cast<int>((u >> 8) & 0xFF),
                  static_cast<int>((u >> 16) & 0xFF));
}

Color hostColorOf(const QColor& color) {
    QColor rgb = color.toRgb();
    return static_cast<Color>(static_cast<std::uint32_t>(rgb.red()) |
                              (static_cast<std::uint32_t>(rgb.green()) << 8) |
                              (static_cast<std::uint32_t>(rgb.blue()) << 16));
}

// --- Fonts --------------------------------------------------------------

QFont qFontOf(const FontDescription& d) {
    QFont f(toQString(d.name));
    if (d.size > 0) f.setPointSizeF(d.size);
    // Qt 6 weighs fonts on the same 100 to 900 scale.
    f.setWeight(static_cast<QFont::Weight>(std::clamp<int>(d.weight, 1, 1000)));
    f.setItalic(d.italic);
    f.setUnderline(d.underline);
    f.setStrikeOut(d.strikethrough);
    return f;
}

FontDescription fontDescriptionOf(const QFont& f) {
    FontDescription d;
    d.name = toStdString(f.family());
    d.size =
        f.pointSizeF() > 0 ? static_cast<float>(f.pointSizeF()) : static_cast<float>(f.pixelSize() * 0.75);
    d.weight = static_cast<std::int16_t>(f.weight());
    d.italic = f.italic();
    d.underline = f.underline();
    d.strikethrough = f.strikeOut();
    return d;
}

// --- Values -------------------------------------------------------------

QVariant toQVariant(const Variant& v) {
    switch (v.type()) {
        case Variant::Type::Empty: return QVariant();
        case Variant::Type::Null: return QVariant::fromValue(nullptr);
        case Variant::Type::Integer: return QVariant::fromValue(static_cast<short>(v.asInteger()));
        case Variant::Type::Long: return QVariant(static_cast<int>(v.asLong()));
        case Variant::Type::Single: return QVariant(v.asSingle());
        case Variant::Type::Double: return QVariant(v.asDouble());
        case Variant::Type::Boolean: return QVariant(v.asBoolean() != kFalse);
        case Variant::Type::String: return QVariant(toQString(v.asString()));
        case Variant::Type::Date: {
            CivilDateTime c = civilFromSerial(v.asDate());
            return QVariant(QDateTime(QDate(c.year, c.month, c.day), QTime(c.hour, c.minute, c.second)));
        }
        case Variant::Type::Object: return QVariant::fromValue(v.asObject());
    }
    return QVariant();
}

Variant fromQVariant(const QVariant& v) {
    if (!v.isValid()) return Variant();
    switch (v.metaType().id()) {
        case QMetaType::Nullptr: return Variant::null();
        case QMetaType::Bool: return Variant::boolean(v.toBool());
        case QMetaType::Short: return Variant(static_cast<std::int16_t>(v.value<short>()));
        case QMetaType::Int: return Variant(static_cast<std::int32_t>(v.toInt()));
        case QMetaType::Float: return Variant(v.toFloat());
        case QMetaType::Double: return Variant(v.toDouble());
        case QMetaType::QString: return Variant(toStdString(v.toString()));
        case QMetaType::QDate: {
            QDate d = v.toDate();
            return Variant::date(dateSerial(d.year(), d.month(), d.day()));
        }
        case QMetaType::QDateTime: {
            QDateTime t = v.toDateTime();
            return Variant::date(dateSerial(t.date().year(), t.date().month(), t.date().day(),
                                            t.time().hour(), t.time().minute(), t.time().second()));
        }
        default: break;
    }
    if (v.canConvert<ObjectRef>() && v.metaType() == QMetaType::fromType<ObjectRef>())
        return Variant(v.value<ObjectRef>());
    fail(failure::kTypeMismatch,
         "A value of type " + std::string(v.typeName()) + " has no counterpart in the control");
}

// --- Keys ---------------------------------------------------------------

std::int16_t virtualKeyOf(const QKeyEvent& event) {
    int key = event.key();
    const bool keypad = event.modifiers().testFlag(Qt::KeypadModifier);
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return static_cast<std::int16_t>((keypad ? key_code::kNumpad0 : key_code::kDigit0) +
                                         (key - Qt::Key_0));
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return static_cast<std::int16_t>(key_code::kLetterA + (key - Qt::Key_A));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F16)
        return static_cast<std::int16_t>(key_code::kF1 + (key - Qt::Key_F1));
    for (const auto& k : kNamedKeys)
        if (k.qt == key) return k.vk;
    // Punctuation: the key that types it on a US layout, as the headless
    // host's typing gives it.
    if (key > 0x20 && key < 0x7F) return host::virtualKeyOf(static_cast<char32_t>(key));
    QString text = event.text();
    if (!text.isEmpty()) return host::virtualKeyOf(text.toUcs4().value(0));
    return 0;
}

std::int16_t shiftStateOf(Qt::KeyboardModifiers m) {
    std::int16_t s = 0;
    if (m.testFlag(Qt::ShiftModifier)) s |= key_code::kShiftBit;
    if (m.testFlag(Qt::ControlModifier)) s |= key_code::kCtrlBit;
    if (m.testFlag(Qt::AltModifier)) s |= key_code::kAltBit;
    return s;
}

Qt::KeyboardModifiers modifiersOf(std::int16_t shift) {
    Qt::KeyboardModifiers m;
    if (shift & key_code::kShiftBit) m |= Qt::ShiftModifier;
    if (shift & key_code::kCtrlBit) m |= Qt::ControlModifier;
    if (shift & key_code::kAltBit) m |= Qt::AltModifier;
    return m;
}

int qtKeyOf(std::int16_t vk) {
    if (vk >= key_code::kDigit0 && vk <= key_code::kDigit0 + 9) return Qt::Key_0 + (vk - key_code::kDigit0);
    if (vk >= key_code::kLetterA && vk <= key_code::kLetterA + 25)
        return Qt::Key_A + (vk - key_code::kLetterA);
    if (vk >= key_code::kNumpad0 && vk <= key_code::kNumpad0 + 9)
        return Qt::Key_0 + (vk - key_code::kNumpad0);
    if (vk >= key_code::kF1 && vk <= key_code::kF1 + 15) return Qt::Key_F1 + (vk - key_code::kF1);
    for (const auto& k : kNamedKeys)
        if (k.vk == vk) return k.qt;
    return Qt::Key_unknown;
}

std::int16_t mouseButtonOf(Qt::MouseButton b) {
    switch (b) {
        case Qt::LeftButton: return key_code::kLeftButton;
        case Qt::RightButton: return key_code::kRightButton;
        case Qt::MiddleButton: return key_code::kMiddleButton;
        default: return 0;
    }
}

std::int16_t mouseButtonsOf(Qt::MouseButtons b) {
    std::int16_t out = 0;
    if (b.testFlag(Qt::LeftButton)) out |= key_code::kLeftButton;
    if (b.testFlag(Qt::RightButton)) out |= key_code::kRightButton;
    if (b.testFlag(Qt::MiddleButton)) out |= key_code::kMiddleButton;
    return out;
}

}  // namespace quorvel::qt

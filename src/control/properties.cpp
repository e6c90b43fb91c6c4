// The public properties whose value lives in one place and whose assignment
// does nothing beyond the write and the notification. Every get reads the
// place afresh; the control keeps no copy of a value that lives elsewhere.
// When the place refuses a value, the failure reaches the caller and no
// notification is sent.
#include "control/quorvel2000.h"
#include "platform/failure.h"

namespace quorvel {

// --- The edit box -------------------------------------------------------

Color Quorvel2000::BackColor() const { return Text2.backColor(); }
void Quorvel2000::setBackColor(Color v) {
    Text2.setBackColor(v);
    notify("BackColor");
}

Color Quorvel2000::ForeColor() const { return Text2.foreColor(); }
void Quorvel2000::setForeColor(Color v) {
    Text2.setForeColor(v);
    notify("ForeColor");
}

std::shared_ptr<quorvel::Font> Quorvel2000::Font() const { return Text2.font(); }
void Quorvel2000::setFont(std::shared_ptr<quorvel::Font> v) {
    Text2.setFont(std::move(v));
    notify("Font");
}

std::int16_t Quorvel2000::Alignment() const { return Text2.alignment(); }

VBool Quorvel2000::Locked() const { return Text2.locked(); }
void Quorvel2000::setLocked(VBool v) {
    Text2.setLocked(v);
    notify("Locked");
}

std::int32_t Quorvel2000::SelStart() const { return Text2.selStart(); }
void Quorvel2000::setSelStart(std::int32_t v) {
    Text2.setSelStart(v);
    notify("SelStart");
}

std::int32_t Quorvel2000::SelLength() const { return Text2.selLength(); }
void Quorvel2000::setSelLength(std::int32_t v) {
    Text2.setSelLength(v);
    notify("SelLength");
}

std::string Quorvel2000::SelText() const { return Text2.selText(); }
void Quorvel2000::setSelText(const std::string& v) {
    // The edit box reports the change inside the write, so its change
    // handler has run before the host hears of "SelText".
    Text2.setSelText(v);
    notify("SelText");
}

std::string Quorvel2000::Text() const { return Text2.text(); }
void Quorvel2000::setText(const std::string& v) {
    Text2.setText(v);
    notify("Text");
}

std::int32_t Quorvel2000::MaxLength() const { return Text2.maxLength(); }
void Quorvel2000::setMaxLength(std::int32_t v) {
    Text2.setMaxLength(v);
    notify("MaxLength");
}

// --- The control's surface ----------------------------------------------

VBool Quorvel2000::Enabled() const { return site_.surface().enabled(); }
void Quorvel2000::setEnabled(VBool v) {
    site_.surface().setEnabled(v);
    notify("Enabled");
}

float Quorvel2000::CurrentX() const { return site_.surface().currentX(); }
void Quorvel2000::setCurrentX(float v) {
    site_.surface().setCurrentX(v);
    notify("CurrentX");
}

float Quorvel2000::CurrentY() const { return site_.surface().currentY(); }
void Quorvel2000::setCurrentY(float v) {
    site_.surface().setCurrentY(v);
    notify("CurrentY");
}

VBool Quorvel2000::AutoRedraw() const { return site_.surface().autoRedraw(); }
void Quorvel2000::setAutoRedraw(VBool v) {
    site_.surface().setAutoRedraw(v);
    notify("AutoRedraw");
}

std::shared_ptr<Picture> Quorvel2000::MouseIcon() const { return site_.surface().mouseIcon(); }
void Quorvel2000::setMouseIcon(std::shared_ptr<Picture> v) {
    site_.surface().setMouseIcon(std::move(v));
    notify("MouseIcon");
}

std::int16_t Quorvel2000::MousePointer() const { return site_.surface().mousePointer(); }
void Quorvel2000::setMousePointer(std::int16_t v) {
    site_.surface().setMousePointer(v);
    notify("MousePointer");
}

std::int32_t Quorvel2000::hwnd() const { return site_.surface().hwnd(); }

// --- The grid -----------------------------------------------------------

std::int32_t Quorvel2000::MarqueeStyle() const { return DBGrid1.marqueeStyle(); }
void Quorvel2000::setMarqueeStyle(std::int32_t v) {
    DBGrid1.setMarqueeStyle(v);
    notify("MarqueeStyle");
}

float Quorvel2000::DefColWidth() const { return DBGrid1.defColWidth(); }
void Quorvel2000::setDefColWidth(float v) {
    DBGrid1.setDefColWidth(v);
    notify("DefColWidth");
}

std::int32_t Quorvel2000::ScrollBars() const { return DBGrid1.scrollBars(); }
void Quorvel2000::setScrollBars(std::int32_t v) {
    DBGrid1.setScrollBars(v);
    notify("ScrollBars");
}

std::shared_ptr<quorvel::Font> Quorvel2000::ListBodyFont() const { return DBGrid1.font(); }
void Quorvel2000::setListBodyFont(std::shared_ptr<quorvel::Font> v) {
    DBGrid1.setFont(std::move(v));
    notify("ListBodyFont");
}

std::shared_ptr<quorvel::Font> Quorvel2000::ListHeadFont() const { return DBGrid1.headFont(); }
void Quorvel2000::setListHeadFont(std::shared_ptr<quorvel::Font> v) {
    DBGrid1.setHeadFont(std::move(v));
    notify("ListHeadFont");
}

Color Quorvel2000::ListForeColor() const { return DBGrid1.foreColor(); }
void Quorvel2000::setListForeColor(Color v) {
    DBGrid1.setForeColor(v);
    notify("ListForeColor");
}

Color Quorvel2000::ListBackColor() const { return DBGrid1.backColor(); }
void Quorvel2000::setListBackColor(Color v) {
    DBGrid1.setBackColor(v);
    notify("ListBackColor");
}

ObjectRef Quorvel2000::Columns(const std::optional<Variant>& index) const {
    return DBGrid1.columnsItem(index);
}

// --- Behaviour kept in members ------------------------------------------

VBool Quorvel2000::DropDownAuto() const { return dropDownAuto; }
void Quorvel2000::setDropDownAuto(VBool v) {
    dropDownAuto = v;
    notify("DropDownAuto");
}

VBool Quorvel2000::OnListOnly() const { return onListOnly; }
void Quorvel2000::setOnListOnly(VBool v) {
    // Mirror mode follows only at the next configuration of the data source.
    onListOnly = v;
    notify("OnListOnly");
}

std::int32_t Quorvel2000::ListHeight() const { return listHeight; }
void Quorvel2000::setListHeight(std::int32_t v) {
    // Takes effect at the next run of the layout routine.
    listHeight = v;
    notify("ListHeight");
}

VBool Quorvel2000::BringToFront() const { return bringToFront; }
void Quorvel2000::setBringToFront(VBool v) {
    bringToFront = v;
    notify("BringToFront");
}

VBool Quorvel2000::SearchDisable() const { return searchDisable; }
void Quorvel2000::setSearchDisable(VBool v) {
    searchDisable = v;
    notify("SearchDisable");
}

std::int16_t Quorvel2000::KeyboardConventions() const { return keyboardConventions; }
void Quorvel2000::setKeyboardConventions(std::int16_t v) {
    if (v != kOwnKeys && v != kComboBoxKeys) fail(failure::kInvalidPropertyValue);
    keyboardConventions = v;
    notify("KeyboardConventions");
}

Variant Quorvel2000::About() const { return about; }
void Quorvel2000::setAbout(const Variant& v) {
    about = v;
    notify("About");
}

VBool Quorvel2000::FastMode() const { return fastMode; }
void Quorvel2000::setFastMode(VBool v) {
    fastMode = v;
    notify("FastMode");
    if (fastMode != 0) return;
    // Leaving fast mode brings the edit box in line with the bound value,
    // without telling the host that the value changed: it did not.
    skipBoundChange = kFalse;
    FlagScope quiet(quietBoundRefresh);
    boundValueChanged();
}

}  // namespace quorvel

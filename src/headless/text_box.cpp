#include "headless/text_box.h"

#include "platform/key_codes.h"

namespace quorvel::headless {

HeadlessTextBox::HeadlessTextBox(std::string name, TextBoxEvents& events, ChildHost* host)
    : EditBox(std::move(name), host, 0.0f, 0.0f, 1215.0f, 285.0f), events_(events), font_(Font::make()) {}

void HeadlessTextBox::setFont(std::shared_ptr<Font> font) {
    if (!font) fail(failure::kInvalidPropertyValue);
    font_ = std::move(font);
}

void HeadlessTextBox::setAlignment(std::int16_t v) {
    if (v < 0 || v > 2) fail(failure::kInvalidPropertyValue);
    alignment_ = v;
}

void HeadlessTextBox::setBorderStyle(std::int16_t v) {
    if (v < 0 || v > 1) fail(failure::kInvalidPropertyValue);
    borderStyle_ = v;
}

void HeadlessTextBox::setAppearance(std::int16_t v) {
    if (v < 0 || v > 1) fail(failure::kInvalidPropertyValue);
    appearance_ = v;
}

void HeadlessTextBox::keyDown(std::int16_t keyCode, std::int16_t shift) {
    events_.onKeyDown(keyCode, shift);
    if (keyCode == key_code::kDelete) {
        edited(edit_.deleteForward());
        return;
    }
    edit_.moveKey(keyCode, (shift & key_code::kShiftBit) != 0);
}

void HeadlessTextBox::keyPress(std::int16_t keyAscii) {
    events_.onKeyPress(keyAscii);
    edited(edit_.typeUnit(static_cast<char16_t>(static_cast<std::uint16_t>(keyAscii))));
}

void HeadlessTextBox::paste(const std::string& clip) { edited(edit_.paste(clip)); }

void HeadlessTextBox::keyUp(std::int16_t keyCode, std::int16_t shift) { events_.onKeyUp(keyCode, shift); }

void HeadlessTextBox::click() { events_.onClick(); }

void HeadlessTextBox::dblClick() { events_.onDblClick(); }

void HeadlessTextBox::mouseDown(std::int16_t button, std::int16_t shift, float x, float y) {
    events_.onMouseDown(button, shift, x, y);
}

void HeadlessTextBox::mouseMove(std::int16_t button, std::int16_t shift, float x, float y) {
    events_.onMouseMove(button, shift, x, y);
}

void HeadlessTextBox::mouseUp(std::int16_t button, std::int16_t shift, float x, float y) {
    events_.onMouseUp(button, shift, x, y);
}

}  // namespace quorvel::headless

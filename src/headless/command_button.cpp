#include "headless/command_button.h"

namespace quorvel::headless {

HeadlessCommandButton::HeadlessCommandButton(std::string name, CommandButtonEvents& events, ChildHost* host)
    : ChildWindowImpl<CommandButton>(std::move(name), host, 0, 0, 1215, 375), events_(events) {}

void HeadlessCommandButton::setStyle(std::int16_t v) {
    if (v != 0 && v != 1) fail(failure::kInvalidPropertyValue);
    style_ = v;
}

void HeadlessCommandButton::keyDown(std::int16_t keyCode, std::int16_t shift) {
    (void)shift;
    if (keyCode == 13) click();
}

void HeadlessCommandButton::keyUp(std::int16_t keyCode, std::int16_t shift) {
    (void)shift;
    if (keyCode == 32) click();
}

}  // namespace quorvel::headless

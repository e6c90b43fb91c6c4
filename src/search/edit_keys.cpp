// Placeholder until this subsystem is written.
#include "control/quorvel2000.h"

namespace quorvel {

void Quorvel2000::editKeyDown(std::int16_t&, std::int16_t&) {}
void Quorvel2000::editKeyPress(std::int16_t&) {}
void Quorvel2000::editClick() {}
void Quorvel2000::editDblClick() {}
void Quorvel2000::editMouseDown(std::int16_t&, std::int16_t&, float&, float&) {}
void Quorvel2000::editMouseMove(std::int16_t&, std::int16_t&, float&, float&) {}
void Quorvel2000::editMouseUp(std::int16_t&, std::int16_t&, float&, float&) {}

}  // namespace quorvel

// Placeholder until this subsystem is written.
#include "control/quorvel2000.h"

namespace quorvel {

void Quorvel2000::paintSurface() {}
void Quorvel2000::enterFocus() {}
void Quorvel2000::exitFocus() {}
void Quorvel2000::surfaceMouseDown(std::int16_t&, std::int16_t&, float&, float&) {}
void Quorvel2000::surfaceMouseMove(std::int16_t&, std::int16_t&, float&, float&) {}
void Quorvel2000::surfaceMouseUp(std::int16_t&, std::int16_t&, float&, float&) {}
std::int16_t Quorvel2000::BorderStyle() const { return Text2->borderStyle(); }
std::int16_t Quorvel2000::Appearance() const { return Text2->appearance(); }

}  // namespace quorvel

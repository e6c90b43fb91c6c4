// Placeholder until this subsystem is written.
#include "control/quorvel2000.h"

namespace quorvel {

void Quorvel2000::gridKeyDown(std::int16_t&, std::int16_t&) {}
void Quorvel2000::gridMouseDown(std::int16_t&, std::int16_t&, float&, float&) {}
void Quorvel2000::gridMouseMove(std::int16_t&, std::int16_t&, float&, float&) {}
void Quorvel2000::gridMouseUp(std::int16_t&, std::int16_t&, float&, float&) {}

}  // namespace quorvel

// Placeholder until this subsystem is written.
#include "control/quorvel2000.h"

namespace quorvel {

void Quorvel2000::editChanged() {}
void Quorvel2000::editKeyUp(std::int16_t&, std::int16_t&) {}

}  // namespace quorvel

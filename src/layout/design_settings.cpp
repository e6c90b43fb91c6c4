// Placeholder until this subsystem is written.
#include "control/quorvel2000.h"

namespace quorvel {

void Quorvel2000::applyDesignTimeSettings() {}

}  // namespace quorvel

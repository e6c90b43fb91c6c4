// Placeholder until this subsystem is written.
#include "control/quorvel2000.h"

namespace quorvel {

void Quorvel2000::ListaApri() {}
void Quorvel2000::ListaChiudi() {}
void Quorvel2000::buttonClick() {}
void Quorvel2000::buttonMouseDown(std::int16_t&, std::int16_t&, float&, float&) {}
void Quorvel2000::buttonMouseMove(std::int16_t&, std::int16_t&, float&, float&) {}
void Quorvel2000::buttonMouseUp(std::int16_t&, std::int16_t&, float&, float&) {}

}  // namespace quorvel

namespace quorvel {
VBool Quorvel2000::DropDown() const { return listOpen; }
void Quorvel2000::setDropDown(VBool) {}
}  // namespace quorvel

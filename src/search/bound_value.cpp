// Placeholder until this subsystem is written.
#include "control/quorvel2000.h"

namespace quorvel {

void Quorvel2000::boundValueChanged() {}

}  // namespace quorvel

namespace quorvel {
std::string Quorvel2000::BoundText() const { return Text1->text(); }
void Quorvel2000::setBoundText(const std::string&) {}
Variant Quorvel2000::BoundField() const { return boundField; }
void Quorvel2000::setBoundField(const Variant&) {}
Variant Quorvel2000::ListSearchField() const { return listSearchField; }
void Quorvel2000::setListSearchField(const Variant&) {}
}  // namespace quorvel

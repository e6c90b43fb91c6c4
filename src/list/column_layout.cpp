// Placeholder until this subsystem is written.
#include "control/quorvel2000.h"

namespace quorvel {

void Quorvel2000::AssettaGrid() {}
void Quorvel2000::AssettaGridDefault() {}

}  // namespace quorvel

namespace quorvel {
std::string Quorvel2000::ColsCaption() const { return colsCaption; }
void Quorvel2000::setColsCaption(const std::string&) {}
std::string Quorvel2000::ColsField() const { return colsField; }
void Quorvel2000::setColsField(const std::string&) {}
std::string Quorvel2000::ColsFormat() const { return colsFormat; }
void Quorvel2000::setColsFormat(const std::string&) {}
std::string Quorvel2000::ColsSize() const { return colsSize; }
void Quorvel2000::setColsSize(const std::string&) {}
std::string Quorvel2000::ColsAlignment() const { return colsAlignment; }
void Quorvel2000::setColsAlignment(const std::string&) {}
}  // namespace quorvel

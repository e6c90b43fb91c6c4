#include "headless/property_bag.h"

namespace quorvel::headless {

Variant MemoryPropertyBag::readProperty(std::string_view name, const Variant& defaultValue) {
    auto it = values_.find(name);
    return it == values_.end() ? defaultValue : it->second;
}

void MemoryPropertyBag::writeProperty(std::string_view name, const Variant& value,
                                      const Variant& defaultValue) {
    auto it = values_.find(name);
    if (value == defaultValue) {
        if (it != values_.end()) values_.erase(it);
        return;
    }
    if (it != values_.end()) {
        it->second = value;
        return;
    }
    values_.emplace(std::string(name), value);
}

bool MemoryPropertyBag::contains(std::string_view name) const { return values_.count(name) > 0; }

}  // namespace quorvel::headless

// A property bag kept in memory, for tests that save a control and load it
// again without a file. The persistent bag of the host is a JSON document
// and lives elsewhere; this one only keeps the contract: a default is never
// stored, and a name never written reads as the default it is asked with.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "platform/host.h"

namespace quorvel::headless {

class MemoryPropertyBag final : public PropertyBag {
public:
    Variant readProperty(std::string_view name, const Variant& defaultValue) override;
    // Writing the default also drops an earlier value of that name, so the
    // bag always holds what the last save would have written.
    void writeProperty(std::string_view name, const Variant& value, const Variant& defaultValue) override;

    bool contains(std::string_view name) const;
    std::size_t size() const { return values_.size(); }
    // Names in alphabetical order; every entry differs from its default.
    const std::map<std::string, Variant, std::less<>>& values() const { return values_; }
    void clear() { values_.clear(); }

private:
    std::map<std::string, Variant, std::less<>> values_;
};

}  // namespace quorvel::headless

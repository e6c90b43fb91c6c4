#include "platform/data.h"

#include "platform/failure.h"

namespace quorvel {

Field& Fields::itemOf(const Variant& indexOrName) {
    switch (indexOrName.type()) {
        case Variant::Type::String: return item(std::string_view(indexOrName.asString()));
        case Variant::Type::Integer:
        case Variant::Type::Long:
        case Variant::Type::Single:
        case Variant::Type::Double:
        case Variant::Type::Boolean: return item(indexOrName.toLong());
        default: fail(failure::kItemNotFound);
    }
}

}  // namespace quorvel

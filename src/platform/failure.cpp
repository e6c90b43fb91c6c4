#include "platform/failure.h"

namespace quorvel {

std::string standardDescription(std::int32_t number) {
    switch (number) {
        case failure::kInvalidProcedureCall: return "Invalid procedure call or argument";
        case failure::kOverflow: return "Overflow";
        case failure::kOutOfMemory: return "Out of memory";
        case failure::kSubscriptOutOfRange: return "Subscript out of range";
        case failure::kTypeMismatch: return "Type mismatch";
        case failure::kOutOfStackSpace: return "Out of stack space";
        case failure::kObjectNotSet: return "Object variable or With block variable not set";
        case failure::kInvalidUseOfNull: return "Invalid use of Null";
        case failure::kInvalidPropertyValue: return "Invalid property value";
        case failure::kPropertyReadOnly: return "Can't assign to read-only property";
        case failure::kPropertyWriteOnly: return "Property is write-only";
        case failure::kMethodNotSupported: return "Object doesn't support this property or method";
        case failure::kNoCurrentRecord: return "No current record.";
        case failure::kFileNotFound: return "Could not find file.";
        case failure::kNotValidPassword: return "Not a valid password.";
        case failure::kItemNotFound: return "Item not found in this collection.";
        default: return "Application-defined or object-defined error";
    }
}

void fail(std::int32_t number) { throw Failure(number, standardDescription(number)); }

void fail(std::int32_t number, std::string description) { throw Failure(number, std::move(description)); }

}  // namespace quorvel

// What a call fails with: the tests' way of checking a Failure's number or
// description in one expression.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/failure.h"

namespace quorvel::testing {

// The number of the Failure that `action` throws, or 0 when it throws none.
inline std::int32_t failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Failure& failure) { return failure.number(); }
    return 0;
}

// The description of the Failure that `action` throws ("" for none).
inline std::string descriptionOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Failure& failure) { return failure.description(); }
    return {};
}

}  // namespace quorvel::testing

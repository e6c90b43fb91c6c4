// The one exception type that crosses the platform boundary.
//
// Every platform operation that fails throws Failure with the host's standard
// number; the control's handlers catch it and read the number as the host's
// error object would give it.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace quorvel {

namespace failure {
inline constexpr std::int32_t kInvalidProcedureCall = 5;
inline constexpr std::int32_t kOverflow = 6;
inline constexpr std::int32_t kOutOfMemory = 7;
inline constexpr std::int32_t kSubscriptOutOfRange = 9;
inline constexpr std::int32_t kTypeMismatch = 13;
inline constexpr std::int32_t kOutOfStackSpace = 28;
inline constexpr std::int32_t kObjectNotSet = 91;
inline constexpr std::int32_t kInvalidUseOfNull = 94;
inline constexpr std::int32_t kInvalidPropertyValue = 380;
inline constexpr std::int32_t kPropertyReadOnly = 383;
inline constexpr std::int32_t kPropertyWriteOnly = 394;
inline constexpr std::int32_t kMethodNotSupported = 438;
inline constexpr std::int32_t kNoCurrentRecord = 3021;
inline constexpr std::int32_t kFileNotFound = 3024;
inline constexpr std::int32_t kNotValidPassword = 3031;
inline constexpr std::int32_t kItemNotFound = 3265;
}  // namespace failure

class Failure : public std::exception {
public:
    Failure(std::int32_t number, std::string description)
        : number_(number), description_(std::move(description)) {}

    std::int32_t number() const noexcept { return number_; }
    const std::string& description() const noexcept { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    std::int32_t number_;
    std::string description_;
};

// The host's standard descriptions for its standard numbers.
[[noreturn]] void fail(std::int32_t number);
[[noreturn]] void fail(std::int32_t number, std::string description);
std::string standardDescription(std::int32_t number);

}  // namespace quorvel

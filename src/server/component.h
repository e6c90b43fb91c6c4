// The small component runtime that the control's module is served by.
//
// A host finds a class by its identifier in a registry file, loads the
// module that serves it, asks the module's DllGetClassObject for the class
// factory and has the factory create the control for one of its sites. The
// objects count their references; a module may be unloaded when it has no
// object alive and no lock (DllCanUnloadNow).
//
// These are C++ interfaces: host and module are built with the same
// compiler and share the platform's value types. Calls that the runtime
// makes return result codes; the control's own members (through invoke)
// fail with quorvel::Failure as every platform operation does.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <utility>

#include "control/dispatch.h"
#include "control/interface_description.h"
#include "platform/host.h"

namespace quorvel::component {

using Result = std::int32_t;

inline constexpr Result kOk = 0;
inline constexpr Result kFalse = 1;
inline constexpr Result kNotImplemented = static_cast<Result>(0x80004001);
inline constexpr Result kNoInterface = static_cast<Result>(0x80004002);
inline constexpr Result kPointer = static_cast<Result>(0x80004003);
inline constexpr Result kFail = static_cast<Result>(0x80004005);
inline constexpr Result kNoAggregation = static_cast<Result>(0x80040110);
inline constexpr Result kClassNotAvailable = static_cast<Result>(0x80040111);
inline constexpr Result kRegistrationFailed = static_cast<Result>(0x80040201);
inline constexpr Result kOutOfMemory = static_cast<Result>(0x8007000E);
inline constexpr Result kInvalidArgument = static_cast<Result>(0x80070057);

inline constexpr bool succeeded(Result r) { return r >= 0; }

// The identifiers of the runtime's own interfaces, as the component model
// has always numbered them.
inline constexpr Guid kUnknownId{
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr Guid kClassFactoryId{
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class Unknown {
public:
    // Hands out the interface with that identifier, counted; kNoInterface
    // (and a null *out) for one the object does not have.
    virtual Result queryInterface(const Guid& iid, void** out) = 0;
    virtual std::uint32_t addRef() = 0;
    // The object deletes itself when the count reaches 0.
    virtual std::uint32_t release() = 0;

protected:
    ~Unknown() = default;
};

class ClassFactory : public Unknown {
public:
    // A new control on the site, which must outlive it. kPointer for a null
    // site or out; kNoInterface for an interface the control does not have.
    virtual Result createInstance(ControlSite* site, const Guid& iid, void** out) = 0;
    // A lock keeps the module loaded with no object alive.
    virtual Result lockServer(bool lock) = 0;

protected:
    ~ClassFactory() = default;
};

// The control as its host holds it: the default interface `_Quorvel2000`,
// dual, so reachable by identifier and through the typed API.
class ControlObject : public Unknown {
public:
    // Late bound: see control/dispatch.h.
    virtual std::int32_t idOfName(std::string_view name) = 0;
    virtual Variant invoke(std::int32_t dispid, InvokeKind kind, std::span<Variant> arguments) = 0;

    // The host's lifecycle calls: exactly one of initNew (a newly placed
    // instance) and load (a stored one), then save as often as it likes.
    virtual void initNew() = 0;
    virtual void load(PropertyBag& bag) = 0;
    virtual void save(PropertyBag& bag) = 0;

    // The typed API.
    virtual Quorvel2000& control() = 0;

protected:
    ~ControlObject() = default;
};

// Holds one counted reference and releases it when done.
template <class T>
class Ref {
public:
    Ref() = default;
    // Takes over a reference that the caller already holds.
    static Ref adopt(T* p) {
        Ref r;
        r.p_ = p;
        return r;
    }
    Ref(const Ref& o) : p_(o.p_) {
        if (p_) p_->addRef();
    }
    Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    Ref& operator=(Ref o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~Ref() { reset(); }

    void reset() {
        if (T* p = std::exchange(p_, nullptr)) p->release();
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For an out parameter: drops the current reference first.
    void** out() {
        reset();
        return reinterpret_cast<void**>(&p_);
    }

private:
    T* p_ = nullptr;
};

}  // namespace quorvel::component

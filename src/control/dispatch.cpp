#include "control/dispatch.h"

#include <algorithm>
#include <optional>
#include <type_traits>

#include "control/member_table.h"
#include "control/member_values.h"
#include "platform/failure.h"

namespace quorvel {

namespace {

using idl::MemberDescription;
using idl::MemberKind;
using idl::ValueType;
using Arguments = std::span<Variant>;

using Q = Quorvel2000;
using Getter = Variant (*)(Quorvel2000&, Arguments);
using Putter = void (*)(Quorvel2000&, const Locale&, const Variant&);
using Caller = Variant (*)(Quorvel2000&, Arguments);

// The member table's type of a property is the type of its accessors: a row
// whose type and accessors differ stops the build here.
template <ValueType T, auto Get>
constexpr bool readsItsType() {
    if constexpr (std::is_invocable_v<decltype(Get), const Q&>)
        return std::is_same_v<std::invoke_result_t<decltype(Get), const Q&>, idl::ControlValueOf<T>>;
    else
        return std::is_same_v<std::invoke_result_t<decltype(Get), const Q&, std::optional<Variant>>,
                              idl::ControlValueOf<T>>;
}

template <ValueType T, auto Get>
Variant read(Q& c, Arguments a) {
    static_assert(readsItsType<T, Get>(), "a getter does not return the member table's type");
    if constexpr (std::is_invocable_v<decltype(Get), const Q&>) {
        return idl::toVariant<T>((c.*Get)());
    } else {
        // An indexed property. An omitted index stays omitted: the grid
        // decides what that means.
        if (a.empty()) return idl::toVariant<T>((c.*Get)(std::nullopt));
        return idl::toVariant<T>((c.*Get)(a[0]));
    }
}

template <ValueType T, auto Put>
void write(Q& c, const Locale& locale, const Variant& v) {
    static_assert(std::is_invocable_v<decltype(Put), Q&, idl::ControlValueOf<T>>,
                  "a setter does not take the member table's type");
    (c.*Put)(idl::fromVariant<T>(v, locale));
}

// A method takes nothing, or one Variant by reference that it may change.
template <ValueType T, auto Method>
Variant call(Q& c, Arguments a) {
    if constexpr (std::is_invocable_v<decltype(Method), Q&>) {
        static_assert(T == ValueType::None);
        (c.*Method)();
        return Variant();
    } else {
        static_assert(
            std::is_same_v<std::invoke_result_t<decltype(Method), Q&, Variant&>, idl::ControlValueOf<T>>);
        return Variant((c.*Method)(a[0]));
    }
}

// How each member reaches the typed API: a property has a getter and,
// unless it is read-only, a putter (its let or its set, as the description
// says); a method has a caller. Made from the member table, so the
// bindings follow the slot order of the description.
struct Binding {
    Getter get = nullptr;
    Putter put = nullptr;
    Caller call = nullptr;
};

#define QV_BINDING_MethodNone(Name, T) \
    Binding { nullptr, nullptr, &call<T, &Q::Name> }
#define QV_BINDING_PropertyGet(Name, T) \
    Binding { &read<T, &Q::Name>, nullptr, nullptr }
#define QV_BINDING_PropertyGetLet(Name, T) \
    Binding { &read<T, &Q::Name>, &write<T, &Q::set##Name>, nullptr }
#define QV_BINDING_PropertyGetSet(Name, T) QV_BINDING_PropertyGetLet(Name, T)
#define QV_BINDING(Kind, Name, Dispid, Type, Access, Arguments, Flags, Saved, Description) \
    QV_BINDING_##Kind##Access(Name, ValueType::Type),

constexpr Binding kBindings[] = {QUORVEL_MEMBERS(QV_BINDING)};

#undef QV_BINDING_MethodNone
#undef QV_BINDING_PropertyGet
#undef QV_BINDING_PropertyGetLet
#undef QV_BINDING_PropertyGetSet
#undef QV_BINDING

// The bindings and the description are the member table's rows in the same
// order, so a member's binding is found by its slot.
const Binding& bindingOf(const MemberDescription& m) { return kBindings[m.slot - 1]; }

std::size_t requiredArguments(const MemberDescription& m) {
    return static_cast<std::size_t>(
        std::count_if(m.arguments.begin(), m.arguments.end(), [](const auto& a) { return !a.optional; }));
}

void checkArgumentCount(const MemberDescription& m, std::size_t given) {
    if (given < requiredArguments(m) || given > m.arguments.size())
        fail(kFailureWrongArgumentCount, "Wrong number of arguments or invalid property assignment");
}

}  // namespace

std::int32_t ControlDispatch::idOfName(std::string_view name) {
    if (name.empty()) return idl::kDispidText;
    const MemberDescription* m = idl::findMember(name);
    if (!m) fail(failure::kMethodNotSupported);
    return m->dispid;
}

Variant ControlDispatch::invoke(std::int32_t dispid, InvokeKind kind, std::span<Variant> arguments) {
    const MemberDescription* m = idl::findMember(dispid);
    if (!m) fail(failure::kMethodNotSupported);
    const Binding& b = bindingOf(*m);

    if (kind == InvokeKind::Method || kind == InvokeKind::PropertyGet) {
        checkArgumentCount(*m, arguments.size());
        if (m->kind == MemberKind::Method) return b.call(control_, arguments);
        return b.get(control_, arguments);
    }

    if (m->kind == MemberKind::Method) fail(failure::kMethodNotSupported);
    if (m->hasFlag(idl::kReadOnly)) fail(failure::kPropertyReadOnly);
    const bool wanted = kind == InvokeKind::PropertyLet ? m->hasAccess(idl::kLet) : m->hasAccess(idl::kSet);
    if (!wanted) fail(failure::kMethodNotSupported);
    // No assignable member takes an index: the value is the one argument.
    if (arguments.size() != 1)
        fail(kFailureWrongArgumentCount, "Wrong number of arguments or invalid property assignment");
    b.put(control_, site_.locale(), arguments[0]);
    return Variant();
}

Variant ControlDispatch::invoke(std::string_view name, InvokeKind kind, std::span<Variant> arguments) {
    return invoke(idOfName(name), kind, arguments);
}

Variant ControlDispatch::get(std::string_view name, std::span<Variant> arguments) {
    return invoke(name, InvokeKind::PropertyGet, arguments);
}

void ControlDispatch::let(std::string_view name, Variant value) {
    invoke(name, InvokeKind::PropertyLet, std::span<Variant>(&value, 1));
}

void ControlDispatch::set(std::string_view name, Variant object) {
    invoke(name, InvokeKind::PropertySet, std::span<Variant>(&object, 1));
}

Variant ControlDispatch::call(std::string_view name, std::span<Variant> arguments) {
    return invoke(name, InvokeKind::Method, arguments);
}

}  // namespace quorvel

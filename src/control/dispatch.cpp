#include "control/dispatch.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "control/value_conversion.h"
#include "platform/failure.h"

namespace quorvel {

namespace {

using idl::MemberDescription;
using idl::MemberKind;
using idl::ValueType;
using Arguments = std::span<Variant>;

// A typed value as the tagged value that the late-bound path hands back.
template <ValueType T, class V>
Variant wrap(const V& v) {
    if constexpr (T == ValueType::Boolean) return Variant::booleanValue(v);
    else if constexpr (T == ValueType::Integer) return Variant(static_cast<std::int16_t>(v));
    else if constexpr (T == ValueType::Long || T == ValueType::Colour ||
                       T == ValueType::MarqueeStyle || T == ValueType::ScrollBars)
        return Variant::longValue(v);
    else if constexpr (T == ValueType::Single) return Variant(static_cast<float>(v));
    else if constexpr (T == ValueType::String) return Variant(v);
    else if constexpr (T == ValueType::Variant) return v;
    else return Variant(ObjectRef(v));
}

// A tagged value as the type of the member it is assigned to.
template <ValueType T>
auto unwrap(const Variant& v, const Locale& locale) {
    if constexpr (T == ValueType::Boolean) return booleanFrom(v, locale);
    else if constexpr (T == ValueType::Integer) return integerFrom(v, locale);
    else if constexpr (T == ValueType::Long || T == ValueType::Colour ||
                       T == ValueType::MarqueeStyle || T == ValueType::ScrollBars)
        return longFrom(v, locale);
    else if constexpr (T == ValueType::Single) return singleFrom(v, locale);
    else if constexpr (T == ValueType::String) return textFrom(v, locale);
    else if constexpr (T == ValueType::Variant) return v;
    else if constexpr (T == ValueType::FontObject) return fontFrom(v);
    else if constexpr (T == ValueType::PictureObject) return pictureFrom(v);
    else if constexpr (T == ValueType::RecordsetObject) return recordsetFrom(v);
}

using Getter = Variant (*)(Quorvel2000&, Arguments);
using Putter = void (*)(Quorvel2000&, const Locale&, const Variant&);
using Caller = Variant (*)(Quorvel2000&, Arguments);

template <ValueType T, auto Get>
Variant read(Quorvel2000& c, Arguments) {
    return wrap<T>((c.*Get)());
}

template <ValueType T, auto Put>
void write(Quorvel2000& c, const Locale& locale, const Variant& v) {
    (c.*Put)(unwrap<T>(v, locale));
}

// How each member reaches the typed API. A property has a getter and, unless
// it is read-only, a putter (its let or its set, as the description says);
// a method has a caller.
struct Binding {
    std::string_view name;
    Getter get = nullptr;
    Putter put = nullptr;
    Caller call = nullptr;
};

template <ValueType T, auto Get, auto Put>
constexpr Binding property(std::string_view name) {
    return {name, &read<T, Get>, &write<T, Put>, nullptr};
}

template <ValueType T, auto Get>
constexpr Binding readOnly(std::string_view name) {
    return {name, &read<T, Get>, nullptr, nullptr};
}

template <auto Method>
Variant callVoid(Quorvel2000& c, Arguments) {
    (c.*Method)();
    return Variant();
}

template <auto Method>
constexpr Binding method(std::string_view name) {
    return {name, nullptr, nullptr, &callVoid<Method>};
}

using Q = Quorvel2000;
using VT = ValueType;

const Binding kBindings[] = {
    method<&Q::ImpostaDataControl>("ImpostaDataControl"),
    method<&Q::ListaApri>("ListaApri"),
    method<&Q::AssettaGrid>("AssettaGrid"),
    method<&Q::AssettaGridDefault>("AssettaGridDefault"),
    property<VT::Colour, &Q::BackColor, &Q::setBackColor>("BackColor"),
    method<&Q::ListaChiudi>("ListaChiudi"),
    property<VT::Colour, &Q::ForeColor, &Q::setForeColor>("ForeColor"),
    property<VT::FontObject, &Q::Font, &Q::setFont>("Font"),
    readOnly<VT::Integer, &Q::BorderStyle>("BorderStyle"),
    property<VT::String, &Q::ColsCaption, &Q::setColsCaption>("ColsCaption"),
    property<VT::String, &Q::ColsField, &Q::setColsField>("ColsField"),
    property<VT::String, &Q::ColsFormat, &Q::setColsFormat>("ColsFormat"),
    property<VT::String, &Q::ColsSize, &Q::setColsSize>("ColsSize"),
    property<VT::String, &Q::BoundText, &Q::setBoundText>("BoundText"),
    {"UnNull", nullptr, nullptr, [](Q& c, Arguments a) { return c.UnNull(a[0]); }},
    {"UnNull2", nullptr, nullptr, [](Q& c, Arguments a) { return c.UnNull2(a[0]); }},
    {"UnNullxSQL", nullptr, nullptr, [](Q& c, Arguments a) { return c.UnNullxSQL(a[0]); }},
    {"Val2", nullptr, nullptr, [](Q& c, Arguments a) { return c.Val2(a[0]); }},
    {"ValxSQL", nullptr, nullptr, [](Q& c, Arguments a) { return Variant(c.ValxSQL(a[0])); }},
    property<VT::Boolean, &Q::Locked, &Q::setLocked>("Locked"),
    property<VT::MarqueeStyle, &Q::MarqueeStyle, &Q::setMarqueeStyle>("MarqueeStyle"),
    property<VT::Long, &Q::SelStart, &Q::setSelStart>("SelStart"),
    property<VT::Long, &Q::SelLength, &Q::setSelLength>("SelLength"),
    property<VT::String, &Q::SelText, &Q::setSelText>("SelText"),
    property<VT::String, &Q::Text, &Q::setText>("Text"),
    property<VT::Variant, &Q::BoundField, &Q::setBoundField>("BoundField"),
    readOnly<VT::Integer, &Q::Alignment>("Alignment"),
    property<VT::Variant, &Q::ListSearchField, &Q::setListSearchField>("ListSearchField"),
    property<VT::Boolean, &Q::DropDown, &Q::setDropDown>("DropDown"),
    property<VT::Boolean, &Q::Enabled, &Q::setEnabled>("Enabled"),
    property<VT::Single, &Q::CurrentX, &Q::setCurrentX>("CurrentX"),
    property<VT::Single, &Q::CurrentY, &Q::setCurrentY>("CurrentY"),
    property<VT::Boolean, &Q::AutoRedraw, &Q::setAutoRedraw>("AutoRedraw"),
    readOnly<VT::Integer, &Q::Appearance>("Appearance"),
    property<VT::Single, &Q::DefColWidth, &Q::setDefColWidth>("DefColWidth"),
    property<VT::Long, &Q::MaxLength, &Q::setMaxLength>("MaxLength"),
    property<VT::PictureObject, &Q::MouseIcon, &Q::setMouseIcon>("MouseIcon"),
    property<VT::Integer, &Q::MousePointer, &Q::setMousePointer>("MousePointer"),
    property<VT::ScrollBars, &Q::ScrollBars, &Q::setScrollBars>("ScrollBars"),
    property<VT::Boolean, &Q::DropDownAuto, &Q::setDropDownAuto>("DropDownAuto"),
    property<VT::Boolean, &Q::OnListOnly, &Q::setOnListOnly>("OnListOnly"),
    readOnly<VT::Long, &Q::hwnd>("hwnd"),
    property<VT::Long, &Q::ListHeight, &Q::setListHeight>("ListHeight"),
    property<VT::String, &Q::ListDataBaseName, &Q::setListDataBaseName>("ListDataBaseName"),
    property<VT::String, &Q::ListRecordSource, &Q::setListRecordSource>("ListRecordSource"),
    property<VT::String, &Q::Connect, &Q::setConnect>("Connect"),
    property<VT::Integer, &Q::DefaultCursorType, &Q::setDefaultCursorType>("DefaultCursorType"),
    property<VT::Integer, &Q::DefaultType, &Q::setDefaultType>("DefaultType"),
    property<VT::Integer, &Q::Options, &Q::setOptions>("Options"),
    property<VT::Integer, &Q::ListRecordsetType, &Q::setListRecordsetType>("ListRecordsetType"),
    property<VT::String, &Q::ColsAlignment, &Q::setColsAlignment>("ColsAlignment"),
    property<VT::FontObject, &Q::ListBodyFont, &Q::setListBodyFont>("ListBodyFont"),
    property<VT::FontObject, &Q::ListHeadFont, &Q::setListHeadFont>("ListHeadFont"),
    property<VT::Colour, &Q::ListForeColor, &Q::setListForeColor>("ListForeColor"),
    method<&Q::Refresh>("Refresh"),
    method<&Q::ListRefresh>("ListRefresh"),
    property<VT::Boolean, &Q::FastMode, &Q::setFastMode>("FastMode"),
    {"Columns",
     [](Q& c, Arguments a) {
         // An omitted index stays omitted: the grid decides what that means.
         if (a.empty()) return Variant(c.Columns());
         return Variant(c.Columns(a[0]));
     },
     nullptr, nullptr},
    property<VT::Colour, &Q::ListBackColor, &Q::setListBackColor>("ListBackColor"),
    property<VT::Boolean, &Q::BringToFront, &Q::setBringToFront>("BringToFront"),
    property<VT::Variant, &Q::About, &Q::setAbout>("About"),
    property<VT::RecordsetObject, &Q::ListRecordset, &Q::setListRecordset>("ListRecordset"),
    property<VT::Boolean, &Q::SearchDisable, &Q::setSearchDisable>("SearchDisable"),
};

static_assert(std::size(kBindings) == 63);

// The bindings follow the slot order of the description, so a member's
// binding is found by its slot; the names are compared once, so that a
// member added to one table and not the other cannot call the wrong thing.
const Binding& bindingOf(const MemberDescription& m) {
    static const bool aligned = [] {
        auto all = idl::members();
        if (all.size() != std::size(kBindings)) return false;
        for (std::size_t i = 0; i < all.size(); ++i)
            if (all[i].name != kBindings[i].name || all[i].slot != static_cast<int>(i) + 1)
                return false;
        return true;
    }();
    if (!aligned) throw std::logic_error("the late-bound table does not follow the interface");
    return kBindings[m.slot - 1];
}

std::size_t requiredArguments(const MemberDescription& m) {
    return static_cast<std::size_t>(std::count_if(m.arguments.begin(), m.arguments.end(),
                                                  [](const auto& a) { return !a.optional; }));
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
    const bool wanted = kind == InvokeKind::PropertyLet ? m->hasAccess(idl::kLet)
                                                        : m->hasAccess(idl::kSet);
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

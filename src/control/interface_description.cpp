// The interface table, made from the member table, and the events.
#include "control/interface_description.h"

#include <algorithm>
#include <cstdio>
#include <type_traits>

#include "control/events.h"
#include "control/member_table.h"
#include "control/member_values.h"
#include "platform/text.h"

namespace quorvel {

std::string Guid::toString() const {
    char buf[39];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(data1), static_cast<unsigned>(data2), static_cast<unsigned>(data3),
                  data4[0], data4[1], data4[2], data4[3], data4[4], data4[5], data4[6], data4[7]);
    return buf;
}

std::optional<Guid> Guid::parse(std::string_view text) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
    if (text.size() != 36) return std::nullopt;
    std::uint8_t bytes[16];
    int n = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != '-') return std::nullopt;
            ++i;
            continue;
        }
        auto hex = [](char ch) -> int {
            if (ch >= '0' && ch <= '9') return ch - '0';
            if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
            if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
            return -1;
        };
        int hi = hex(text[i]), lo = hex(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        bytes[n++] = static_cast<std::uint8_t>(hi * 16 + lo);
        i += 2;
    }
    Guid g;
    g.data1 = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
              (std::uint32_t{bytes[2]} << 8) | bytes[3];
    g.data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
    g.data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
    std::copy(bytes + 8, bytes + 16, g.data4.begin());
    return g;
}

namespace idl {

std::string_view valueTypeName(ValueType type) {
    switch (type) {
        case ValueType::None: return "none";
        case ValueType::Boolean: return "Boolean";
        case ValueType::Integer: return "Integer";
        case ValueType::Long: return "Long";
        case ValueType::Single: return "Single";
        case ValueType::String: return "String";
        case ValueType::Variant: return "Variant";
        case ValueType::Colour: return "Colour";
        case ValueType::FontObject: return "Font";
        case ValueType::PictureObject: return "Picture";
        case ValueType::RecordsetObject: return "Recordset";
        case ValueType::Object: return "Object";
        case ValueType::MarqueeStyle: return "MarqueeStyle";
        case ValueType::ScrollBars: return "ScrollBars";
    }
    return "?";
}

namespace {

// Each member's argument list, named after it.
template <class... A>
constexpr std::array<ArgumentDescription, sizeof...(A)> argumentList(A... arguments) {
    return {arguments...};
}
#define QV_ARGUMENTS_NoArguments
#define QV_ARGUMENTS_ByReference(name) \
    ArgumentDescription { #name, ValueType::Variant, true, false }
#define QV_ARGUMENTS_Optional(name) \
    ArgumentDescription { #name, ValueType::Variant, false, true }
#define QV_ARGUMENT_LIST(Kind, Name, Dispid, Type, Access, Arguments, Flags, Saved, Description) \
    constexpr auto kArgumentsOf##Name = argumentList(QV_ARGUMENTS_##Arguments);
QUORVEL_MEMBERS(QV_ARGUMENT_LIST)

#define QV_ACCESS_None 0u
#define QV_ACCESS_Get kGet
#define QV_ACCESS_GetLet (kGet | kLet)
#define QV_ACCESS_GetSet (kGet | kSet)
#define QV_READ_ONLY_None 0u
#define QV_READ_ONLY_Get kReadOnly
#define QV_READ_ONLY_GetLet 0u
#define QV_READ_ONLY_GetSet 0u
#define QV_MEMBER(Kind, Name, Dispid, Type, Access, Arguments, Flags, Saved, Description) \
    MemberDescription{0,                                                                  \
                      #Name,                                                              \
                      MemberKind::Kind,                                                   \
                      QV_ACCESS_##Access,                                                 \
                      Dispid,                                                             \
                      ValueType::Type,                                                    \
                      kArgumentsOf##Name,                                                 \
                      static_cast<std::uint32_t>(Flags) | QV_READ_ONLY_##Access,          \
                      Description},

// The slots are the rows' places.
constexpr auto kMembers = [] {
    std::array members{QUORVEL_MEMBERS(QV_MEMBER)};
    for (std::size_t i = 0; i < members.size(); ++i) members[i].slot = static_cast<int>(i) + 1;
    return members;
}();

// The saved property set. A row's default is made when the set is written:
// the ambient font is asked for afresh at each key, as the host may hand
// out a new object every time.
struct NotSavedDefault {};
template <ValueType T, class V>
Variant savedDefault(const V& value, ControlSite& site) {
    if constexpr (std::is_same_v<V, NotSavedDefault>) return Variant();
    else if constexpr (std::is_same_v<V, AmbientFontDefault>) return Variant(site.ambientFont());
    else return toVariant<T>(value);
}

struct SavedRow {
    int position = 0;  // 0: not saved
    SavedProperty property;
};

#define QV_POSITION_NotSaved 0
#define QV_POSITION_Saved(position, value) position
#define QV_DEFAULT_NotSaved \
    NotSavedDefault {}
#define QV_DEFAULT_Saved(position, value) value
#define QV_SAVED_KEY(Key, Type, Source, Saved)                                                         \
    SavedRow{QV_POSITION_##Saved, {#Key, #Source, [](ControlSite& site) {                              \
                                       return savedDefault<ValueType::Type>(QV_DEFAULT_##Saved, site); \
                                   }}},
#define QV_SAVED_MEMBER(Kind, Name, Dispid, Type, Access, Arguments, Flags, Saved, Description) \
    QV_SAVED_KEY(Name, Type, Name, Saved)

constexpr std::array kSavedRows{QUORVEL_MEMBERS(QV_SAVED_MEMBER) QUORVEL_SAVED_ONLY_KEYS(QV_SAVED_KEY)};

constexpr std::size_t kSavedCount = static_cast<std::size_t>(
    std::count_if(kSavedRows.begin(), kSavedRows.end(), [](const SavedRow& r) { return r.position > 0; }));

// The saved rows by their positions, which run from 1 without a gap or a
// repeat (a slip stops the build here).
constexpr auto kSaved = [] {
    std::array<SavedProperty, kSavedCount> saved{};
    std::array<bool, kSavedCount> taken{};
    for (const SavedRow& r : kSavedRows) {
        if (r.position == 0) continue;
        const auto i = static_cast<std::size_t>(r.position - 1);
        if (i >= kSavedCount || taken[i]) throw "saved positions must run from 1 without a gap";
        taken[i] = true;
        saved[i] = r.property;
    }
    return saved;
}();

#undef QV_ARGUMENTS_NoArguments
#undef QV_ARGUMENTS_ByReference
#undef QV_ARGUMENTS_Optional
#undef QV_ARGUMENT_LIST
#undef QV_ACCESS_None
#undef QV_ACCESS_Get
#undef QV_ACCESS_GetLet
#undef QV_ACCESS_GetSet
#undef QV_READ_ONLY_None
#undef QV_READ_ONLY_Get
#undef QV_READ_ONLY_GetLet
#undef QV_READ_ONLY_GetSet
#undef QV_MEMBER
#undef QV_POSITION_NotSaved
#undef QV_POSITION_Saved
#undef QV_DEFAULT_NotSaved
#undef QV_DEFAULT_Saved
#undef QV_SAVED_KEY
#undef QV_SAVED_MEMBER

constexpr ValueType kI = ValueType::Integer;
constexpr ValueType kS = ValueType::Single;
constexpr ValueType kNo = ValueType::None;

const EventInterfaceEntry kEvents[] = {
    {&events::Drop, {kNo, kNo, kNo, kNo}, ""},
    {&events::Click,
     {kNo, kNo, kNo, kNo},
     "Viene generato quando si preme e quindi si rilascia un pulsante del mouse su un oggetto."},
    {&events::DblClick,
     {kNo, kNo, kNo, kNo},
     "Viene generato quando si preme e si rilascia due volte in rapida successione un pulsante del mouse su "
     "un oggetto."},
    {&events::BeenChosen, {kNo, kNo, kNo, kNo}, "Fired when a mouse click occurs"},
    {&events::MouseDown, {kI, kI, kS, kS}, ""},
    {&events::MouseMove, {kI, kI, kS, kS}, ""},
    {&events::MouseUp, {kI, kI, kS, kS}, ""},
    {&events::KeyDown,
     {kI, kI, kNo, kNo},
     "Viene generato quando si preme un tasto mentre lo stato attivo si trova su un oggetto."},
    {&events::KeyPress, {kI, kNo, kNo, kNo}, "Viene generato quando si preme e si rilascia un tasto ANSI."},
    {&events::KeyUp,
     {kI, kI, kNo, kNo},
     "Viene generato quando si rilascia un tasto mentre lo stato attivo si trova su un oggetto."},
    {&events::Change,
     {kNo, kNo, kNo, kNo},
     "Viene generato quando il contenuto di un controllo viene modificato."},
    {&events::Error, {kI, kI, kNo, kNo}, ""},
    {&events::ListValidate, {kI, kI, kNo, kNo}, ""},
};

static_assert(std::size(kEvents) == std::size(events::kAll));

}  // namespace

std::span<const MemberDescription> members() { return kMembers; }

const MemberDescription* findMember(std::string_view name) {
    for (const MemberDescription& m : kMembers)
        if (equalsIgnoringCase(m.name, name)) return &m;
    return nullptr;
}

const MemberDescription* findMember(std::int32_t dispid) {
    for (const MemberDescription& m : kMembers)
        if (m.dispid == dispid) return &m;
    return nullptr;
}

std::span<const EventInterfaceEntry> events() { return kEvents; }

std::span<const SavedProperty> savedProperties() { return kSaved; }

const EventInterfaceEntry* findEvent(std::string_view name) {
    for (const EventInterfaceEntry& e : kEvents)
        if (equalsIgnoringCase(e.event->name, name)) return &e;
    return nullptr;
}

const EventInterfaceEntry* findEvent(std::int32_t dispid) {
    for (const EventInterfaceEntry& e : kEvents)
        if (e.event->dispid == dispid) return &e;
    return nullptr;
}

}  // namespace idl
}  // namespace quorvel

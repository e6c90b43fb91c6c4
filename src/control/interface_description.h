// The shape of the control's public interface, as data: the identity of the
// type library, the class and its two interfaces; every member of the
// default interface `_Quorvel2000` in slot order with its dispatch
// identifier, kind, type, arguments, flags and the text a property browser
// shows; the keys of the saved property set; the outgoing events of
// `__Quorvel2000`; the property pages; the module's version record.
//
// The members and the saved keys are made from the member table
// (control/member_table.h). The late-bound path (control/dispatch.h), the
// component server (src/server) and any property browser read them. Slots,
// identifiers and types are part of stored forms and compiled clients: they
// never change.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/host.h"

namespace quorvel {

// A globally unique identifier in its usual four-part form.
struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::array<std::uint8_t, 8> data4{};

    friend bool operator==(const Guid&, const Guid&) = default;
    // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
    std::string toString() const;
    // Reads the braced or bare form, either case; nothing for anything else.
    static std::optional<Guid> parse(std::string_view text);
};

namespace idl {

// Fixed once: a host that stored a form with the control finds the class
// again by these.
inline constexpr Guid kTypeLibraryId{
    0x01182EFA, 0x44CF, 0x4256, {0x8D, 0x70, 0xF8, 0x58, 0x4D, 0x79, 0x76, 0xEF}};
inline constexpr Guid kClassId{0xB40B980D, 0xB19B, 0x4056, {0x81, 0xD2, 0xC9, 0xB4, 0xDE, 0xBA, 0x03, 0x78}};
inline constexpr Guid kDefaultInterfaceId{
    0x4245357A, 0x7754, 0x4641, {0x9D, 0x13, 0xE1, 0x8F, 0x1D, 0x8D, 0xE5, 0xF1}};
inline constexpr Guid kEventInterfaceId{
    0x07642C0E, 0x1D70, 0x47EA, {0xA7, 0x5A, 0x8A, 0x5D, 0x5E, 0x35, 0x33, 0xC1}};

inline constexpr std::string_view kClassName = "Quorvel2000";
inline constexpr std::string_view kDefaultInterfaceName = "_Quorvel2000";
inline constexpr std::string_view kEventInterfaceName = "__Quorvel2000";

struct TypeLibraryAttributes {
    std::uint16_t majorVersion;
    std::uint16_t minorVersion;
    std::uint32_t locale;
    std::string_view helpString;
};
inline constexpr TypeLibraryAttributes kTypeLibrary{2, 0, 0x409, "Quorvel"};

// Attributes of the class and of its interfaces.
enum TypeFlag : std::uint32_t {
    kCreatable = 1u << 0,
    kControl = 1u << 1,
    kDual = 1u << 2,
    kDispatchOnly = 1u << 3,
    kHidden = 1u << 4,
    kNotExtensible = 1u << 5,
    kAutomationCompatible = 1u << 6,
};
inline constexpr std::uint32_t kClassFlags = kCreatable | kControl;
inline constexpr std::uint32_t kDefaultInterfaceFlags =
    kDual | kHidden | kNotExtensible | kAutomationCompatible;
inline constexpr std::uint32_t kEventInterfaceFlags = kDispatchOnly | kHidden | kNotExtensible;

// Value types of the interface.
enum class ValueType {
    None,     // a method that returns nothing
    Boolean,  // 16-bit, True -1
    Integer,  // 16-bit signed
    Long,     // 32-bit signed
    Single,
    String,
    Variant,
    Colour,  // the host's 32-bit colour
    FontObject,
    PictureObject,
    RecordsetObject,
    Object,        // any object: what the grid's Columns returns
    MarqueeStyle,  // the grid's own enumeration, 32-bit, passed through
    ScrollBars,    // the grid's own enumeration, 32-bit, passed through
};
std::string_view valueTypeName(ValueType type);

enum class MemberKind { Method, Property };

// Which accessors a property has: let assigns a value, set an object
// reference. Methods have none.
enum Access : std::uint32_t { kGet = 1u << 0, kLet = 1u << 1, kSet = 1u << 2 };

enum MemberFlag : std::uint32_t {
    kBindable = 1u << 0,      // the host may bind it to a field of its own data
    kDefaultBind = 1u << 1,   // the property the host binds by default
    kNotBrowsable = 1u << 2,  // not shown by a property browser
    kUiDefault = 1u << 3,     // the member reached when none is named
    kReadOnly = 1u << 4,      // a property without let or set
};

struct ArgumentDescription {
    std::string_view name;
    ValueType type;
    bool byReference;
    bool optional;
};

struct MemberDescription {
    int slot;  // 1-based, in the order of the virtual table
    std::string_view name;
    MemberKind kind;
    std::uint32_t access;  // Access bits; 0 for a method
    std::int32_t dispid;
    ValueType type;  // a property's value, a method's result
    std::span<const ArgumentDescription> arguments;
    std::uint32_t flags;  // MemberFlag bits
    std::string_view description;

    bool hasAccess(Access a) const { return (access & a) != 0; }
    bool hasFlag(MemberFlag f) const { return (flags & f) != 0; }
};

// The members of `_Quorvel2000`, in slot order.
std::span<const MemberDescription> members();
// Names compared without regard to case; none when nothing matches.
const MemberDescription* findMember(std::string_view name);
const MemberDescription* findMember(std::int32_t dispid);

// A key of the saved property set: the property whose value it holds (read
// as the late-bound path reads it) and the default that is not stored.
struct SavedProperty {
    std::string_view key;
    std::string_view property;
    Variant (*defaultValue)(ControlSite& site) = nullptr;
};

// The keys in the order saving writes them. Loading reads them in an
// order of its own (Quorvel2000::ReadProperties).
std::span<const SavedProperty> savedProperties();

inline constexpr std::int32_t kDispidText = 0;
inline constexpr std::int32_t kDispidFont = -512;

// An event of `__Quorvel2000`: the descriptor by which the control raises
// it, with the types of its by-reference arguments and its browser text.
struct EventInterfaceEntry {
    const EventDescription* event;
    std::array<ValueType, 4> argumentTypes;
    std::string_view description;
};

// The 13 events, in the order of their identifiers.
std::span<const EventInterfaceEntry> events();
const EventInterfaceEntry* findEvent(std::string_view name);
const EventInterfaceEntry* findEvent(std::int32_t dispid);

// The pages a designer offers for the control, in order.
inline constexpr std::array<std::string_view, 4> kPropertyPages = {"StandardColor", "StandardFont",
                                                                   "StandardPicture", "About"};

// The module's version record.
struct VersionRecord {
    std::array<std::uint16_t, 4> fileVersion;
    std::array<std::uint16_t, 4> productVersion;
    std::string_view fileVersionText;
    std::string_view productVersionText;
    std::string_view fileDescription;
    std::string_view productName;
    std::string_view internalName;
    std::string_view originalFilename;
    std::uint16_t language;  // 0x0410 Italian
    std::uint16_t codePage;  // 1200 Unicode
    std::string_view translation;
};
inline constexpr VersionRecord kVersionRecord{
    {2, 0, 0, 2}, {2, 0, 0, 2},  "2.00.0002",       "2.00.0002", "ComboBox multicolonna per database",
    "Quorvel",    "Quorvel2000", "Quorvel2000.ocx", 0x0410,      1200,
    "041004B0",
};

}  // namespace idl
}  // namespace quorvel

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "control/events.h"
#include "control/interface_description.h"
#include "support/control_fixture.h"

namespace quorvel::idl {
namespace {

// The published shape of `_Quorvel2000`, one row a member, in the words a
// reader of the type library uses: kinds as accessor lists, types by their
// names, arguments and flags as text. The checks below turn the table's
// data into the same words, so a slip in either shows as a differing row.
struct ExpectedMember {
    int slot;
    const char* name;
    const char* kind;
    std::int32_t dispid;
    const char* type;
    const char* arguments;
    const char* flags;
    const char* description;
};

// clang-format off
const ExpectedMember kExpected[] = {
    {1, "ImpostaDataControl", "method", 0x6003008D, "none", "", "",
     ""},
    {2, "ListaApri", "method", 0x6003008E, "none", "", "",
     ""},
    {3, "AssettaGrid", "method", 0x6003008F, "none", "", "",
     ""},
    {4, "AssettaGridDefault", "method", 0x60030090, "none", "", "",
     ""},
    {5, "BackColor", "get, let", 0x6803008C, "colour", "", "",
     "Restituisce o imposta il colore di sfondo utilizzato per la visualizzazione di testo e grafica in un oggetto."},
    {6, "ListaChiudi", "method", 0x60030091, "none", "", "",
     ""},
    {7, "ForeColor", "get, let", 0x6803008B, "colour", "", "",
     "Restituisce o imposta il colore di primo piano utilizzato per la visualizzazione di testo e grafica in un oggetto."},
    {8, "Font", "get, set", -512, "font object", "", "",
     "Restituisce un oggetto Font."},
    {9, "BorderStyle", "get", 0x6803008A, "16-bit integer", "", "",
     "Restituisce o imposta lo stile del bordo di un oggetto."},
    {10, "ColsCaption", "get, let", 0x68030089, "string", "", "",
     ""},
    {11, "ColsField", "get, let", 0x68030088, "string", "", "",
     ""},
    {12, "ColsFormat", "get, let", 0x68030087, "string", "", "",
     ""},
    {13, "ColsSize", "get, let", 0x68030086, "string", "", "",
     ""},
    {14, "BoundText", "get, let", 0x68030085, "string", "", "bindable, default-bound, not browsable",
     "Restituisce o imposta il testo contenuto nel controllo."},
    {15, "UnNull", "method", 0x600300A1, "variant", "che: variant, by reference", "",
     ""},
    {16, "UnNull2", "method", 0x600300A2, "variant", "che2: variant, by reference", "",
     ""},
    {17, "UnNullxSQL", "method", 0x600300A3, "variant", "che3: variant, by reference", "",
     ""},
    {18, "Val2", "method", 0x600300A4, "variant", "Cosa: variant, by reference", "",
     ""},
    {19, "ValxSQL", "method", 0x600300A5, "string", "Cosa: variant, by reference", "",
     ""},
    {20, "Locked", "get, let", 0x68030084, "Boolean", "", "",
     "Determina se un controllo può essere modificato."},
    {21, "MarqueeStyle", "get, let", 0x68030083, "grid marquee-style value", "", "",
     "Returns current split marquee style, sets all splits"},
    {22, "SelStart", "get, let", 0x68030082, "32-bit integer", "", "",
     "Restituisce o imposta il punto di inizio del testo selezionato."},
    {23, "SelLength", "get, let", 0x68030081, "32-bit integer", "", "",
     "Restituisce o imposta il numero di caratteri selezionati."},
    {24, "SelText", "get, let", 0x68030080, "string", "", "",
     "Restituisce o imposta la stringa contenente il testo selezionato."},
    {25, "Text", "get, let", 0x00000000, "string", "", "default member",
     "Restituisce o imposta il testo contenuto nel controllo."},
    {26, "BoundField", "get, let", 0x6803007F, "variant", "", "",
     ""},
    {27, "Alignment", "get", 0x6803007E, "16-bit integer", "", "",
     "Restituisce o imposta il valore dell'allineamento di un controllo CheckBox o OptionButton o del testo di un controllo."},
    {28, "ListSearchField", "get, let", 0x6803007D, "variant", "", "",
     ""},
    {29, "DropDown", "get, let", 0x6803007C, "Boolean", "", "",
     ""},
    {30, "Enabled", "get, let", 0x6803007B, "Boolean", "", "",
     "Restituisce o imposta un valore che determina se un oggetto è in grado di rispondere agli eventi generati dall'utente."},
    {31, "CurrentX", "get, let", 0x6803007A, "single", "", "",
     "Restituisce o imposta le coordinate orizzontali relative al successivo metodo di stampa o di disegno applicato."},
    {32, "CurrentY", "get, let", 0x68030079, "single", "", "",
     "Restituisce o imposta le coordinate verticali relative al successivo metodo di stampa o di disegno applicato."},
    {33, "AutoRedraw", "get, let", 0x68030078, "Boolean", "", "",
     "Restituisce o imposta l'output di un metodo grafico in una bitmap fissa."},
    {34, "Appearance", "get", 0x68030077, "16-bit integer", "", "",
     "Restituisce o imposta un valore che indica se un oggetto viene ridisegnato con effetti tridimensionali in fase di esecuzione."},
    {35, "DefColWidth", "get, let", 0x68030076, "single", "", "",
     "Specifies column width for auto-created columns"},
    {36, "MaxLength", "get, let", 0x68030075, "32-bit integer", "", "",
     "Restituisce o imposta il numero massimo di caratteri che è possibile immettere in un controllo."},
    {37, "MouseIcon", "get, set", 0x68030074, "picture object", "", "",
     "Imposta un'icona personalizzata per il puntatore del mouse."},
    {38, "MousePointer", "get, let", 0x68030073, "16-bit integer", "", "",
     "Restituisce o imposta il tipo di puntatore del mouse visualizzato quando il puntatore si trova su una parte specifica di un oggetto."},
    {39, "ScrollBars", "get, let", 0x68030072, "grid scroll-bars value", "", "",
     "Sets/returns style for grid scrollbars"},
    {40, "DropDownAuto", "get, let", 0x68030071, "Boolean", "", "",
     ""},
    {41, "OnListOnly", "get, let", 0x68030070, "Boolean", "", "",
     ""},
    {42, "hwnd", "get", 0x6803006F, "32-bit integer", "", "",
     "Restituisce un handle (dal sistema operativo) alla finestra di un oggetto."},
    {43, "ListHeight", "get, let", 0x6803006E, "32-bit integer", "", "",
     ""},
    {44, "ListDataBaseName", "get, let", 0x6803006D, "string", "", "",
     "Restituisce o imposta il nome e la posizione della fonte dati di un controllo Data."},
    {45, "ListRecordSource", "get, let", 0x6803006C, "string", "", "",
     "Restituisce o imposta la tabella sottostante, l'istruzione SQL o l'oggetto QueryDef per un controllo Data."},
    {46, "Connect", "get, let", 0x6803006B, "string", "", "",
     "Indica l'origine di un database aperto, un database utilizzato in una query pass-through o una tabella allegata."},
    {47, "DefaultCursorType", "get, let", 0x6803006A, "16-bit integer", "", "",
     "Restituisce o imposta un valore che indica la libreria di cursori utilizzata dal controllo Data. Utilizzato con valori DefaultCursorTypeConstants."},
    {48, "DefaultType", "get, let", 0x68030069, "16-bit integer", "", "",
     "Restituisce o imposta un valore che determina il tipo di fonte dati (motore locale o connessione diretta) utilizzato dal controllo Data. Utilizzato con i valori del tipo di area di lavoro."},
    {49, "Options", "get, let", 0x68030068, "16-bit integer", "", "",
     "Restituisce o imposta un valore che specifica una o più caratteristiche dell'oggetto Recordset nella proprietà Recordset del controllo."},
    {50, "ListRecordsetType", "get, let", 0x68030067, "16-bit integer", "", "",
     "Restituisce o imposta un valore che indica il tipo di oggetto Recordset che verrà creato con il controllo Data."},
    {51, "ColsAlignment", "get, let", 0x68030066, "string", "", "",
     ""},
    {52, "ListBodyFont", "get, set", 0x68030065, "font object", "", "",
     "Specifies overall grid font object"},
    {53, "ListHeadFont", "get, set", 0x68030064, "font object", "", "",
     "Specifies the heading and caption font"},
    {54, "ListForeColor", "get, let", 0x68030063, "colour", "", "",
     "Sets/returns grid foreground color"},
    {55, "Refresh", "method", 0x600300B6, "none", "", "",
     "Chiude e ricrea l'oggetto Recordset o le strutture di dati create da un controllo."},
    {56, "ListRefresh", "method", 0x600300B7, "none", "", "",
     "Chiude e ricrea l'oggetto Recordset o le strutture di dati create da un controllo."},
    {57, "FastMode", "get, let", 0x68030062, "Boolean", "", "",
     ""},
    {58, "Columns", "get", 0x68030061, "object", "Index: variant, optional", "",
     "Contains a collection of grid columns"},
    {59, "ListBackColor", "get, let", 0x68030060, "colour", "", "",
     "Sets/returns grid background color"},
    {60, "BringToFront", "get, let", 0x6803005F, "Boolean", "", "",
     ""},
    {61, "About", "get, let", 0x6803005E, "variant", "", "",
     ""},
    {62, "ListRecordset", "get, set", 0x6803005D, "recordset object", "", "",
     "Restituisce o imposta un oggetto Recordset definito dalle proprietà di un controllo Data oppure da un oggetto Recordset esistente."},
    {63, "SearchDisable", "get, let", 0x6803005C, "Boolean", "", "",
     ""},
    {64, "KeyboardConventions", "get, let", 0x6803005B, "16-bit integer", "", "",
     "Restituisce o imposta le convenzioni di tastiera: 0 quelle del controllo, 1 quelle delle caselle combinate."},
};
// clang-format on

std::string kindWords(const MemberDescription& m) {
    if (m.kind == MemberKind::Method) return m.access == 0 ? "method" : "method with accessors?";
    std::string s;
    auto add = [&](Access a, const char* word) {
        if (!m.hasAccess(a)) return;
        if (!s.empty()) s += ", ";
        s += word;
    };
    add(kGet, "get");
    add(kLet, "let");
    add(kSet, "set");
    return s;
}

std::string typeWords(ValueType t) {
    static const std::map<ValueType, std::string> words = {
        {ValueType::None, "none"},
        {ValueType::Boolean, "Boolean"},
        {ValueType::Integer, "16-bit integer"},
        {ValueType::Long, "32-bit integer"},
        {ValueType::Single, "single"},
        {ValueType::String, "string"},
        {ValueType::Variant, "variant"},
        {ValueType::Colour, "colour"},
        {ValueType::FontObject, "font object"},
        {ValueType::PictureObject, "picture object"},
        {ValueType::RecordsetObject, "recordset object"},
        {ValueType::Object, "object"},
        {ValueType::MarqueeStyle, "grid marquee-style value"},
        {ValueType::ScrollBars, "grid scroll-bars value"},
    };
    return words.at(t);
}

std::string argumentWords(const MemberDescription& m) {
    std::string s;
    for (const ArgumentDescription& a : m.arguments) {
        if (!s.empty()) s += ", ";
        s += std::string(a.name) + ": " + typeWords(a.type);
        if (a.byReference) s += ", by reference";
        if (a.optional) s += ", optional";
    }
    return s;
}

std::string flagWords(const MemberDescription& m) {
    std::string s;
    if (m.hasFlag(kBindable)) s += "bindable, ";
    if (m.hasFlag(kDefaultBind)) s += "default-bound, ";
    if (m.hasFlag(kNotBrowsable)) s += "not browsable, ";
    if (m.hasFlag(kUiDefault)) s += "default member, ";
    if (!s.empty()) s.resize(s.size() - 2);
    return s;
}

TEST(InterfaceDescription, EveryMemberInItsSlotWithItsIdentifierKindTypeFlagsAndText) {
    auto members = idl::members();
    ASSERT_EQ(members.size(), std::size(kExpected));
    for (std::size_t i = 0; i < members.size(); ++i) {
        const MemberDescription& m = members[i];
        const ExpectedMember& e = kExpected[i];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(m.slot, e.slot);
        EXPECT_EQ(m.name, e.name);
        EXPECT_EQ(kindWords(m), e.kind);
        EXPECT_EQ(m.dispid, e.dispid);
        EXPECT_EQ(typeWords(m.type), e.type);
        EXPECT_EQ(argumentWords(m), e.arguments);
        EXPECT_EQ(flagWords(m), e.flags);
        EXPECT_EQ(m.description, e.description);
        // Read-only is what a property with a get alone is.
        EXPECT_EQ(m.hasFlag(kReadOnly), std::string(e.kind) == "get");
    }
}

TEST(InterfaceDescription, IdentifiersAndNamesAreUniqueAndFoundWithoutRegardToCase) {
    std::set<std::int32_t> ids;
    std::set<std::string> names;
    for (const MemberDescription& m : idl::members()) {
        EXPECT_TRUE(ids.insert(m.dispid).second) << m.name;
        EXPECT_TRUE(names.insert(std::string(m.name)).second) << m.name;
        EXPECT_EQ(findMember(m.dispid), &m);
        EXPECT_EQ(findMember(m.name), &m);
    }
    EXPECT_EQ(findMember("listheight")->dispid, 0x6803006E);
    EXPECT_EQ(findMember("BOUNDTEXT")->slot, 14);
    EXPECT_EQ(findMember("HWND")->name, "hwnd");
    EXPECT_EQ(findMember("Nope"), nullptr);
    EXPECT_EQ(findMember(0x12345678), nullptr);
    // The default member and the font's standard identifier.
    EXPECT_EQ(findMember(kDispidText)->name, "Text");
    EXPECT_EQ(findMember(kDispidFont)->name, "Font");
}

TEST(InterfaceDescription, TheItalianTextsAreUtf8WithTheirAccents) {
    const std::string enabled(findMember("Enabled")->description);
    EXPECT_NE(enabled.find("\xC3\xA8 in grado"), std::string::npos);  // "è"
    const std::string options(findMember("Options")->description);
    EXPECT_NE(options.find("pi\xC3\xB9 caratteristiche"), std::string::npos);  // "più"
    EXPECT_NE(options.find("propriet\xC3\xA0 Recordset"), std::string::npos);  // "proprietà"
    EXPECT_NE(std::string(findMember("Locked")->description).find("pu\xC3\xB2"), std::string::npos);
}

struct ExpectedEvent {
    std::int32_t dispid;
    const char* name;
    const char* arguments;
    const char* description;
};

const ExpectedEvent kExpectedEvents[] = {
    {1, "Drop", "", ""},
    {2, "Click", "",
     "Viene generato quando si preme e quindi si rilascia un pulsante del mouse su un oggetto."},
    {3, "DblClick", "",
     "Viene generato quando si preme e si rilascia due volte in rapida successione un pulsante del mouse su "
     "un oggetto."},
    {4, "BeenChosen", "", "Fired when a mouse click occurs"},
    {5, "MouseDown", "Button (16-bit integer), Shift (16-bit integer), X (single), Y (single)", ""},
    {6, "MouseMove", "Button (16-bit integer), Shift (16-bit integer), X (single), Y (single)", ""},
    {7, "MouseUp", "Button (16-bit integer), Shift (16-bit integer), X (single), Y (single)", ""},
    {8, "KeyDown", "KeyCode (16-bit integer), Shift (16-bit integer)",
     "Viene generato quando si preme un tasto mentre lo stato attivo si trova su un oggetto."},
    {9, "KeyPress", "KeyAscii (16-bit integer)",
     "Viene generato quando si preme e si rilascia un tasto ANSI."},
    {10, "KeyUp", "KeyCode (16-bit integer), Shift (16-bit integer)",
     "Viene generato quando si rilascia un tasto mentre lo stato attivo si trova su un oggetto."},
    {11, "Change", "", "Viene generato quando il contenuto di un controllo viene modificato."},
    {12, "Error", "DataErr (16-bit integer), Response (16-bit integer)", ""},
    {13, "ListValidate", "Action (16-bit integer), Save (16-bit integer)", ""},
};

TEST(InterfaceDescription, TheThirteenEventsWithTheirArgumentsByReference) {
    auto all = idl::events();
    ASSERT_EQ(all.size(), std::size(kExpectedEvents));
    for (std::size_t i = 0; i < all.size(); ++i) {
        const EventInterfaceEntry& e = all[i];
        const ExpectedEvent& x = kExpectedEvents[i];
        SCOPED_TRACE(x.name);
        // The descriptor is the very one the control raises the event with.
        EXPECT_EQ(e.event, events::kAll[i]);
        EXPECT_EQ(e.event->dispid, x.dispid);
        EXPECT_EQ(e.event->name, x.name);
        std::string args;
        for (int k = 0; k < e.event->argumentCount; ++k) {
            if (!args.empty()) args += ", ";
            const ValueType t = e.argumentTypes[static_cast<std::size_t>(k)];
            args +=
                std::string(e.event->argumentNames[static_cast<std::size_t>(k)]) + " (" + typeWords(t) + ")";
        }
        EXPECT_EQ(args, x.arguments);
        for (int k = e.event->argumentCount; k < 4; ++k)
            EXPECT_EQ(e.argumentTypes[static_cast<std::size_t>(k)], ValueType::None);
        EXPECT_EQ(e.description, x.description);
        EXPECT_EQ(findEvent(x.dispid), &e);
        EXPECT_EQ(findEvent(x.name), &e);
    }
    EXPECT_EQ(findEvent("beenchosen")->event->dispid, 4);
    EXPECT_EQ(findEvent(14), nullptr);
}

TEST(InterfaceDescription, IdentityPagesAndVersionRecord) {
    // Four distinct identifiers, written in their usual form and read back.
    const Guid ids[] = {kTypeLibraryId, kClassId, kDefaultInterfaceId, kEventInterfaceId};
    const char* texts[] = {"{01182EFA-44CF-4256-8D70-F8584D7976EF}", "{B40B980D-B19B-4056-81D2-C9B4DEBA0378}",
                           "{4245357A-7754-4641-9D13-E18F1D8DE5F1}",
                           "{07642C0E-1D70-47EA-A75A-8A5D5E3533C1}"};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(texts[i]);
        EXPECT_EQ(ids[i].toString(), texts[i]);
        EXPECT_EQ(Guid::parse(texts[i]), ids[i]);
        for (int j = 0; j < i; ++j) EXPECT_NE(ids[i], ids[j]);
    }
    EXPECT_EQ(Guid::parse("b40b980d-b19b-4056-81d2-c9b4deba0378"), kClassId);
    EXPECT_EQ(Guid::parse("{B40B980D-B19B-4056-81D2-C9B4DEBA037}"), std::nullopt);
    EXPECT_EQ(Guid::parse("{B40B980D+B19B-4056-81D2-C9B4DEBA0378}"), std::nullopt);
    EXPECT_EQ(Guid::parse("{G40B980D-B19B-4056-81D2-C9B4DEBA0378}"), std::nullopt);

    EXPECT_EQ(kTypeLibrary.majorVersion, 2);
    EXPECT_EQ(kTypeLibrary.minorVersion, 0);
    EXPECT_EQ(kTypeLibrary.locale, 0x409u);
    EXPECT_EQ(kTypeLibrary.helpString, "Quorvel");
    EXPECT_EQ(kClassFlags, kCreatable | kControl);
    EXPECT_EQ(kDefaultInterfaceFlags, kDual | kHidden | kNotExtensible | kAutomationCompatible);
    EXPECT_EQ(kEventInterfaceFlags, kDispatchOnly | kHidden | kNotExtensible);

    EXPECT_EQ((std::vector<std::string_view>(kPropertyPages.begin(), kPropertyPages.end())),
              (std::vector<std::string_view>{"StandardColor", "StandardFont", "StandardPicture", "About"}));

    const VersionRecord& v = kVersionRecord;
    EXPECT_EQ(v.fileVersion, (std::array<std::uint16_t, 4>{2, 0, 0, 2}));
    EXPECT_EQ(v.productVersion, (std::array<std::uint16_t, 4>{2, 0, 0, 2}));
    EXPECT_EQ(v.fileVersionText, "2.00.0002");
    EXPECT_EQ(v.productVersionText, "2.00.0002");
    EXPECT_EQ(v.fileDescription, "ComboBox multicolonna per database");
    EXPECT_EQ(v.productName, "Quorvel");
    EXPECT_EQ(v.internalName, "Quorvel2000");
    EXPECT_EQ(v.originalFilename, "Quorvel2000.ocx");
    EXPECT_EQ(v.language, 0x0410);
    EXPECT_EQ(v.codePage, 1200);
    EXPECT_EQ(v.translation, "041004B0");
}

// Records every key asked for or written, with its default, and holds
// nothing: each read gives the default back.
struct RecordingBag final : PropertyBag {
    Variant readProperty(std::string_view name, const Variant& def) override {
        reads.emplace_back(name, def);
        return def;
    }
    void writeProperty(std::string_view name, const Variant&, const Variant& def) override {
        writes.emplace_back(name, def);
    }
    std::vector<std::pair<std::string, Variant>> reads, writes;
};

using SavedKeys = quorvel::testing::ControlTest;

// Saving is made from the member table; loading keeps steps of its own. The
// keys written are the table's, in its order, and loading asks for each of
// them with the default it is saved with, so a default mistyped on either
// side shows here.
TEST_F(SavedKeys, SavingWritesTheTablesKeysInOrderAndLoadingAsksForTheSameDefaults) {
    site.setAmbientFont(Font::make({"Arial", 11.0f}));  // one object: defaults compare equal
    Quorvel2000& c = newControl();
    RecordingBag saved;
    c.WriteProperties(saved);
    std::vector<std::pair<std::string, Variant>> table;
    for (const SavedProperty& p : savedProperties())
        table.emplace_back(std::string(p.key), p.defaultValue(site));
    EXPECT_EQ(saved.writes, table);
    EXPECT_EQ(table.size(), 46u);
    EXPECT_EQ(table[19].first, "DataBindings");
    for (const SavedProperty& p : savedProperties()) {
        if (p.key == "DataBindings") continue;
        EXPECT_EQ(p.property, p.key);
    }

    RecordingBag loaded;
    c.ReadProperties(loaded);
    for (const auto& [key, def] : table) {
        SCOPED_TRACE(key);
        auto read = std::find_if(loaded.reads.begin(), loaded.reads.end(),
                                 [&](const auto& r) { return r.first == key; });
        ASSERT_NE(read, loaded.reads.end());
        EXPECT_EQ(read->second, def);
    }
}

}  // namespace
}  // namespace quorvel::idl

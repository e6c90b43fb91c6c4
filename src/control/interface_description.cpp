// The interface table. The texts are what a property browser shows, kept
// exactly as the control has always shipped them (Italian, UTF-8).
#include "control/interface_description.h"

#include <algorithm>
#include <cstdio>

#include "control/events.h"
#include "platform/text.h"

namespace quorvel {

std::string Guid::toString() const {
    char buf[39];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(data1), static_cast<unsigned>(data2),
                  static_cast<unsigned>(data3), data4[0], data4[1], data4[2], data4[3], data4[4],
                  data4[5], data4[6], data4[7]);
    return buf;
}

std::optional<Guid> Guid::parse(std::string_view text) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}')
        text = text.substr(1, 36);
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

constexpr std::span<const ArgumentDescription> kNoArguments{};
constexpr ArgumentDescription kCheArguments[] = {{"che", ValueType::Variant, true, false}};
constexpr ArgumentDescription kChe2Arguments[] = {{"che2", ValueType::Variant, true, false}};
constexpr ArgumentDescription kChe3Arguments[] = {{"che3", ValueType::Variant, true, false}};
constexpr ArgumentDescription kCosaArguments[] = {{"Cosa", ValueType::Variant, true, false}};
constexpr ArgumentDescription kIndexArguments[] = {{"Index", ValueType::Variant, false, true}};
constexpr auto kCheArgument = std::span(kCheArguments);
constexpr auto kChe2Argument = std::span(kChe2Arguments);
constexpr auto kChe3Argument = std::span(kChe3Arguments);
constexpr auto kCosaArgument = std::span(kCosaArguments);
constexpr auto kIndexArgument = std::span(kIndexArguments);

// clang-format off
constexpr MemberDescription kMembers[] = {
    {1, "ImpostaDataControl", MemberKind::Method, 0, 0x6003008D, ValueType::None, kNoArguments, 0,
     ""},
    {2, "ListaApri", MemberKind::Method, 0, 0x6003008E, ValueType::None, kNoArguments, 0,
     ""},
    {3, "AssettaGrid", MemberKind::Method, 0, 0x6003008F, ValueType::None, kNoArguments, 0,
     ""},
    {4, "AssettaGridDefault", MemberKind::Method, 0, 0x60030090, ValueType::None, kNoArguments, 0,
     ""},
    {5, "BackColor", MemberKind::Property, kGet | kLet, 0x6803008C, ValueType::Colour, kNoArguments, 0,
     "Restituisce o imposta il colore di sfondo utilizzato per la visualizzazione di testo e grafica in un oggetto."},
    {6, "ListaChiudi", MemberKind::Method, 0, 0x60030091, ValueType::None, kNoArguments, 0,
     ""},
    {7, "ForeColor", MemberKind::Property, kGet | kLet, 0x6803008B, ValueType::Colour, kNoArguments, 0,
     "Restituisce o imposta il colore di primo piano utilizzato per la visualizzazione di testo e grafica in un oggetto."},
    {8, "Font", MemberKind::Property, kGet | kSet, -512, ValueType::FontObject, kNoArguments, 0,
     "Restituisce un oggetto Font."},
    {9, "BorderStyle", MemberKind::Property, kGet, 0x6803008A, ValueType::Integer, kNoArguments, kReadOnly,
     "Restituisce o imposta lo stile del bordo di un oggetto."},
    {10, "ColsCaption", MemberKind::Property, kGet | kLet, 0x68030089, ValueType::String, kNoArguments, 0,
     ""},
    {11, "ColsField", MemberKind::Property, kGet | kLet, 0x68030088, ValueType::String, kNoArguments, 0,
     ""},
    {12, "ColsFormat", MemberKind::Property, kGet | kLet, 0x68030087, ValueType::String, kNoArguments, 0,
     ""},
    {13, "ColsSize", MemberKind::Property, kGet | kLet, 0x68030086, ValueType::String, kNoArguments, 0,
     ""},
    {14, "BoundText", MemberKind::Property, kGet | kLet, 0x68030085, ValueType::String, kNoArguments, kBindable | kDefaultBind | kNotBrowsable,
     "Restituisce o imposta il testo contenuto nel controllo."},
    {15, "UnNull", MemberKind::Method, 0, 0x600300A1, ValueType::Variant, kCheArgument, 0,
     ""},
    {16, "UnNull2", MemberKind::Method, 0, 0x600300A2, ValueType::Variant, kChe2Argument, 0,
     ""},
    {17, "UnNullxSQL", MemberKind::Method, 0, 0x600300A3, ValueType::Variant, kChe3Argument, 0,
     ""},
    {18, "Val2", MemberKind::Method, 0, 0x600300A4, ValueType::Variant, kCosaArgument, 0,
     ""},
    {19, "ValxSQL", MemberKind::Method, 0, 0x600300A5, ValueType::String, kCosaArgument, 0,
     ""},
    {20, "Locked", MemberKind::Property, kGet | kLet, 0x68030084, ValueType::Boolean, kNoArguments, 0,
     "Determina se un controllo può essere modificato."},
    {21, "MarqueeStyle", MemberKind::Property, kGet | kLet, 0x68030083, ValueType::MarqueeStyle, kNoArguments, 0,
     "Returns current split marquee style, sets all splits"},
    {22, "SelStart", MemberKind::Property, kGet | kLet, 0x68030082, ValueType::Long, kNoArguments, 0,
     "Restituisce o imposta il punto di inizio del testo selezionato."},
    {23, "SelLength", MemberKind::Property, kGet | kLet, 0x68030081, ValueType::Long, kNoArguments, 0,
     "Restituisce o imposta il numero di caratteri selezionati."},
    {24, "SelText", MemberKind::Property, kGet | kLet, 0x68030080, ValueType::String, kNoArguments, 0,
     "Restituisce o imposta la stringa contenente il testo selezionato."},
    {25, "Text", MemberKind::Property, kGet | kLet, 0x00000000, ValueType::String, kNoArguments, kUiDefault,
     "Restituisce o imposta il testo contenuto nel controllo."},
    {26, "BoundField", MemberKind::Property, kGet | kLet, 0x6803007F, ValueType::Variant, kNoArguments, 0,
     ""},
    {27, "Alignment", MemberKind::Property, kGet, 0x6803007E, ValueType::Integer, kNoArguments, kReadOnly,
     "Restituisce o imposta il valore dell'allineamento di un controllo CheckBox o OptionButton o del testo di un controllo."},
    {28, "ListSearchField", MemberKind::Property, kGet | kLet, 0x6803007D, ValueType::Variant, kNoArguments, 0,
     ""},
    {29, "DropDown", MemberKind::Property, kGet | kLet, 0x6803007C, ValueType::Boolean, kNoArguments, 0,
     ""},
    {30, "Enabled", MemberKind::Property, kGet | kLet, 0x6803007B, ValueType::Boolean, kNoArguments, 0,
     "Restituisce o imposta un valore che determina se un oggetto è in grado di rispondere agli eventi generati dall'utente."},
    {31, "CurrentX", MemberKind::Property, kGet | kLet, 0x6803007A, ValueType::Single, kNoArguments, 0,
     "Restituisce o imposta le coordinate orizzontali relative al successivo metodo di stampa o di disegno applicato."},
    {32, "CurrentY", MemberKind::Property, kGet | kLet, 0x68030079, ValueType::Single, kNoArguments, 0,
     "Restituisce o imposta le coordinate verticali relative al successivo metodo di stampa o di disegno applicato."},
    {33, "AutoRedraw", MemberKind::Property, kGet | kLet, 0x68030078, ValueType::Boolean, kNoArguments, 0,
     "Restituisce o imposta l'output di un metodo grafico in una bitmap fissa."},
    {34, "Appearance", MemberKind::Property, kGet, 0x68030077, ValueType::Integer, kNoArguments, kReadOnly,
     "Restituisce o imposta un valore che indica se un oggetto viene ridisegnato con effetti tridimensionali in fase di esecuzione."},
    {35, "DefColWidth", MemberKind::Property, kGet | kLet, 0x68030076, ValueType::Single, kNoArguments, 0,
     "Specifies column width for auto-created columns"},
    {36, "MaxLength", MemberKind::Property, kGet | kLet, 0x68030075, ValueType::Long, kNoArguments, 0,
     "Restituisce o imposta il numero massimo di caratteri che è possibile immettere in un controllo."},
    {37, "MouseIcon", MemberKind::Property, kGet | kSet, 0x68030074, ValueType::PictureObject, kNoArguments, 0,
     "Imposta un'icona personalizzata per il puntatore del mouse."},
    {38, "MousePointer", MemberKind::Property, kGet | kLet, 0x68030073, ValueType::Integer, kNoArguments, 0,
     "Restituisce o imposta il tipo di puntatore del mouse visualizzato quando il puntatore si trova su una parte specifica di un oggetto."},
    {39, "ScrollBars", MemberKind::Property, kGet | kLet, 0x68030072, ValueType::ScrollBars, kNoArguments, 0,
     "Sets/returns style for grid scrollbars"},
    {40, "DropDownAuto", MemberKind::Property, kGet | kLet, 0x68030071, ValueType::Boolean, kNoArguments, 0,
     ""},
    {41, "OnListOnly", MemberKind::Property, kGet | kLet, 0x68030070, ValueType::Boolean, kNoArguments, 0,
     ""},
    {42, "hwnd", MemberKind::Property, kGet, 0x6803006F, ValueType::Long, kNoArguments, kReadOnly,
     "Restituisce un handle (dal sistema operativo) alla finestra di un oggetto."},
    {43, "ListHeight", MemberKind::Property, kGet | kLet, 0x6803006E, ValueType::Long, kNoArguments, 0,
     ""},
    {44, "ListDataBaseName", MemberKind::Property, kGet | kLet, 0x6803006D, ValueType::String, kNoArguments, 0,
     "Restituisce o imposta il nome e la posizione della fonte dati di un controllo Data."},
    {45, "ListRecordSource", MemberKind::Property, kGet | kLet, 0x6803006C, ValueType::String, kNoArguments, 0,
     "Restituisce o imposta la tabella sottostante, l'istruzione SQL o l'oggetto QueryDef per un controllo Data."},
    {46, "Connect", MemberKind::Property, kGet | kLet, 0x6803006B, ValueType::String, kNoArguments, 0,
     "Indica l'origine di un database aperto, un database utilizzato in una query pass-through o una tabella allegata."},
    {47, "DefaultCursorType", MemberKind::Property, kGet | kLet, 0x6803006A, ValueType::Integer, kNoArguments, 0,
     "Restituisce o imposta un valore che indica la libreria di cursori utilizzata dal controllo Data. Utilizzato con valori DefaultCursorTypeConstants."},
    {48, "DefaultType", MemberKind::Property, kGet | kLet, 0x68030069, ValueType::Integer, kNoArguments, 0,
     "Restituisce o imposta un valore che determina il tipo di fonte dati (motore locale o connessione diretta) utilizzato dal controllo Data. Utilizzato con i valori del tipo di area di lavoro."},
    {49, "Options", MemberKind::Property, kGet | kLet, 0x68030068, ValueType::Integer, kNoArguments, 0,
     "Restituisce o imposta un valore che specifica una o più caratteristiche dell'oggetto Recordset nella proprietà Recordset del controllo."},
    {50, "ListRecordsetType", MemberKind::Property, kGet | kLet, 0x68030067, ValueType::Integer, kNoArguments, 0,
     "Restituisce o imposta un valore che indica il tipo di oggetto Recordset che verrà creato con il controllo Data."},
    {51, "ColsAlignment", MemberKind::Property, kGet | kLet, 0x68030066, ValueType::String, kNoArguments, 0,
     ""},
    {52, "ListBodyFont", MemberKind::Property, kGet | kSet, 0x68030065, ValueType::FontObject, kNoArguments, 0,
     "Specifies overall grid font object"},
    {53, "ListHeadFont", MemberKind::Property, kGet | kSet, 0x68030064, ValueType::FontObject, kNoArguments, 0,
     "Specifies the heading and caption font"},
    {54, "ListForeColor", MemberKind::Property, kGet | kLet, 0x68030063, ValueType::Colour, kNoArguments, 0,
     "Sets/returns grid foreground color"},
    {55, "Refresh", MemberKind::Method, 0, 0x600300B6, ValueType::None, kNoArguments, 0,
     "Chiude e ricrea l'oggetto Recordset o le strutture di dati create da un controllo."},
    {56, "ListRefresh", MemberKind::Method, 0, 0x600300B7, ValueType::None, kNoArguments, 0,
     "Chiude e ricrea l'oggetto Recordset o le strutture di dati create da un controllo."},
    {57, "FastMode", MemberKind::Property, kGet | kLet, 0x68030062, ValueType::Boolean, kNoArguments, 0,
     ""},
    {58, "Columns", MemberKind::Property, kGet, 0x68030061, ValueType::Object, kIndexArgument, kReadOnly,
     "Contains a collection of grid columns"},
    {59, "ListBackColor", MemberKind::Property, kGet | kLet, 0x68030060, ValueType::Colour, kNoArguments, 0,
     "Sets/returns grid background color"},
    {60, "BringToFront", MemberKind::Property, kGet | kLet, 0x6803005F, ValueType::Boolean, kNoArguments, 0,
     ""},
    {61, "About", MemberKind::Property, kGet | kLet, 0x6803005E, ValueType::Variant, kNoArguments, 0,
     ""},
    {62, "ListRecordset", MemberKind::Property, kGet | kSet, 0x6803005D, ValueType::RecordsetObject, kNoArguments, 0,
     "Restituisce o imposta un oggetto Recordset definito dalle proprietà di un controllo Data oppure da un oggetto Recordset esistente."},
    {63, "SearchDisable", MemberKind::Property, kGet | kLet, 0x6803005C, ValueType::Boolean, kNoArguments, 0,
     ""},
};
// clang-format on

static_assert(std::size(kMembers) == 63);

constexpr ValueType kI = ValueType::Integer;
constexpr ValueType kS = ValueType::Single;
constexpr ValueType kNo = ValueType::None;

const EventInterfaceEntry kEvents[] = {
    {&events::Drop, {kNo, kNo, kNo, kNo}, ""},
    {&events::Click, {kNo, kNo, kNo, kNo},
     "Viene generato quando si preme e quindi si rilascia un pulsante del mouse su un oggetto."},
    {&events::DblClick, {kNo, kNo, kNo, kNo},
     "Viene generato quando si preme e si rilascia due volte in rapida successione un pulsante del mouse su un oggetto."},
    {&events::BeenChosen, {kNo, kNo, kNo, kNo}, "Fired when a mouse click occurs"},
    {&events::MouseDown, {kI, kI, kS, kS}, ""},
    {&events::MouseMove, {kI, kI, kS, kS}, ""},
    {&events::MouseUp, {kI, kI, kS, kS}, ""},
    {&events::KeyDown, {kI, kI, kNo, kNo},
     "Viene generato quando si preme un tasto mentre lo stato attivo si trova su un oggetto."},
    {&events::KeyPress, {kI, kNo, kNo, kNo},
     "Viene generato quando si preme e si rilascia un tasto ANSI."},
    {&events::KeyUp, {kI, kI, kNo, kNo},
     "Viene generato quando si rilascia un tasto mentre lo stato attivo si trova su un oggetto."},
    {&events::Change, {kNo, kNo, kNo, kNo},
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

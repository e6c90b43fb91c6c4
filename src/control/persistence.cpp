// The persisted property set: saving writes the member table's keys
// (control/member_table.h); loading reads them step by step, in an order of
// its own, and puts each value where it belongs. Stored forms carry exactly
// these names, so neither a key nor a default may change.
//
// Loading converts each stored value to the type of its target; a Variant
// member keeps whatever was stored, so a field named by text comes back as
// text and a field number as a number. The grid's settings convert as any
// assignment to them does (a numeric text is its number); only a value the
// grid refuses fails.
#include "control/dispatch.h"
#include "control/quorvel2000.h"
#include "control/value_conversion.h"
#include "platform/failure.h"

namespace quorvel {

namespace {

inline constexpr std::string_view kCodeReadProperties = "    /M_005 ";

Variant colour(Color c) { return Variant::longValue(c); }
Variant boolean(VBool b) { return Variant::booleanValue(b); }
Variant nothing() { return Variant(ObjectRef()); }

}  // namespace

// Each key holds what a late-bound read of its property gives, in the
// order and with the defaults of the member table.
void Quorvel2000::WriteProperties(PropertyBag& bag) {
    ControlDispatch late(*this, site_);
    for (const idl::SavedProperty& saved : idl::savedProperties())
        bag.writeProperty(saved.key, late.get(saved.property), saved.defaultValue(site_));
}

void Quorvel2000::ReadProperties(PropertyBag& bag) {
    const Locale& loc = locale();
    auto read = [&](std::string_view key, const Variant& def) { return bag.readProperty(key, def); };
    auto readBoolean = [&](std::string_view key, VBool def) {
        return booleanFrom(read(key, boolean(def)), loc);
    };
    auto readInteger = [&](std::string_view key, std::int16_t def) {
        return integerFrom(read(key, Variant(def)), loc);
    };
    auto readLong = [&](std::string_view key, std::int32_t def) {
        return longFrom(read(key, Variant::longValue(def)), loc);
    };
    auto readSingle = [&](std::string_view key) { return singleFrom(read(key, Variant(0.0f)), loc); };
    auto readText = [&](std::string_view key, std::string_view def) {
        return textFrom(read(key, Variant(def)), loc);
    };
    // The ambient font is asked for afresh at each key: the host may hand
    // out a new object every time.
    auto readFont = [&](std::string_view key) { return fontFrom(read(key, Variant(site_.ambientFont()))); };

    // The data source's reopenings below must not replace the stored value
    // with the first record's; it is looked up once the list is configured.
    bool configured = false;
    {
        FlagScope keep(keepStoredValue_);
        runReported(
            kCodeReadProperties, {failure::kObjectNotSet, failure::kFileNotFound},
            [&] {
                // The values written into Text1 and Text2 below are stored
                // settings, not the user's doing: no lookup, no search.
                skipBoundChange = kTrue;
                skipNextKeyUp = kTrue;

                Text2.setBackColor(longFrom(read("BackColor", colour(kSystemWindowBackground)), loc));
                Text2.setForeColor(longFrom(read("ForeColor", colour(kSystemWindowText)), loc));

                setListBodyFont(readFont("ListBodyFont"));
                setListHeadFont(readFont("ListHeadFont"));
                setFont(readFont("Font"));

                // The columns are laid out by the layout routine, not here.
                colsCaption = readText("ColsCaption", "");
                colsField = readText("ColsField", "");
                colsFormat = readText("ColsFormat", "");
                colsSize = readText("ColsSize", "");

                Text1.setText(readText("BoundText", "Text1"));

                Text2.setLocked(readBoolean("Locked", kFalse));
                DBGrid1.setMarqueeStyle(readLong("MarqueeStyle", 4));
                Text2.setSelStart(readLong("SelStart", 0));
                Text2.setSelLength(readLong("SelLength", 0));
                Text2.setSelText(readText("SelText", ""));
                Text2.setText(readText("Text", "Text2"));

                // Members only: the data source is configured at the end.
                listSearchField = read("ListSearchField", Variant::integer(0));
                // Read and not acted on: the list is closed when a control is
                // created, and a stored True would only stop the layout routine
                // until the first toggle.
                (void)readBoolean("DropDown", kFalse);
                boundField = read("BoundField", Variant::integer(0));

                Text1.setText(readText("DataBindings", ""));

                site_.surface().setEnabled(readBoolean("Enabled", kTrue));
                site_.surface().setCurrentX(readSingle("CurrentX"));
                site_.surface().setCurrentY(readSingle("CurrentY"));
                site_.surface().setAutoRedraw(readBoolean("AutoRedraw", kFalse));
                DBGrid1.setDefColWidth(readSingle("DefColWidth"));
                Text2.setMaxLength(readLong("MaxLength", 0));
                setMouseIcon(pictureFrom(read("MouseIcon", nothing())));
                site_.surface().setMousePointer(readInteger("MousePointer", 0));
                DBGrid1.setScrollBars(readLong("ScrollBars", 3));

                dropDownAuto = readBoolean("DropDownAuto", kTrue);
                onListOnly = readBoolean("OnListOnly", kTrue);
                listHeight = readLong("ListHeight", 2055);

                Data1.setDatabaseName(readText("ListDataBaseName", ""));
                Data1.setRecordSource(readText("ListRecordSource", ""));
                Data1.setConnect(readText("Connect", "Access"));
                Data1.setDefaultCursorType(readInteger("DefaultCursorType", 0));
                Data1.setDefaultType(readInteger("DefaultType", 2));
                Data1.setOptions(readInteger("Options", 0));
                Data1.setRecordsetType(readInteger("ListRecordsetType", 1));

                colsAlignment = readText("ColsAlignment", "");
                DBGrid1.setForeColor(longFrom(read("ListForeColor", colour(kSystemWindowText)), loc));
                fastMode = readBoolean("FastMode", kFalse);
                DBGrid1.setBackColor(longFrom(read("ListBackColor", colour(kSystemWindowBackground)), loc));
                bringToFront = readBoolean("BringToFront", kTrue);

                // Never written: a stored form normally has no recordset, and the
                // data control then opens one from the settings above.
                setListRecordset(recordsetFrom(read("Recordset", nothing())));

                searchDisable = readBoolean("SearchDisable", kFalse);
                // A value this control does not know stands for its own keys.
                keyboardConventions =
                    readInteger("KeyboardConventions", kOwnKeys) == kComboBoxKeys ? kComboBoxKeys : kOwnKeys;

                ImpostaDataControl();
                configured = true;
            },
            [&](std::int32_t) { dataUnavailable = kTrue; });
    }
    skipBoundChange = kFalse;
    skipNextKeyUp = kFalse;

    // The stored value shows its record's search text, as an assignment of
    // it would; the host was told of the value itself by the writes above,
    // so the lookup raises no second Change.
    if (!configured || dataUnavailable != kFalse) return;
    FlagScope quiet(quietBoundRefresh);
    boundValueChanged();
}

}  // namespace quorvel

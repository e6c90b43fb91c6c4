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

Variant nothing() { return Variant(ObjectRef()); }

// The default the key is saved with, from the member table.
Variant savedDefault(std::string_view key, ControlSite& site) {
    for (const idl::SavedProperty& saved : idl::savedProperties())
        if (saved.key == key) return saved.defaultValue(site);
    fail(failure::kInvalidProcedureCall, "No saved key " + std::string(key));
}

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
    // Each key is asked for with the default saving leaves out: the member
    // table's (the ambient font asked for afresh at each key).
    auto read = [&](std::string_view key) { return bag.readProperty(key, savedDefault(key, site_)); };
    auto readBoolean = [&](std::string_view key) { return booleanFrom(read(key), loc); };
    auto readInteger = [&](std::string_view key) { return integerFrom(read(key), loc); };
    auto readLong = [&](std::string_view key) { return longFrom(read(key), loc); };
    auto readSingle = [&](std::string_view key) { return singleFrom(read(key), loc); };
    auto readText = [&](std::string_view key) { return textFrom(read(key), loc); };
    auto readFont = [&](std::string_view key) { return fontFrom(read(key)); };

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

                Text2.setBackColor(readLong("BackColor"));
                Text2.setForeColor(readLong("ForeColor"));

                setListBodyFont(readFont("ListBodyFont"));
                setListHeadFont(readFont("ListHeadFont"));
                setFont(readFont("Font"));

                // The columns are laid out by the layout routine, not here.
                colsCaption = readText("ColsCaption");
                colsField = readText("ColsField");
                colsFormat = readText("ColsFormat");
                colsSize = readText("ColsSize");

                Text1.setText(readText("BoundText"));

                Text2.setLocked(readBoolean("Locked"));
                DBGrid1.setMarqueeStyle(readLong("MarqueeStyle"));
                Text2.setSelStart(readLong("SelStart"));
                Text2.setSelLength(readLong("SelLength"));
                Text2.setSelText(readText("SelText"));
                Text2.setText(readText("Text"));

                // Members only: the data source is configured at the end.
                listSearchField = read("ListSearchField");
                // Read and not acted on: the list is closed when a control is
                // created, and a stored True would only stop the layout routine
                // until the first toggle.
                (void)readBoolean("DropDown");
                boundField = read("BoundField");

                Text1.setText(readText("DataBindings"));

                site_.surface().setEnabled(readBoolean("Enabled"));
                site_.surface().setCurrentX(readSingle("CurrentX"));
                site_.surface().setCurrentY(readSingle("CurrentY"));
                site_.surface().setAutoRedraw(readBoolean("AutoRedraw"));
                DBGrid1.setDefColWidth(readSingle("DefColWidth"));
                Text2.setMaxLength(readLong("MaxLength"));
                setMouseIcon(pictureFrom(read("MouseIcon")));
                site_.surface().setMousePointer(readInteger("MousePointer"));
                DBGrid1.setScrollBars(readLong("ScrollBars"));

                dropDownAuto = readBoolean("DropDownAuto");
                onListOnly = readBoolean("OnListOnly");
                listHeight = readLong("ListHeight");

                Data1.setDatabaseName(readText("ListDataBaseName"));
                Data1.setRecordSource(readText("ListRecordSource"));
                Data1.setConnect(readText("Connect"));
                Data1.setDefaultCursorType(readInteger("DefaultCursorType"));
                Data1.setDefaultType(readInteger("DefaultType"));
                Data1.setOptions(readInteger("Options"));
                Data1.setRecordsetType(readInteger("ListRecordsetType"));

                colsAlignment = readText("ColsAlignment");
                DBGrid1.setForeColor(readLong("ListForeColor"));
                fastMode = readBoolean("FastMode");
                DBGrid1.setBackColor(readLong("ListBackColor"));
                bringToFront = readBoolean("BringToFront");

                // Never written: a stored form normally has no recordset, and the
                // data control then opens one from the settings above.
                setListRecordset(recordsetFrom(bag.readProperty("Recordset", nothing())));

                searchDisable = readBoolean("SearchDisable");
                // A value this control does not know stands for its own keys.
                keyboardConventions =
                    readInteger("KeyboardConventions") == kComboBoxKeys ? kComboBoxKeys : kOwnKeys;

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

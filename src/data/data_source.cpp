// Configuring the list's data source: the seven settings of the data
// control, the recordset object, and the resolution of the bound and search
// fields against the recordset's fields.
#include "control/quorvel2000.h"
#include "platform/failure.h"
#include "platform/text.h"

namespace quorvel {

namespace {

inline constexpr std::string_view kCodeImpostaDataControl = "    /M_007 ";

// The index of the first field whose name equals `name` in upper case, or -1.
std::int32_t findFieldByName(Fields& fields, std::string_view name) {
    const std::string wanted = upperForNames(name);
    const std::int16_t count = fields.count();
    for (std::int32_t i = 0; i < count; ++i)
        if (upperForNames(fields.item(i).name()) == wanted) return i;
    return -1;
}

}  // namespace

void Quorvel2000::ImpostaDataControl() {
    runReported(
        kCodeImpostaDataControl, {failure::kObjectNotSet, failure::kFileNotFound, failure::kNotValidPassword},
        [&] {
            // The reposition that the reopening raises is handled while the
            // field names of the previous configuration are still in place.
            Data1.refresh();
            std::shared_ptr<Recordset> held = listRecordset();
            Fields& fields = held->fields();

            boundFieldName = UnNull2(boundField).asString();
            if (findFieldByName(fields, boundFieldName) < 0) boundFieldName = fields.item(0).name();
            boundFieldType = fields.item(boundFieldName).type();

            if (locale().isNumeric(listSearchField)) {
                std::int32_t n = roundToLong(Val2(listSearchField).toDouble());
                if (fields.count() < static_cast<std::int64_t>(n) + 1) searchFieldName = boundFieldName;
                else searchFieldName = fields.item(n).name();
            } else {
                searchFieldName = UnNull2(listSearchField).asString();
                if (findFieldByName(fields, searchFieldName) < 0) searchFieldName = boundFieldName;
            }
            searchFieldType = fields.item(searchFieldName).type();

            textIsBoundValue = kFalse;
            if (upperForNames(searchFieldName) == upperForNames(boundFieldName) && onListOnly == kFalse)
                textIsBoundValue = kTrue;
            dataUnavailable = kFalse;
        },
        [&](std::int32_t) { dataUnavailable = kTrue; });
}

void Quorvel2000::ListRefresh() {
    Variant bound(Text1.text());
    const std::string held = locale().textOf(UnNull(bound));
    Data1.refresh();
    Text1.setText(held);
    // Run again even when the write above changed nothing, so that the held
    // value's record is looked up in the reopened recordset.
    boundValueChanged();
}

// --- The data-source properties -------------------------------------------

std::string Quorvel2000::ListDataBaseName() const { return Data1.databaseName(); }
void Quorvel2000::setListDataBaseName(const std::string& v) {
    Data1.setDatabaseName(v);
    notify("ListDataBaseName");
    ImpostaDataControl();
    resizeLayout();
}

std::string Quorvel2000::ListRecordSource() const { return Data1.recordSource(); }
void Quorvel2000::setListRecordSource(const std::string& v) {
    Data1.setRecordSource(v);
    notify("ListRecordSource");
    ImpostaDataControl();
    resizeLayout();
}

std::string Quorvel2000::Connect() const { return Data1.connect(); }
void Quorvel2000::setConnect(const std::string& v) {
    Data1.setConnect(v);
    notify("Connect");
    ImpostaDataControl();
}

// These four take effect at the next reopening of the recordset.
std::int16_t Quorvel2000::DefaultCursorType() const { return Data1.defaultCursorType(); }
void Quorvel2000::setDefaultCursorType(std::int16_t v) {
    Data1.setDefaultCursorType(v);
    notify("DefaultCursorType");
}

std::int16_t Quorvel2000::DefaultType() const { return Data1.defaultType(); }
void Quorvel2000::setDefaultType(std::int16_t v) {
    Data1.setDefaultType(v);
    notify("DefaultType");
}

std::int16_t Quorvel2000::Options() const { return Data1.options(); }
void Quorvel2000::setOptions(std::int16_t v) {
    Data1.setOptions(v);
    notify("Options");
}

std::int16_t Quorvel2000::ListRecordsetType() const { return Data1.recordsetType(); }
void Quorvel2000::setListRecordsetType(std::int16_t v) {
    Data1.setRecordsetType(v);
    notify("ListRecordsetType");
}

std::shared_ptr<Recordset> Quorvel2000::ListRecordset() const { return Data1.recordset(); }
void Quorvel2000::setListRecordset(std::shared_ptr<Recordset> v) {
    Data1.setRecordset(std::move(v));
    notify("ListRecordset");
    ImpostaDataControl();
}

}  // namespace quorvel

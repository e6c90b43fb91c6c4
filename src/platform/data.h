// The list's data source: a data control that opens a recordset from a
// database, the recordset with its fields, and the notifications the data
// control sends back.
//
// Field type codes are the classic data engine's: 1 Boolean, 2 Byte,
// 3 Integer, 4 Long, 5 Currency, 6 Single, 7 Double, 8 Date, 10 Text,
// 11 Long binary, 12 Memo, 18 fixed-length text, 20 Decimal, 22 Time,
// 23 Timestamp.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/subscription.h"
#include "platform/variant.h"

namespace quorvel {

namespace field_type {
inline constexpr std::int16_t kBoolean = 1;
inline constexpr std::int16_t kByte = 2;
inline constexpr std::int16_t kInteger = 3;
inline constexpr std::int16_t kLong = 4;
inline constexpr std::int16_t kCurrency = 5;
inline constexpr std::int16_t kSingle = 6;
inline constexpr std::int16_t kDouble = 7;
inline constexpr std::int16_t kDate = 8;
inline constexpr std::int16_t kText = 10;
inline constexpr std::int16_t kLongBinary = 11;
inline constexpr std::int16_t kMemo = 12;
inline constexpr std::int16_t kFixedText = 18;
inline constexpr std::int16_t kDecimal = 20;
inline constexpr std::int16_t kTime = 22;
inline constexpr std::int16_t kTimestamp = 23;
}  // namespace field_type

// One column of the recordset, read at the current record.
class Field {
public:
    virtual ~Field() = default;
    virtual std::string name() const = 0;
    virtual std::int16_t type() const = 0;
    // The current record's value: Null for a missing value, dates as Date.
    // Failure 3021 when there is no current record.
    virtual Variant value() const = 0;
};

class Fields {
public:
    virtual ~Fields() = default;
    virtual std::int16_t count() const = 0;
    // Zero-based; Failure 3265 when out of range.
    virtual Field& item(std::int32_t index) = 0;
    // Names compared without regard to case; Failure 3265 when none matches.
    virtual Field& item(std::string_view name) = 0;
    // A number or a name; Failure 3265 when it names no field.
    Field& itemOf(const Variant& indexOrName);
};

class Recordset : public Object {
public:
    virtual Fields& fields() = 0;
    virtual std::int32_t recordCount() = 0;
    // Whether records are still being read in the background: until it is
    // false, recordCount() counts the records read so far and grows, and a
    // grid polls it to show the new rows.
    virtual bool stillReading() { return false; }

    // Makes the first record, from the start of the recordset, that meets the
    // criteria current (raising the reposition notification when it moves),
    // or leaves the current record and sets NoMatch. Criteria: `field op
    // value` with op " = ", " >= " or " Like ".
    virtual void findFirst(std::string_view criteria) = 0;
    virtual VBool noMatch() const = 0;

    virtual void moveFirst() = 0;
    virtual void moveLast(std::int32_t options = 0) = 0;
    virtual void moveNext() = 0;
    virtual void movePrevious() = 0;

    // The zero-based position of the current record, -1 when there is none.
    virtual std::int32_t absolutePosition() const = 0;
    // Makes the record at a zero-based position current (the grid's row
    // moving); Failure 3021 out of range.
    virtual void setAbsolutePosition(std::int32_t position) = 0;
    virtual bool bof() const = 0;
    virtual bool eof() const = 0;

    // The value of a field at any position, without moving the current
    // record: what a grid reads to draw a row. Failure 3021 out of range,
    // 3265 for a field that is not there.
    virtual Variant valueAt(std::int32_t position, std::int32_t fieldIndex) = 0;
};

class DataControlEvents {
public:
    virtual ~DataControlEvents() = default;
    // The data control reads both back after the call.
    virtual void onError(std::int16_t& dataErr, std::int16_t& response) { (void)dataErr, (void)response; }
    // After every change of the current record, synchronously.
    virtual void onReposition() {}
    // Before the current record is left; the data control reads both back.
    virtual void onValidate(std::int16_t& action, std::int16_t& save) { (void)action, (void)save; }
};

// Something that wants to follow the data control's recordset besides the
// control itself: the grid bound to it.
class DataControlObserver {
public:
    virtual ~DataControlObserver() = default;
    // The recordset was opened, reopened or replaced (possibly by none).
    virtual void recordsetReplaced() {}
    // The current record changed.
    virtual void currentRecordMoved() {}
};

class DataControl {
public:
    virtual ~DataControl() = default;

    // Stored and used at the next reopening.
    virtual std::string databaseName() const = 0;
    virtual void setDatabaseName(const std::string& v) = 0;
    virtual std::string recordSource() const = 0;
    virtual void setRecordSource(const std::string& v) = 0;
    virtual std::string connect() const = 0;
    virtual void setConnect(const std::string& v) = 0;
    virtual std::int16_t defaultCursorType() const = 0;
    virtual void setDefaultCursorType(std::int16_t v) = 0;
    virtual std::int16_t defaultType() const = 0;
    virtual void setDefaultType(std::int16_t v) = 0;
    virtual std::int16_t options() const = 0;
    virtual void setOptions(std::int16_t v) = 0;
    // 0 table, 1 dynaset, 2 snapshot.
    virtual std::int16_t recordsetType() const = 0;
    virtual void setRecordsetType(std::int16_t v) = 0;
    virtual std::string caption() const = 0;
    virtual void setCaption(const std::string& v) = 0;

    // The open recordset, or none (after a failed opening, or before any).
    virtual std::shared_ptr<Recordset> recordset() const = 0;
    // Uses the given recordset from now on; none is accepted and means "open
    // from the settings at the next refresh".
    virtual void setRecordset(std::shared_ptr<Recordset> recordset) = 0;

    // Closes and reopens the recordset from the settings, the first record
    // current when there are records, and raises the reposition notification
    // before it returns. Failure 3024 for a missing database file.
    virtual void refresh() = 0;

    // The notifications go to these events (a later registration takes
    // them over) until the subscription ends.
    [[nodiscard]] virtual Subscription setEvents(DataControlEvents& events) = 0;
    // The observer follows the recordset until the subscription ends; a
    // second registration of the same observer adds nothing.
    [[nodiscard]] virtual Subscription addObserver(DataControlObserver& observer) = 0;
};

}  // namespace quorvel

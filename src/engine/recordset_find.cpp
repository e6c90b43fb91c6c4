#include "engine/recordset_find.h"

#include <sqlite3.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <variant>

#include "engine/data_engine.h"
#include "engine/recordset.h"
#include "engine/recordset_state.h"
#include "engine/sqlite_handle.h"
#include "engine/text_fold.h"
#include "platform/failure.h"
#include "platform/locale.h"
#include "platform/text.h"

namespace quorvel::engine {

bool KeyTest::matches(sqlite3_stmt* row, int column) const {
    if (kind != KeyKind::Text) {
        std::optional<double> key = numberKeyOf(row, column, kind);
        if (!key) return false;
        return op == CriteriaOp::Equal ? *key == numberKey : *key >= numberKey;
    }
    int storage = sqlite3_column_type(row, column);
    if (storage == SQLITE_NULL || storage == SQLITE_BLOB) return false;
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, column));
    // One buffer for the whole scan, as the index's own collection does.
    std::string& key = scratch_;
    key.clear();
    appendFolded(std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(row, column))), key);
    switch (op) {
        case CriteriaOp::Equal: return key == textKey;
        case CriteriaOp::GreaterOrEqual: return key >= textKey;
        case CriteriaOp::Like: return pattern->matches(key);
    }
    return false;
}

KeyCollector::KeyCollector(KeyKind kind, RowPositions rows, bool deferFolding)
    : kind_(kind), rows_(std::move(rows)), defer_(deferFolding && kind == KeyKind::Text) {
    // Keys are collected once every position is known: all the table has.
    rows_.count = rows_.positions->count();
    auto count = static_cast<std::size_t>(rows_.count);
    if (kind_ != KeyKind::Text) number_.reserve(count);
    else if (defer_) raw_.reserve(count * 16);
    else text_.reserve(count, count * 16);
}

void KeyCollector::addNull() {
    ++next_;
    if (kind_ != KeyKind::Text) number_.add(std::nullopt);
    else if (defer_) raw_.append(4, '\xFF');
    else text_.addNull();
}

void KeyCollector::addText(std::string_view text) {
    ++next_;
    if (!defer_) {
        text_.add(text);
        return;
    }
    if (text.size() >= 0xFFFFFFFFu)
        fail(failure::kOutOfMemory, "A value is too long to be a key of a find index.");
    auto length = static_cast<std::uint32_t>(text.size());
    raw_.append(reinterpret_cast<const char*>(&length), 4);
    raw_ += text;
}

void KeyCollector::add(sqlite3_stmt* row) {
    std::int64_t rowid = sqlite3_column_int64(row, 0);
    while (next_ < rows_.count && rows_.rowidAt(next_) < rowid) addNull();
    if (next_ >= rows_.count || rows_.rowidAt(next_) != rowid) return;
    if (kind_ != KeyKind::Text) {
        ++next_;
        number_.add(numberKeyOf(row, 1, kind_));
        return;
    }
    int storage = sqlite3_column_type(row, 1);
    if (storage == SQLITE_NULL || storage == SQLITE_BLOB) {
        addNull();
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, 1));
    addText(std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(row, 1))));
}

FieldIndex KeyCollector::finish(const std::atomic<bool>* stop) {
    while (next_ < rows_.count) addNull();
    if (kind_ != KeyKind::Text) {
        number_.finish();
        return std::move(number_);
    }
    if (defer_) {
        // From the start each time: a build stopped half-way runs again.
        text_ = TextKeyIndex();
        text_.reserve(static_cast<std::size_t>(rows_.count), raw_.size());
        std::uint32_t added = 0;
        for (std::size_t at = 0; at < raw_.size();) {
            if ((++added & 0xFFFF) == 0 && stop != nullptr && stop->load(std::memory_order_relaxed))
                fail(SQLITE_INTERRUPT, "The index build was stopped.");
            std::uint32_t length = 0;
            std::memcpy(&length, raw_.data() + at, 4);
            at += 4;
            if (length == 0xFFFFFFFFu) {
                text_.addNull();
                continue;
            }
            text_.add(std::string_view(raw_).substr(at, length));
            at += length;
        }
        std::string().swap(raw_);
    }
    text_.finish();
    return std::move(text_);
}

KeyCollector readKeys(const Connection& db, const KeySource& source, std::size_t field, bool deferFolding,
                      const std::function<void()>& beforeSlice) {
    static constexpr int kSlice = 8192;
    std::string context = "indexing a field";
    Statement slice(db,
                    "SELECT " + source.rowidName + ", " + source.columnSql[field] + " FROM " +
                        source.rowSource + " WHERE " + source.rowidName + " > ?1 ORDER BY " +
                        source.rowidName + " LIMIT " + std::to_string(kSlice),
                    context);
    KeyCollector keys(source.kinds[field], source.rows, deferFolding);
    std::int64_t after = std::numeric_limits<std::int64_t>::min();
    while (true) {
        if (beforeSlice) beforeSlice();
        sqlite3_bind_int64(slice.get(), 1, after);
        int rows = 0;
        while (slice.step(context)) {
            keys.add(slice.get());
            after = sqlite3_column_int64(slice.get(), 0);
            ++rows;
        }
        slice.reset();
        if (rows < kSlice) break;
    }
    return keys;
}

namespace {

std::string isoText(double serial) {
    CivilDateTime t = civilFromSerial(serial);
    char buffer[32];
    if (t.hour == 0 && t.minute == 0 && t.second == 0)
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", t.year, t.month, t.day);
    else
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                      t.minute, t.second);
    return buffer;
}

[[noreturn]] void mismatch(std::string_view criteria, std::string_view why) {
    fail(failure_code::kCriteriaTypeMismatch, "Data type mismatch in criteria expression '" +
                                                  std::string(criteria) + "': " + std::string(why) + ".");
}

// The criteria value as a key of a number, Boolean or date field.
double numberKeyOfValue(std::string_view criteria, const CriteriaValue& value, KeyKind kind) {
    if (value.kind != CriteriaValue::Kind::Text) {
        if (kind == KeyKind::Boolean) return value.number != 0 ? -1.0 : 0.0;
        return value.number;
    }
    std::string_view text = value.text;
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (kind == KeyKind::Date) {
        if (auto serial = serialFromIsoText(text)) return *serial;
        try {
            return parseCriteria("d = #" + std::string(text) + "#", std::array<std::string, 1>{"d"})
                .value.number;
        } catch (const Failure&) { mismatch(criteria, "\"" + std::string(text) + "\" is not a date"); }
    }
    if (kind == KeyKind::Boolean) {
        if (equalsIgnoringCase(text, "true")) return -1.0;
        if (equalsIgnoringCase(text, "false")) return 0.0;
    }
    try {
        auto parsed = parseCriteria("n = " + std::string(text), std::array<std::string, 1>{"n"});
        if (parsed.value.kind == CriteriaValue::Kind::Number)
            return kind == KeyKind::Boolean ? (parsed.value.number != 0 ? -1.0 : 0.0) : parsed.value.number;
    } catch (const Failure&) {}
    mismatch(criteria, "\"" + std::string(text) + "\" is not a number");
}

}  // namespace

namespace {

std::int32_t firstIn(const FieldIndex& index, const KeyTest& test) {
    if (const auto* text = std::get_if<TextKeyIndex>(&index)) {
        switch (test.op) {
            case CriteriaOp::Equal: return text->firstEqual(test.textKey);
            case CriteriaOp::GreaterOrEqual: return text->firstAtOrAfter(test.textKey);
            case CriteriaOp::Like: return text->firstLike(*test.pattern);
        }
    }
    const auto& number = std::get<NumberKeyIndex>(index);
    return test.op == CriteriaOp::Equal ? number.firstEqual(test.numberKey)
                                        : number.firstAtOrAfter(test.numberKey);
}

}  // namespace

std::int32_t EngineRecordset::findPosition(std::string_view criteria) {
    State& s = state();
    lookAtFile();
    takeBuiltIndexes();
    takeLoaded();
    Criteria parsed = parseCriteria(criteria, s.fieldNames);
    const auto f = static_cast<std::size_t>(parsed.fieldIndex);
    const FieldInfo& field = s.fields[f];
    KeyTest test;
    test.kind = keyKindOf(field.type);
    test.op = parsed.op;
    if (test.kind == KeyKind::None) mismatch(criteria, "field '" + field.name + "' holds binary data");
    if (test.kind != KeyKind::Text && parsed.op == CriteriaOp::Like)
        mismatch(criteria, "Like compares text, and field '" + field.name + "' is not a text field");
    if (test.kind == KeyKind::Text) {
        const CriteriaValue& v = parsed.value;
        std::string text = v.kind == CriteriaValue::Kind::Date ? isoText(v.number) : v.text;
        if (parsed.op == CriteriaOp::Like) test.pattern = LikePattern::compile(text);
        else test.textKey = folded(text);
    } else {
        test.numberKey = numberKeyOfValue(criteria, parsed.value, test.kind);
    }

    // Until every position is in, the records answer: an index then would
    // hold only some of them (and after a fault stopped the loader, they
    // answer as far as they can, then meet that fault).
    if (s.loader || s.loadFailure) return scanFor(f, test);
    if (std::holds_alternative<std::monostate>(s.indexes[f])) {
        // The index is on its way, or set on it now: the records answer
        // meanwhile. A build that failed is asked again after the next
        // change, not at every find.
        if (s.worker && s.worker->pending(f)) {
            s.worker->request(f, s.epoch, IndexWorker::Need::Waiting);
            return scanFor(f, test);
        }
        if (s.failedAt[f] == s.epoch + 1) return scanFor(f, test);
        if (startBuild(f, true)) return scanFor(f, test);
        s.indexes[f] = readKeys(s.db, keySourceOf(s), f, false).finish();
        noteReadVersion();
        s.indexEpoch[f] = s.epoch;
    }
    return answerFromIndex(f, test);
}

std::int32_t EngineRecordset::answerFromIndex(std::size_t f, const KeyTest& test) {
    State& s = state();
    std::int32_t candidate = firstIn(s.indexes[f], test);
    if (!s.readsFile || candidate < 0 || s.indexEpoch[f] == s.epoch) return candidate;
    // The index is older than a commit seen since: its candidate is read
    // and tested now, and when the commit changed it, the records answer.
    if (s.worker && !s.worker->pending(f)) s.worker->request(f, s.epoch, IndexWorker::Need::InUse);
    Statement& read = s.keyReads[f];
    read.reset();
    std::int64_t rowid = s.rowidAt(candidate);
    sqlite3_bind_int64(read.get(), 1, rowid);
    bool still = read.step("finding in field '" + s.fields[f].name + "'") &&
                 sqlite3_column_int64(read.get(), 0) == rowid && test.matches(read.get(), 1);
    read.reset();
    noteReadVersion();
    return still ? candidate : scanFor(f, test);
}

std::int32_t EngineRecordset::scanFor(std::size_t f, const KeyTest& test) {
    State& s = state();
    if (s.count == 0) return -1;
    Statement& read = s.keyReads[f];
    std::string context = "finding in field '" + s.fields[f].name + "'";
    std::int32_t next = 0, found = -1;
    std::uint32_t rows = 0;
    bool indexReady = false;
    std::int64_t from = s.rowidAt(0);
    // One pass over the records from `from`; a pass that reaches the
    // positions still being read ends there, and the next goes on from the
    // same record once they are in. The statement is reset before the wait:
    // held open, it would keep a read lock on the file that a writer (and
    // through it the loader) would wait for.
    for (bool more = true; more;) {
        more = false;
        read.reset();
        sqlite3_bind_int64(read.get(), 1, from);
        try {
            while (read.step(context)) {
                // An index the worker finishes meanwhile answers the rest at once.
                if ((++rows & 4095) == 0 && s.worker && s.worker->hasResults()) {
                    takeBuiltIndexes();
                    if (!std::holds_alternative<std::monostate>(s.indexes[f]) && s.indexEpoch[f] == s.epoch) {
                        indexReady = true;
                        break;
                    }
                }
                std::int64_t rowid = sqlite3_column_int64(read.get(), 0);
                while (next < s.count && s.rowidAt(next) < rowid) ++next;
                if (next >= s.count) {
                    more = true;
                    from = rowid;
                    break;
                }
                if (s.rowidAt(next) != rowid) continue;  // added since the opening
                if (test.matches(read.get(), 1)) {
                    found = next;
                    break;
                }
                ++next;
            }
        } catch (const Failure&) {
            read.reset();
            throw;
        }
        read.reset();
        if (more && !knowPosition(next)) break;
    }
    noteReadVersion();
    if (indexReady) return answerFromIndex(f, test);
    return found;
}

void EngineRecordset::findFirst(std::string_view criteria) {
    auto keepAlive = shared_from_this();
    std::int32_t found = -1;
    try {
        found = findPosition(criteria);
    } catch (const Failure& failure) {
        // Only a failure of reading the data is a data error; a bad criteria
        // is the caller's and goes straight back.
        if (failure.number() == failure_code::kCriteriaSyntax ||
            failure.number() == failure_code::kCriteriaTypeMismatch ||
            failure.number() == failure_code::kUnknownCriteriaField ||
            failure.number() == failure::kObjectNotSet)
            throw;
        std::int16_t dataErr = static_cast<std::int16_t>(failure.number());
        std::int16_t response = error_response::kDisplay;
        auto listeners = listeners_;
        for (auto* listener : listeners) listener->recordsetError(dataErr, response);
        if (response != error_response::kContinue && dataErr != 0) throw;
        noMatch_ = kTrue;
        return;
    }
    if (found < 0) {
        noMatch_ = kTrue;
        return;
    }
    // A find that the host cancels leaves the record where it was, so the
    // record in view does not satisfy the criteria: that is no match.
    noMatch_ = kFalse;
    if (!moveTo(found, validate_action::kFind)) noMatch_ = kTrue;
}

}  // namespace quorvel::engine

#include "engine/recordset.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <string>
#include <variant>

#include <sqlite3.h>

#include "engine/data_engine.h"
#include "engine/field_values.h"
#include "engine/find_index.h"
#include "engine/index_worker.h"
#include "engine/odbc_handle.h"
#include "engine/recordset_state.h"
#include "engine/sqlite_handle.h"
#include "platform/failure.h"
#include "platform/text.h"

namespace quorvel::engine {

// --- Fields ------------------------------------------------------------------

class RecordsetField final : public Field {
public:
    RecordsetField(EngineRecordset& owner, std::int32_t index, std::uint32_t generation, std::string name,
                   std::int16_t type)
        : owner_(owner), index_(index), generation_(generation), name_(std::move(name)), type_(type) {}
    std::string name() const override { return name_; }
    std::int16_t type() const override { return type_; }
    Variant value() const override { return owner_.currentValue(index_, generation_); }

private:
    EngineRecordset& owner_;
    std::int32_t index_;
    std::uint32_t generation_;
    std::string name_;
    std::int16_t type_;
};

class RecordsetFields final : public Fields {
public:
    explicit RecordsetFields(EngineRecordset& owner) : owner_(owner) {}

    std::int16_t count() const override { return static_cast<std::int16_t>(current_.size()); }
    Field& item(std::int32_t index) override {
        if (index < 0 || static_cast<std::size_t>(index) >= current_.size())
            fail(failure::kItemNotFound, "Item not found in this collection: there is no field number " +
                                             std::to_string(index) + ".");
        return *current_[static_cast<std::size_t>(index)];
    }
    Field& item(std::string_view name) override {
        for (auto& field : current_) {
            if (equalsIgnoringCase(field->name(), name)) return *field;
        }
        fail(failure::kItemNotFound,
             "Item not found in this collection: there is no field named '" + std::string(name) + "'.");
    }

    // A reopening brings new fields; the old objects stay alive, since a
    // caller may still hold a reference, and their values fail with 3265.
    void replace(std::vector<std::unique_ptr<RecordsetField>> fields) {
        for (auto& old : current_) retired_.push_back(std::move(old));
        current_ = std::move(fields);
    }

private:
    EngineRecordset& owner_;
    std::vector<std::unique_ptr<RecordsetField>> current_;
    std::vector<std::unique_ptr<RecordsetField>> retired_;
};

// --- Shared by the openings ---------------------------------------------------

void addField(EngineRecordset::State& state, std::string_view name, std::string columnSql) {
    state.fields.push_back({validUtf8(name), field_type::kText, std::move(columnSql)});
}

void tooManyRecords(const EngineRecordset::State& state, std::string_view label) {
    fail(failure_code::kOpeningLimit, "The record source '" + std::string(label) + "' gives more than " +
                                          std::to_string(state.limits.records) +
                                          " records, the limit of an opening.");
}

void openingCancelled(std::string_view label, std::int64_t records) {
    fail(failure_code::kOpeningCancelled, "The opening of the record source '" + std::string(label) +
                                              "' was cancelled after " + std::to_string(records) +
                                              " records.");
}

std::string durationText(std::int64_t milliseconds) {
    if (milliseconds % 1000 == 0) return std::to_string(milliseconds / 1000) + " s";
    return std::to_string(milliseconds) + " ms";
}

void prepareReading(EngineRecordset::State& state) {
    std::string columns;
    for (const auto& field : state.fields) {
        columns += columns.empty() ? "" : ", ";
        columns += field.columnSql;
    }
    state.readRow = Statement(
        state.db, "SELECT " + columns + " FROM " + state.rowSource + " WHERE " + state.rowidName + " = ?1",
        "preparing to read records");
    state.indexes.resize(state.fields.size());
    state.indexEpoch.assign(state.fields.size(), 0);
    state.failedAt.assign(state.fields.size(), 0);
    std::vector<std::string> names;
    for (const auto& field : state.fields) {
        names.push_back(field.name);
        state.keyReads.emplace_back(state.db,
                                    "SELECT " + state.rowidName + ", " + field.columnSql + " FROM " +
                                        state.rowSource + " WHERE " + state.rowidName + " >= ?1 ORDER BY " +
                                        state.rowidName,
                                    "preparing to read records");
    }
    state.fieldNames = CriteriaFields(std::move(names));
    state.position = state.count > 0 ? 0 : -1;
}

KeySource keySourceOf(const EngineRecordset::State& state) {
    KeySource source{state.rowSource, state.rowidName, {}, {}, state};
    for (const auto& field : state.fields) {
        source.columnSql.push_back(field.columnSql);
        source.kinds.push_back(keyKindOf(field.type));
    }
    return source;
}

// --- EngineRecordset ---------------------------------------------------------

EngineRecordset::EngineRecordset(OpenSettings settings)
    : settings_(std::move(settings)), fields_(std::make_unique<RecordsetFields>(*this)) {}

EngineRecordset::~EngineRecordset() = default;

std::shared_ptr<EngineRecordset> EngineRecordset::open(const OpenSettings& settings,
                                                       const EngineRecordset* replacing) {
    std::shared_ptr<EngineRecordset> recordset(new EngineRecordset(settings));
    recordset->reopen(replacing);
    return recordset;
}

void EngineRecordset::reopen(const EngineRecordset* replacing) {
    // The fields searched before are the ones searched next.
    std::vector<std::string> searched;
    const State* before = state_ ? state_.get() : replacing != nullptr ? replacing->state_.get() : nullptr;
    if (before != nullptr) {
        for (std::size_t f = 0; f < before->indexes.size(); ++f) {
            if (!std::holds_alternative<std::monostate>(before->indexes[f]))
                searched.push_back(before->fields[f].name);
        }
    }
    close();
    auto state =
        isOdbcConnect(settings_.connect)
            ? openOdbcState(settings_)
            : openSqliteState(settings_,
                              replacing != nullptr && replacing->state_ ? &replacing->state_->db : nullptr);
    ++generation_;
    std::vector<std::unique_ptr<RecordsetField>> fields;
    for (std::size_t i = 0; i < state->fields.size(); ++i)
        fields.push_back(std::make_unique<RecordsetField>(*this, static_cast<std::int32_t>(i), generation_,
                                                          state->fields[i].name, state->fields[i].type));
    fields_->replace(std::move(fields));
    state_ = std::move(state);
    noMatch_ = kFalse;
    if (state_->loader) {
        // The indexes need every position: they are asked for once the
        // loader is done (takeLoaded).
        state_->searchedBefore = std::move(searched);
        return;
    }
    prebuildIndexes(searched);
}

void EngineRecordset::takeLoaded() {
    State& s = state();
    if (!s.loader) return;
    // Complete first: the count read after it is the final one.
    const bool complete = s.positions->complete();
    s.count = s.positions->count();
    if (!complete) return;
    s.loader.reset();
    // A fault that stopped the loader stays: every question past the
    // positions it read meets it.
    if (const auto& failure = s.positions->failure()) s.loadFailure = *failure;
    if (auto searched = std::move(s.searchedBefore)) {
        s.searchedBefore.reset();
        if (!s.loadFailure) prebuildIndexes(*searched);
    }
}

bool EngineRecordset::knowPosition(std::int32_t p) {
    State& s = state();
    if (p < s.count) return true;
    // The loader goes on while a writer holds the file; a wait without any
    // new position for longer than the busy timeout (and a margin) fails as
    // a read would.
    const auto stall = std::chrono::milliseconds(std::max<std::int64_t>(s.limits.busyMilliseconds, 0) + 250);
    while (s.loader && p >= s.count) {
        std::int32_t before = s.count;
        s.positions->waitFor(p, stall);
        takeLoaded();
        if (p >= s.count && s.count == before && s.loader)
            fail(failure_code::kLocked,
                 "The database file stayed locked by another user while the list read "
                 "the positions of its records.");
    }
    if (p < s.count) return true;
    // The loader stopped on a fault: the records after it cannot be reached.
    if (s.loadFailure) throw *s.loadFailure;
    return false;
}

void EngineRecordset::prebuildIndexes(const std::vector<std::string>& searched) {
    State& s = state();
    if (!settings_.backgroundIndexes || s.count == 0 || s.loader) return;
    bool any = false;
    for (std::size_t f = 0; f < s.fields.size(); ++f) {
        bool wanted = std::any_of(searched.begin(), searched.end(),
                                  [&](const std::string& name) { return name == s.fields[f].name; });
        if (wanted && keyKindOf(s.fields[f].type) != KeyKind::None) {
            startBuild(f, false);
            any = true;
        }
    }
    if (any) return;
    // A first opening: lists are mostly searched by a name, the first text.
    for (std::size_t f = 0; f < s.fields.size(); ++f) {
        if (keyKindOf(s.fields[f].type) == KeyKind::Text) {
            startBuild(f, false);
            return;
        }
    }
}

bool EngineRecordset::startBuild(std::size_t f, bool findWaits) {
    State& s = state();
    auto need = findWaits ? IndexWorker::Need::Waiting : IndexWorker::Need::Ahead;
    if (s.worker && s.worker->readsRecords()) {
        s.worker->request(f, s.epoch, need);
        return true;
    }
    if (s.readsFile || !settings_.backgroundIndexes) return false;
    // A copy is visible only to this connection: the worker reads its keys
    // through it (the connection serializes its calls with this thread's
    // row reads), folds and sorts them. The worker ends before the
    // connection closes (it is the state's last member).
    if (!s.worker) s.worker = std::make_unique<IndexWorker>(nullptr);
    s.worker->submit(f, s.epoch, need,
                     [db = &s.db, source = keySourceOf(s), f](const std::atomic<bool>& stop) {
                         auto stopIfAsked = [&] {
                             if (stop.load(std::memory_order_relaxed))
                                 fail(SQLITE_INTERRUPT, "The index build was stopped.");
                         };
                         return readKeys(*db, source, f, false, stopIfAsked).finish(&stop);
                     });
    return true;
}

void EngineRecordset::close() {
    if (!state_) return;
    state_.reset();
    fields_->replace({});
}

EngineRecordset::State& EngineRecordset::state() const {
    if (!state_)
        fail(failure::kObjectNotSet, "The recordset is closed: its opening failed or it was closed.");
    return *state_;
}

void EngineRecordset::addListener(RecordsetListener* listener) {
    if (std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end())
        listeners_.push_back(listener);
}

void EngineRecordset::removeListener(RecordsetListener* listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

std::size_t EngineRecordset::memoryBytes() const {
    if (!state_) return 0;
    std::size_t bytes = sizeof(State) + state_->positions->memoryBytes();
    for (const auto& index : state_->indexes) {
        if (auto* text = std::get_if<TextKeyIndex>(&index)) bytes += text->memoryBytes();
        if (auto* number = std::get_if<NumberKeyIndex>(&index)) bytes += number->memoryBytes();
    }
    for (const auto& row : state_->cache) bytes += row.values.capacity() * sizeof(Variant);
    return bytes;
}

Fields& EngineRecordset::fields() {
    state();
    return *fields_;
}

std::int32_t EngineRecordset::recordCount() {
    takeLoaded();
    return state().count;
}

bool EngineRecordset::stillReading() {
    takeLoaded();
    return state().loader != nullptr;
}

VBool EngineRecordset::noMatch() const {
    state();
    return noMatch_;
}

bool EngineRecordset::bof() const {
    const State& s = state();
    return s.count == 0 || s.position < 0;
}

bool EngineRecordset::eof() const {
    // A move past the positions known waits for the next (moveNext), so the
    // position reaches the count only once every position is in.
    const State& s = state();
    return s.count == 0 || s.position >= s.count;
}

std::int32_t EngineRecordset::absolutePosition() const {
    const State& s = state();
    return s.position >= 0 && s.position < s.count ? s.position : -1;
}

bool EngineRecordset::mayLeave(std::int16_t action) {
    const State& s = state();
    if (s.position < 0 || s.position >= s.count || listeners_.empty()) return true;
    std::int16_t save = kFalse;
    auto listeners = listeners_;
    for (auto* listener : listeners) listener->recordsetValidate(action, save);
    return action != validate_action::kCancel;
}

void EngineRecordset::notifyMoved() {
    auto keepAlive = shared_from_this();
    auto listeners = listeners_;
    for (auto* listener : listeners) {
        if (std::find(listeners_.begin(), listeners_.end(), listener) != listeners_.end())
            listener->recordsetMoved();
    }
}

bool EngineRecordset::moveTo(std::int32_t position, std::int16_t action) {
    auto keepAlive = shared_from_this();
    if (!mayLeave(action)) return false;
    // A validate handler may have closed or reopened the recordset.
    state().position = position;
    notifyMoved();
    return true;
}

[[noreturn]] static void noCurrentRecord() { fail(failure::kNoCurrentRecord, "No current record."); }

void EngineRecordset::moveFirst() {
    if (state().count == 0) noCurrentRecord();
    moveTo(0, validate_action::kMoveFirst);
}

void EngineRecordset::moveLast(std::int32_t) {
    knowPosition(std::numeric_limits<std::int32_t>::max());
    if (state().count == 0) noCurrentRecord();
    moveTo(state().count - 1, validate_action::kMoveLast);
}

void EngineRecordset::moveNext() {
    if (eof()) noCurrentRecord();
    knowPosition(state().position + 1);
    moveTo(state().position + 1, validate_action::kMoveNext);
}

void EngineRecordset::movePrevious() {
    if (bof()) noCurrentRecord();
    moveTo(state().position - 1, validate_action::kMovePrevious);
}

void EngineRecordset::setAbsolutePosition(std::int32_t position) {
    if (position < 0 || !knowPosition(position))
        fail(failure::kNoCurrentRecord,
             "No current record: there is no record at position " + std::to_string(position) + ".");
    moveTo(position, validate_action::kBookmark);
}

void EngineRecordset::lookAtFile() {
    State& s = state();
    if (s.watch && s.watch->look()) fileChanged();
}

void EngineRecordset::noteReadVersion() {
    State& s = state();
    if (s.watch && s.watch->noteRead()) fileChanged();
}

void EngineRecordset::fileChanged() {
    // Another connection committed: what was read before may be stale.
    // The positions stay (they are the rowids taken at opening); the rows
    // are read again, and the find indexes are built again beside the ones
    // in use, which answer meanwhile, each answer checked.
    State& s = state();
    ++s.epoch;
    for (auto& cached : s.cache) {
        cached.position = -1;
        cached.values.clear();
    }
    bool background = s.worker && s.worker->readsRecords();
    for (std::size_t f = 0; f < s.indexes.size(); ++f) {
        bool wanted =
            !std::holds_alternative<std::monostate>(s.indexes[f]) || (background && s.worker->pending(f));
        if (!wanted) continue;
        if (background) s.worker->request(f, s.epoch, IndexWorker::Need::InUse);
        else s.indexes[f] = std::monostate{};  // built again at the next find on it
    }
}

void EngineRecordset::takeBuiltIndexes() {
    State& s = state();
    if (!s.worker || !s.worker->hasResults()) return;
    for (auto& built : s.worker->take()) {
        if (built.kept) {
            // The commits since left the field's data alone: the index in
            // use (the worker's last for the field) is current again.
            if (!std::holds_alternative<std::monostate>(s.indexes[built.field]) &&
                s.indexEpoch[built.field] < built.epoch)
                s.indexEpoch[built.field] = built.epoch;
            continue;
        }
        if (std::holds_alternative<std::monostate>(built.index)) {
            s.failedAt[built.field] = built.epoch + 1;
            continue;
        }
        FieldIndex& index = s.indexes[built.field];
        if (!std::holds_alternative<std::monostate>(index) && s.indexEpoch[built.field] > built.epoch)
            continue;
        index = std::move(built.index);
        s.indexEpoch[built.field] = built.epoch;
    }
}

void EngineRecordset::waitForIndexes() {
    // The indexes are asked for once every position is in.
    knowPosition(std::numeric_limits<std::int32_t>::max());
    State& s = state();
    if (!s.worker) return;
    s.worker->waitIdle();
    takeBuiltIndexes();
}

std::uint64_t EngineRecordset::changesSeen() const { return state().epoch; }

const std::vector<Variant>& EngineRecordset::row(std::int32_t position) {
    State& s = state();
    CachedRow& slot = s.cache[static_cast<std::size_t>(position) % kRowCacheSize];
    if (slot.position == position && slot.generation == generation_) return slot.values;

    slot.position = -1;
    slot.values.clear();
    try {
        // The read's own transaction looks at the file: a commit it meets
        // makes the other cached rows stale, not this one (the values are
        // written into the slot only after that).
        s.readRow.reset();
        sqlite3_bind_int64(s.readRow.get(), 1, s.rowidAt(position));
        bool there = s.readRow.step("reading record " + std::to_string(position));
        noteReadVersion();
        if (!there)
            fail(failure_code::kRecordDeleted,
                 "Record is deleted: record " + std::to_string(position) + " of '" + settings_.recordSource +
                     "' was deleted by another user after the list was opened.");
        for (std::size_t i = 0; i < s.fields.size(); ++i)
            slot.values.push_back(variantOf(s.readRow.get(), static_cast<int>(i), s.fields[i].type));
        s.readRow.reset();
    } catch (const Failure& failure) {
        s.readRow.reset();
        std::int16_t dataErr = static_cast<std::int16_t>(failure.number());
        std::int16_t response = error_response::kDisplay;
        auto keepAlive = shared_from_this();
        auto listeners = listeners_;
        for (auto* listener : listeners) listener->recordsetError(dataErr, response);
        if (response != error_response::kContinue && dataErr != 0) {
            if (dataErr == failure.number()) throw;
            fail(dataErr, failure.description());
        }
        // The handler chose to go on: the unreadable record reads as Nulls
        // (not cached, so a later read tries again).
        thread_local std::vector<Variant> nulls;
        nulls.assign(state().fields.size(), Variant::null());
        return nulls;
    }
    slot.position = position;
    slot.generation = generation_;
    return slot.values;
}

Variant EngineRecordset::valueAt(std::int32_t position, std::int32_t fieldIndex) {
    State& s = state();
    if (fieldIndex < 0 || static_cast<std::size_t>(fieldIndex) >= s.fields.size())
        fail(failure::kItemNotFound, "Item not found in this collection: there is no field number " +
                                         std::to_string(fieldIndex) + ".");
    if (position < 0 || !knowPosition(position))
        fail(failure::kNoCurrentRecord,
             "No current record: there is no record at position " + std::to_string(position) + ".");
    return row(position)[static_cast<std::size_t>(fieldIndex)];
}

Variant EngineRecordset::currentValue(std::int32_t fieldIndex, std::uint32_t generation) {
    State& s = state();
    if (generation != generation_)
        fail(failure::kItemNotFound,
             "Item not found in this collection: the field belongs to an earlier opening "
             "of the recordset.");
    if (s.position < 0 || s.position >= s.count) noCurrentRecord();
    return valueAt(s.position, fieldIndex);
}

}  // namespace quorvel::engine

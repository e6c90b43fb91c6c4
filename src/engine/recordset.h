// The engine's recordset, and what a data control needs of it beyond the
// platform's Recordset: opening from settings, reopening in place, and the
// notifications of its moves.
//
// One core serves every engine: the row cache, navigation and its
// notifications (recordset_core.cpp), the finds and their indexes
// (recordset_find.cpp). An engine's opening (sqlite_opening.cpp for a
// SQLite file) fills the recordset's state: the records in a local SQLite
// store, read in place from the file or copied into a TEMP table.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/data_engine.h"
#include "platform/data.h"

namespace quorvel::engine {

struct OpenSettings {
    std::string databaseName;
    std::string recordSource;
    std::string connect;
    std::int16_t recordsetType = 1;
    std::int16_t defaultType = 2;
    std::int16_t defaultCursorType = 0;
    std::int16_t options = 0;
    OpeningLimits limits;
    // How long what the engine saw of the file stands before it looks for
    // other connections' commits again (see data_engine.h); 0 looks at
    // every find and every read.
    std::int64_t freshnessMilliseconds = 50;
    // Builds a table's find indexes on a worker thread (see data_engine.h);
    // false builds them on the caller's thread, at the find that needs one.
    bool backgroundIndexes = true;
    // Reads the positions of a large table read in place on a thread of
    // its own (see position_loader.h): the opening takes the first ones and
    // the recordset's count grows until stillReading() says the rest is in.
    // Off by default: a caller that takes RecordCount as final right after
    // the opening sees the whole count.
    bool backgroundPositions = false;
    // Runs on the loader's thread before each slice of positions it reads
    // (tests hold the loader with it).
    std::function<void()> beforePositionSlice;
    // Runs on the worker thread before each of its builds (tests hold the
    // worker with it).
    std::function<void()> beforeBackgroundBuild;
    // Told the records read so far during the opening (see OpeningProgress).
    OpeningProgress progress;
};

// Who hears a recordset's notifications: every data control that uses it.
// Validate and error arguments are shared: each listener sees what the one
// before it left, and the recordset reads the result after the last.
class RecordsetListener {
public:
    virtual ~RecordsetListener() = default;
    virtual void recordsetValidate(std::int16_t& action, std::int16_t& save) = 0;
    virtual void recordsetMoved() = 0;
    virtual void recordsetError(std::int16_t& dataErr, std::int16_t& response) = 0;
};

class RecordsetFields;
struct KeyTest;

class EngineRecordset final : public Recordset, public std::enable_shared_from_this<EngineRecordset> {
public:
    // Opens from the settings, the first record current; Failure as listed
    // in data_engine.h. Raises nothing: the data control notifies.
    // `replacing` is the recordset this one takes the place of, if any.
    static std::shared_ptr<EngineRecordset> open(const OpenSettings& settings,
                                                 const EngineRecordset* replacing = nullptr);
    ~EngineRecordset() override;

    // Closes and opens again from the settings it was opened with, the
    // first record current. On failure the recordset stays closed.
    void reopen(const EngineRecordset* replacing = nullptr);
    // Lets the file go; every use after it fails with 91.
    void close();
    bool isOpen() const { return state_ != nullptr; }
    const OpenSettings& settings() const { return settings_; }

    void addListener(RecordsetListener* listener);
    void removeListener(RecordsetListener* listener);

    // What the engine holds for this recordset, in bytes: positions, find
    // indexes, caches (SQLite's own page cache not included).
    std::size_t memoryBytes() const;
    // Waits until every position is in and the worker has built every
    // index asked of it, and takes them: what a find would otherwise take
    // as they come.
    void waitForIndexes();
    // How many changes by other connections the recordset has seen.
    std::uint64_t changesSeen() const;

    Fields& fields() override;
    std::int32_t recordCount() override;
    bool stillReading() override;
    void findFirst(std::string_view criteria) override;
    VBool noMatch() const override;
    void moveFirst() override;
    void moveLast(std::int32_t options = 0) override;
    void moveNext() override;
    void movePrevious() override;
    std::int32_t absolutePosition() const override;
    void setAbsolutePosition(std::int32_t position) override;
    bool bof() const override;
    bool eof() const override;
    Variant valueAt(std::int32_t position, std::int32_t fieldIndex) override;

    // For the fields: the current record's value, with the generation of
    // the opening the field belongs to.
    Variant currentValue(std::int32_t fieldIndex, std::uint32_t generation);

    struct State;

private:
    explicit EngineRecordset(OpenSettings settings);
    State& state() const;
    // Asks the listeners whether the current record may be left.
    bool mayLeave(std::int16_t action);
    bool moveTo(std::int32_t position, std::int16_t action);
    void notifyMoved();
    // Reads a whole row into the cache; the error notification decides
    // whether a failure goes on (throws) or reads as Nulls.
    const std::vector<Variant>& row(std::int32_t position);
    // Looks for other connections' commits, unless a read looked within
    // the freshness interval (the state's watch, when it has one).
    void lookAtFile();
    // After a read of the store: what it met of other connections' commits.
    void noteReadVersion();
    // What was read before may be stale: drops the rows, rebuilds the indexes.
    void fileChanged();
    // Takes the indexes the worker finished.
    void takeBuiltIndexes();
    // Takes the positions the loader published since; once it is done,
    // asks the worker for the indexes the opening left for then.
    void takeLoaded();
    // Waits until position `p` is known or the loader is done; false when
    // there is no such position.
    bool knowPosition(std::int32_t p);
    std::int32_t findPosition(std::string_view criteria);
    std::int32_t answerFromIndex(std::size_t field, const KeyTest& test);
    // The first record satisfying the test, read from the store in order.
    std::int32_t scanFor(std::size_t field, const KeyTest& test);
    // Asks the worker for the indexes of the fields searched before (or the
    // first text field): the finds that come next find them ready.
    void prebuildIndexes(const std::vector<std::string>& searched);
    // Starts the field's index off this thread, for a find waiting for it
    // or ahead of need; false when it can only be built here.
    bool startBuild(std::size_t field, bool findWaits);

    OpenSettings settings_;
    std::unique_ptr<State> state_;
    std::unique_ptr<RecordsetFields> fields_;
    std::vector<RecordsetListener*> listeners_;
    std::uint32_t generation_ = 0;
    VBool noMatch_ = kFalse;
};

// The name the engine's callers have long used for it.
using SqliteRecordset = EngineRecordset;

}  // namespace quorvel::engine

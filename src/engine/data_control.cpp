#include <algorithm>
#include <vector>

#include "engine/data_engine.h"
#include "engine/recordset.h"
#include "platform/failure.h"

namespace quorvel::engine {

namespace {

class SqliteDataControl final : public DataControl,
                                public RecordsetListener,
                                public std::enable_shared_from_this<SqliteDataControl> {
public:
    ~SqliteDataControl() override { detach(); }

    std::string databaseName() const override { return settings_.databaseName; }
    void setDatabaseName(const std::string& v) override { settings_.databaseName = v; }
    std::string recordSource() const override { return settings_.recordSource; }
    void setRecordSource(const std::string& v) override { settings_.recordSource = v; }
    std::string connect() const override { return settings_.connect; }
    void setConnect(const std::string& v) override { settings_.connect = v; }
    std::int16_t defaultCursorType() const override { return settings_.defaultCursorType; }
    void setDefaultCursorType(std::int16_t v) override { settings_.defaultCursorType = v; }
    std::int16_t defaultType() const override { return settings_.defaultType; }
    void setDefaultType(std::int16_t v) override { settings_.defaultType = v; }
    std::int16_t options() const override { return settings_.options; }
    void setOptions(std::int16_t v) override { settings_.options = v; }
    std::int16_t recordsetType() const override { return settings_.recordsetType; }
    void setRecordsetType(std::int16_t v) override {
        if (v < 0 || v > 2)
            fail(failure::kInvalidPropertyValue,
                 "Invalid property value: RecordsetType is 0 (table), 1 (dynaset) or 2 (snapshot).");
        settings_.recordsetType = v;
    }
    std::string caption() const override { return caption_; }
    void setCaption(const std::string& v) override { caption_ = v; }

    std::shared_ptr<Recordset> recordset() const override { return recordset_; }
    void setLimits(const OpeningLimits& limits) { settings_.limits = limits; }
    void setProgress(OpeningProgress progress) { progress_ = std::move(progress); }
    void setBackgroundPositions(bool on) { settings_.backgroundPositions = on; }

    void setRecordset(std::shared_ptr<Recordset> recordset) override {
        // From inside the running opening: it comes after that opening,
        // which stops; the recordset is taken once it has unwound.
        if (opening_) {
            pending_ = std::move(recordset);
            hasPending_ = true;
            openAgain_ = false;
            return;
        }
        detach();
        recordset_ = std::move(recordset);
        adopted_ = recordset_ != nullptr;
        attach();
        notifyReplaced();
    }

    void refresh() override {
        // From inside the running opening (its progress hook, or what the
        // hook runs): that opening stops, and the refresh below it opens
        // again with the settings as they are then.
        if (opening_) {
            openAgain_ = true;
            return;
        }
        hasPending_ = false;
        // The hook runs the host's code, which may let go of this control.
        auto keepAlive = weak_from_this().lock();
        // Another data control's recordset is reopened in place, so that
        // both keep sharing it; otherwise a new one opens from the settings.
        auto ours = std::dynamic_pointer_cast<SqliteRecordset>(recordset_);
        if (adopted_ && recordset_ && !ours) {
            if (recordset_->recordCount() > 0) recordset_->moveFirst();
            notifyReplaced();
            notifyMoved();
            return;
        }
        detach();
        do {
            openAgain_ = false;
            opening_ = true;
            try {
                if (adopted_ && ours) {
                    ours->reopen();
                } else {
                    recordset_.reset();
                    ours = SqliteRecordset::open(openingSettings(), ours.get());
                }
            } catch (...) {
                opening_ = false;
                if (hasPending_) break;
                if (openAgain_) continue;
                recordset_.reset();
                adopted_ = false;
                notifyReplaced();
                throw;
            }
            opening_ = false;
        } while (openAgain_ && !hasPending_);
        if (hasPending_) {
            // The recordset set meanwhile replaces what was opened; a
            // refresh that came after it refreshes it.
            hasPending_ = false;
            bool refreshAfter = openAgain_;
            openAgain_ = false;
            recordset_.reset();
            setRecordset(std::move(pending_));
            if (refreshAfter) refresh();
            return;
        }
        recordset_ = ours;
        attach();
        notifyReplaced();
        notifyMoved();
    }

    Subscription setEvents(DataControlEvents& events) override {
        events_ = &events;
        return Subscription(alive_, [this, target = &events] {
            if (events_ == target) events_ = nullptr;
        });
    }
    Subscription addObserver(DataControlObserver& observer) override {
        if (std::find(observers_.begin(), observers_.end(), &observer) == observers_.end())
            observers_.push_back(&observer);
        return Subscription(alive_, [this, target = &observer] {
            observers_.erase(std::remove(observers_.begin(), observers_.end(), target), observers_.end());
        });
    }

    void recordsetValidate(std::int16_t& action, std::int16_t& save) override {
        if (events_ != nullptr) events_->onValidate(action, save);
    }
    void recordsetMoved() override { notifyMoved(); }
    void recordsetError(std::int16_t& dataErr, std::int16_t& response) override {
        if (events_ != nullptr) events_->onError(dataErr, response);
    }

private:
    // The settings of an opening, with a hook that tells this control's
    // own hook, and stops the opening once a refresh has come meanwhile. It
    // holds the control weakly: the recordset keeps its settings, and may
    // be reopened by another control after this one is gone.
    OpenSettings openingSettings() {
        OpenSettings settings = settings_;
        settings.progress = [weak = weak_from_this()](std::int64_t records) {
            auto self = weak.lock();
            return self == nullptr || self->progressed(records);
        };
        return settings;
    }
    bool progressed(std::int64_t records) {
        if (!opening_) return true;  // not this control's opening
        if (openAgain_ || hasPending_) return false;
        OpeningProgress hook = progress_;  // the hook may replace itself
        bool go = !hook || hook(records);
        return go && !openAgain_ && !hasPending_;
    }

    void attach() {
        if (auto ours = std::dynamic_pointer_cast<SqliteRecordset>(recordset_)) ours->addListener(this);
    }
    void detach() {
        if (auto ours = std::dynamic_pointer_cast<SqliteRecordset>(recordset_)) ours->removeListener(this);
    }
    void notifyReplaced() {
        auto observers = observers_;
        for (auto* observer : observers) {
            if (std::find(observers_.begin(), observers_.end(), observer) != observers_.end())
                observer->recordsetReplaced();
        }
    }
    void notifyMoved() {
        if (events_ != nullptr) events_->onReposition();
        auto observers = observers_;
        for (auto* observer : observers) {
            if (std::find(observers_.begin(), observers_.end(), observer) != observers_.end())
                observer->currentRecordMoved();
        }
    }

    OpenSettings settings_ = [] {
        OpenSettings s;
        s.connect = "Access 2000;";
        return s;
    }();
    std::string caption_ = "Data1";
    OpeningProgress progress_;
    // An opening of this control is running; a refresh came during it.
    bool opening_ = false;
    bool openAgain_ = false;
    // A recordset set during an opening, taken when the opening has unwound.
    bool hasPending_ = false;
    std::shared_ptr<Recordset> pending_;
    std::shared_ptr<Recordset> recordset_;
    bool adopted_ = false;
    DataControlEvents* events_ = nullptr;
    std::vector<DataControlObserver*> observers_;
    // What the subscriptions handed out check before they detach.
    std::shared_ptr<const int> alive_ = std::make_shared<const int>(0);
};

}  // namespace

std::shared_ptr<DataControl> createDataControl() { return std::make_shared<SqliteDataControl>(); }

bool setOpeningLimits(DataControl& control, const OpeningLimits& limits) {
    auto* ours = dynamic_cast<SqliteDataControl*>(&control);
    if (ours == nullptr) return false;
    ours->setLimits(limits);
    return true;
}

bool setOpeningProgress(DataControl& control, OpeningProgress progress) {
    auto* ours = dynamic_cast<SqliteDataControl*>(&control);
    if (ours == nullptr) return false;
    ours->setProgress(std::move(progress));
    return true;
}

bool setBackgroundPositions(DataControl& control, bool on) {
    auto* ours = dynamic_cast<SqliteDataControl*>(&control);
    if (ours == nullptr) return false;
    ours->setBackgroundPositions(on);
    return true;
}

}  // namespace quorvel::engine

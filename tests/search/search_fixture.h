// A control on the headless host whose list's finds are written into the
// site's log, so a test compares the criteria with the events around them
// in one ordered sequence.
#pragma once

#include <memory>
#include <string>

#include "engine/recordset.h"
#include "headless/site.h"
#include "support/control_fixture.h"

namespace quorvel::testing {

// Stands between the data control and the engine's recordset: logs "find
// CRITERIA" and "moveLast" in the site's log, then passes every call on. The
// engine's moves still reach the data control, which listens to the real
// recordset as it did before.
class FindRecorder final : public Recordset {
public:
    FindRecorder(std::shared_ptr<engine::SqliteRecordset> real, headless::HeadlessSite& site)
        : real_(std::move(real)), site_(site) {}

    Fields& fields() override { return real_->fields(); }
    std::int32_t recordCount() override { return real_->recordCount(); }
    void findFirst(std::string_view criteria) override {
        site_.mark("find " + std::string(criteria));
        real_->findFirst(criteria);
    }
    VBool noMatch() const override { return real_->noMatch(); }
    void moveFirst() override { real_->moveFirst(); }
    void moveLast(std::int32_t options) override {
        site_.mark("moveLast");
        real_->moveLast(options);
    }
    void moveNext() override { real_->moveNext(); }
    void movePrevious() override { real_->movePrevious(); }
    std::int32_t absolutePosition() const override { return real_->absolutePosition(); }
    void setAbsolutePosition(std::int32_t p) override { real_->setAbsolutePosition(p); }
    bool bof() const override { return real_->bof(); }
    bool eof() const override { return real_->eof(); }
    Variant valueAt(std::int32_t p, std::int32_t f) override { return real_->valueAt(p, f); }

private:
    std::shared_ptr<engine::SqliteRecordset> real_;
    headless::HeadlessSite& site_;
};

// People sorted by name: Amato, Bianchi, O'Brien, Romano, Rossi, Verdi.
// Codes, balances and birthdays are unique, so a found record names itself.
std::string sortedPeopleSql();

class SearchTest : public ControlTest {
protected:
    // The list configured on the sorted people, placed on a container, its
    // finds recorded, the focus in the edit box and the log cleared. The
    // locale is set first: the configuration reads with it.
    Quorvel2000& searchControl(const Variant& boundField, const Variant& searchField,
                               const Locale& locale = Locale::english(), VBool onListOnly = kTrue,
                               const std::string& recordSource = "People");
    // Puts the recorder between Data1 and its recordset.
    void recordFinds();
    // The list's current record, zero-based.
    std::int32_t currentPosition();
    // The user types the text and every release has been handled.
    void typeText(std::string_view text) { site.type(text); }
    void pressEnter();
    // The site's log without the data source's validate notices, which
    // every find raises and which say nothing about the control.
    std::string log() const;

private:
    // Made once per test, whatever the number of controls made on it.
    std::string peoplePath_;
};

}  // namespace quorvel::testing

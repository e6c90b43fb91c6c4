// Host handlers that call back into the control from inside its own events.
// Whatever they do, the event ends: no crash, no endless recursion (a
// handler that keeps re-raising its own event is stopped with failure 28),
// no flag left set; afterwards the everyday search and choice work.
#include <gtest/gtest.h>

#include <functional>

#include "engine/data_engine.h"
#include "faults_fixture.h"

namespace quorvel::testing {
namespace {

class ReentrantHost : public FaultTest {
protected:
    // Runs the user action; a failure may reach the caller only as the
    // bound on nesting, never as anything else.
    void act(const std::function<void()>& action) {
        try {
            action();
        } catch (const Failure& f) { EXPECT_EQ(f.number(), failure::kOutOfStackSpace) << f.description(); }
    }
};

TEST_F(ReentrantHost, HandlersThatCallBackIntoTheControlEndCleanly) {
    Quorvel2000& c = listOnPeople();
    std::string errors = database(peopleSql(), "errors.db");

    struct Trigger {
        const char* event;
        std::function<void()> run;
    };
    const Trigger triggers[] = {
        {"Change", [&] { c.setBoundText("B07"); }},
        {"Drop", [&] { c.ListaApri(); }},
        {"KeyUp",
         [&] {
             site.focusIn("Text2");
             site.type("V");
         }},
        {"BeenChosen",
         [&] {
             c.ListaApri();
             site.gridRow(2);
             site.gridKey(13);
             site.keyUp(13);  // the release, to whoever has the focus now
         }},
        {"Error",
         [&] {
             // A record deleted under the open list: moving onto it raises
             // Error from inside the read.
             c.setListDataBaseName(errors);
             OtherConnection app(errors);
             app.exec("DELETE FROM People WHERE Code = 'R05'");
             c.ListaApri();
             site.gridRow(4);
         }},
    };
    struct Action {
        const char* what;
        std::function<void()> run;
    };
    const Action actions[] = {
        {"assigns BoundText", [&] { c.setBoundText("A01"); }},
        {"assigns a BoundText of its own making", [&] { c.setBoundText(c.BoundText() + "x"); }},
        {"opens the list", [&] { c.ListaApri(); }},
        {"closes the list", [&] { c.ListaChiudi(); }},
        {"toggles the list", [&] { c.setDropDown(c.DropDown() != kFalse ? kFalse : kTrue); }},
        {"reconfigures the data source", [&] { c.setListRecordSource("People"); }},
        {"points the list at another file", [&] { c.setListDataBaseName(good); }},
        {"refreshes the list", [&] { c.ListRefresh(); }},
    };
    for (const Trigger& trigger : triggers) {
        for (const Action& action : actions) {
            SCOPED_TRACE(std::string(trigger.event) + " handler " + action.what);
            // Only the Error trigger uses the file, and deletes from it.
            if (std::string_view(trigger.event) == "Error")
                makeDatabase(errors, "DROP TABLE IF EXISTS People;" + peopleSql());
            backOnPeople(c);
            int calls = 0;
            site.setEventHandler(trigger.event, [&](headless::EventCall&) {
                ++calls;
                action.run();
            });
            act(trigger.run);
            site.clearEventHandler(trigger.event);
            EXPECT_GT(calls, 0) << "the trigger raised the event";

            const ControlMembers& m = c.members();
            EXPECT_EQ(m.findingByCode, kFalse);
            EXPECT_EQ(m.skipBoundChange, kFalse);
            EXPECT_EQ(m.skipNextKeyUp, kFalse);
            EXPECT_EQ(m.listMoving, kFalse);
            EXPECT_EQ(m.resizing, kFalse);
            EXPECT_EQ(m.quietBoundRefresh, kFalse);
            expectUsableAgain(c);
        }
    }
}

TEST_F(ReentrantHost, ChoosingTheRowWhoseValueTheGridMoveCopiedLeavesNoSkipFlagBehind) {
    Quorvel2000& c = listOnPeople();
    c.ListaApri();
    // The move copies V33 into the bound value; Enter then writes the same
    // text, which raises no change: the flag set for it stayed set and
    // swallowed the lookup of the next change of the bound value.
    site.gridRow(2);
    site.gridKey(13);
    EXPECT_EQ(c.BoundText(), "V33");
    EXPECT_EQ(c.members().skipBoundChange, kFalse);
}

TEST_F(ReentrantHost, AChangeHandlerThatAlwaysAssignsBoundTextIsStoppedWithFailure28) {
    Quorvel2000& c = listOnPeople();
    // Each assignment runs the bound-value handler, which raises Change
    // again: without a bound this recursed until the stack overflowed.
    site.setEventHandler("Change", [&](headless::EventCall&) { c.setBoundText("A01"); });
    std::int32_t number = 0;
    try {
        c.setBoundText("B07");
    } catch (const Failure& f) { number = f.number(); }
    EXPECT_EQ(number, failure::kOutOfStackSpace);
    site.clearEventHandler("Change");
    EXPECT_EQ(c.BoundText(), "A01") << "the last assignment stands";
    EXPECT_EQ(c.members().skipBoundChange, kFalse);
    c.setBoundText("V33");
    EXPECT_EQ(c.Text(), "Verdi");
}

TEST_F(ReentrantHost, AnErrorHandlerThatReconfiguresDuringAFindLeavesNoDanglingRecordset) {
    Quorvel2000& c = listOnPeople();
    engine::OpeningLimits brief;
    brief.busyMilliseconds = 50;  // the find waits out the lock below
    ASSERT_TRUE(engine::setOpeningLimits(c.data1(), brief));
    std::string errors = database(peopleSql(), "vanishing.db");
    c.setListDataBaseName(errors);
    c.setBoundText("R12");
    {
        OtherConnection app(errors);
        app.exec("BEGIN EXCLUSIVE");
        // The find's error notification reaches the host, which replaces the
        // list's recordset while the search still holds the old one.
        site.setEventHandler("Error", [&](headless::EventCall& call) {
            call["Response"] = Variant(std::int16_t{0});
            app.exec("COMMIT");
            c.setListDataBaseName(good);
        });
        site.focusIn("Text2");
        c.setText("");
        site.clearLog();
        site.type("V");
    }
    site.clearEventHandler("Error");
    EXPECT_EQ(messages(), "") << "the handler chose to go on";
    EXPECT_EQ(c.ListDataBaseName(), good);
    expectUsableAgain(c);
}

}  // namespace
}  // namespace quorvel::testing

// One contract, both hosts' sites: the trace of what the control tells its
// host and the host's answers, the surface's settings, resize and repaint,
// and the data controls' notifications ending with the control that made
// them.
#include <QLineEdit>
#include <QTest>
#include <QWidget>

#include <array>
#include <string>

#include <gtest/gtest.h>

#include "headless/site.h"
#include "platform/failure.h"
#include "qt/site.h"
#include "support/failure_of.h"
#include "support/sqlite_files.h"
#include "support/temp_dir.h"

namespace quorvel::qt::testing {
namespace {

constexpr EventDescription kClick{2, "Click"};
constexpr EventDescription kDrop{1, "Drop"};
constexpr EventDescription kMouseDown{5, "MouseDown", {"Button", "Shift", "X", "Y"}, 4};
constexpr EventDescription kKeyPress{9, "KeyPress", {"KeyAscii"}, 1};

using quorvel::testing::failureOf;

struct HeadlessHost {
    headless::HeadlessSite site;
};

struct QtHost {
    QWidget surface;
    QtSite site{&surface};
    QtHost() {
        site.setRecording(true);
        // No modal box in a test: the trace is the same without one.
        site.setMessageBoxHandler([](const std::string&) {});
    }
};

// A control's side: its surface's events and one data control's, traced.
struct Control final : SurfaceEvents, DataControlEvents {
    host::SiteCore& site;
    int repositions = 0;
    explicit Control(host::SiteCore& s) : site(s) {}
    void onResize() override { site.mark("resize sees " + std::to_string(int(site.surface().width()))); }
    void onPaint() override { site.mark("paint"); }
    void onReposition() override { ++repositions; }
};

template <class Host>
class SiteContract : public ::testing::Test {
protected:
    // A file holding a table `t` of one record, for a data control to open.
    std::string oneRecordFile() {
        const std::string file = dir.file("list.db");
        quorvel::testing::makeDatabase(file, "CREATE TABLE t(a); INSERT INTO t VALUES (1);");
        return file;
    }

    quorvel::testing::TempDir dir;
    Host host;
};

using Hosts = ::testing::Types<HeadlessHost, QtHost>;
TYPED_TEST_SUITE(SiteContract, Hosts);

TYPED_TEST(SiteContract, TheTraceKeepsEverythingTheControlToldTheHostInOneOrder) {
    auto& site = this->host.site;
    site.setEventArguments("KeyPress", {{"KeyAscii", Variant::integer(0)}, {"Nope", Variant()}});
    site.setEventHandler("Click", [&](host::EventCall&) { site.raiseEvent(kDrop, {}); });
    site.setEditAnswer(true);
    site.setEditAnswer("BoundText", false);

    std::array<Variant, 1> key{Variant::integer(65)};
    std::array<Variant, 4> mouse{Variant::integer(1), Variant::integer(0), Variant(1.5f), Variant(30.0f)};
    site.propertyChanged("Text");
    site.raiseEvent(kKeyPress, key);
    site.canPropertyChange("BoundText");
    site.canPropertyChange("Text");
    site.raiseEvent(kClick, {});
    site.msgBox("13    /M_011 \n\nType \"x\" \\ mismatch");
    site.mark("marker");
    site.raiseEvent(kMouseDown, mouse);
    EXPECT_EQ(failureOf([&] { site.sendKeys("{NOSUCHKEY}"); }), 5);

    EXPECT_EQ(site.trace(),
              "notify Text"
              "|event KeyPress KeyAscii=Integer 65"
              "|request BoundText refused"
              "|request Text allowed"
              "|event Click"
              "|event Drop"
              "|msgbox \"13    /M_011 \\n\\nType \\\"x\\\" \\\\ mismatch\""
              "|marker"
              "|event MouseDown Button=Integer 1 Shift=Integer 0 X=Single 1.5 Y=Single 30");
    EXPECT_EQ(site.pendingKeys(), 0u) << "a key string that does not read queues nothing";
    // The handler wrote the raiser's own variable.
    EXPECT_EQ(key[0], Variant::integer(0));

    site.clearEventHandler("KeyPress");
    key[0] = Variant::integer(66);
    site.clearTrace();
    site.raiseEvent(kKeyPress, key);
    EXPECT_EQ(site.trace(), "event KeyPress KeyAscii=Integer 66");
    EXPECT_EQ(key[0], Variant::integer(66));

    // A handler asking for an argument the event lacks fails.
    site.setEventHandler("Click", [](host::EventCall& call) { call["KeyAscii"] = Variant::integer(0); });
    EXPECT_EQ(failureOf([&] { site.raiseEvent(kClick, {}); }), 5);
}

TYPED_TEST(SiteContract, TheSurfaceResizesInsideTheSetKeepsItsSettingsAndCountsRepaints) {
    auto& site = this->host.site;
    Control control(site);
    Subscription registration = site.attach(control);
    HostSurface& s = site.surface();
    site.clearTrace();
    s.setWidth(3000);
    site.mark("set returned");
    EXPECT_EQ(failureOf([&] { s.setHeight(-1); }), 380);
    EXPECT_NE(s.hwnd(), 0);
    EXPECT_EQ(s.hwnd(), s.hwnd());
    s.setMousePointer(99);
    s.setEnabled(1);  // kept as given
    EXPECT_EQ(s.mousePointer(), 99);
    EXPECT_EQ(s.enabled(), 1);
    s.refresh();
    site.extender().zOrder(0);
    site.extender().zOrder(0);
    EXPECT_EQ(failureOf([&] { site.extender().zOrder(2); }), 380);
    EXPECT_EQ(site.refreshCount(), 1);
    EXPECT_EQ(site.zOrderCount(), 2);
    EXPECT_EQ(site.trace(), "resize sees 3000|set returned|paint");
}

// A data control replaced by a namesake once kept notifying the control
// that made it after that control had ended.
TYPED_TEST(SiteContract, ADataControlNotifiesItsControlUntilThatControlEnds) {
    auto& site = this->host.site;
    const std::string file = this->oneRecordFile();
    Control old(site);
    DataControl& replaced = site.createDataControl("Data1", old);
    Subscription oldSurface = site.attach(old);
    replaced.setDatabaseName(file);
    replaced.setRecordSource("t");
    replaced.refresh();

    Control next(site);
    DataControl& namesake = site.createDataControl("Data1", next);
    Subscription nextSurface = site.attach(next);
    EXPECT_NE(&namesake, &replaced);
    replaced.refresh();
    EXPECT_EQ(old.repositions, 2) << "its own control lives on and follows it";
    oldSurface.reset();
    replaced.refresh();
    EXPECT_EQ(old.repositions, 2) << "the ended control hears nothing";
    EXPECT_EQ(next.repositions, 0);
}

// A control whose making failed before it registered its surface once left
// its data control's registration for the next control to take over.
TYPED_TEST(SiteContract, AFailedControlsDataControlHearsNothingOnceReplaced) {
    auto& site = this->host.site;
    const std::string file = this->oneRecordFile();
    Control failed(site);
    DataControl& orphan = site.createDataControl("Data1", failed);
    orphan.setDatabaseName(file);
    orphan.setRecordSource("t");
    Control next(site);
    site.createDataControl("Data1", next);
    Subscription nextSurface = site.attach(next);
    orphan.refresh();
    EXPECT_EQ(failed.repositions, 0);
    EXPECT_EQ(next.repositions, 0);
}

// A Qt child replaced by a namesake once went on raising its events into
// the control that made it.
TEST(QtSiteChildren, AReplacedChildIsHiddenAndRaisesNothing) {
    struct Changes final : TextBoxEvents {
        int count = 0;
        void onChange() override { ++count; }
    } first, second;
    QtHost host;
    host.surface.show();
    host.site.createTextBox("Text2", first);
    QLineEdit* old = host.site.lineEdit("Text2");
    host.site.createTextBox("Text2", second);
    ASSERT_NE(host.site.lineEdit("Text2"), old);
    EXPECT_TRUE(old->isHidden());
    QTest::keyClicks(old, "x");
    EXPECT_EQ(first.count, 0);
}

}  // namespace
}  // namespace quorvel::qt::testing

#include <gtest/gtest.h>

#include "support/control_fixture.h"

namespace quorvel::testing {
namespace {

using Lifecycle = ControlTest;

TEST_F(Lifecycle, CreationLeavesEveryMemberAtZeroAndInitialisationGivesTheDefaults) {
    Quorvel2000& c = bareControl();
    EXPECT_TRUE(c.members().boundField.isEmpty());
    EXPECT_EQ(c.members().listHeight, 0);
    EXPECT_EQ(c.members().dropDownAuto, kFalse);

    site.clearLog();
    c.InitProperties();
    EXPECT_EQ(c.ListHeight(), 2055);
    EXPECT_EQ(c.DropDownAuto(), kTrue);
    EXPECT_EQ(c.OnListOnly(), kTrue);
    EXPECT_EQ(c.BringToFront(), kTrue);
    EXPECT_EQ(c.FastMode(), kFalse);
    EXPECT_EQ(c.SearchDisable(), kFalse);
    EXPECT_EQ(c.DropDown(), kFalse);
    EXPECT_EQ(c.BoundField(), Variant(std::int16_t{0}));
    EXPECT_EQ(c.ListSearchField(), Variant(std::int16_t{0}));
    EXPECT_EQ(c.About(), Variant(std::int16_t{0}));
    EXPECT_EQ(c.ColsCaption() + c.ColsField() + c.ColsFormat() + c.ColsSize() + c.ColsAlignment(), "");
    // Nothing configured, nothing announced, no flag touched.
    EXPECT_EQ(c.members().dataUnavailable, kFalse);
    EXPECT_EQ(c.members().boundFieldName, "");
    EXPECT_EQ(c.data1().recordset(), nullptr);
    EXPECT_EQ(site.log(), "");
}

TEST_F(Lifecycle, RefreshRepaintsAndChangesNothing) {
    Quorvel2000& c = newControl();
    c.setText("abc");
    site.clearLog();
    const int before = site.refreshCount();
    c.Refresh();
    EXPECT_EQ(site.refreshCount(), before + 1);
    EXPECT_EQ(c.Text(), "abc");
    EXPECT_EQ(c.BoundText(), "");
    EXPECT_EQ(site.log(), "");
}

TEST_F(Lifecycle, PlainPropertiesWriteTheirPlaceThenNotifyWithTheirOwnName) {
    Quorvel2000& c = newControl();
    site.clearLog();
    c.setLocked(kTrue);
    c.setMaxLength(5);
    c.setListHeight(3000);
    c.setListRecordsetType(2);
    c.setEnabled(kFalse);
    c.setAbout(Variant::null());
    EXPECT_EQ(site.log(),
              "notify Locked|notify MaxLength|notify ListHeight|notify ListRecordsetType|"
              "notify Enabled|notify About");
    EXPECT_EQ(c.text2().locked(), kTrue);
    EXPECT_EQ(c.text2().maxLength(), 5);
    EXPECT_EQ(c.data1().recordsetType(), 2);
    EXPECT_TRUE(c.About().isNull());
    EXPECT_EQ(c.members().listHeight, 3000);  // no relayout: the size did not change
}

TEST_F(Lifecycle, APlaceThatRefusesAValueSendsNoNotification) {
    Quorvel2000& c = newControl();
    site.clearLog();
    EXPECT_THROW(c.setMaxLength(-1), Failure);
    EXPECT_EQ(site.log(), "");
}

TEST_F(Lifecycle, TheFontIsTheEditBoxsOwnObject) {
    Quorvel2000& c = newControl();
    site.clearLog();
    c.Font()->setSize(14);
    EXPECT_EQ(c.text2().font()->size(), 14);
    EXPECT_EQ(site.log(), "");  // the control is not involved in the change
}

TEST_F(Lifecycle, ReadOnlyLooksReportTheEditBoxsDesignValues) {
    Quorvel2000& c = newControl();
    EXPECT_EQ(c.BorderStyle(), 1);
    EXPECT_EQ(c.Appearance(), 1);
    EXPECT_EQ(c.Alignment(), 0);
    EXPECT_NE(c.hwnd(), 0);
}

}  // namespace
}  // namespace quorvel::testing

#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "headless/site.h"
#include "platform/subscription.h"

namespace quorvel::host {
namespace {

struct PaintCounter : SurfaceEvents {
    int paints = 0;
    void onPaint() override { ++paints; }
};

// A registration ends once, when its last holder ends, and never reaches a
// site that ended before it.
TEST(Subscription, DetachesOnceWhicheverSideEndsFirst) {
    PaintCounter sink;
    auto site = std::make_unique<headless::HeadlessSite>();
    Subscription first = site->attach(sink);
    Subscription moved = std::move(first);
    EXPECT_FALSE(first.active());
    EXPECT_TRUE(moved.active());
    site->paint();
    first.reset();  // the moved-from one detaches nothing
    site->paint();
    EXPECT_EQ(sink.paints, 2);

    moved.reset();
    site->paint();
    EXPECT_EQ(sink.paints, 2);

    Subscription outlives = site->attach(sink);
    site.reset();
    EXPECT_FALSE(outlives.active());
    outlives.reset();  // reaches no ended site
}

// The control's children stay the site's: after the last registration
// ends, no user action reaches them, and a new registration starts afresh.
TEST(Subscription, TheLastEndingReleasesTheChildren) {
    headless::HeadlessSite site;
    PaintCounter sink;
    TextBoxEvents events;
    TextBox& box = site.createTextBox("Text2", events);
    {
        Subscription s = site.attach(sink);
        EXPECT_TRUE(site.hasChild("Text2"));
        box.setText("kept");
    }
    EXPECT_FALSE(site.hasChild("Text2"));
    EXPECT_EQ(box.text(), "kept");  // still alive: the site owns it
    EXPECT_THROW(site.focusIn("Text2"), Failure);
}

}  // namespace
}  // namespace quorvel::host

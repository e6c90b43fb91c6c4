// The layout routine: measures the control, its container and the grid's
// columns, fits the visible children to the closed rectangle and stores the
// geometry of both states, so that opening and closing the list only copy
// one stored set onto the pieces.
//
// Children are written only when their value differs: every write can make
// the host repaint or call back here, and a run with nothing changed must
// move nothing. The comparisons widen the child's single-precision value and
// the computed one to double, so an integer member compares exactly.
#include "control/quorvel2000.h"
#include "platform/failure.h"

namespace quorvel {

namespace {

inline constexpr std::string_view kCodeLayout = "    /M_006 ";

// The open control keeps this far from the container's right edge.
inline constexpr double kRightMargin = 300;
// An open control moved left never goes further than this.
inline constexpr std::int32_t kMinimumOpenLeft = 100;
// Room for the grid's scroll bar and borders beside its columns.
inline constexpr double kExtraListWidth = 255;
inline constexpr double kGapAboveGrid = 20;
inline constexpr double kSpareBelowGrid = 10;

bool differs(float childValue, double computed) { return static_cast<double>(childValue) != computed; }

}  // namespace

void Quorvel2000::resizeLayout() {
    // A nested call (the host repainting or resizing while the children
    // change) must not start a second layout over a half-done one.
    if (resizing == kTrue) return;
    FlagScope running(resizing);
    // Opening and closing change the control's size, which brings the host
    // back here; the stored closed geometry must survive that untouched.
    if (listMoving != kFalse || listOpen == kTrue) return;

    runReported(kCodeLayout, {}, [&] {
        HostSurface& surface = site_.surface();
        Extender& extender = site_.extender();
        Container& container = extender.container();

        hostLeft = roundToLong(extender.left());
        hostTop = roundToLong(extender.top());
        containerWidth = roundToLong(container.width());

        // Not every container has a scale height; its outer height is the
        // best measure then.
        float measuredHeight = container.height();
        try {
            measuredHeight = container.scaleHeight();
        } catch (const Failure&) {}
        containerHeight = roundToLong(measuredHeight);

        closedLeft = hostLeft;
        openLeft = hostLeft;

        closedTextLeft = roundToLong(Text2.left());
        openTextLeft = closedTextLeft;

        const float width = surface.width();
        const float height = surface.height();

        const std::int32_t editWidth =
            roundToLong(static_cast<double>(width) - static_cast<double>(Command1.width()));
        if (differs(Text2.width(), editWidth)) Text2.setWidth(static_cast<float>(editWidth));

        if (differs(Text2.height(), height)) Text2.setHeight(height);

        if (differs(DBGrid1.height(), listHeight)) DBGrid1.setHeight(static_cast<float>(listHeight));

        closedHeight = roundToLong(height);
        // The grid may not take the height exactly; what it shows counts.
        openHeight = roundToLong(static_cast<double>(DBGrid1.height()) +
                                 (static_cast<double>(height) + kGapAboveGrid) + kSpareBelowGrid);
        closedWidth = roundToLong(width);

        closedButtonLeft = roundToLong(static_cast<double>(Text2.width()) + closedTextLeft);
        if (differs(Command1.left(), closedButtonLeft))
            Command1.setLeft(static_cast<float>(closedButtonLeft));

        if (differs(Command1.height(), Text2.height())) Command1.setHeight(Text2.height());

        AssettaGrid();

        const auto columns = DBGrid1.columns();
        if (!columns) fail(failure::kObjectNotSet);
        openWidth = 0;
        const std::int32_t columnCount = columns->count();
        for (std::int32_t i = 0; i < columnCount; ++i)
            openWidth = roundToLong(static_cast<double>(openWidth) + columns->item(i)->width());
        openWidth = roundToLong(static_cast<double>(openWidth) + kExtraListWidth);

        if (openWidth > containerWidth - kRightMargin) openWidth = roundToLong(containerWidth - kRightMargin);
        // The open control is never narrower than the closed pieces, even
        // when that passes the margin.
        const double closedPieces =
            static_cast<double>(Text2.width()) + static_cast<double>(Command1.width());
        if (closedPieces > openWidth) openWidth = roundToLong(closedPieces);

        if (static_cast<double>(openWidth) + hostLeft > containerWidth - kRightMargin) {
            // Right edges aligned; the edit box keeps its place on the
            // screen while the control's left edge moves.
            openLeft = roundToLong(static_cast<double>(hostLeft) + closedWidth - openWidth);
            if (openLeft < kMinimumOpenLeft) openLeft = kMinimumOpenLeft;
            openTextLeft = roundToLong(static_cast<double>(closedTextLeft) + closedLeft - openLeft);
        }
        openButtonLeft = roundToLong(static_cast<double>(Text2.width()) + openTextLeft);

        if (differs(DBGrid1.width(), openWidth)) DBGrid1.setWidth(static_cast<float>(openWidth));

        closedTop = hostTop;
        closedTextTop = 0;
        closedButtonTop = closedTextTop;
        openTop = hostTop;
        openTextTop = 0;
        openButtonTop = openTextTop;
        closedGridTop = roundToLong(static_cast<double>(height) + kGapAboveGrid);
        openGridTop = closedGridTop;

        // Upward only when the list would pass the container's bottom and
        // fits above; otherwise it opens downward regardless.
        const double editHeight = Text2.height();
        if (static_cast<double>(hostTop) + openHeight > containerHeight &&
            editHeight + hostTop - openHeight >= 0) {
            openTop = roundToLong(editHeight + hostTop - openHeight);
            openTextTop = roundToLong(openHeight - editHeight);
            openButtonTop = openTextTop;
            openGridTop = roundToLong(static_cast<double>(height) - kGapAboveGrid - editHeight);
        }

        // Closed, the grid lies below the control's rectangle and is clipped.
        if (differs(DBGrid1.top(), closedGridTop)) DBGrid1.setTop(static_cast<float>(closedGridTop));

        const Color background = container.backColor();
        if (surface.backColor() != background) surface.setBackColor(background);
    });
}

}  // namespace quorvel

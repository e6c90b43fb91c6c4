// The headless data-bound grid: the host core's grid model, plus what a
// grid on a screen would add — rows of a fixed height
// under an optional heading row, a first visible row that follows the
// current one, hit-testing of mouse presses, and the grid's own keys.
//
// Rows are RowHeight twips tall when that setting is positive, else 225 (a
// row of the default 8.25-point font); the heading row is HeadLines rows
// tall when ColumnHeaders is on.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "headless/child_window.h"
#include "host/grid_model.h"
#include "platform/grid.h"

namespace quorvel::headless {

inline constexpr float kDefaultRowHeight = 225.0f;

class HeadlessGrid final : public host::GridOn<ChildWindowImpl<Grid>> {
public:
    HeadlessGrid(std::string name, GridEvents& events, ChildHost* host = nullptr);

    // The first row shown; the current row is always among the rows shown.
    std::int32_t topRow() const { return topRow_; }
    float rowHeight() const;
    float headerHeight() const;
    std::int32_t visibleRows() const;
    // Scrolls the row into view and gives the middle of it in the grid's
    // coordinates, for a press on that row.
    float scrollToRow(std::int32_t row);

    // What the user does. Key down raises the notification, then, when the
    // handler left KeyCode nonzero, does the grid's own handling, a page
    // being the rows shown. A mouse press raises the notification, then
    // makes the row under it current.
    void keyDown(std::int16_t keyCode, std::int16_t shift);
    void mouseDown(std::int16_t button, std::int16_t shift, float x, float y);
    void mouseMove(std::int16_t button, std::int16_t shift, float x, float y);
    void mouseUp(std::int16_t button, std::int16_t shift, float x, float y);

private:
    void keepCurrentRowShown();

    GridEvents& events_;
    std::int32_t topRow_ = 0;
};

}  // namespace quorvel::headless

// The five children's settings as a newly created control has them, before
// first-time initialisation or property loading gives the control its
// property values. What survives at run time: the layout routine sets the
// edit box's size, the button's Left and Height and the grid's Top, Width
// and Height; opening and closing move the edit box, the button and the
// grid; loading gives the grid and the data control their stored settings.
#include "control/quorvel2000.h"
#include "layout/button_picture.h"

namespace quorvel {

namespace {

// Whole rows highlighted, the current cell raised.
inline constexpr std::int32_t kMarqueeHighlightRowRaiseCell = 4;
// Scroll bars only when the rows or columns need them.
inline constexpr std::int32_t kScrollBarsAutomatic = 4;
inline constexpr std::int16_t kButtonGraphical = 1;
inline constexpr std::int16_t kRecordsetDynaset = 1;

void place(ChildWindow& child, float left, float top, float width, float height) {
    child.setLeft(left);
    child.setTop(top);
    child.setWidth(width);
    child.setHeight(height);
}

}  // namespace

void Quorvel2000::applyDesignTimeSettings() {
    // Creation lays nothing out. The members still hold zero here (a
    // ListHeight of 0 would squash the grid), and the children are half
    // configured until the end; the host sizes the control after first-time
    // initialisation or loading, and that is the first layout. The guard
    // turns every resize that these settings cause, the control's own size
    // last of all, into a call that returns at once.
    FlagScope creating(resizing);

    place(Text2, 0, 0, 2415, 285);
    Text2.setVisible(kTrue);
    Text2.setTabIndex(1);

    place(Text1, 240, 0, 1815, 285);
    Text1.setVisible(kFalse);
    Text1.setTabIndex(2);

    place(Command1, 2400, 0, 180, 285);
    Command1.setVisible(kTrue);
    Command1.setTabIndex(3);
    Command1.setCaption("");
    Command1.setStyle(kButtonGraphical);
    Command1.setPicture(dropDownArrowPicture());

    // The data control is never shown and takes no focus; a host whose data
    // control has a place on the surface gets the designed one.
    if (auto* window = dynamic_cast<ChildWindow*>(&Data1)) {
        place(*window, 120, 1080, 1935, 345);
        window->setVisible(kFalse);
    }
    Data1.setCaption("Data1");
    Data1.setConnect("Access 2000;");
    Data1.setDatabaseName("");
    Data1.setRecordSource("");
    Data1.setOptions(0);
    Data1.setRecordsetType(kRecordsetDynaset);
    Data1.setDefaultType(2);
    Data1.setDefaultCursorType(0);

    place(DBGrid1, 0, 360, 2655, 2055);
    DBGrid1.setVisible(kTrue);
    DBGrid1.setTabIndex(0);
    // The list only shows records: no adding, deleting or editing.
    using namespace grid_dispid;
    DBGrid1.setSetting(kAllowDelete, Variant::booleanValue(kFalse));
    DBGrid1.setSetting(kAllowAddNew, Variant::booleanValue(kFalse));
    DBGrid1.setSetting(kAllowUpdate, Variant::booleanValue(kFalse));
    DBGrid1.setSetting(kColumnHeaders, Variant::booleanValue(kTrue));
    DBGrid1.setDefColWidth(0);
    DBGrid1.setHeadFont(Font::make(FontDescription{}));
    DBGrid1.setSetting(kHeadLines, Variant::integer(1));
    DBGrid1.setSetting(kRowDividerStyle, Variant::integer(2));
    DBGrid1.setSetting(kRowHeight, Variant::longValue(kRowHeightFromFont));
    DBGrid1.setSetting(kDataMode, Variant::integer(0));
    DBGrid1.setSetting(kAllowArrows, Variant::booleanValue(kTrue));
    DBGrid1.setSetting(kTabAcrossSplits, Variant::booleanValue(kFalse));
    DBGrid1.setSetting(kTabAction, Variant::integer(0));
    DBGrid1.setSetting(kWrapCellPointer, Variant::booleanValue(kFalse));
    DBGrid1.setSetting(kMarqueeUnique, Variant::booleanValue(kTrue));
    DBGrid1.setBackColor(kSystemWindowBackground);
    DBGrid1.setSetting(kBorderStyle, Variant::integer(1));
    // A font object of its own, not the heading's: changing one must not
    // change the other.
    DBGrid1.setFont(Font::make(FontDescription{}));
    DBGrid1.setForeColor(kSystemWindowText);
    DBGrid1.setSetting(kEnabled, Variant::booleanValue(kTrue));
    DBGrid1.setSetting(kCaption, Variant(""));
    DBGrid1.setSetting(kAppearance, Variant::integer(1));
    DBGrid1.setMarqueeStyle(kMarqueeHighlightRowRaiseCell);
    DBGrid1.setScrollBars(kScrollBarsAutomatic);

    // Two plain columns until the column lists or the automatic layout
    // replace them.
    auto columns = DBGrid1.columns();
    while (columns->count() > 0) columns->remove(0);
    for (std::int32_t i = 0; i < 2; ++i) {
        auto column = columns->add(i);
        column->setCaption("");
        column->setDataField("");
        column->setNumberFormat("");
    }

    DBGrid1.setDataSource(&Data1);

    HostSurface& surface = site_.surface();
    surface.setWidth(2580);
    surface.setHeight(285);
}

}  // namespace quorvel

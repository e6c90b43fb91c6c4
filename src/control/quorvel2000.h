// Quorvel2000: a multi-column, data-bound combo box.
//
// A one-line edit box (Text2) with a drop-down button (Command1); dropping
// the list shows a grid (DBGrid1) of the records that a data control (Data1)
// opens from a database. The control's value lives in a hidden text box
// (Text1) and is published as BoundText. Typing searches the list; choosing
// a row makes that record's bound field the value.
//
// One class holds all the behaviour; its member functions are defined in the
// folder of the subsystem that owns them:
//   control/  members, lifecycle, failure reporting, properties, persistence
//   layout/   child controls' design-time settings, the layout routine,
//             painting and focus
//   data/     data-source configuration and the data control's notifications
//   list/     column layout, opening and closing, grid interaction
//   search/   value helpers, bound value, incremental search, edit-box keys
//
// The control depends on the platform interfaces alone. It runs on the host's
// single user-interface thread; re-entrance is real (a text box raises its
// change event inside the write, a find raises the reposition notification
// inside the call), and the Boolean members are the only guard.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "control/members.h"
#include "platform/host.h"

namespace quorvel {

// The values of KeyboardConventions. The control's own keys: Enter chooses
// and toggles the list, Ctrl toggles it, Up and Down hand the focus to the
// grid. The combo-box conventions: Alt+Down or F4 opens, Escape closes and
// puts back the value the list opened with, Up and Down open the list and
// then move its row while the focus stays in the edit box, Enter chooses
// (and closes), Ctrl toggles nothing, only the left button chooses a row,
// and the focus leaving or a press outside closes the list.
inline constexpr std::int16_t kOwnKeys = 0;
inline constexpr std::int16_t kComboBoxKeys = 1;

class Quorvel2000 : private ControlMembers {
public:
    // Creates the five child controls through the site, with their
    // design-time settings, and registers for the host's surface calls.
    explicit Quorvel2000(ControlSite& site);
    ~Quorvel2000();
    Quorvel2000(const Quorvel2000&) = delete;
    Quorvel2000& operator=(const Quorvel2000&) = delete;

    // --- Lifecycle calls of the host -----------------------------------
    // First-time initialisation of a newly placed instance.
    void InitProperties();
    void ReadProperties(PropertyBag& bag);
    void WriteProperties(PropertyBag& bag);

    // --- Methods --------------------------------------------------------
    void ImpostaDataControl();
    void ListaApri();
    void ListaChiudi();
    void AssettaGrid();
    void AssettaGridDefault();
    // Repaints the control at once; nothing else.
    void Refresh();
    // Requeries the list and keeps the bound value.
    void ListRefresh();

    // Value helpers: null-safe text, numbers and criteria pieces. The
    // argument is by reference and never written.
    Variant UnNull(Variant& che);
    Variant UnNull2(Variant& che2);
    Variant UnNullxSQL(Variant& che3);
    Variant Val2(Variant& Cosa);
    std::string ValxSQL(Variant& Cosa);

    // --- Properties: the edit box ---------------------------------------
    Color BackColor() const;
    void setBackColor(Color v);
    Color ForeColor() const;
    void setForeColor(Color v);
    std::shared_ptr<quorvel::Font> Font() const;
    void setFont(std::shared_ptr<quorvel::Font> v);
    std::int16_t BorderStyle() const;
    std::int16_t Alignment() const;
    std::int16_t Appearance() const;
    VBool Locked() const;
    void setLocked(VBool v);
    std::int32_t SelStart() const;
    void setSelStart(std::int32_t v);
    std::int32_t SelLength() const;
    void setSelLength(std::int32_t v);
    std::string SelText() const;
    void setSelText(const std::string& v);
    std::string Text() const;
    void setText(const std::string& v);
    std::int32_t MaxLength() const;
    void setMaxLength(std::int32_t v);

    // --- Properties: the control's surface ------------------------------
    VBool Enabled() const;
    void setEnabled(VBool v);
    float CurrentX() const;
    void setCurrentX(float v);
    float CurrentY() const;
    void setCurrentY(float v);
    VBool AutoRedraw() const;
    void setAutoRedraw(VBool v);
    std::shared_ptr<Picture> MouseIcon() const;
    void setMouseIcon(std::shared_ptr<Picture> v);
    std::int16_t MousePointer() const;
    void setMousePointer(std::int16_t v);
    std::int32_t hwnd() const;

    // --- Properties: the grid -------------------------------------------
    std::int32_t MarqueeStyle() const;
    void setMarqueeStyle(std::int32_t v);
    float DefColWidth() const;
    void setDefColWidth(float v);
    std::int32_t ScrollBars() const;
    void setScrollBars(std::int32_t v);
    std::shared_ptr<quorvel::Font> ListBodyFont() const;
    void setListBodyFont(std::shared_ptr<quorvel::Font> v);
    std::shared_ptr<quorvel::Font> ListHeadFont() const;
    void setListHeadFont(std::shared_ptr<quorvel::Font> v);
    Color ListForeColor() const;
    void setListForeColor(Color v);
    Color ListBackColor() const;
    void setListBackColor(Color v);
    // The index is passed to the grid exactly as received.
    ObjectRef Columns(const std::optional<Variant>& index = std::nullopt) const;

    // --- Properties: columns --------------------------------------------
    std::string ColsCaption() const;
    void setColsCaption(const std::string& v);
    std::string ColsField() const;
    void setColsField(const std::string& v);
    std::string ColsFormat() const;
    void setColsFormat(const std::string& v);
    std::string ColsSize() const;
    void setColsSize(const std::string& v);
    std::string ColsAlignment() const;
    void setColsAlignment(const std::string& v);

    // --- Properties: behaviour ------------------------------------------
    VBool DropDown() const;
    void setDropDown(VBool v);
    VBool DropDownAuto() const;
    void setDropDownAuto(VBool v);
    VBool OnListOnly() const;
    void setOnListOnly(VBool v);
    std::int32_t ListHeight() const;
    void setListHeight(std::int32_t v);
    VBool FastMode() const;
    void setFastMode(VBool v);
    VBool BringToFront() const;
    void setBringToFront(VBool v);
    VBool SearchDisable() const;
    void setSearchDisable(VBool v);
    Variant About() const;
    void setAbout(const Variant& v);
    // kOwnKeys (0) or kComboBoxKeys (1); Failure 380 for any other value.
    std::int16_t KeyboardConventions() const;
    void setKeyboardConventions(std::int16_t v);

    // --- Properties: the bound value ------------------------------------
    std::string BoundText() const;
    void setBoundText(const std::string& v);
    Variant BoundField() const;
    void setBoundField(const Variant& v);
    Variant ListSearchField() const;
    void setListSearchField(const Variant& v);

    // --- Properties: the data source ------------------------------------
    std::string ListDataBaseName() const;
    void setListDataBaseName(const std::string& v);
    std::string ListRecordSource() const;
    void setListRecordSource(const std::string& v);
    std::string Connect() const;
    void setConnect(const std::string& v);
    std::int16_t DefaultCursorType() const;
    void setDefaultCursorType(std::int16_t v);
    std::int16_t DefaultType() const;
    void setDefaultType(std::int16_t v);
    std::int16_t Options() const;
    void setOptions(std::int16_t v);
    std::int16_t ListRecordsetType() const;
    void setListRecordsetType(std::int16_t v);
    std::shared_ptr<Recordset> ListRecordset() const;
    void setListRecordset(std::shared_ptr<Recordset> v);

    // --- For hosts, runners and tests -----------------------------------
    // The host saw a press outside the control, or the control's window
    // lost activation: under the combo-box conventions an open list closes.
    void dismissList();
    // The private members, read-only: a diagnostic view.
    const ControlMembers& members() const { return *this; }
    TextBox& text1() const { return Text1; }
    TextBox& text2() const { return Text2; }
    CommandButton& command1() const { return Command1; }
    DataControl& data1() const { return Data1; }
    Grid& dbGrid1() const { return DBGrid1; }

private:
    // Sinks that route each child's events to the handler that owns them.
    struct Text1Sink final : TextBoxEvents {
        explicit Text1Sink(Quorvel2000& control) : c(control) {}
        void onChange() override;
        Quorvel2000& c;
    };
    struct Text2Sink final : TextBoxEvents {
        explicit Text2Sink(Quorvel2000& control) : c(control) {}
        void onChange() override;
        void onKeyDown(std::int16_t& keyCode, std::int16_t& shift) override;
        void onKeyPress(std::int16_t& keyAscii) override;
        void onKeyUp(std::int16_t& keyCode, std::int16_t& shift) override;
        void onClick() override;
        void onDblClick() override;
        void onMouseDown(std::int16_t& button, std::int16_t& shift, float& x, float& y) override;
        void onMouseMove(std::int16_t& button, std::int16_t& shift, float& x, float& y) override;
        void onMouseUp(std::int16_t& button, std::int16_t& shift, float& x, float& y) override;
        Quorvel2000& c;
    };
    struct Command1Sink final : CommandButtonEvents {
        explicit Command1Sink(Quorvel2000& control) : c(control) {}
        void onClick() override;
        void onMouseDown(std::int16_t& button, std::int16_t& shift, float& x, float& y) override;
        void onMouseMove(std::int16_t& button, std::int16_t& shift, float& x, float& y) override;
        void onMouseUp(std::int16_t& button, std::int16_t& shift, float& x, float& y) override;
        Quorvel2000& c;
    };
    struct Data1Sink final : DataControlEvents {
        explicit Data1Sink(Quorvel2000& control) : c(control) {}
        void onError(std::int16_t& dataErr, std::int16_t& response) override;
        void onReposition() override;
        void onValidate(std::int16_t& action, std::int16_t& save) override;
        Quorvel2000& c;
    };
    struct GridSink final : GridEvents {
        explicit GridSink(Quorvel2000& control) : c(control) {}
        void onKeyDown(std::int16_t& keyCode, std::int16_t& shift) override;
        void onMouseDown(std::int16_t& button, std::int16_t& shift, float& x, float& y) override;
        void onMouseMove(std::int16_t& button, std::int16_t& shift, float& x, float& y) override;
        void onMouseUp(std::int16_t& button, std::int16_t& shift, float& x, float& y) override;
        Quorvel2000& c;
    };
    struct SurfaceSink final : SurfaceEvents {
        explicit SurfaceSink(Quorvel2000& control) : c(control) {}
        void onResize() override;
        void onPaint() override;
        void onEnterFocus() override;
        void onExitFocus() override;
        void onMouseDown(std::int16_t& button, std::int16_t& shift, float& x, float& y) override;
        void onMouseMove(std::int16_t& button, std::int16_t& shift, float& x, float& y) override;
        void onMouseUp(std::int16_t& button, std::int16_t& shift, float& x, float& y) override;
        Quorvel2000& c;
    };

    // --- control/: failure reporting and events -------------------------
    // Runs body; a Failure whose number is among `silent` runs onSilent and
    // shows nothing, any other shows the standard report with `code`. Never
    // throws: the caller goes on at its resume point.
    void runReported(std::string_view code, std::initializer_list<std::int32_t> silent,
                     const std::function<void()>& body,
                     const std::function<void(std::int32_t)>& onSilent = {});
    // Runs body; a Failure whose number is among `silent` is dropped (the
    // caller goes on with its next statement), any other passes on.
    static void skipSilently(std::initializer_list<std::int32_t> silent, const std::function<void()>& body);
    // The prompt of the standard report: number, code, two line feeds, text.
    static std::string failurePrompt(std::int32_t number, std::string_view code,
                                     std::string_view description);
    void showFailure(std::int32_t number, std::string_view code, std::string_view description);

    void notify(std::string_view propertyName);
    void raise(const EventDescription& event);
    void raise(const EventDescription& event, std::int16_t& a);
    void raise(const EventDescription& event, std::int16_t& a, std::int16_t& b);
    void raise(const EventDescription& event, std::int16_t& button, std::int16_t& shift, float& x, float& y);
    // Every raise goes through here: it bounds how deeply host handlers
    // that call back into the control may nest.
    void deliver(const EventDescription& event, std::span<Variant> arguments);
    // The open recordset; Failure 91 when the data source has none. Held,
    // not borrowed: a host handler raised inside a find or a read may
    // reconfigure the data source, and the caller's recordset must outlive
    // that.
    std::shared_ptr<Recordset> listRecordset() const;
    const Locale& locale() const { return site_.locale(); }

    // --- layout/ --------------------------------------------------------
    void applyDesignTimeSettings();
    void resizeLayout();  // the host's resize notification
    void paintSurface();  // the host's paint notification
    void enterFocus();
    void exitFocus();
    void surfaceMouseDown(std::int16_t& button, std::int16_t& shift, float& x, float& y);
    void surfaceMouseMove(std::int16_t& button, std::int16_t& shift, float& x, float& y);
    void surfaceMouseUp(std::int16_t& button, std::int16_t& shift, float& x, float& y);

    // --- data/ ----------------------------------------------------------
    void dataReposition();
    void dataError(std::int16_t& dataErr, std::int16_t& response);
    void dataValidate(std::int16_t& action, std::int16_t& save);

    // --- list/ ----------------------------------------------------------
    void buttonClick();
    // Escape closes an open list and F4 toggles it, as the drop-down button
    // does, from the edit box or the grid; true when the key was taken.
    bool listKeyDown(std::int16_t& keyCode, std::int16_t& shift);
    void buttonMouseDown(std::int16_t& button, std::int16_t& shift, float& x, float& y);
    void buttonMouseMove(std::int16_t& button, std::int16_t& shift, float& x, float& y);
    void buttonMouseUp(std::int16_t& button, std::int16_t& shift, float& x, float& y);
    void gridKeyDown(std::int16_t& keyCode, std::int16_t& shift);
    // Writes the current record's values into Text1 and Text2 and raises
    // BeenChosen; false, with nothing written, when there is no record to
    // choose.
    bool chooseCurrentRow();
    // Puts back the value the list opened with, when it changed since.
    void restoreValueAtOpen();
    void caretToEnd();
    void gridMouseDown(std::int16_t& button, std::int16_t& shift, float& x, float& y);
    void gridMouseMove(std::int16_t& button, std::int16_t& shift, float& x, float& y);
    void gridMouseUp(std::int16_t& button, std::int16_t& shift, float& x, float& y);

    // --- search/ --------------------------------------------------------
    void boundValueChanged();                                    // Text1's change: the bound-value handler
    void editChanged();                                          // Text2's change
    void editKeyUp(std::int16_t& keyCode, std::int16_t& shift);  // the search
    void editKeyDown(std::int16_t& keyCode, std::int16_t& shift);
    void editComboKeyDown(std::int16_t& keyCode, std::int16_t& shift);
    // Moves the list's current record one step (delta -1 or 1), within the
    // records there are.
    void stepRow(int delta);
    void editKeyPress(std::int16_t& keyAscii);
    void editClick();
    void editDblClick();
    void editMouseDown(std::int16_t& button, std::int16_t& shift, float& x, float& y);
    void editMouseMove(std::int16_t& button, std::int16_t& shift, float& x, float& y);
    void editMouseUp(std::int16_t& button, std::int16_t& shift, float& x, float& y);

    ControlSite& site_;
    // How many events raised by this control are being handled right now,
    // one inside the other.
    int eventNesting_ = 0;
    // Which keys the edit box and the list follow (KeyboardConventions).
    std::int16_t keyboardConventions = kOwnKeys;
    // The bound value when the list last opened: what Escape puts back under
    // the combo-box conventions.
    std::string valueAtOpen;
    // Set when the bound on nesting was reached, until the outermost event
    // ends: meanwhile every nested raise is refused at once, so handlers
    // that re-raise from several places unwind instead of diving again, and
    // the refusal is reported once.
    bool nestingTripped_ = false;
    bool nestingReported_ = false;
    // Set while property loading runs: the data source's reopenings then
    // leave the boxes alone, so the stored value is not replaced by the
    // first record's; loading looks the stored value up once at its end.
    VBool keepStoredValue_ = kFalse;
    Text1Sink text1Sink_{*this};
    Text2Sink text2Sink_{*this};
    Command1Sink command1Sink_{*this};
    Data1Sink data1Sink_{*this};
    GridSink gridSink_{*this};
    SurfaceSink surfaceSink_{*this};

    // The children, owned by the host platform; the control holds references.
    TextBox& Text1;
    TextBox& Text2;
    CommandButton& Command1;
    DataControl& Data1;
    Grid& DBGrid1;
    // Last: it ends first, and with it the host's calls into the control.
    Subscription surfaceSubscription_;
};

// Clears a flag when the scope ends, whichever way it ends.
class FlagScope {
public:
    explicit FlagScope(VBool& flag) : flag_(flag) { flag_ = kTrue; }
    ~FlagScope() { flag_ = kFalse; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    VBool& flag_;
};

}  // namespace quorvel

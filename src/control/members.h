// The control's private state: property values, facts about the list's data
// source, the guard flags and the geometry of the closed and open states.
// Everything starts at zero (Booleans False, numbers 0, strings empty,
// variants Empty); first-time initialisation or property loading gives the
// property values their first meaning.
#pragma once

#include <cstdint>
#include <string>

#include "platform/variant.h"

namespace quorvel {

struct ControlMembers {
    // Property values.
    std::string colsCaption;
    std::string colsField;
    std::string colsFormat;
    std::string colsSize;
    std::string colsAlignment;
    Variant boundField;
    Variant listSearchField;
    VBool listOpen = kFalse;
    VBool dropDownAuto = kFalse;
    VBool onListOnly = kFalse;
    std::int32_t listHeight = 0;
    VBool fastMode = kFalse;
    VBool bringToFront = kFalse;
    VBool searchDisable = kFalse;
    Variant about;

    // The bound and search fields as the last configuration resolved them.
    std::string boundFieldName;
    std::int16_t boundFieldType = 0;
    std::string searchFieldName;
    std::int16_t searchFieldType = 0;

    // Guards. Each set/act/clear sequence keeps the order its handler gives.
    VBool dataUnavailable = kFalse;    // the data source failed to open
    VBool resizing = kFalse;           // the layout routine is running
    VBool listMoving = kFalse;         // the list is being opened or closed
    VBool textIsBoundValue = kFalse;   // mirror mode: the edit box is the bound value
    VBool quietBoundRefresh = kFalse;  // the bound-value handler raises nothing at its end
    VBool findingByCode = kFalse;      // the control itself is moving the current record
    VBool skipBoundChange = kFalse;    // the next change of Text1 needs no lookup
    VBool skipNextKeyUp = kFalse;      // the next key release in Text2 must not search

    // Measurements of the last layout.
    std::int32_t hostLeft = 0;
    std::int32_t hostTop = 0;
    std::int32_t containerWidth = 0;
    std::int32_t containerHeight = 0;

    // Geometry of both states, written by the layout routine and applied by
    // opening and closing the list.
    std::int32_t closedHeight = 0, openHeight = 0;
    std::int32_t closedWidth = 0, openWidth = 0;
    std::int32_t closedTop = 0, openTop = 0;
    std::int32_t closedLeft = 0, openLeft = 0;
    std::int32_t closedTextTop = 0, openTextTop = 0;
    std::int32_t closedTextLeft = 0, openTextLeft = 0;
    std::int32_t closedButtonTop = 0, openButtonTop = 0;
    std::int32_t closedButtonLeft = 0, openButtonLeft = 0;
    std::int32_t closedGridTop = 0, openGridTop = 0;
};

// Calls visit(name, value) for every member in declaration order, the value
// as a Variant: a diagnostic view for traces and bug reports.
template <class Visit>
void forEachMember(const ControlMembers& m, Visit&& visit) {
    auto vb = [](VBool b) { return Variant::booleanValue(b); };
    visit("colsCaption", Variant(m.colsCaption));
    visit("colsField", Variant(m.colsField));
    visit("colsFormat", Variant(m.colsFormat));
    visit("colsSize", Variant(m.colsSize));
    visit("colsAlignment", Variant(m.colsAlignment));
    visit("boundField", m.boundField);
    visit("listSearchField", m.listSearchField);
    visit("listOpen", vb(m.listOpen));
    visit("dropDownAuto", vb(m.dropDownAuto));
    visit("onListOnly", vb(m.onListOnly));
    visit("listHeight", Variant(m.listHeight));
    visit("fastMode", vb(m.fastMode));
    visit("bringToFront", vb(m.bringToFront));
    visit("searchDisable", vb(m.searchDisable));
    visit("about", m.about);
    visit("boundFieldName", Variant(m.boundFieldName));
    visit("boundFieldType", Variant(m.boundFieldType));
    visit("searchFieldName", Variant(m.searchFieldName));
    visit("searchFieldType", Variant(m.searchFieldType));
    visit("dataUnavailable", vb(m.dataUnavailable));
    visit("resizing", vb(m.resizing));
    visit("listMoving", vb(m.listMoving));
    visit("textIsBoundValue", vb(m.textIsBoundValue));
    visit("quietBoundRefresh", vb(m.quietBoundRefresh));
    visit("findingByCode", vb(m.findingByCode));
    visit("skipBoundChange", vb(m.skipBoundChange));
    visit("skipNextKeyUp", vb(m.skipNextKeyUp));
    visit("hostLeft", Variant(m.hostLeft));
    visit("hostTop", Variant(m.hostTop));
    visit("containerWidth", Variant(m.containerWidth));
    visit("containerHeight", Variant(m.containerHeight));
    visit("closedHeight", Variant(m.closedHeight));
    visit("openHeight", Variant(m.openHeight));
    visit("closedWidth", Variant(m.closedWidth));
    visit("openWidth", Variant(m.openWidth));
    visit("closedTop", Variant(m.closedTop));
    visit("openTop", Variant(m.openTop));
    visit("closedLeft", Variant(m.closedLeft));
    visit("openLeft", Variant(m.openLeft));
    visit("closedTextTop", Variant(m.closedTextTop));
    visit("openTextTop", Variant(m.openTextTop));
    visit("closedTextLeft", Variant(m.closedTextLeft));
    visit("openTextLeft", Variant(m.openTextLeft));
    visit("closedButtonTop", Variant(m.closedButtonTop));
    visit("openButtonTop", Variant(m.openButtonTop));
    visit("closedButtonLeft", Variant(m.closedButtonLeft));
    visit("openButtonLeft", Variant(m.openButtonLeft));
    visit("closedGridTop", Variant(m.closedGridTop));
    visit("openGridTop", Variant(m.openGridTop));
}

}  // namespace quorvel

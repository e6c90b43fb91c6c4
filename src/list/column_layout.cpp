// The grid's columns, rebuilt from the five column lists.
#include <new>

#include "control/quorvel2000.h"
#include "list/column_list.h"
#include "platform/failure.h"

namespace quorvel {

void Quorvel2000::AssettaGrid() {
    // The lists are applied one column at a time, so a failure leaves the
    // columns as far as the steps got; the grid is never worth a message
    // here, and the setters and the layout routine that run this must go on.
    try {
        auto columns = DBGrid1.columns();
        if (!columns) fail(failure::kObjectNotSet);
        std::int32_t count = columns->count();

        auto items = [this](const std::string& list) {
            Variant text(list);
            return columnListItems(UnNullxSQL(text).asString());
        };
        const std::vector<std::string> fields = items(colsField);
        if (fields.empty()) {
            AssettaGridDefault();
            return;
        }

        for (std::int32_t i = 0; i < count; ++i) columns->remove(0);
        for (const std::string& field : fields) {
            const std::int32_t n = columns->count();
            columns->add(n);
            auto column = columns->item(n);
            column->setVisible(kTrue);
            column->setDataField(field);
        }
        count = columns->count();

        // A shorter list sets the first columns only; items past the last
        // column are ignored.
        auto apply = [&](const std::string& list, auto&& set) {
            const std::vector<std::string> values = items(list);
            for (std::int32_t k = 1; k <= count && k <= static_cast<std::int32_t>(values.size()); ++k)
                set(*columns->item(k - 1), values[static_cast<std::size_t>(k - 1)]);
        };
        auto number = [this](const std::string& item) {
            Variant text(item);
            return columnListNumber(Val2(text));
        };
        apply(colsCaption, [](Column& c, const std::string& item) { c.setCaption(item); });
        apply(colsSize,
              [&](Column& c, const std::string& item) { c.setWidth(static_cast<float>(number(item))); });
        apply(colsFormat, [](Column& c, const std::string& item) { c.setNumberFormat(item); });
        apply(colsAlignment,
              [&](Column& c, const std::string& item) { c.setAlignment(columnAlignmentCode(number(item))); });
    } catch (const Failure&) {
    } catch (const std::bad_alloc&) {}
}

void Quorvel2000::AssettaGridDefault() {
    DBGrid1.clearFields();
    DBGrid1.rebind();
}

std::string Quorvel2000::ColsCaption() const { return colsCaption; }
void Quorvel2000::setColsCaption(const std::string& v) {
    colsCaption = v;
    notify("ColsCaption");
    AssettaGrid();
}

std::string Quorvel2000::ColsField() const { return colsField; }
void Quorvel2000::setColsField(const std::string& v) {
    colsField = v;
    notify("ColsField");
    AssettaGrid();
}

std::string Quorvel2000::ColsFormat() const { return colsFormat; }
void Quorvel2000::setColsFormat(const std::string& v) {
    colsFormat = v;
    notify("ColsFormat");
    AssettaGrid();
}

std::string Quorvel2000::ColsSize() const { return colsSize; }
void Quorvel2000::setColsSize(const std::string& v) {
    colsSize = v;
    notify("ColsSize");
    AssettaGrid();
}

std::string Quorvel2000::ColsAlignment() const { return colsAlignment; }
void Quorvel2000::setColsAlignment(const std::string& v) {
    colsAlignment = v;
    notify("ColsAlignment");
    AssettaGrid();
}

}  // namespace quorvel

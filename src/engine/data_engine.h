// The list's data engine: a data control and its recordset over SQLite.
//
// (The engine's model is described in the header of its implementation.)
#pragma once

#include <memory>

#include "platform/data.h"

namespace quorvel::engine {

// A data control with the design-time defaults of a new one: no database,
// no record source, Connect "Access 2000;", RecordsetType 1 (dynaset),
// DefaultType 2, DefaultCursorType 0, Options 0, Caption "Data1".
std::shared_ptr<DataControl> createDataControl();

}  // namespace quorvel::engine

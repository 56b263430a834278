#pragma once
// Private to the engine: the field types and recordset kinds it answers
// with, in the frame's terms.
#include <tarnwick/frame/FieldType.h>

namespace tarnwick::engine {

using frame::FieldType;
using frame::isTextType;
using frame::kAutoIncrField;
using frame::kUpdatableField;
using frame::kOpenTable;
using frame::kOpenDynaset;
using frame::kOpenSnapshot;
using frame::kOpenForwardOnly;
using frame::kEditNone;
using frame::kEditInProgress;
using frame::kEditAdd;

}  // namespace tarnwick::engine

#pragma once

#include "platform/runtime/function_table.hpp"

namespace velmora::gui {

/// Adds the GUI support functions callable by name, with their declared
/// input/output counts: guidata 2/1, guihandles 1/1, openfig 2/1, cla and
/// clf any/1, grid 2/0, msgboxd any/any, xlabel, ylabel and zlabel one
/// fixed input then any/1, isvarname 1/1, movegui any/0, iskeyword 1/1.
/// The table refuses more inputs or outputs than declared; the adapters
/// convert the values and make the remaining argument checks.
void register_gui_functions(FunctionTable& table);

}  // namespace velmora::gui

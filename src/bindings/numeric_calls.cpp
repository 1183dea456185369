#include "bindings/numeric_calls.hpp"

#include "platform/runtime/console.hpp"

namespace velmora {

Notify console_note() {
  return [](const std::string& line) { console().line(line); };
}

void add_numeric(FunctionTable& table, FunctionSpec spec) {
  spec.entry = [entry = std::move(spec.entry)](const ValueList& args, int nargout) {
    return as_runtime_error([&] { return entry(args, nargout); });
  };
  table.add(std::move(spec));
}

}  // namespace velmora

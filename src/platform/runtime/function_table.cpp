#include "platform/runtime/function_table.hpp"

#include <algorithm>
#include <new>
#include <utility>

#include "platform/runtime/runtime_error.hpp"

namespace velmora {

std::size_t FunctionTable::rank_of(std::string_view name) const {
  auto it = std::find(order_.begin(), order_.end(), name);
  return static_cast<std::size_t>(it - order_.begin());  // unknown names sort last
}

void FunctionTable::set_order(std::vector<std::string> order) {
  order_ = std::move(order);
  std::stable_sort(entries_.begin(), entries_.end(),
                   [&](const FunctionSpec& a, const FunctionSpec& b) {
                     return rank_of(a.name) < rank_of(b.name);
                   });
}

void FunctionTable::add(FunctionSpec spec) {
  for (auto& e : entries_) {
    if (e.name == spec.name) {
      e = std::move(spec);
      return;
    }
  }
  std::size_t r = rank_of(spec.name);
  auto pos = std::find_if(entries_.begin(), entries_.end(),
                          [&](const FunctionSpec& e) { return rank_of(e.name) > r; });
  entries_.insert(pos, std::move(spec));
}

const FunctionSpec* FunctionTable::find(std::string_view name) const {
  for (const auto& e : entries_)
    if (e.name == name) return &e;
  return nullptr;
}

ValueList FunctionTable::call(std::string_view name, const ValueList& args, int nargout) const {
  const FunctionSpec* spec = find(name);
  if (!spec) throw RuntimeError(undefined_function_text(name));
  if (spec->nargout >= 0 && nargout > spec->nargout)
    throw RuntimeError(too_many_outputs_text(spec->name, spec->nargout));
  if (spec->nargin >= 0 && static_cast<int>(args.size()) > spec->nargin)
    throw RuntimeError(too_many_inputs_text(spec->name, spec->nargin));
  try {
    return spec->entry(args, nargout);
  } catch (const std::bad_alloc&) {
    throw RuntimeError(out_of_memory_text(spec->name));
  }
}

FunctionTable& function_table() {
  static FunctionTable table;
  return table;
}

std::string runtime_error_prefix(std::string_view function) {
  return "Run-time Error: File: " + std::string(function) + " Line: 1 Column: 1 ";
}

std::string too_many_inputs_text(std::string_view function, int declared) {
  return runtime_error_prefix(function) + "The function \"" + std::string(function) +
         "\" was called with more than the declared number of inputs (" + std::to_string(declared) +
         ").";
}

std::string too_many_outputs_text(std::string_view function, int declared) {
  return runtime_error_prefix(function) + "The function \"" + std::string(function) +
         "\" was called with more than the declared number of outputs (" +
         std::to_string(declared) + ").";
}

std::string out_of_memory_text(std::string_view step) {
  return "There is not enough memory to finish " + std::string(step) + ".";
}

std::string undefined_function_text(std::string_view function) {
  return "Undefined function or variable \"" + std::string(function) + "\".";
}

std::string undefined_input_text(std::string_view function, std::string_view input) {
  return runtime_error_prefix(function) + "Input argument \"" + std::string(input) +
         "\" is undefined.";
}

const Value& arg(const ValueList& args, std::size_t i, std::string_view function,
                 std::string_view input_name) {
  if (i >= args.size()) throw RuntimeError(undefined_input_text(function, input_name));
  return args[i];
}

}  // namespace velmora

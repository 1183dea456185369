#include "platform/runtime/function_table.hpp"

#include <algorithm>
#include <new>

#include "platform/runtime/runtime_error.hpp"

namespace velmora {

const std::vector<std::string_view>& registration_order() {
  static const std::vector<std::string_view> order = {"Velmora",
                                                      "velmorasw",
                                                      "CopyBigImage",
                                                      "CopyBigImageNA",
                                                      "guidata",
                                                      "guihandles",
                                                      "openfig",
                                                      "cla",
                                                      "clf",
                                                      "fcdf",
                                                      "getWilkslambda",
                                                      "getfprocon3",
                                                      "getpdistance3",
                                                      "getpproc3",
                                                      "getpw3d",
                                                      "grid",
                                                      "incrementlinethickness",
                                                      "incrementsymbolsize",
                                                      "mfload",
                                                      "mfloadtxt",
                                                      "msgboxd",
                                                      "normcdf",
                                                      "pcaref3d",
                                                      "plotpw3d",
                                                      "regstuf",
                                                      "rotate3da",
                                                      "setlinethickness",
                                                      "setsymbolfill",
                                                      "showshape3D",
                                                      "vertxy3D",
                                                      "wire3d",
                                                      "x1y1z1",
                                                      "xlabel",
                                                      "ylabel",
                                                      "zlabel",
                                                      "isvarname",
                                                      "movegui",
                                                      "chi2cdf",
                                                      "distchck",
                                                      "fullprocrustes3",
                                                      "centsize3Da",
                                                      "partialprocrustes3a",
                                                      "lmatrix3da",
                                                      "dload",
                                                      "defimppw3",
                                                      "disvec3d",
                                                      "iskeyword",
                                                      "gamcdf",
                                                      "svdrot2"};
  return order;
}

namespace {

std::size_t rank_of(std::string_view name) {
  const auto& order = registration_order();
  auto it = std::find(order.begin(), order.end(), name);
  return static_cast<std::size_t>(it - order.begin());  // unknown names sort last
}

}  // namespace

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

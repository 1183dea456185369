#include "platform/runtime/function_table.hpp"

#include <gtest/gtest.h>

#include "platform/runtime/runtime_error.hpp"

namespace velmora {
namespace {

std::string refusal(const FunctionTable& t, std::string_view name, ValueList args, int nargout) {
  try {
    t.call(name, args, nargout);
  } catch (const RuntimeError& e) {
    return e.what();
  }
  return "accepted";
}

TEST(FunctionTable, RefusesOutputsBeforeInputs) {
  FunctionTable t;
  int ran = 0;
  t.add({"velmorasw",
         [&](const ValueList&, int) {
           ++ran;
           return ValueList{};
         },
         2, 0});
  EXPECT_EQ(refusal(t, "velmorasw", {1, 2, 3}, 1),
            "Run-time Error: File: velmorasw Line: 1 Column: 1 The function \"velmorasw\" was "
            "called with more than the declared number of outputs (0).");
  EXPECT_EQ(refusal(t, "velmorasw", {1, 2, 3}, 0),
            "Run-time Error: File: velmorasw Line: 1 Column: 1 The function \"velmorasw\" was "
            "called with more than the declared number of inputs (2).");
  EXPECT_EQ(ran, 0);
  EXPECT_EQ(refusal(t, "velmorasw", {}, 0), "accepted");
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(refusal(t, "nosuch", {}, 0), "Undefined function or variable \"nosuch\".");
}

TEST(FunctionTable, NegativeCountsDoNotLimitAndOrderIsFixed) {
  FunctionTable t;
  t.set_order({"Velmora", "msgboxd", "xlabel", "svdrot2"});
  auto none = [](const ValueList&, int) { return ValueList{}; };
  t.add({"svdrot2", none, 2, 1});
  t.add({"msgboxd", none, kAny, kAny});
  t.add({"Velmora", none, kAny, kAny});
  t.add({"xlabel", none, kOnePlus, 1});
  EXPECT_EQ(refusal(t, "msgboxd", ValueList(9), 5), "accepted");
  EXPECT_EQ(refusal(t, "xlabel", ValueList(7), 1), "accepted");
  ASSERT_EQ(t.entries().size(), 4u);
  EXPECT_EQ(t.entries()[0].name, "Velmora");
  EXPECT_EQ(t.entries()[1].name, "msgboxd");
  EXPECT_EQ(t.entries()[2].name, "xlabel");
  EXPECT_EQ(t.entries()[3].name, "svdrot2");
  // Names outside the order follow in the order added; setting an order
  // later sorts what is there.
  t.add({"zeta", none, kAny, kAny});
  t.add({"alpha", none, kAny, kAny});
  t.set_order({"alpha", "svdrot2"});
  std::vector<std::string> names;
  for (const FunctionSpec& e : t.entries()) names.push_back(e.name);
  EXPECT_EQ(names,
            (std::vector<std::string>{"alpha", "svdrot2", "Velmora", "msgboxd", "xlabel", "zeta"}));
}

TEST(FunctionTable, MissingInputIsNamed) {
  ValueList args{1.0};
  EXPECT_EQ(arg(args, 0, "f", "x").to_scalar(), 1.0);
  try {
    arg(args, 1, "velmorasw", "action");
    FAIL();
  } catch (const RuntimeError& e) {
    EXPECT_STREQ(e.what(),
                 "Run-time Error: File: velmorasw Line: 1 Column: 1 Input argument \"action\" "
                 "is undefined.");
  }
}

}  // namespace
}  // namespace velmora

#include "platform/runtime/cformat.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/runtime/console.hpp"

namespace velmora {
namespace {

TEST(CFormat, LineBreakEscapesAndConversions) {
  EXPECT_EQ(cformat("File: %s \\n %3.0f Specimens \\n %3.0f Landmarks", {"a.txt", 20.0, 12.0}),
            "File: a.txt \n  20 Specimens \n  12 Landmarks");
  EXPECT_EQ(cformat("Loaded Wirelist: %s \\n,with %i wires", {"w.txt", 14.0}),
            "Loaded Wirelist: w.txt \n,with 14 wires");
  EXPECT_EQ(cformat("Fell through Case, dang! \\n ", {}), "Fell through Case, dang! \n ");
  EXPECT_EQ(cformat("%i", {Value(3.5)}), "3.500000e+00");
  EXPECT_EQ(cformat("%g ", {Value::row({1.5, -0.000012, 1e8})}), "1.5 -1.2e-05 1e+08 ");
  EXPECT_EQ(cformat("%3.8g", {Value(0.072272874)}), "0.072272874");
  EXPECT_EQ(cformat("%2.4f|%2.4f", {Value(NAN), Value(INFINITY)}), "NaN|Inf");
  EXPECT_EQ(cformat("100%%", {}), "100%");
}

TEST(Console, CapturesOutputAndErrors) {
  ConsoleCapture cap;
  console().line("hello");
  console().display("n", Value(3.0));
  console().error("bad");
  EXPECT_EQ(cap.text(), "hello\nn =\n   3\n\n");
  EXPECT_EQ(cap.errors(), "bad\n");
}

}  // namespace
}  // namespace velmora

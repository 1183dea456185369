#include "gui/names.hpp"

#include <gtest/gtest.h>

#include "gui_test_support.hpp"

namespace velmora::gui {
namespace {

using testing::GuiTest;

TEST(Names, KeywordListHoldsTheSeventeenWordsInOrder) {
  const auto& k = keywords();
  ASSERT_EQ(k.size(), 17u);
  EXPECT_EQ(k.front(), "break");
  EXPECT_EQ(k[6], "end");
  EXPECT_EQ(k[12], "persistent");
  EXPECT_EQ(k.back(), "while");
  for (const auto& word : k) EXPECT_TRUE(iskeyword(Value(word))) << word;
}

TEST(Names, KeywordsAreCaseSensitiveAndOnlyText) {
  EXPECT_TRUE(iskeyword(Value("for")));
  EXPECT_FALSE(iskeyword(Value("For")));
  EXPECT_FALSE(iskeyword(Value("fo")));
  EXPECT_FALSE(iskeyword(Value("")));
  EXPECT_FALSE(iskeyword(Value(3.0)));
  EXPECT_FALSE(iskeyword(Value::cell_row({Value("for")})));
}

TEST(Names, ValidNames) {
  EXPECT_TRUE(isvarname(Value("a_1")));
  EXPECT_TRUE(isvarname(Value("FileBox")));
  EXPECT_TRUE(isvarname(Value("Weigth25")));
  EXPECT_TRUE(isvarname(Value(std::string(31, 'x'))));
  EXPECT_TRUE(isvarname(Value("For")));  // keywords are case-sensitive
}

TEST(Names, InvalidNames) {
  EXPECT_FALSE(isvarname(Value(std::string(32, 'x'))));
  EXPECT_FALSE(isvarname(Value("for")));
  EXPECT_FALSE(isvarname(Value("end")));
  EXPECT_FALSE(isvarname(Value("")));
  EXPECT_FALSE(isvarname(Value("1abc")));
  EXPECT_FALSE(isvarname(Value("_abc")));
  EXPECT_FALSE(isvarname(Value("a b")));
  EXPECT_FALSE(isvarname(Value("a-b")));
  EXPECT_FALSE(isvarname(Value("caf\xc3\xa9")));  // letters outside A–Z, a–z
  EXPECT_FALSE(isvarname(Value(1.0)));
  EXPECT_FALSE(isvarname(Value()));
  // Text is always one row; two rows of characters come as a column of texts.
  Value two_rows = Value::cell(2, 1);
  two_rows.at(0) = Value("ab");
  two_rows.at(1) = Value("cd");
  EXPECT_FALSE(isvarname(two_rows));
}

class NamesByName : public GuiTest {};

TEST_F(NamesByName, IskeywordWithoutInputListsTheKeywordsAsAColumn) {
  Value list = call("iskeyword", {}, 1).at(0);
  ASSERT_TRUE(list.is_cell());
  EXPECT_EQ(list.rows(), 17u);
  EXPECT_EQ(list.cols(), 1u);
  EXPECT_EQ(list.at(0).to_string(), "break");
  EXPECT_EQ(list.at(16).to_string(), "while");
  EXPECT_EQ(call("iskeyword", {"switch"}, 1).at(0), Value(1.0));
  EXPECT_EQ(call("iskeyword", {"Switch"}, 1).at(0), Value(0.0));
}

TEST_F(NamesByName, IsvarnameGivesZeroOrOne) {
  EXPECT_EQ(call("isvarname", {"a_1"}, 1).at(0), Value(1.0));
  EXPECT_EQ(call("isvarname", {"for"}, 1).at(0), Value(0.0));
  EXPECT_EQ(testing::error_text([&] { call("isvarname", {}, 1); }),
            "Run-time Error: File: isvarname Line: 1 Column: 1 Input argument \"s\" is undefined.");
}

}  // namespace
}  // namespace velmora::gui

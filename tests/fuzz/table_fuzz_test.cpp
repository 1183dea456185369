// Randomized, deterministic tests of the specimen table: edited tables with
// any bytes are read or refused,
// and a refusal is one line of bounded length with every control byte
// escaped, whatever it quotes.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "core/errors.hpp"
#include "fuzz_support.hpp"
#include "io/specimen_table.hpp"

namespace velmora::io::fuzz {
namespace {

using namespace std::string_view_literals;

// One line, no control byte, and short: no value is echoed whole.
void expect_plain_message(const std::string& what, const std::string& input) {
  for (unsigned char c : what)
    ASSERT_FALSE(c < 0x20 || c == 0x7f) << printable(what) << "\nfrom " << printable(input);
  EXPECT_LT(what.size(), 1500u) << printable(what.substr(0, 300));
}

TEST(TableFuzz, EditedTablesAreReadOrRefusedInOnePlainLine) {
  Random rnd(20261210);
  std::vector<std::string> names;
  std::string table = "id,grp,size,\"k\x1bind\"\n";
  for (int i = 1; i <= 12; ++i) {
    names.push_back("s" + std::to_string(i));
    table += names.back() + "," + "ab"[i % 2] + "," + std::to_string(i % 5) + ".5," +
             (i % 3 ? "\"p\nq\"" : "r") + "\n";
  }
  for (int trial = 0; trial < 1500; ++trial) {
    std::string t = table;
    mutate(rnd, t, ",\"\n\r\x1b\0 ab1."sv, trial % 2 == 0, 24);
    try {
      const SpecimenTable parsed = parse_specimen_table(t, "t\n.csv", ',', names);
      EXPECT_FALSE(parsed.columns.empty());
    } catch (const FileError& e) {
      expect_plain_message(e.what(), t);
    }
    if (::testing::Test::HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace velmora::io::fuzz

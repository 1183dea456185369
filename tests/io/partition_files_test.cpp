#include "io/partition_files.hpp"

#include <gtest/gtest.h>

#include "core/errors.hpp"

namespace velmora::io {
namespace {

TEST(PartitionFiles, LabelsInOrderOfFirstAppearance) {
  const Partition p =
      parse_partition_file("# jaw and vault\nvault\r\n2\n\"vault\"\n 2 \n\nvault\n2\n", "p.txt", 6);
  EXPECT_EQ(p.labels, (std::vector<std::string>{"vault", "2"}));
  EXPECT_EQ(p.block, (std::vector<std::size_t>{0, 1, 0, 1, 0, 1}));
}

TEST(PartitionFiles, RefusalsNameTheFileAndTheLine) {
  auto error = [](const char* text, std::size_t k) {
    try {
      parse_partition_file(text, "p.txt", k);
    } catch (const FileError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(error("a\na\na\nb\nb\nb\n", 7),
            "\"p.txt\": the file labels 6 landmarks; the sample has 7.");
  EXPECT_EQ(error("a\na\na\n", 3),
            "\"p.txt\": every landmark is in the block \"a\"; a partition needs at least two "
            "blocks.");
  EXPECT_EQ(error("a\na\nb\na\nb\nc\nc\nc\n", 8),
            "\"p.txt\" line 3: the block \"b\" has 2 landmarks; a block needs at least 3.");
  EXPECT_EQ(error("a\na b\n", 2),
            "\"p.txt\" line 2: found 2 fields; a partition line holds one block label.");
  EXPECT_EQ(error("# nothing\n\n", 2),
            "\"p.txt\": the file holds no block labels; a partition gives one label a landmark.");
}

}  // namespace
}  // namespace velmora::io

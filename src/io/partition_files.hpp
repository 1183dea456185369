#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::io {

/// Landmarks divided into blocks (modules): the labels of the blocks in the
/// order they first appear in the file, and the block of every landmark, an
/// index into `labels`.
struct Partition {
  std::vector<std::string> labels;
  std::vector<std::size_t> block;  ///< k entries, landmark i in block[i]
};

/// Reads a partition file for LoadPartition: one block label a line, line i
/// for landmark i.  A label is a word or a number (blanks around it are
/// dropped; a label in double quotes is taken without them).  Blank lines
/// and lines from '#' are skipped, as in the other definition files.
/// @param k landmarks of the sample
/// @throws FileError naming the file and the line or the value: a line of
///   more than one label, another number of labels than k, fewer than two
///   blocks, a block of fewer than 3 landmarks
Partition parse_partition_file(std::string_view text, std::string_view label, std::size_t k);
Partition load_partition_file(const std::string& path, std::size_t k);

}  // namespace velmora::io

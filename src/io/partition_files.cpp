#include "io/partition_files.hpp"

#include <map>

#include "core/errors.hpp"
#include "core/shown_text.hpp"
#include "io/semilandmark_files.hpp"
#include "io/text_matrix.hpp"

namespace velmora::io {

Partition parse_partition_file(std::string_view text, std::string_view label, std::size_t k) {
  Partition out;
  std::map<std::string, std::size_t> index;
  std::vector<std::size_t> first_line, size;
  std::size_t line_no = 0, at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    ++line_no;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::vector<std::string> f = definition_fields(line);
    if (f.empty() || f.front().rfind('#', 0) == 0) continue;
    if (f.size() != 1)
      throw FileError(in_quotes(label) + " line " + std::to_string(line_no) + ": found " +
                      std::to_string(f.size()) +
                      " fields; a partition line holds one block label.");
    auto [it, added] = index.emplace(f.front(), out.labels.size());
    if (added) {
      out.labels.push_back(f.front());
      first_line.push_back(line_no);
      size.push_back(0);
    }
    ++size[it->second];
    out.block.push_back(it->second);
  }
  if (out.block.empty())
    throw FileError(in_quotes(label) +
                    ": the file holds no block labels; a partition gives one label a landmark.");
  if (out.block.size() != k)
    throw FileError(in_quotes(label) + ": the file labels " + std::to_string(out.block.size()) +
                    " landmarks; the sample has " + std::to_string(k) + ".");
  if (out.labels.size() < 2)
    throw FileError(in_quotes(label) + ": every landmark is in the block \"" +
                    shown_text(out.labels.front()) + "\"; a partition needs at least two blocks.");
  for (std::size_t b = 0; b < out.labels.size(); ++b)
    if (size[b] < 3)
      throw FileError(in_quotes(label) + " line " + std::to_string(first_line[b]) +
                      ": the block \"" + shown_text(out.labels[b]) + "\" has " +
                      std::to_string(size[b]) + (size[b] == 1 ? " landmark" : " landmarks") +
                      "; a block needs at least 3.");
  return out;
}

Partition load_partition_file(const std::string& path, std::size_t k) {
  return parse_partition_file(definition_file_text(path), path, k);
}

}  // namespace velmora::io

#pragma once

#include <cstdint>
#include <vector>

namespace velmora::video {

/// A frame reduced to at most 256 colours.
struct IndexedFrame {
  /// R, G, B of each palette entry, 3 × (number of entries) bytes, 1 to 256
  /// entries.
  std::vector<std::uint8_t> palette;
  /// width × height palette indices, row after row.
  std::vector<std::uint8_t> indices;
};

/// The colours of a frame of width × height BGRA pixels (rows `stride`
/// bytes apart, alpha ignored) reduced to a palette of at most 256 entries
/// and each pixel's index into it.  A frame of at most 256 colours keeps
/// them exactly; a frame of more is reduced by median cut (Heckbert 1982):
/// the box of colours with the largest squared error is split at the
/// weighted median of its widest channel until there are 256 boxes, each
/// entry being its box's mean, and each colour is then given its nearest
/// entry.  The same pixels give the same palette and indices.
IndexedFrame reduce_colours(const std::uint8_t* bgra, int stride, int width, int height);

}  // namespace velmora::video

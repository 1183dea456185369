// Animated GIF (GIF89a): a looping application extension, then per frame a
// graphic control extension (delay), an image descriptor with the frame's
// own colour table and the LZW-coded indices of the frame's pixels.

#include <algorithm>
#include <cstddef>

#include "platform/video/palette.hpp"
#include "platform/video/video_backend.hpp"

namespace velmora::video {
namespace {

constexpr int kMaxCodeBits = 12;
constexpr int kMaxCodes = 1 << kMaxCodeBits;

void put_le16(std::string& out, int value) {
  out.push_back(static_cast<char>(value & 0xff));
  out.push_back(static_cast<char>((value >> 8) & 0xff));
}

/// Variable-width LZW as GIF codes it: codes of `bits` + 1 bits upwards,
/// least significant bit first, the width growing when a new code needs it
/// and the table cleared once it holds 4096 codes.
class LzwCoder {
 public:
  explicit LzwCoder(int bits) : root_bits_(bits), clear_(1 << bits), end_(clear_ + 1) {}

  /// The coded indices, cut into data sub-blocks and closed by an empty one.
  std::string code(const std::vector<std::uint8_t>& indices) {
    reset();
    put(clear_);
    int prefix = indices.empty() ? -1 : indices[0];
    for (std::size_t i = 1; i < indices.size(); ++i) {
      const int next = indices[i];
      const int found = find(prefix, next);
      if (found >= 0) {
        prefix = found;
        continue;
      }
      put(prefix);
      if (next_code_ < kMaxCodes) {
        if (next_code_ == 1 << code_bits_) ++code_bits_;
        insert(prefix, next, next_code_++);
      } else {
        put(clear_);
        reset();
      }
      prefix = next;
    }
    if (prefix >= 0) put(prefix);
    put(end_);
    if (bit_count_ > 0) data_.push_back(static_cast<char>(bit_buffer_ & 0xff));

    std::string blocks;
    for (std::size_t at = 0; at < data_.size(); at += 255) {
      const std::size_t n = std::min<std::size_t>(255, data_.size() - at);
      blocks.push_back(static_cast<char>(n));
      blocks.append(data_, at, n);
    }
    blocks.push_back('\0');
    return blocks;
  }

 private:
  // The table maps (prefix code, next index) to a code, by open addressing
  // in twice as many slots as codes.
  static constexpr std::size_t kSlots = 2 * kMaxCodes;
  struct Slot {
    std::uint32_t key = 0;
    std::int32_t code = -1;
  };

  static std::size_t slot_of(std::uint32_t key) { return (key * 2654435761u >> 19) & (kSlots - 1); }

  void reset() {
    std::fill(slots_.begin(), slots_.end(), Slot{});
    next_code_ = end_ + 1;
    code_bits_ = root_bits_ + 1;
  }

  int find(int prefix, int next) const {
    const std::uint32_t key =
        static_cast<std::uint32_t>(prefix) << 8 | static_cast<std::uint32_t>(next);
    for (std::size_t s = slot_of(key);; s = (s + 1) & (kSlots - 1)) {
      if (slots_[s].code < 0) return -1;
      if (slots_[s].key == key) return slots_[s].code;
    }
  }

  void insert(int prefix, int next, int code) {
    const std::uint32_t key =
        static_cast<std::uint32_t>(prefix) << 8 | static_cast<std::uint32_t>(next);
    std::size_t s = slot_of(key);
    while (slots_[s].code >= 0) s = (s + 1) & (kSlots - 1);
    slots_[s] = {key, code};
  }

  void put(int code) {
    bit_buffer_ |= static_cast<std::uint32_t>(code) << bit_count_;
    bit_count_ += code_bits_;
    while (bit_count_ >= 8) {
      data_.push_back(static_cast<char>(bit_buffer_ & 0xff));
      bit_buffer_ >>= 8;
      bit_count_ -= 8;
    }
  }

  const int root_bits_;
  const int clear_;
  const int end_;
  int next_code_ = 0;
  int code_bits_ = 0;
  std::vector<Slot> slots_ = std::vector<Slot>(kSlots);
  std::uint32_t bit_buffer_ = 0;
  int bit_count_ = 0;
  std::string data_;
};

class GifWriter final : public EncoderBackend {
 public:
  GifWriter(int width, int height, int frames_per_second)
      : width_(width), height_(height), fps_(frames_per_second) {
    bytes_ = "GIF89a";
    put_le16(bytes_, width);
    put_le16(bytes_, height);
    // No global colour table (each frame has its own), 8 bits per primary.
    bytes_ += std::string{'\x70', '\0', '\0'};
    // Loop forever: NETSCAPE2.0 with a repeat count of 0.
    bytes_ += std::string("\x21\xff\x0bNETSCAPE2.0\x03\x01\0\0\0", 19);
  }

  void add_frame(const std::uint8_t* bgra, int stride) override {
    const IndexedFrame frame = reduce_colours(bgra, stride, width_, height_);
    const int entries = static_cast<int>(frame.palette.size() / 3);
    int bits = 2;  // the least LZW root size GIF allows
    while (1 << bits < entries) ++bits;

    // Graphic control extension: do not dispose, no transparency.
    bytes_ += std::string("\x21\xf9\x04\x04", 4);
    put_le16(bytes_, delay_of(frames_));
    bytes_ += std::string("\0\0", 2);

    bytes_.push_back('\x2c');
    put_le16(bytes_, 0);
    put_le16(bytes_, 0);
    put_le16(bytes_, width_);
    put_le16(bytes_, height_);
    bytes_.push_back(static_cast<char>(0x80 | (bits - 1)));  // local colour table of 2^bits
    bytes_.append(reinterpret_cast<const char*>(frame.palette.data()), frame.palette.size());
    bytes_.append(3 * static_cast<std::size_t>((1 << bits) - entries), '\0');

    bytes_.push_back(static_cast<char>(bits));
    LzwCoder coder(bits);
    bytes_ += coder.code(frame.indices);
    ++frames_;
  }

  std::string finish() override {
    bytes_.push_back('\x3b');
    return std::move(bytes_);
  }

 private:
  /// Frame `i`'s delay in hundredths of a second: the rounded times of the
  /// frames' starts differenced, so the delays add up to frames / fps, and
  /// at least 2, which viewers show as written.
  int delay_of(int i) const {
    const auto start = [this](int k) { return (200 * k + fps_) / (2 * fps_); };
    return std::max(2, start(i + 1) - start(i));
  }

  int width_;
  int height_;
  int fps_;
  int frames_ = 0;
  std::string bytes_;
};

}  // namespace

std::unique_ptr<EncoderBackend> make_gif_backend(int width, int height, int frames_per_second) {
  return std::make_unique<GifWriter>(width, height, frames_per_second);
}

}  // namespace velmora::video

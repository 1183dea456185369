#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

/// Animations written as files: a sequence of rendered frames encoded into
/// an animated GIF or an H.264 MP4, in memory, so the caller writes the
/// whole file in one go with the program's safe writer.
namespace velmora::video {

/// A video could not be made: a size, frame rate or frame was refused, or
/// the encoder failed.  The text is a whole sentence for the user; for an
/// encoder failure it says what was being done and FFmpeg's reason.
struct Error : std::runtime_error {
  using std::runtime_error::runtime_error;
};

enum class Format { Gif, Mp4 };

/// The format a file name asks for by its extension (".gif", ".mp4", in any
/// case), or nullopt for any other name.
std::optional<Format> format_of(const std::string& path);

/// The smallest and largest side of a frame, in pixels, and the frame rates
/// an encoder accepts, in frames per second.
inline constexpr int kMinSide = 16;
inline constexpr int kMaxSide = 8192;
inline constexpr int kMinFramesPerSecond = 1;
inline constexpr int kMaxFramesPerSecond = 60;

/// The writer of one format behind an Encoder (video_backend.hpp).
class EncoderBackend;

/// Encodes frames of one size into the bytes of a whole file.
///
/// - Gif: GIF89a that loops forever, each frame with its own palette of at
///   most 256 colours (median cut over the frame's colours; a frame with
///   fewer colours keeps them exactly).  Frame delays are whole hundredths
///   of a second, at least two (viewers slow shorter ones down), spread so
///   the animation's length is frames / fps; above 50 fps it plays at 50.
/// - Mp4: H.264 (libx264 where FFmpeg has it, at constant quality 18,
///   preset "medium"), 4:2:0 BT.709 limited range, time base 1/fps.  4:2:0
///   needs even sides: an odd width or height is padded by repeating the
///   last column or row, so the video is one pixel wider or higher.
///
/// The same frames give the same bytes on every run.
class Encoder {
 public:
  /// @param width, height frame size in pixels, each kMinSide..kMaxSide
  /// @param frames_per_second kMinFramesPerSecond..kMaxFramesPerSecond
  /// Throws Error for a size or rate out of range, or for an Mp4 when this
  /// FFmpeg has no H.264 encoder or cannot open it.
  Encoder(Format format, int width, int height, int frames_per_second);
  ~Encoder();
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;

  /// Adds one frame: width × height pixels of 32 bits as Cairo's ARGB32
  /// stores them on a little-endian machine (bytes B, G, R, A), opaque
  /// (alpha is ignored), rows `stride` bytes apart (at least 4 × width).
  /// Throws Error for a null frame, a short stride, after finish(), or
  /// when the encoder fails; an encoder that failed refuses further calls.
  void add_frame(const std::uint8_t* bgra, int stride);

  /// Flushes the encoder and returns the file's bytes.  Throws Error when
  /// no frame was added, when called twice or when the encoder fails; no
  /// frame may be added afterwards.
  std::string finish();

  Format format() const { return format_; }
  int width() const { return width_; }
  int height() const { return height_; }
  int frames() const { return frames_; }

 private:
  enum class State { Open, Finished, Failed };

  Format format_;
  int width_;
  int height_;
  int frames_ = 0;
  State state_ = State::Open;
  std::unique_ptr<EncoderBackend> backend_;
};

}  // namespace velmora::video

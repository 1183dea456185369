#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/video/video.hpp"

namespace velmora::video {

/// The encoder of one format, behind Encoder's checks: sizes, rate, stride
/// and call order are valid when these are called.
class EncoderBackend {
 public:
  virtual ~EncoderBackend() = default;
  virtual void add_frame(const std::uint8_t* bgra, int stride) = 0;
  virtual std::string finish() = 0;
};

/// Animated GIF, written by our own GIF89a writer (gif_writer.cpp).
std::unique_ptr<EncoderBackend> make_gif_backend(int width, int height, int frames_per_second);

/// H.264 in MP4 through FFmpeg's libraries (mp4_writer.cpp).
std::unique_ptr<EncoderBackend> make_mp4_backend(int width, int height, int frames_per_second);

}  // namespace velmora::video

#include "platform/video/video.hpp"

#include <algorithm>
#include <cctype>

#include "platform/video/video_backend.hpp"

namespace velmora::video {

std::optional<Format> format_of(const std::string& path) {
  const auto dot = path.find_last_of("./\\");
  if (dot == std::string::npos || path[dot] != '.') return std::nullopt;
  std::string ext = path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (ext == "gif") return Format::Gif;
  if (ext == "mp4") return Format::Mp4;
  return std::nullopt;
}

Encoder::Encoder(Format format, int width, int height, int frames_per_second)
    : format_(format), width_(width), height_(height) {
  if (width < kMinSide || width > kMaxSide || height < kMinSide || height > kMaxSide) {
    throw Error("A video frame of " + std::to_string(width) + " x " + std::to_string(height) +
                " pixels cannot be encoded: each side must be " + std::to_string(kMinSide) +
                " to " + std::to_string(kMaxSide) + " pixels.");
  }
  if (frames_per_second < kMinFramesPerSecond || frames_per_second > kMaxFramesPerSecond) {
    throw Error("A video cannot play at " + std::to_string(frames_per_second) +
                " frames per second: the rate must be " + std::to_string(kMinFramesPerSecond) +
                " to " + std::to_string(kMaxFramesPerSecond) + ".");
  }
  backend_ = format == Format::Gif ? make_gif_backend(width, height, frames_per_second)
                                   : make_mp4_backend(width, height, frames_per_second);
}

Encoder::~Encoder() = default;

void Encoder::add_frame(const std::uint8_t* bgra, int stride) {
  if (state_ == State::Finished) {
    throw Error("A frame was added to a video that is already finished.");
  }
  if (state_ == State::Failed) {
    throw Error("The video encoder failed earlier; start the video again.");
  }
  if (bgra == nullptr)
    throw Error("Video frame " + std::to_string(frames_ + 1) + " has no pixels.");
  if (stride < 4 * width_) {
    throw Error("Video frame " + std::to_string(frames_ + 1) + " has rows " +
                std::to_string(stride) + " bytes apart, fewer than the " +
                std::to_string(4 * width_) + " bytes of " + std::to_string(width_) + " pixels.");
  }
  try {
    backend_->add_frame(bgra, stride);
  } catch (...) {
    state_ = State::Failed;
    throw;
  }
  ++frames_;
}

std::string Encoder::finish() {
  if (state_ == State::Finished) throw Error("The video is already finished.");
  if (state_ == State::Failed) {
    throw Error("The video encoder failed earlier; start the video again.");
  }
  if (frames_ == 0) throw Error("A video needs at least one frame; none was added.");
  try {
    std::string bytes = backend_->finish();
    state_ = State::Finished;
    return bytes;
  } catch (...) {
    state_ = State::Failed;
    throw;
  }
}

}  // namespace velmora::video

#include "view/animation.hpp"

#include <sys/statvfs.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/file_bytes.hpp"
#include "core/shown_text.hpp"
#include "platform/graphics/graphics.hpp"
#include "platform/print/print.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "platform/video/video.hpp"
#include "view/document.hpp"

namespace velmora::app {

using gfx::graphics;

namespace {

bool is_mean(const analysis::SurfaceWarpParams& p) {
  return p.target == analysis::SurfaceTarget::Mean;
}

}  // namespace

int largest_frame_side() {
  // A frame is printed at 96 pixels an inch, and a print is at most a metre.
  return static_cast<int>(std::floor(gfx::kLargestSideIn * 96));
}

AnimationSize animation_size(const std::string& text) {
  AnimationSize a;
  const int side = largest_frame_side();
  std::string word;
  auto take = [&] {
    if (word.empty()) return;
    int w = 0, h = 0, n = 0;
    double top = 0;
    char tail = 0;
    if (std::sscanf(word.c_str(), "%dx%d%c", &w, &h, &tail) == 2 && w >= 16 && h >= 16 &&
        w <= side && h <= side) {
      a.width = w, a.height = h;
    } else if (std::sscanf(word.c_str(), "%dfps%c", &n, &tail) == 1 && n >= 1 && n <= 60 &&
               word.size() > 3 && word.compare(word.size() - 3, 3, "fps") == 0) {
      a.fps = n;
    } else if (word == "scale=auto") {
      a.scale_top = 0;
    } else if (std::sscanf(word.c_str(), "scale=%lf%c", &top, &tail) == 1 && top > 0 &&
               top <= 1e6) {
      a.scale_top = top;
    } else if (std::sscanf(word.c_str(), "%d%c", &n, &tail) == 1 && n >= 1 && n <= 1000) {
      a.frames = n;
    } else {
      refuse("\"" + shown_text(word) +
                 "\" is neither a frame count (1 to 1000), a size in pixels (\"800x600\", 16 "
                 "to " +
                 std::to_string(side) +
                 " a side), a speed (\"12fps\", 1 to 60) nor a heat scale (\"scale=3.5\", "
                 "\"scale=auto\").",
             "Export Animation");
    }
    word.clear();
  };
  for (char c : text) {
    if (c == ',' || c == ' ')
      take();
    else
      word += c;
  }
  take();
  return a;
}

std::optional<AnimationSize> ask_animation_size(Document& doc) {
  const std::optional<AnimationSize> answer =
      graphics().backend().animation_dialog("Export Animation", doc.window.animation);
  if (!answer) return std::nullopt;
  // A dialog's answer is checked as typed words are.
  const AnimationSize checked = animation_size(answer->text());
  doc.window.animation = checked;
  return checked;
}

void check_animation_budget(const AnimationSize& a) {
  const long long pixels = static_cast<long long>(a.frames) * a.width * a.height;
  if (pixels > kMostAnimationPixels)
    refuse(std::to_string(a.frames) + " frames of " + std::to_string(a.width) + "×" +
               std::to_string(a.height) + " pixels are " + std::to_string(pixels) +
               " pixels, more than the " + std::to_string(kMostAnimationPixels) +
               " an animation may have (frames × width × height): use fewer frames or a "
               "smaller size.",
           "Export Animation");
}

std::optional<std::uintmax_t> free_bytes_in(const std::string& folder) {
  struct statvfs fs {};
  if (::statvfs(folder.empty() ? "." : folder.c_str(), &fs) != 0) return std::nullopt;
  return static_cast<std::uintmax_t>(fs.f_bavail) * fs.f_frsize;
}

std::string animation_space_refusal(std::uintmax_t frame_bytes, int frames,
                                    std::uintmax_t free_bytes, const std::string& folder) {
  const std::uintmax_t need = frame_bytes * static_cast<std::uintmax_t>(frames);
  if (need <= free_bytes) return {};
  return "The " + std::to_string(frames) + " frames would take about " + std::to_string(need) +
         " bytes (" + std::to_string(frames) + " × " + std::to_string(frame_bytes) +
         ", the size of the first), more than the " + std::to_string(free_bytes) +
         " bytes free in the folder \"" + shown_name(folder.empty() ? "." : folder) +
         "\": free some space, or use fewer or smaller frames.";
}

AnimationEnds animation_ends(Document& doc, const analysis::SurfaceWarpParams& shown) {
  const analysis::Session& a = doc.session;
  AnimationEnds e;
  e.from = e.to = shown;
  using analysis::SurfaceTarget;
  if (shown.target == SurfaceTarget::Regression || (is_mean(shown) && a.regression())) {
    analysis::SurfaceWarpParams probe = shown;
    probe.target = SurfaceTarget::Regression;
    probe.x = a.x() && a.x()->values.size() ? a.x()->values.minCoeff() : 0;
    const analysis::SurfaceWarpReport r = a.warp_surface(probe);
    e.from = e.to = probe;
    e.from.x = r.x_low;
    e.to.x = r.x_high;
  } else if (shown.target == SurfaceTarget::Group) {
    e.from.exaggeration = 0;  // the consensus
  } else {
    if (is_mean(shown)) e.from.component = e.to.component = 1;
    const double sd = shown.factor != 0 && !is_mean(shown) ? std::abs(shown.factor) : 2;
    e.from.target = e.to.target = SurfaceTarget::Component;
    e.from.factor = -sd;
    e.to.factor = sd;
  }
  const analysis::SurfaceWarpReport lo = a.warp_surface(e.from), hi = a.warp_surface(e.to);
  e.from_text = lo.description;
  e.to_text = hi.description;
  e.largest = std::max(lo.largest_displacement, hi.largest_displacement);
  return e;
}

analysis::SurfaceWarpParams frame_params(const AnimationEnds& ends, double t) {
  analysis::SurfaceWarpParams p = ends.from;
  p.x = ends.from.x + t * (ends.to.x - ends.from.x);
  p.factor = ends.from.factor + t * (ends.to.factor - ends.from.factor);
  p.exaggeration = ends.from.exaggeration + t * (ends.to.exaggeration - ends.from.exaggeration);
  return p;
}

std::vector<std::string> frame_paths(const std::string& first, int frames) {
  const auto dot = first.find_last_of('.');
  const auto slash = first.find_last_of('/');
  const bool has_ext = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string stem = has_ext ? first.substr(0, dot) : first;
  const std::string ext = has_ext ? first.substr(dot) : ".png";
  const int digits = std::max(3, static_cast<int>(std::to_string(frames).size()));
  std::vector<std::string> out;
  for (int i = 1; i <= frames; ++i) {
    std::string n = std::to_string(i);
    out.push_back(stem + "_" + std::string(static_cast<std::size_t>(digits) - n.size(), '0') + n +
                  ext);
  }
  return out;
}

namespace {

// The print options of a frame: the animation's size at 96 pixels an inch,
// without controls.  A frame is the window at another size: its texts stay.
std::vector<std::string> frame_options(const AnimationSize& size) {
  char dims[64];
  std::snprintf(dims, sizeof dims, "-s%.6gx%.6gin", size.width / 96.0, size.height / 96.0);
  return {"-dpng", dims, "-r96", "-t0", "-noui"};
}

}  // namespace

std::string frame_png(gfx::Handle fig, const AnimationSize& size) {
  return gfx::figure_png(graphics(), fig, frame_options(size));
}

AnimationFile animation_file(const std::string& name) {
  const auto dot = name.find_last_of('.');
  const std::string ext = dot == std::string::npos ? "" : lower_text(name.substr(dot + 1));
  if (ext == "png") return AnimationFile::Frames;
  if (ext == "gif") return AnimationFile::Gif;
  if (ext == "mp4") return AnimationFile::Mp4;
  refuse("\"" + shown_name(name) +
             "\": end the name with .png (one picture a frame), .gif (an animated GIF) or .mp4 "
             "(an H.264 video).",
         "Export Animation");
}

std::string animation_video(gfx::Handle fig, const AnimationSize& size, AnimationFile kind,
                            const std::function<void(std::size_t)>& draw) {
  const std::vector<std::string> options = frame_options(size);
  try {
    std::optional<video::Encoder> encoder;
    for (std::size_t i = 0; i < static_cast<std::size_t>(size.frames); ++i) {
      draw(i);
      const render::Image image = gfx::figure_image(graphics(), fig, options);
      // The encoder takes the size the renderer gives (a pixel more or less
      // from rounding the figure's size).
      if (!encoder)
        encoder.emplace(kind == AnimationFile::Gif ? video::Format::Gif : video::Format::Mp4,
                        image.width, image.height, size.fps);
      encoder->add_frame(image.bytes.data(), image.stride);
    }
    return encoder->finish();
  } catch (const video::Error& e) {
    refuse(e.what(), "Export Animation");
  }
}

}  // namespace velmora::app

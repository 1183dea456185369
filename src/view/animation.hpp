#pragma once

// An animation of the surface shown: its settings, its ends and frames, and
// the files it is written to (PNG frames, a GIF or an MP4 video).
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/surface.hpp"
#include "platform/graphics/backend.hpp"

namespace velmora::app {

struct Document;

/// The frames of an animation: count, size in pixels, speed and heat scale.
using AnimationSize = gfx::AnimationSettings;
/// The most pixels of all frames of an animation together.
inline constexpr long long kMostAnimationPixels = 2'000'000'000;
/// The largest side of a frame in pixels: the largest print (a metre) at
/// the frames' 96 pixels an inch.
int largest_frame_side();
/// Reads words apart by commas or blanks, each one of: a frame count
/// ("36", 1 to 1000), a size in pixels ("1280x720"), a speed ("24fps", 1 to
/// 60 frames a second) or the heat scale's top ("scale=3.5", or
/// "scale=auto" for the display's); what is left out is 24 frames of
/// 800×600 at 12 a second on the display's scale.
/// @throws DataRefusal naming the word that is wrong
AnimationSize animation_size(const std::string& text);
/// The settings of an Export Animation without words: asked in a dialog
/// that starts from the last ones (the start itself without a dialog), and
/// kept for the next; nullopt when the user cancelled.
std::optional<AnimationSize> ask_animation_size(Document& doc);
/// @throws DataRefusal naming the count of pixels when frames × width ×
///   height passes kMostAnimationPixels
void check_animation_budget(const AnimationSize& size);
/// The bytes the user may still write in `folder` ("" for the working
/// folder), or nullopt when the system does not say.
std::optional<std::uintmax_t> free_bytes_in(const std::string& folder);
/// Why `frames` frames of about `frame_bytes` bytes each (the size of the
/// first) do not fit in the `free_bytes` free in `folder`, or "".
std::string animation_space_refusal(std::uintmax_t frame_bytes, int frames,
                                    std::uintmax_t free_bytes, const std::string& folder);

/// What an animation morphs between: the regression from the smallest to
/// the largest X, a component from −SD to +SD, or the mean shape to a
/// group's mean.
struct AnimationEnds {
  analysis::SurfaceWarpParams from, to;
  std::string from_text, to_text;
  double largest = 0;  ///< the larger of the two ends' largest displacements
};
/// The ends for the target shown: a regression target or the mean with a
/// regression morphs over the observed X; a component target over ±its SD
/// (2 SD when 0); a group target from the mean shape (no change) to the
/// group's mean; the mean without a regression along PC 1 at ±2 SD.
AnimationEnds animation_ends(Document& doc, const analysis::SurfaceWarpParams& shown);
/// The target a fraction `t` of the way from `from` to `to`.
analysis::SurfaceWarpParams frame_params(const AnimationEnds& ends, double t);

/// The frames' file names: "name.png" gives "name_001.png" … (as many
/// digits as the count needs, at least 3).
std::vector<std::string> frame_paths(const std::string& first, int frames);

/// Figure `fig` as a PNG of the animation's size, without controls.
std::string frame_png(gfx::Handle fig, const AnimationSize& size);

/// What a file name asks an animation to be, by its extension: PNG frames
/// (".png"), an animated GIF or an H.264 MP4 video.
enum class AnimationFile { Frames, Gif, Mp4 };
/// @throws DataRefusal for any other extension
AnimationFile animation_file(const std::string& name);

/// The GIF or MP4 file of `size.frames` frames of figure `fig`, as bytes:
/// `draw(i)` draws frame i (from 0) into the figure, which is then rendered
/// at the animation's size and encoded.
/// @throws DataRefusal when the encoder refuses or fails (its reason)
std::string animation_video(gfx::Handle fig, const AnimationSize& size, AnimationFile kind,
                            const std::function<void(std::size_t)>& draw);

}  // namespace velmora::app

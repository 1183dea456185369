#include "platform/video/palette.hpp"

#include <algorithm>
#include <array>
#include <cstddef>

namespace velmora::video {
namespace {

constexpr std::size_t kMaxColours = 256;

/// A colour as 0xRRGGBB and the number of pixels that have it.
struct Colour {
  std::uint32_t rgb;
  std::uint32_t count;
};

int channel(std::uint32_t rgb, int c) {
  return static_cast<int>((rgb >> (16 - 8 * c)) & 0xff);
}

/// A range of the colour list with the sums its statistics need.
struct Box {
  std::size_t begin;
  std::size_t end;
  double count = 0;
  std::array<double, 3> sum{};
  std::array<double, 3> squares{};

  double variance_sum(int c) const { return squares[c] - sum[c] * sum[c] / count; }
  double error() const { return variance_sum(0) + variance_sum(1) + variance_sum(2); }
  bool splittable() const { return end - begin > 1; }
};

Box make_box(const std::vector<Colour>& colours, std::size_t begin, std::size_t end) {
  Box box{begin, end};
  for (std::size_t i = begin; i < end; ++i) {
    const double n = colours[i].count;
    box.count += n;
    for (int c = 0; c < 3; ++c) {
      const double v = channel(colours[i].rgb, c);
      box.sum[c] += n * v;
      box.squares[c] += n * v * v;
    }
  }
  return box;
}

/// Splits `box` at the weighted median of its channel of largest variance.
std::pair<Box, Box> split(std::vector<Colour>& colours, const Box& box) {
  int widest = 0;
  for (int c = 1; c < 3; ++c) {
    if (box.variance_sum(c) > box.variance_sum(widest)) widest = c;
  }
  const auto first = colours.begin() + static_cast<std::ptrdiff_t>(box.begin);
  const auto last = colours.begin() + static_cast<std::ptrdiff_t>(box.end);
  // Ties broken by the whole colour, so the order (and the palette) does
  // not depend on the sort's choices.
  std::sort(first, last, [widest](const Colour& a, const Colour& b) {
    const int ca = channel(a.rgb, widest);
    const int cb = channel(b.rgb, widest);
    return ca != cb ? ca < cb : a.rgb < b.rgb;
  });
  double below = 0;
  std::size_t cut = box.begin + 1;
  for (std::size_t i = box.begin; i + 1 < box.end; ++i) {
    below += colours[i].count;
    cut = i + 1;
    if (2 * below >= box.count) break;
  }
  return {make_box(colours, box.begin, cut), make_box(colours, cut, box.end)};
}

std::vector<std::uint8_t> median_cut(std::vector<Colour> colours) {
  std::vector<Box> boxes{make_box(colours, 0, colours.size())};
  while (boxes.size() < kMaxColours) {
    auto worst = boxes.end();
    for (auto it = boxes.begin(); it != boxes.end(); ++it) {
      if (it->splittable() && (worst == boxes.end() || it->error() > worst->error())) worst = it;
    }
    if (worst == boxes.end()) break;
    auto [low, high] = split(colours, *worst);
    *worst = low;
    boxes.push_back(high);
  }
  std::vector<std::uint8_t> palette;
  palette.reserve(3 * boxes.size());
  for (const Box& box : boxes) {
    for (int c = 0; c < 3; ++c) {
      palette.push_back(
          static_cast<std::uint8_t>(std::clamp(box.sum[c] / box.count + 0.5, 0.0, 255.0)));
    }
  }
  return palette;
}

std::uint8_t nearest_entry(const std::vector<std::uint8_t>& palette, std::uint32_t rgb) {
  const int r = channel(rgb, 0);
  const int g = channel(rgb, 1);
  const int b = channel(rgb, 2);
  int best = 0;
  int best_distance = 1 << 30;
  for (std::size_t e = 0; 3 * e < palette.size(); ++e) {
    const int dr = palette[3 * e] - r;
    const int dg = palette[3 * e + 1] - g;
    const int db = palette[3 * e + 2] - b;
    const int distance = dr * dr + dg * dg + db * db;
    if (distance < best_distance) {
      best_distance = distance;
      best = static_cast<int>(e);
    }
  }
  return static_cast<std::uint8_t>(best);
}

}  // namespace

IndexedFrame reduce_colours(const std::uint8_t* bgra, int stride, int width, int height) {
  const std::size_t w = static_cast<std::size_t>(width);
  const std::size_t h = static_cast<std::size_t>(height);
  std::vector<std::uint32_t> pixels(w * h);
  for (std::size_t y = 0; y < h; ++y) {
    const std::uint8_t* row = bgra + y * static_cast<std::size_t>(stride);
    for (std::size_t x = 0; x < w; ++x) {
      const std::uint8_t* p = row + 4 * x;
      pixels[y * w + x] = std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
    }
  }

  std::vector<std::uint32_t> distinct = pixels;
  std::sort(distinct.begin(), distinct.end());
  std::vector<Colour> colours;
  for (std::uint32_t rgb : distinct) {
    if (colours.empty() || colours.back().rgb != rgb) {
      colours.push_back({rgb, 1});
    } else {
      ++colours.back().count;
    }
  }
  distinct.resize(colours.size());
  for (std::size_t i = 0; i < colours.size(); ++i) distinct[i] = colours[i].rgb;

  IndexedFrame frame;
  std::vector<std::uint8_t> entry_of(colours.size());
  if (colours.size() <= kMaxColours) {
    for (std::size_t i = 0; i < colours.size(); ++i) {
      for (int c = 0; c < 3; ++c) {
        frame.palette.push_back(static_cast<std::uint8_t>(channel(colours[i].rgb, c)));
      }
      entry_of[i] = static_cast<std::uint8_t>(i);
    }
  } else {
    frame.palette = median_cut(colours);
    for (std::size_t i = 0; i < colours.size(); ++i) {
      entry_of[i] = nearest_entry(frame.palette, distinct[i]);
    }
  }

  frame.indices.resize(w * h);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    const auto at = std::lower_bound(distinct.begin(), distinct.end(), pixels[i]);
    frame.indices[i] = entry_of[static_cast<std::size_t>(at - distinct.begin())];
  }
  return frame;
}

}  // namespace velmora::video

#pragma once

// What the randomized reader tests share: a seeded generator, small random
// edits of a text, and a printable form of a failing case.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::io::fuzz {

class Random {
 public:
  explicit Random(std::uint64_t seed) : rng_(seed) {}
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(rng_() % n); }
  bool chance(std::size_t one_in) { return below(one_in) == 0; }
  double uniform(double lo, double hi) {
    return lo + (hi - lo) * static_cast<double>(rng_() >> 11) * 0x1.0p-53;
  }
  template <class T>
  const T& pick(const std::vector<T>& v) {
    return v[below(v.size())];
  }

 private:
  std::mt19937_64 rng_;
};

/// One to four edits of `text`: a byte replaced, inserted or erased, the text
/// cut, or a run of up to `longest_copy` bytes repeated.  New bytes come from
/// `alphabet`, or are any byte when `any_byte`.
inline void mutate(Random& rnd, std::string& text, std::string_view alphabet, bool any_byte,
                   std::size_t longest_copy) {
  auto byte = [&] {
    return any_byte ? static_cast<char>(rnd.below(256)) : alphabet[rnd.below(alphabet.size())];
  };
  const std::size_t edits = 1 + rnd.below(4);
  for (std::size_t e = 0; e < edits; ++e) {
    const std::size_t at = text.empty() ? 0 : rnd.below(text.size());
    switch (rnd.below(5)) {
      case 0:
        if (!text.empty()) text[at] = byte();
        break;
      case 1:
        text.insert(text.begin() + static_cast<std::ptrdiff_t>(at), byte());
        break;
      case 2:
        if (!text.empty()) text.erase(at, 1 + rnd.below(3));
        break;
      case 3:
        text.resize(at);
        break;
      default: {
        std::size_t n = std::min<std::size_t>(1 + rnd.below(longest_copy), text.size() - at);
        text.insert(at, text.substr(at, n));
      }
    }
  }
}

/// The text with line ends, tabs and other control bytes written as escapes.
inline std::string printable(const std::string& text) {
  std::string s;
  for (unsigned char c : text) {
    if (c == '\n') {
      s += "\\n";
    } else if (c == '\r') {
      s += "\\r";
    } else if (c == '\t') {
      s += "\\t";
    } else if (c < 0x20 || c >= 0x7f) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      s += buf;
    } else {
      s += static_cast<char>(c);
    }
  }
  return s;
}

}  // namespace velmora::io::fuzz

// Randomized, deterministic test of the landmark importers.  Every case is
// made from a fixed seed, so a failure repeats exactly; the case number and
// the text are printed with it.
//
// Each format's well-formed files (random samples, names, separators, line
// ends, comments) must read back exactly; the same files with small edits,
// drawn from the characters the format is made of or from any byte, must
// either give a sample that keeps every promise or a FileError naming the
// file.  No other exception, no crash.

#include <gtest/gtest.h>

#include <Eigen/Core>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "core/errors.hpp"
#include "fuzz/fuzz_support.hpp"
#include "io/landmark_import.hpp"

namespace velmora::io {
namespace {

using fuzz::printable;
using fuzz::Random;

struct Case {
  std::string label;  // the file name: its extension chooses the reader
  std::string text;
  std::size_t n = 0, k = 0;
  std::vector<double> coords;  // row-major n×3k
  std::vector<std::string> names;
};

std::string num(double x) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", x);
  return buf;
}

double coord(const Case& c, std::size_t i, std::size_t j, std::size_t d) {
  return c.coords[3 * c.k * i + 3 * j + d];
}

/// A random sample written in one of the formats.
Case well_formed(Random& rnd) {
  Case c;
  c.n = 1 + rnd.below(6);
  c.k = 3 + rnd.below(5);
  for (std::size_t i = 0; i < c.n * 3 * c.k; ++i)
    c.coords.push_back(rnd.uniform(-1, 1) * std::pow(10.0, rnd.uniform(-3, 4)));
  for (std::size_t i = 0; i < c.n; ++i) c.names.push_back("s" + std::to_string(rnd.below(1000)));
  const std::string nl = rnd.pick(std::vector<std::string>{"\n", "\r\n", "\r"});
  const std::string blank = rnd.pick(std::vector<std::string>{" ", "\t", "  "});
  std::string& t = c.text;
  switch (rnd.below(7)) {
    case 0:
      c.label = "fuzz.tps";
      for (std::size_t i = 0; i < c.n; ++i) {
        t += "LM3=" + std::to_string(c.k) + nl;
        for (std::size_t j = 0; j < c.k; ++j)
          t += num(coord(c, i, j, 0)) + blank + num(coord(c, i, j, 1)) + blank +
               num(coord(c, i, j, 2)) + nl;
        t += "ID=" + c.names[i] + nl + (rnd.chance(2) ? "IMAGE=x.jpg" + nl : "") + nl;
      }
      break;
    case 1:
      c.label = "fuzz.nts";
      t = "\" comment" + nl + "1 " + std::to_string(c.n) + "L " + std::to_string(3 * c.k) +
          " 0 dim=3" + nl;
      for (const std::string& name : c.names) t += name + blank;
      t += nl;
      for (std::size_t i = 0; i < c.n; ++i) {
        for (std::size_t q = 0; q < 3 * c.k; ++q) t += num(c.coords[3 * c.k * i + q]) + blank;
        t += nl;
      }
      break;
    case 2:
      c.label = "fuzz.txt";
      t = "[individuals]" + nl + std::to_string(c.n) + nl + "[landmarks]" + nl +
          std::to_string(c.k) + nl + "[dimensions]" + nl + "3" + nl + "[names]" + nl;
      for (const std::string& name : c.names) t += name + nl;
      t += "[rawpoints]" + nl;
      for (std::size_t i = 0; i < c.n; ++i) {
        t += "'#" + std::to_string(i + 1) + nl;
        for (std::size_t j = 0; j < c.k; ++j)
          t += num(coord(c, i, j, 0)) + blank + num(coord(c, i, j, 1)) + blank +
               num(coord(c, i, j, 2)) + nl;
      }
      break;
    case 3:
    case 4: {
      const bool tsv = rnd.chance(2);
      const std::string sep = tsv ? "\t" : ",";
      c.label = tsv ? "fuzz.tsv" : "fuzz.csv";
      t = "id";
      for (std::size_t j = 1; j <= c.k; ++j)
        t += sep + "x" + std::to_string(j) + sep + "y" + std::to_string(j) + sep + "z" +
             std::to_string(j);
      t += nl;
      for (std::size_t i = 0; i < c.n; ++i) {
        t += rnd.chance(2) ? "\"" + c.names[i] + "\"" : c.names[i];
        for (std::size_t q = 0; q < 3 * c.k; ++q) t += sep + num(c.coords[3 * c.k * i + q]);
        t += nl;
      }
      break;
    }
    case 5:
      c.label = "fuzz.fcsv";
      c.n = 1;
      c.coords.resize(3 * c.k);
      c.names = {"fuzz"};
      t = "# Markups fiducial file version = 4.11" + nl + "# columns = id,x,y,z,label" + nl;
      for (std::size_t j = 0; j < c.k; ++j)
        t += std::to_string(j) + "," + num(coord(c, 0, j, 0)) + "," + num(coord(c, 0, j, 1)) + "," +
             num(coord(c, 0, j, 2)) + ",F-" + std::to_string(j) + nl;
      break;
    default:
      c.label = "fuzz.mrk.json";
      c.n = 1;
      c.coords.resize(3 * c.k);
      c.names = {"fuzz"};
      t = "{\"markups\": [{\"type\": \"Fiducial\", \"controlPoints\": [" + nl;
      for (std::size_t j = 0; j < c.k; ++j)
        t += std::string(j ? "," : "") + "{\"label\": \"F-" + std::to_string(j) +
             "\", \"position\": [" + num(coord(c, 0, j, 0)) + ", " + num(coord(c, 0, j, 1)) + ", " +
             num(coord(c, 0, j, 2)) + "]}" + nl;
      t += "]}]}" + nl;
      break;
  }
  return c;
}

void mutate(Random& rnd, std::string& text, bool any_byte) {
  fuzz::mutate(rnd, text, "0123456789.eE+- \t,;\r\n\n\"'[]{}:=#LMIDN3", any_byte, 20);
}

/// The promises of an accepted sample: 3k+1 finite columns with k ≥ 2, a
/// name for every specimen, and the last column the centroid size of the
/// coordinates.
void check_sample(const ImportedSample& s) {
  ASSERT_GE(s.rows.rows(), 1);
  ASSERT_EQ(s.rows.cols() % 3, 1);
  ASSERT_GE(s.rows.cols(), 7);
  ASSERT_EQ(static_cast<Eigen::Index>(s.names.size()), s.rows.rows());
  ASSERT_TRUE(s.rows.allFinite());
  const Eigen::Index k = s.rows.cols() / 3;
  for (Eigen::Index i = 0; i < s.rows.rows(); ++i) {
    Eigen::MatrixX3d x(k, 3);
    for (Eigen::Index j = 0; j < k; ++j)
      for (int d = 0; d < 3; ++d) x(j, d) = s.rows(i, 3 * j + d);
    const double cs = (x.rowwise() - x.colwise().mean()).norm();
    ASSERT_NEAR(s.rows(i, 3 * k), cs, 1e-12 * cs + 1e-300);
    ASSERT_GT(cs, 0.0);
  }
  for (const SpecimenLabel& label : s.labels) {
    ASSERT_EQ(label.values.size(), label.numeric() ? s.rows.rows() : 0) << label.name;
    ASSERT_TRUE(!label.numeric() || label.values.allFinite()) << label.name;
  }
}

/// Reads `text`; an accepted sample keeps its promises, a refusal names the
/// file.  Returns whether it was accepted.
bool read_checked(const std::string& text, const std::string& label) {
  try {
    const ImportedSample s = import_landmark_text(text, label);
    check_sample(s);
    return true;
  } catch (const FileError& e) {
    const std::string prefix = "\"" + label + "\"";
    EXPECT_EQ(std::string(e.what()).rfind(prefix, 0), 0u) << e.what();
    return false;
  }
}

TEST(ImportFuzz, WellFormedFilesReadExactly) {
  Random rnd(0x1a9d0001);
  for (int n = 0; n < 2000; ++n) {
    const Case c = well_formed(rnd);
    SCOPED_TRACE("case " + std::to_string(n) + " " + c.label + ": " + printable(c.text));
    const ImportedSample s = import_landmark_text(c.text, c.label);
    check_sample(s);
    ASSERT_EQ(s.rows.rows(), static_cast<Eigen::Index>(c.n));
    ASSERT_EQ(s.rows.cols(), static_cast<Eigen::Index>(3 * c.k + 1));
    for (std::size_t i = 0; i < c.n; ++i)
      for (std::size_t q = 0; q < 3 * c.k; ++q)
        ASSERT_EQ(s.rows(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(q)),
                  c.coords[3 * c.k * i + q]);
    ASSERT_EQ(s.names, c.names);
  }
}

TEST(ImportFuzz, EditedFilesKeepThePromisesOrAreRefused) {
  Random rnd(0x1a9d0002);
  int accepted = 0, refused = 0;
  for (int n = 0; n < 12000; ++n) {
    Case c = well_formed(rnd);
    mutate(rnd, c.text, rnd.chance(3));
    SCOPED_TRACE("case " + std::to_string(n) + " " + c.label + ": " + printable(c.text));
    ++(read_checked(c.text, c.label) ? accepted : refused);
    // The same bytes read by content rather than by extension.
    read_checked(c.text, "fuzz.dat");
    if (HasFatalFailure()) return;
  }
  // Both roads must be well travelled for the test to mean much.
  EXPECT_GT(accepted, 1000);
  EXPECT_GT(refused, 1000);
}

}  // namespace
}  // namespace velmora::io

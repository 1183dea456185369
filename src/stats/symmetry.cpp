#include "stats/symmetry.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <limits>
#include <thread>
#include <utility>

#include "core/errors.hpp"
#include "core/number_text.hpp"
#include "core/shown_text.hpp"
#include "core/tolerances.hpp"
#include "shape/distance.hpp"
#include "stats/distributions.hpp"
#include "stats/procrustes_anova.hpp"

namespace velmora::stats {

namespace {

using RowMatrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;

// An error SS below this share of the total (a Df) is roundoff: the sides
// agree exactly and F is not formed.
constexpr double kRoundoffShare = kCoincidentTolerance * kCoincidentTolerance;
// The copies of the residuals may hold at most this many numbers.
constexpr double kMaxCells = 1 << 28;
// Randomizations of at least this many additions use a second thread.
constexpr double kParallelWork = 50e6;

/// The design of the cells individual × side: counts and the weights that
/// make the side and interaction SS functions of the cells' means.
struct Cells {
  Eigen::Index individuals = 0, rows = 0;
  std::vector<Eigen::Index> cell;                  // each row's cell, 2·individual + side
  std::vector<std::vector<Eigen::Index>> members;  // rows of each cell
  Eigen::VectorXd count;                           // rows in each cell
  Eigen::VectorXd weight;                          // n_L·n_R/(n_L + n_R), one an individual
  double weight_sum = 0;
};

Cells cells_of(const SymmetryFit& fit) {
  Cells c;
  c.individuals = static_cast<Eigen::Index>(fit.individuals.size());
  c.rows = fit.tangent.rows();
  if (static_cast<Eigen::Index>(fit.individual.size()) != c.rows ||
      static_cast<Eigen::Index>(fit.side.size()) != c.rows)
    throw NumericError("The symmetry fit labels " + std::to_string(fit.individual.size()) +
                       " rows by individual and " + std::to_string(fit.side.size()) +
                       " by side, but holds " + std::to_string(c.rows) + ".");
  for (Eigen::Index r = 0; r < c.rows; ++r) {
    const auto i = fit.individual[static_cast<std::size_t>(r)];
    const int s = fit.side[static_cast<std::size_t>(r)];
    if (i < 0 || i >= c.individuals || (s != 0 && s != 1))
      throw NumericError("Row " + std::to_string(r + 1) +
                         " of the symmetry fit has no individual or side.");
  }
  c.members.resize(static_cast<std::size_t>(2 * c.individuals));
  c.count = Eigen::VectorXd::Zero(2 * c.individuals);
  for (Eigen::Index r = 0; r < c.rows; ++r) {
    const Eigen::Index cell =
        2 * fit.individual[static_cast<std::size_t>(r)] + fit.side[static_cast<std::size_t>(r)];
    c.cell.push_back(cell);
    c.members[static_cast<std::size_t>(cell)].push_back(r);
    c.count(cell) += 1;
  }
  for (Eigen::Index cell = 0; cell < 2 * c.individuals; ++cell)
    if (c.count(cell) == 0)
      throw NumericError("The individual \"" +
                         shown_text(fit.individuals[static_cast<std::size_t>(cell / 2)]) +
                         "\" has no configuration of one side.");
  c.weight.resize(c.individuals);
  for (Eigen::Index i = 0; i < c.individuals; ++i) {
    const double a = c.count(2 * i), b = c.count(2 * i + 1);
    c.weight(i) = a * b / (a + b);
  }
  c.weight_sum = c.weight.sum();
  return c;
}

// The randomization takes at most this many columns together, in blocks
// of a multiple of kWidthStep columns: a block's sums stay in the first
// cache, and the bookkeeping of the cells is shared by as many columns as
// possible.
constexpr int kMaxWidth = 128;
constexpr int kWidthStep = 8;

/// The residuals each tested term is randomized with, and the cells, laid
/// out for the randomization: the m columns in blocks of equal width (the
/// last padded with zeros, which add nothing to any SS), block h of a
/// rows×m matrix rows×width numbers, row after row, from h·rows·width.
struct Randomization {
  Eigen::Index rows = 0, individuals = 0, blocks = 0, width = 0;
  std::vector<double> centred;               // Y − ȳ: the residuals of the intercept
  std::vector<double> within;                // Y − individual means: the residuals of individual
  std::vector<double> b;                     // the side effect s̃ᵀY/‖s̃‖², blocks·width
  Eigen::VectorXd contrast;                  // s̃: side − its mean within the individual
  std::vector<Eigen::Index> members, start;  // rows of cell c: members[start[c] … start[c+1])
  Eigen::VectorXd inverse_count, weight;     // 1/n_c; n_L·n_R/(n_L + n_R) an individual
  double weight_sum = 0, additive_resid_ss = 0;
  double df[4] = {0, 0, 0, 0};  // individual, side, interaction, error
  bool test[3] = {false, false, false};
};

std::vector<double> blocked(const RowMatrix& x, Eigen::Index blocks, Eigen::Index width) {
  const Eigen::Index rows = x.rows(), m = x.cols();
  std::vector<double> out(static_cast<std::size_t>(blocks * rows * width), 0.0);
  for (Eigen::Index r = 0; r < rows; ++r)
    for (Eigen::Index j = 0; j < m; ++j)
      out[static_cast<std::size_t>((j / width) * rows * width + r * width + j % width)] = x(r, j);
  return out;
}

// What one ordering gives, summed over the column blocks.  With S_c the
// permuted sum of cell c, a = S_R/n_R − S_L/n_L and w = n_L·n_R/(n_L + n_R)
// an individual: individual SS = Σ‖S_L + S_R‖²/(n_L + n_R), side SS =
// ‖Σ w·a‖²/Σ w, interaction SS = Σ w·‖a‖² − side SS, and the SS of the cell
// means Σ‖S_c‖²/n_c.  Of the intercept's residuals (c), the individual's (w)
// and the additive model's (s, the individual's less s̃·bᵀ).
enum Total { kIndC, kWa2C, kAccC, kWa2W, kAccW, kWa2S, kAccS, kCellsS, kTotals };

/// Adds column block h of ordering `order` to `totals`, for blocks of
/// `width` columns.
template <int width>
[[gnu::always_inline]] inline void add_block(const Randomization& z, Eigen::Index h,
                                             const int* order, double* totals) {
  const std::size_t offset = static_cast<std::size_t>(h * z.rows * width);
  const double* c = z.centred.data() + offset;
  const double* wd = z.within.data() + offset;
  const double* b = z.b.data() + h * width;
  const bool use_c = z.test[0], use_w = z.test[1] || z.test[2], use_s = z.test[2];
  // One sum a lane, so that the loops over the lanes run as vectors.
  double acc_c[kMaxWidth] = {}, acc_w[kMaxWidth] = {}, acc_s[kMaxWidth] = {};
  double ind_c[kMaxWidth] = {}, wa2_c[kMaxWidth] = {}, wa2_w[kMaxWidth] = {}, wa2_s[kMaxWidth] = {},
         cells_s[kMaxWidth] = {};
  for (Eigen::Index i = 0; i < z.individuals; ++i) {
    double cs[2][width] = {}, ws[2][width] = {}, g[2] = {0, 0};
    for (int side = 0; side < 2; ++side) {
      const Eigen::Index cell = 2 * i + side;
      for (Eigen::Index k = z.start[cell]; k < z.start[cell + 1]; ++k) {
        const Eigen::Index from = order[z.members[static_cast<std::size_t>(k)]];
        if (use_c) {
          const double* row = c + from * width;
          for (int j = 0; j < width; ++j) cs[side][j] += row[j];
        }
        if (use_w) {
          const double* row = wd + from * width;
          for (int j = 0; j < width; ++j) ws[side][j] += row[j];
        }
        if (use_s) g[side] += z.contrast(from);
      }
    }
    const double il = z.inverse_count(2 * i), ir = z.inverse_count(2 * i + 1);
    const double w = z.weight(i), in = 1 / (1 / il + 1 / ir);
    if (use_c) {
      for (int j = 0; j < width; ++j) {
        const double u = cs[0][j] + cs[1][j], a = cs[1][j] * ir - cs[0][j] * il;
        ind_c[j] += u * u * in;
        wa2_c[j] += w * a * a;
        acc_c[j] += w * a;
      }
    }
    if (use_w) {
      for (int j = 0; j < width; ++j) {
        const double a = ws[1][j] * ir - ws[0][j] * il;
        wa2_w[j] += w * a * a;
        acc_w[j] += w * a;
      }
    }
    if (use_s) {
      for (int j = 0; j < width; ++j) {
        const double l = ws[0][j] - g[0] * b[j], r = ws[1][j] - g[1] * b[j];
        const double a = r * ir - l * il;
        wa2_s[j] += w * a * a;
        acc_s[j] += w * a;
        cells_s[j] += l * l * il + r * r * ir;
      }
    }
  }
  for (int j = 0; j < width; ++j) {
    totals[kIndC] += ind_c[j];
    totals[kWa2C] += wa2_c[j];
    totals[kAccC] += acc_c[j] * acc_c[j];
    totals[kWa2W] += wa2_w[j];
    totals[kAccW] += acc_w[j] * acc_w[j];
    totals[kWa2S] += wa2_s[j];
    totals[kAccS] += acc_s[j] * acc_s[j];
    totals[kCellsS] += cells_s[j];
  }
}

using AddBlock = void (*)(const Randomization&, Eigen::Index, const int*, double*);

template <int width>
void add_block_plain(const Randomization& z, Eigen::Index h, const int* order, double* totals) {
  add_block<width>(z, h, order, totals);
}

#if defined(__x86_64__)
// The same loops in four-wide vectors: each lane's sums are added in the
// same order, so the two give the same numbers.
template <int width>
__attribute__((target("avx2"))) void add_block_avx2(const Randomization& z, Eigen::Index h,
                                                    const int* order, double* totals) {
  add_block<width>(z, h, order, totals);
}

bool has_avx2() {
  static const bool yes = __builtin_cpu_supports("avx2");
  return yes;
}
#endif

template <int... k>
constexpr std::array<AddBlock, sizeof...(k)> plain_kernels(std::integer_sequence<int, k...>) {
  return {&add_block_plain<kWidthStep*(k + 1)>...};
}

#if defined(__x86_64__)
template <int... k>
constexpr std::array<AddBlock, sizeof...(k)> avx2_kernels(std::integer_sequence<int, k...>) {
  return {&add_block_avx2<kWidthStep*(k + 1)>...};
}
#endif

AddBlock block_kernel(Eigen::Index width) {
  constexpr auto widths = std::make_integer_sequence<int, kMaxWidth / kWidthStep>();
  const auto at = static_cast<std::size_t>(width / kWidthStep - 1);
#if defined(__x86_64__)
  static constexpr auto avx2 = avx2_kernels(widths);
  if (has_avx2()) return avx2[at];
#endif
  static constexpr auto plain = plain_kernels(widths);
  return plain[at];
}

/// F of the tested terms for the orderings in columns [from, to): every
/// column block for each ordering in turn, so that a block is read from the
/// cache by all of them.
/// `progress` (on the calling thread only) hears of each block done, and
/// a refusal stops both threads through `stop`.
void randomize(const Randomization& z, const Eigen::MatrixXi& orderings, int from, int to,
               std::vector<Eigen::VectorXd>& log_f, std::atomic<bool>& stop,
               const PermutationProgress* progress) {
  if (from >= to) return;
  std::vector<double> totals(static_cast<std::size_t>((to - from) * kTotals), 0.0);
  const AddBlock add_block = block_kernel(z.width);
  for (Eigen::Index h = 0; h < z.blocks; ++h) {
    if (stop) return;
    for (int b = from; b < to; ++b)
      add_block(z, h, orderings.col(b).data(), totals.data() + (b - from) * kTotals);
    if (progress && *progress &&
        !(*progress)(static_cast<int>(h + 1), static_cast<int>(z.blocks))) {
      stop = true;
      return;
    }
  }
  auto put = [&](int term, int b, double f) {
    log_f[static_cast<std::size_t>(term)](b + 1) =
        std::log(std::max(f, std::numeric_limits<double>::min()));
  };
  for (int b = from; b < to; ++b) {
    const double* t = totals.data() + (b - from) * kTotals;
    if (z.test[0]) {
      const double interaction = std::max(t[kWa2C] - t[kAccC] / z.weight_sum, 0.0);
      put(0, b, (t[kIndC] / z.df[0]) / (interaction / z.df[2]));
    }
    if (z.test[1]) {
      const double side = t[kAccW] / z.weight_sum;
      const double interaction = std::max(t[kWa2W] - side, 0.0);
      put(1, b, (side / z.df[1]) / (interaction / z.df[2]));
    }
    if (z.test[2]) {
      const double interaction = std::max(t[kWa2S] - t[kAccS] / z.weight_sum, 0.0);
      const double rss = std::max(z.additive_resid_ss - t[kCellsS], 0.0);
      put(2, b, (interaction / z.df[2]) / (rss / z.df[3]));
    }
  }
}

std::string cell(double v, bool full) {
  return full ? shortest_number(v) : message_number(v);
}

}  // namespace

std::optional<SymmetryAnova> symmetry_anova(const SymmetryFit& fit,
                                            const std::string& individual_name, int permutations,
                                            std::uint64_t seed,
                                            const PermutationProgress& progress) {
  if (permutations < 1)
    throw NumericError("The symmetry ANOVA needs at least one permutation; " +
                       std::to_string(permutations) + " were asked for.");
  const Eigen::MatrixXd& y = fit.tangent;
  const Eigen::Index rows = y.rows(), m = y.cols();
  if (4.0 * static_cast<double>(rows) * static_cast<double>(m) > kMaxCells)
    throw NumericError("The symmetry ANOVA of " + std::to_string(rows) + " rows of " +
                       std::to_string(m) + " coordinates is too large to hold.");
  if (!y.allFinite())
    throw NumericError("The shape data include values that are not finite numbers.");
  const Cells cells = cells_of(fit);
  const Eigen::Index n = cells.individuals;

  const Eigen::RowVectorXd mean = y.colwise().mean();
  const RowMatrix centred = y.rowwise() - mean;
  const double sst = centred.squaredNorm();
  const double magnitude = y.size() > 0 ? y.cwiseAbs().maxCoeff() : 0.0;
  if (!(std::sqrt(sst) >
        kCoincidentTolerance * magnitude * std::sqrt(static_cast<double>(y.size()))))
    throw NumericError(shape::kNoShapeVariationText);

  // Cell means, individual means, and the observed SS from them.
  RowMatrix cell_mean = RowMatrix::Zero(2 * n, m);
  for (Eigen::Index r = 0; r < rows; ++r) cell_mean.row(cells.cell[r]) += centred.row(r);
  for (Eigen::Index c = 0; c < 2 * n; ++c) cell_mean.row(c) /= cells.count(c);
  RowMatrix ind_mean(n, m);
  Eigen::RowVectorXd side_effect = Eigen::RowVectorXd::Zero(m);
  double ss_ind = 0;
  for (Eigen::Index i = 0; i < n; ++i) {
    const double nl = cells.count(2 * i), nr = cells.count(2 * i + 1);
    ind_mean.row(i) = (nl * cell_mean.row(2 * i) + nr * cell_mean.row(2 * i + 1)) / (nl + nr);
    ss_ind += (nl + nr) * ind_mean.row(i).squaredNorm();
    side_effect += cells.weight(i) * (cell_mean.row(2 * i + 1) - cell_mean.row(2 * i));
  }
  side_effect /= cells.weight_sum;
  const double ss_side = cells.weight_sum * side_effect.squaredNorm();
  double ss_int = 0;
  for (Eigen::Index i = 0; i < n; ++i)
    ss_int += cells.weight(i) *
              (cell_mean.row(2 * i + 1) - cell_mean.row(2 * i) - side_effect).squaredNorm();
  Randomization z;
  z.rows = rows;
  z.individuals = n;
  z.blocks = (m + kMaxWidth - 1) / kMaxWidth;
  z.width = ((m + z.blocks - 1) / z.blocks + kWidthStep - 1) / kWidthStep * kWidthStep;
  RowMatrix within(rows, m);
  z.contrast.resize(rows);
  double rss = 0;
  for (Eigen::Index r = 0; r < rows; ++r) {
    const Eigen::Index i = fit.individual[static_cast<std::size_t>(r)];
    within.row(r) = centred.row(r) - ind_mean.row(i);
    rss += (centred.row(r) - cell_mean.row(cells.cell[r])).squaredNorm();
    const double nl = cells.count(2 * i), nr = cells.count(2 * i + 1);
    z.contrast(r) = fit.side[static_cast<std::size_t>(r)] == 1 ? nl / (nl + nr) : -nr / (nl + nr);
  }
  // ‖E‖² of the additive model's residuals: s̃ is orthogonal to the
  // individuals, so it is the individual's residual SS less the side SS.
  z.additive_resid_ss = within.squaredNorm() - ss_side;
  z.centred = blocked(centred, z.blocks, z.width);
  z.within = blocked(within, z.blocks, z.width);
  z.b.assign(static_cast<std::size_t>(z.blocks * z.width), 0.0);
  for (Eigen::Index j = 0; j < m; ++j) z.b[static_cast<std::size_t>(j)] = side_effect(j);
  z.start.push_back(0);
  for (const auto& rows_of : cells.members) {
    z.members.insert(z.members.end(), rows_of.begin(), rows_of.end());
    z.start.push_back(static_cast<Eigen::Index>(z.members.size()));
  }
  z.inverse_count = cells.count.cwiseInverse();
  z.weight = cells.weight;
  z.weight_sum = cells.weight_sum;
  const bool replicates = rows > 2 * n;

  SymmetryAnova out;
  out.design = fit.design;
  out.replicates = replicates;
  out.permutations = permutations;
  out.seed = seed;
  const double q = static_cast<double>(fit.pairs), mid = static_cast<double>(fit.midline);
  const double dims = 3.0 * static_cast<double>(fit.reference.rows()) - 7.0;
  const Eigen::Index df[4] = {n - 1, 1, n - 1, rows - 2 * n};
  Eigen::Index shape_df[4];
  if (fit.design == SymmetryDesign::Object) {
    shape_df[0] = static_cast<Eigen::Index>((n - 1) * (3 * q + 2 * mid - 4));
    shape_df[1] = static_cast<Eigen::Index>(3 * q + mid - 3);
    shape_df[2] = static_cast<Eigen::Index>((n - 1) * (3 * q + mid - 3));
    shape_df[3] = static_cast<Eigen::Index>((rows / 2 - n) * dims);
  } else {
    for (int t = 0; t < 4; ++t) shape_df[t] = static_cast<Eigen::Index>(df[t] * dims);
  }
  const double ss[4] = {ss_ind, ss_side, ss_int, rss};
  const std::string names[4] = {individual_name, "side", individual_name + ":side", "Residuals"};
  const int lines = replicates ? 4 : 3;
  const int error_of[3] = {2, 2, 3};
  for (int t = 0; t < lines; ++t) {
    SymmetryLine l;
    l.term = names[t];
    l.df = df[t];
    l.ss = ss[t];
    l.ms = ss[t] / static_cast<double>(df[t]);
    l.shape_df = shape_df[t];
    const int e = t < 3 ? error_of[t] : -1;
    if (e >= 0 && e < lines) {
      const double ms_e = ss[e] / static_cast<double>(df[e]);
      if (ms_e > kRoundoffShare * sst) {
        l.tested = true;
        l.F = l.ms / ms_e;
        if (shape_df[t] > 0 && shape_df[e] > 0) {
          l.shape_tested = true;
          l.shape_F = (ss[t] / static_cast<double>(shape_df[t])) /
                      (ss[e] / static_cast<double>(shape_df[e]));
          l.shape_p = f_upper_tail(l.shape_F, static_cast<double>(shape_df[t]),
                                   static_cast<double>(shape_df[e]));
        }
      }
    }
    z.df[t] = static_cast<double>(df[t]);
    if (t < 3) z.test[t] = l.tested;
    out.terms.push_back(l);
  }
  out.total.term = "Total";
  out.total.df = rows - 1;
  out.total.ss = sst;
  out.total.has_ms = false;

  const Eigen::MatrixXi orderings = random_orderings(rows, permutations, seed);
  std::vector<Eigen::VectorXd> log_f(3, Eigen::VectorXd::Zero(permutations + 1));
  const double work = 2.0 * static_cast<double>(rows) * static_cast<double>(m) * permutations;
  const int half = work >= kParallelWork && std::thread::hardware_concurrency() > 1
                       ? permutations / 2
                       : permutations;
  // The two threads write separate elements of the same vectors.
  std::atomic<bool> stop = false;
  std::thread helper;
  if (half < permutations)
    helper =
        std::thread([&] { randomize(z, orderings, half, permutations, log_f, stop, nullptr); });
  randomize(z, orderings, 0, half, log_f, stop, &progress);
  if (helper.joinable()) helper.join();
  if (stop) return std::nullopt;

  for (int t = 0; t < 3; ++t) {
    SymmetryLine& l = out.terms[static_cast<std::size_t>(t)];
    if (!l.tested) continue;
    Eigen::VectorXd& f = log_f[static_cast<std::size_t>(t)];
    f(0) = std::log(std::max(l.F, std::numeric_limits<double>::min()));
    const double threshold = f(0) + std::log1p(-kPermutationTieTolerance);
    const auto reaching = (f.tail(permutations).array() >= threshold).count();
    l.p = static_cast<double>(reaching + 1) / (permutations + 1.0);
    out.log_f.push_back(std::move(f));
  }
  return out;
}

std::vector<std::vector<std::string>> symmetry_table_rows(const SymmetryAnova& anova, bool full) {
  std::vector<std::vector<std::string>> rows{
      {"TERM", "Df", "SS", "MS", "F", "Pr(>F)", "Df.shape", "F.shape", "P.param"}};
  const std::string na = "NA";
  auto add = [&](const SymmetryLine& l, bool shape_df) {
    rows.push_back({shown_text(l.term), std::to_string(l.df), cell(l.ss, full),
                    l.has_ms ? cell(l.ms, full) : na, l.tested ? cell(l.F, full) : na,
                    l.tested ? cell(l.p, full) : na, shape_df ? std::to_string(l.shape_df) : na,
                    l.shape_tested ? cell(l.shape_F, full) : na,
                    l.shape_tested ? cell(l.shape_p, full) : na});
  };
  for (const SymmetryLine& l : anova.terms) add(l, true);
  add(anova.total, false);
  return rows;
}

std::string symmetry_table_text(const SymmetryAnova& anova, bool full) {
  const std::vector<std::vector<std::string>> rows = symmetry_table_rows(anova, full);
  const std::size_t cols = rows.front().size();
  std::vector<std::size_t> width(cols, 0);
  for (const auto& r : rows)
    for (std::size_t c = 0; c < cols; ++c) width[c] = std::max(width[c], r[c].size());
  std::string text;
  for (const auto& r : rows) {
    for (std::size_t c = 0; c < cols; ++c) {
      const std::string pad(width[c] - r[c].size(), ' ');
      text += c == 0 ? r[c] + pad : "  " + pad + r[c];
    }
    text += "\n";
  }
  return text;
}

}  // namespace velmora::stats

#include "stats/symmetry.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <thread>

#include "core/errors.hpp"
#include "core/number_text.hpp"
#include "core/shown_text.hpp"
#include "core/tolerances.hpp"
#include "shape/distance.hpp"
#include "shape/procrustes.hpp"
#include "shape/rotation.hpp"
#include "shape/tangent_coordinates.hpp"
#include "stats/distributions.hpp"
#include "stats/model_formula.hpp"
#include "stats/procrustes_anova.hpp"

namespace velmora::stats {

namespace {

using RowMatrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;

// An error SS below this share of the total (a Df) is roundoff: the sides
// agree exactly and F is not formed.
constexpr double kRoundoffShare = kCoincidentTolerance * kCoincidentTolerance;
// The permuted copies of the residuals may hold at most this many numbers.
constexpr double kMaxCells = 1 << 28;
// Randomizations of at least this many additions use a second thread.
constexpr double kParallelWork = 50e6;

std::string quoted(const std::string& s) {
  return "\"" + shown_text(s) + "\"";
}

void require_count(std::size_t labels, Eigen::Index n, const char* what) {
  if (static_cast<Eigen::Index>(labels) != n)
    throw NumericError("The " + std::string(what) + " labels number " + std::to_string(labels) +
                       " but the sample holds " + std::to_string(n) + " configurations.");
}

// Superimposes `data` as Superimposition::fit does and fills the fit's
// geometry.
void superimpose(shape::Stack data, bool converged, SymmetryFit& fit) {
  shape::GpaResult gpa = converged ? shape::gpa_to_convergence(std::move(data))
                                   : shape::generalized_procrustes(std::move(data));
  const shape::PrincipalAxes axes = shape::principal_axes(gpa.reference);
  shape::rotate_all(gpa.fitted, axes.axes);
  fit.reference = axes.reference;
  fit.fitted = std::move(gpa.fitted);
  fit.mirrored = std::move(gpa.mirrored);
  fit.converged = gpa.converged;
  fit.tangent = shape::tangent_coordinates(fit.reference, fit.fitted);
}

std::vector<Eigen::Index> level_indices(const std::vector<std::string>& values,
                                        const std::vector<std::string>& levels) {
  std::map<std::string, Eigen::Index> at;
  for (std::size_t l = 0; l < levels.size(); ++l) at[levels[l]] = static_cast<Eigen::Index>(l);
  std::vector<Eigen::Index> out;
  out.reserve(values.size());
  for (const std::string& v : values) out.push_back(at.at(v));
  return out;
}

void require_individuals(const std::vector<std::string>& levels) {
  if (levels.size() < 2)
    throw NumericError("The symmetry analysis needs two individuals or more; the sample holds " +
                       std::to_string(levels.size()) + ".");
}

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
  c.members.resize(static_cast<std::size_t>(2 * c.individuals));
  c.count = Eigen::VectorXd::Zero(2 * c.individuals);
  for (Eigen::Index r = 0; r < c.rows; ++r) {
    const Eigen::Index cell =
        2 * fit.individual[static_cast<std::size_t>(r)] + fit.side[static_cast<std::size_t>(r)];
    c.cell.push_back(cell);
    c.members[static_cast<std::size_t>(cell)].push_back(r);
    c.count(cell) += 1;
  }
  c.weight.resize(c.individuals);
  for (Eigen::Index i = 0; i < c.individuals; ++i) {
    const double a = c.count(2 * i), b = c.count(2 * i + 1);
    c.weight(i) = a * b / (a + b);
  }
  c.weight_sum = c.weight.sum();
  return c;
}

/// Sequential SS of the terms on data of column means zero, from its cell
/// sums.
struct CellSs {
  double individual = 0, side = 0, interaction = 0, cells = 0;  // cells: Σ‖S_c‖²/n_c
};

/// The SS from the cell sums of one ordering: S_c = Σ_{rows i of c} E[order(i)]
/// of a row-major rows×m residual matrix E, streamed a cell at a time.  With
/// `contrast` and `b` (the interaction's reduced model) the SS of
/// E − s̃·bᵀ, s̃ the side contrast within individuals, come as well, from the
/// same sums.
class CellSums {
 public:
  CellSums(const Cells& cells, Eigen::Index m) : cells_(cells), s_(2, m), a_(m), acc_(2, m) {}

  template <typename Order>
  std::pair<CellSs, CellSs> operator()(const RowMatrix& e, const Order& order,
                                       const Eigen::VectorXd* contrast,
                                       const Eigen::RowVectorXd* b) {
    std::pair<CellSs, CellSs> out;
    acc_.setZero();
    double wa2[2] = {0, 0};
    for (Eigen::Index i = 0; i < cells_.individuals; ++i) {
      double g[2] = {0, 0};
      for (int s = 0; s < 2; ++s) {
        auto row = s_.row(s);
        row.setZero();
        for (Eigen::Index r : cells_.members[static_cast<std::size_t>(2 * i + s)]) {
          const Eigen::Index from = order(r);
          row += e.row(from);
          if (contrast) g[s] += (*contrast)(from);
        }
      }
      add(i, out.first, wa2[0], 0);
      if (b) {
        s_.row(0) -= g[0] * *b;
        s_.row(1) -= g[1] * *b;
        add(i, out.second, wa2[1], 1);
      }
    }
    for (int v = 0; v < 2; ++v) {
      CellSs& ss = v == 0 ? out.first : out.second;
      ss.side = acc_.row(v).squaredNorm() / cells_.weight_sum;
      ss.interaction = std::max(wa2[v] - ss.side, 0.0);
    }
    return out;
  }

 private:
  // Individual i's share of the SS, from its two cell sums in s_: with
  // a = S_R/n_R − S_L/n_L and w = n_L·n_R/(n_L + n_R), side SS = ‖Σ w·a‖²/Σ w
  // and interaction SS = Σ w·‖a‖² − side SS.
  void add(Eigen::Index i, CellSs& out, double& wa2, int v) {
    const double nl = cells_.count(2 * i), nr = cells_.count(2 * i + 1);
    const double sl2 = s_.row(0).squaredNorm(), sr2 = s_.row(1).squaredNorm();
    out.individual += (s_.row(0) + s_.row(1)).squaredNorm() / (nl + nr);
    out.cells += sl2 / nl + sr2 / nr;
    a_.noalias() = s_.row(1) / nr - s_.row(0) / nl;
    const double w = cells_.weight(i);
    wa2 += w * a_.squaredNorm();
    acc_.row(v) += w * a_;
  }

  const Cells& cells_;
  Eigen::Matrix<double, 2, Eigen::Dynamic, Eigen::RowMajor> s_;
  Eigen::RowVectorXd a_;
  Eigen::Matrix<double, 2, Eigen::Dynamic, Eigen::RowMajor> acc_;
};

/// The data each tested term is randomized with.
struct Randomization {
  RowMatrix centred;         // Y − ȳ: the residuals of the intercept
  RowMatrix within;          // Y − individual means: the residuals of individual
  Eigen::VectorXd contrast;  // s̃: side − its mean within the individual
  Eigen::RowVectorXd b;      // s̃ᵀY/‖s̃‖²: the side effect
  double within_ss = 0, additive_resid_ss = 0;
  double df[4] = {0, 0, 0, 0};  // individual, side, interaction, error
  bool test[3] = {false, false, false};
  bool replicates = false;
};

/// F of the tested terms for the orderings in columns [from, to).
void randomize(const Randomization& z, const Cells& cells, const Eigen::MatrixXi& orderings,
               int from, int to, std::vector<Eigen::VectorXd>& log_f) {
  CellSums sums(cells, z.centred.cols());
  auto put = [&](int term, int b, double f) {
    log_f[static_cast<std::size_t>(term)](b + 1) =
        std::log(std::max(f, std::numeric_limits<double>::min()));
  };
  for (int b = from; b < to; ++b) {
    const auto order = orderings.col(b);
    if (z.test[0]) {
      const CellSs s = sums(z.centred, order, nullptr, nullptr).first;
      put(0, b, (s.individual / z.df[0]) / (s.interaction / z.df[2]));
    }
    if (z.test[1] || z.test[2]) {
      const auto [s, t] = z.test[2] ? sums(z.within, order, &z.contrast, &z.b)
                                    : sums(z.within, order, nullptr, nullptr);
      if (z.test[1]) put(1, b, (s.side / z.df[1]) / (s.interaction / z.df[2]));
      if (z.test[2]) {
        const double rss = std::max(z.additive_resid_ss - t.cells, 0.0);
        put(2, b, (t.interaction / z.df[2]) / (rss / z.df[3]));
      }
    }
  }
}

std::string cell(double v, bool full) {
  return full ? shortest_number(v) : message_number(v);
}

}  // namespace

SymmetryFit object_symmetry_fit(const shape::Stack& raw, const std::vector<std::size_t>& relabel,
                                const std::vector<std::string>& individual, bool converged) {
  const Eigen::Index n = raw.n(), k = raw.k();
  require_count(individual.size(), n, "individual");
  if (static_cast<Eigen::Index>(relabel.size()) != k)
    throw NumericError("The landmark pairs are for " + std::to_string(relabel.size()) +
                       " landmarks but the sample has " + std::to_string(k) + ".");
  Eigen::Index paired = 0;
  for (std::size_t j = 0; j < relabel.size(); ++j) {
    if (relabel[j] >= relabel.size() || relabel[relabel[j]] != j)
      throw NumericError("The landmark relabelling does not swap pairs: landmark " +
                         std::to_string(j + 1) + " goes to " + std::to_string(relabel[j] + 1) +
                         ".");
    paired += relabel[j] != j;
  }
  SymmetryFit fit;
  fit.design = SymmetryDesign::Object;
  fit.pairs = paired / 2;
  fit.midline = k - paired;
  if (3 * fit.pairs + fit.midline - 3 < 1)
    throw NumericError("With " + std::to_string(fit.pairs) + " pairs and " +
                       std::to_string(fit.midline) +
                       " midline landmarks a configuration cannot be asymmetric.");
  fit.individuals = factor_levels(individual);
  require_individuals(fit.individuals);
  const std::vector<Eigen::Index> level = level_indices(individual, fit.individuals);
  fit.sides = {"original", "reflection"};

  shape::Stack doubled(k, 2 * n);
  for (Eigen::Index i = 0; i < n; ++i) {
    const auto x = raw.slice(i);
    doubled.slice(i) = x;
    auto mirror = doubled.slice(n + i);
    for (Eigen::Index j = 0; j < k; ++j) {
      mirror.row(j) = x.row(static_cast<Eigen::Index>(relabel[static_cast<std::size_t>(j)]));
      mirror(j, 0) = -mirror(j, 0);
    }
  }
  for (int s = 0; s < 2; ++s)
    for (Eigen::Index i = 0; i < n; ++i) {
      fit.individual.push_back(level[static_cast<std::size_t>(i)]);
      fit.side.push_back(s);
      fit.specimen.push_back(i);
    }
  superimpose(std::move(doubled), converged, fit);
  return fit;
}

SymmetryFit matching_symmetry_fit(const shape::Stack& raw,
                                  const std::vector<std::string>& individual,
                                  const std::vector<std::string>& side, bool converged) {
  const Eigen::Index n = raw.n(), k = raw.k();
  require_count(individual.size(), n, "individual");
  require_count(side.size(), n, "side");
  SymmetryFit fit;
  fit.design = SymmetryDesign::Matching;
  fit.midline = k;
  fit.sides = factor_levels(side);
  if (fit.sides.size() != 2) {
    std::string names;
    for (const std::string& s : fit.sides) names += (names.empty() ? "" : ", ") + quoted(s);
    throw NumericError("The side labels name " + std::to_string(fit.sides.size()) + " side" +
                       (fit.sides.size() == 1 ? "" : "s") + " (" + names +
                       "); matching symmetry needs two.");
  }
  fit.individuals = factor_levels(individual);
  require_individuals(fit.individuals);
  fit.individual = level_indices(individual, fit.individuals);
  std::vector<int> has(fit.individuals.size(), 0);
  shape::Stack data = raw;
  for (Eigen::Index i = 0; i < n; ++i) {
    const int s = side[static_cast<std::size_t>(i)] == fit.sides[1] ? 1 : 0;
    fit.side.push_back(s);
    fit.specimen.push_back(i);
    has[static_cast<std::size_t>(fit.individual[static_cast<std::size_t>(i)])] |= 1 << s;
    if (s == 1) data.slice(i).col(0) *= -1;
  }
  for (std::size_t l = 0; l < has.size(); ++l)
    if (has[l] != 3)
      throw NumericError("The individual " + quoted(fit.individuals[l]) +
                         " has no configuration of the side " +
                         quoted(fit.sides[has[l] == 1 ? 1 : 0]) + ".");
  superimpose(std::move(data), converged, fit);
  return fit;
}

std::optional<SymmetryAnova> symmetry_anova(const SymmetryFit& fit,
                                            const std::string& individual_name, int permutations,
                                            std::uint64_t seed,
                                            const PermutationProgress& progress) {
  if (permutations < 1)
    throw NumericError("The symmetry ANOVA needs at least one permutation; " +
                       std::to_string(permutations) + " were asked for.");
  const Eigen::MatrixXd& y = fit.tangent;
  const Eigen::Index rows = y.rows(), m = y.cols();
  if (2.0 * static_cast<double>(rows) * static_cast<double>(m) > kMaxCells)
    throw NumericError("The symmetry ANOVA of " + std::to_string(rows) + " rows of " +
                       std::to_string(m) + " coordinates is too large to hold.");
  if (!y.allFinite())
    throw NumericError("The shape data include values that are not finite numbers.");
  const Cells cells = cells_of(fit);
  const Eigen::Index n = cells.individuals;

  Randomization z;
  const Eigen::RowVectorXd mean = y.colwise().mean();
  z.centred = y.rowwise() - mean;
  const double sst = z.centred.squaredNorm();
  const double magnitude = y.size() > 0 ? y.cwiseAbs().maxCoeff() : 0.0;
  if (!(std::sqrt(sst) >
        kCoincidentTolerance * magnitude * std::sqrt(static_cast<double>(y.size()))))
    throw NumericError(shape::kNoShapeVariationText);

  // Cell means, individual means, and the observed SS from them.
  RowMatrix cell_mean = RowMatrix::Zero(2 * n, m);
  for (Eigen::Index r = 0; r < rows; ++r) cell_mean.row(cells.cell[r]) += z.centred.row(r);
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
  z.within.resize(rows, m);
  z.contrast.resize(rows);
  double rss = 0;
  for (Eigen::Index r = 0; r < rows; ++r) {
    const Eigen::Index i = fit.individual[static_cast<std::size_t>(r)];
    z.within.row(r) = z.centred.row(r) - ind_mean.row(i);
    rss += (z.centred.row(r) - cell_mean.row(cells.cell[r])).squaredNorm();
    const double nl = cells.count(2 * i), nr = cells.count(2 * i + 1);
    z.contrast(r) = fit.side[static_cast<std::size_t>(r)] == 1 ? nl / (nl + nr) : -nr / (nl + nr);
  }
  z.b = side_effect;
  z.within_ss = z.within.squaredNorm();
  z.additive_resid_ss = z.within_ss - ss_side;
  z.replicates = rows > 2 * n;

  SymmetryAnova out;
  out.design = fit.design;
  out.replicates = z.replicates;
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
  const int lines = z.replicates ? 4 : 3;
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
  std::thread helper;
  if (half < permutations)
    helper = std::thread([&] { randomize(z, cells, orderings, half, permutations, log_f); });
  randomize(z, cells, orderings, 0, half, log_f);
  if (helper.joinable()) helper.join();
  if (progress && !progress(1, 1)) return std::nullopt;

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

SymmetryComponents symmetry_components(const SymmetryFit& fit) {
  SymmetryComponents out;
  const Eigen::Index k = fit.fitted.k(), rows = fit.fitted.n();
  const Eigen::Index n = static_cast<Eigen::Index>(fit.individuals.size());
  const auto stacked = fit.fitted.stacked();  // 3k × rows
  // Each individual's mean of each side.
  Eigen::MatrixXd side_mean = Eigen::MatrixXd::Zero(3 * k, 2 * n);
  Eigen::VectorXd count = Eigen::VectorXd::Zero(2 * n);
  std::vector<std::vector<Eigen::Index>> of_cell(static_cast<std::size_t>(2 * n));
  for (Eigen::Index r = 0; r < rows; ++r) {
    const Eigen::Index c =
        2 * fit.individual[static_cast<std::size_t>(r)] + fit.side[static_cast<std::size_t>(r)];
    side_mean.col(c) += stacked.col(r);
    count(c) += 1;
    of_cell[static_cast<std::size_t>(c)].push_back(r);
  }
  for (Eigen::Index c = 0; c < 2 * n; ++c) side_mean.col(c) /= count(c);
  out.symmetric_individual.resize(n, 3 * k);
  out.asymmetric_individual.resize(n, 3 * k);
  for (Eigen::Index i = 0; i < n; ++i) {
    out.symmetric_individual.row(i) =
        0.5 * (side_mean.col(2 * i) + side_mean.col(2 * i + 1)).transpose();
    out.asymmetric_individual.row(i) =
        (side_mean.col(2 * i) - side_mean.col(2 * i + 1)).transpose();
  }
  const Eigen::RowVectorXd directional = out.asymmetric_individual.colwise().mean();
  out.directional = shape::config_of_stacked(directional);
  out.asymmetry_index = out.asymmetric_individual.rowwise().norm();
  out.fluctuating_index = (out.asymmetric_individual.rowwise() - directional).rowwise().norm();

  // Specimens: a row and its reflection, or the j-th of each side.
  for (Eigen::Index i = 0; i < n && out.unpaired.empty(); ++i) {
    const auto& a = of_cell[static_cast<std::size_t>(2 * i)];
    const auto& b = of_cell[static_cast<std::size_t>(2 * i + 1)];
    if (a.size() != b.size()) {
      out.unpaired = "The individual " + quoted(fit.individuals[static_cast<std::size_t>(i)]) +
                     " has " + std::to_string(a.size()) + " configurations of the side " +
                     quoted(fit.sides[0]) + " and " + std::to_string(b.size()) + " of " +
                     quoted(fit.sides[1]) + ": its specimens cannot be paired.";
      out.specimen_rows.clear();
      break;
    }
    for (std::size_t j = 0; j < a.size(); ++j) out.specimen_rows.emplace_back(a[j], b[j]);
  }
  if (!out.unpaired.empty()) return out;
  // Object symmetry keeps the raw sample's order.
  std::sort(out.specimen_rows.begin(), out.specimen_rows.end());
  const Eigen::Index specimens = static_cast<Eigen::Index>(out.specimen_rows.size());
  out.symmetric.resize(specimens, 3 * k);
  out.asymmetric.resize(specimens, 3 * k);
  for (Eigen::Index s = 0; s < specimens; ++s) {
    const auto [a, b] = out.specimen_rows[static_cast<std::size_t>(s)];
    out.symmetric.row(s) = 0.5 * (stacked.col(a) + stacked.col(b)).transpose();
    out.asymmetric.row(s) = (stacked.col(a) - stacked.col(b)).transpose();
  }
  return out;
}

}  // namespace velmora::stats

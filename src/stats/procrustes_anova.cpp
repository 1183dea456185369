#include "stats/procrustes_anova.hpp"

#include <Eigen/QR>
#include <algorithm>
#include <cmath>
#include <limits>
#include <thread>

#include "core/blas.hpp"
#include "core/errors.hpp"
#include "core/number_text.hpp"
#include "core/shown_text.hpp"
#include "core/tolerances.hpp"
#include "shape/decompositions.hpp"
#include "shape/distance.hpp"

namespace velmora::stats {

namespace {

// Orderings evaluated together as one matrix product, fewer where the
// permuted bases of so many would pass kBlockCells numbers.
constexpr int kBlock = 32;
constexpr double kBlockCells = 1 << 22;

int block_size(Eigen::Index n, Eigen::Index p) {
  const double fit = kBlockCells / (static_cast<double>(n) * static_cast<double>(p));
  return static_cast<int>(std::clamp(fit, 1.0, static_cast<double>(kBlock)));
}
// Randomizations of at least this many multiply-adds in all use a second thread.
constexpr double kParallelWork = 50e6;

/// out = aᵀ·b for column-major a (rows×ca) and b (rows×cb).
void product_transposed(const Eigen::MatrixXd& a, const Eigen::MatrixXd& b, Eigen::MatrixXd& out) {
  out.resize(a.cols(), b.cols());
  const double work = static_cast<double>(a.rows()) * a.cols() * b.cols();
  if (work < kBlasMultiplyAdds) {
    out.noalias() = a.transpose() * b;
    return;
  }
  const int m = static_cast<int>(a.cols()), n = static_cast<int>(b.cols()),
            k = static_cast<int>(a.rows());
  const double one = 1, zero = 0;
  dgemm_("T", "N", &m, &n, &k, &one, a.data(), &k, b.data(), &k, &zero, out.data(), &m);
}

/// What the randomization of one term needs.
struct TermBasis {
  Eigen::MatrixXd q;  // n×p orthonormal: reduced model, then the term, then the rest
  Eigen::Index reduced = 0, df = 0;
  Eigen::MatrixXd resid;  // n×r with ‖Aᵀ·resid‖ = ‖Aᵀ·E‖ for every A (E: reduced residuals)
  double resid_ss = 0;  // ‖E‖²
};

TermBasis term_basis(const Eigen::MatrixXd& x, const Eigen::MatrixXd& y,
                     const std::vector<Eigen::Index>& reduced_cols,
                     const std::vector<Eigen::Index>& term_cols) {
  const Eigen::Index n = x.rows(), p = x.cols();
  std::vector<Eigen::Index> order = reduced_cols;
  order.insert(order.end(), term_cols.begin(), term_cols.end());
  for (Eigen::Index c = 0; c < p; ++c)
    if (std::find(order.begin(), order.end(), c) == order.end()) order.push_back(c);
  Eigen::MatrixXd ordered(n, p);
  for (Eigen::Index c = 0; c < p; ++c) ordered.col(c) = x.col(order[static_cast<std::size_t>(c)]);
  const Eigen::HouseholderQR<Eigen::MatrixXd> qr(ordered);
  TermBasis b;
  b.q = qr.householderQ() * Eigen::MatrixXd::Identity(n, p);
  b.reduced = static_cast<Eigen::Index>(reduced_cols.size());
  b.df = static_cast<Eigen::Index>(term_cols.size());
  const auto qr_reduced = b.q.leftCols(b.reduced);
  Eigen::MatrixXd e = y - qr_reduced * (qr_reduced.transpose() * y);
  b.resid_ss = e.squaredNorm();
  if (e.cols() > n) {
    // Eᵀ = W·R: ‖Aᵀ·E‖ = ‖Aᵀ·Rᵀ‖ with Rᵀ n×n.
    const Eigen::HouseholderQR<Eigen::MatrixXd> er(e.transpose());
    b.resid = er.matrixQR().topRows(n).triangularView<Eigen::Upper>().transpose();
  } else {
    b.resid = std::move(e);
  }
  return b;
}

/// The columns of `q` with their rows permuted by each of the `size`
/// orderings from column `start` of `orderings`, side by side in `a`.
void permuted_block(const Eigen::MatrixXd& q, const Eigen::MatrixXi& orderings, int start, int size,
                    Eigen::MatrixXd& a) {
  const Eigen::Index n = q.rows(), p = q.cols();
  a.resize(n, p * size);
  for (int j = 0; j < size; ++j) {
    const auto order = orderings.col(start + j);
    for (Eigen::Index c = 0; c < p; ++c) {
      double* col = a.col(j * p + c).data();
      const double* src = q.col(c).data();
      for (Eigen::Index i = 0; i < n; ++i) col[order(i)] = src[i];
    }
  }
}

/// F of each ordering in columns [from, to) of `orderings`.
void randomize(const TermBasis& b, const Eigen::MatrixXi& orderings, int from, int to,
               double df_resid, Eigen::VectorXd& log_f) {
  const Eigen::Index n = b.q.rows(), p = b.q.cols();
  const int block = block_size(n, p);
  Eigen::MatrixXd a(n, p * block), g;
  for (int start = from; start < to; start += block) {
    const int size = std::min(block, to - start);
    permuted_block(b.q, orderings, start, size, a);
    product_transposed(a, b.resid, g);
    for (int j = 0; j < size; ++j) {
      const double ss = g.middleRows(j * p + b.reduced, b.df).squaredNorm();
      const double rss = std::max(b.resid_ss - g.middleRows(j * p, p).squaredNorm(), 0.0);
      const double f = (ss / static_cast<double>(b.df)) / (rss / df_resid);
      log_f(start + j + 1) = std::log(std::max(f, std::numeric_limits<double>::min()));
    }
  }
}

/// Sequential sums of squares: every term's basis is the design's own
/// (its columns in their order), so one product of each permuted basis with
/// the centred shape serves every term.  With A = Pᵀ·Q and E_t = Y − Q_t·Q_tᵀ·Y
/// (Q_t: the columns of the reduced model of term t),
/// Aᵀ·E_t = Aᵀ·Y − (Aᵀ·Q_t)·(Q_tᵀ·Y), of which only Aᵀ·Y costs n·p·m.
struct SharedProducts {
  Eigen::MatrixXd y;    // n×r: Y, or Rᵀ of Yᵀ = W·R (same norms) when m > n
  Eigen::MatrixXd qty;  // p×r: Qᵀ·y
};

SharedProducts shared_products(const Eigen::MatrixXd& q, const Eigen::MatrixXd& y) {
  SharedProducts s;
  const Eigen::Index n = y.rows();
  if (y.cols() > n) {
    const Eigen::HouseholderQR<Eigen::MatrixXd> yr(y.transpose());
    s.y = yr.matrixQR().topRows(n).triangularView<Eigen::Upper>().transpose();
  } else {
    s.y = y;
  }
  s.qty = q.transpose() * s.y;
  return s;
}

/// ln F of every term for the orderings in columns [from, to).
void randomize_shared(const std::vector<TermBasis>& bases, const SharedProducts& s,
                      const Eigen::MatrixXi& orderings, int from, int to, double df_resid,
                      std::vector<Eigen::VectorXd>& log_f) {
  const Eigen::MatrixXd& q = bases.front().q;
  const Eigen::Index n = q.rows(), p = q.cols();
  const int block = block_size(n, p);
  Eigen::MatrixXd a(n, p * block), g, c, gt;
  for (int start = from; start < to; start += block) {
    const int size = std::min(block, to - start);
    permuted_block(q, orderings, start, size, a);
    product_transposed(a, s.y, g);
    product_transposed(a, q, c);
    for (int j = 0; j < size; ++j) {
      for (std::size_t t = 0; t < bases.size(); ++t) {
        const TermBasis& b = bases[t];
        gt.noalias() = g.middleRows(j * p, p);
        gt.noalias() -= c.block(j * p, 0, p, b.reduced) * s.qty.topRows(b.reduced);
        const double ss = gt.middleRows(b.reduced, b.df).squaredNorm();
        const double rss = std::max(b.resid_ss - gt.squaredNorm(), 0.0);
        const double f = (ss / static_cast<double>(b.df)) / (rss / df_resid);
        log_f[t](start + j + 1) = std::log(std::max(f, std::numeric_limits<double>::min()));
      }
    }
  }
}

std::string cell(double v, bool full) {
  return full ? shortest_number(v) : message_number(v);
}

}  // namespace

Eigen::MatrixXi random_orderings(Eigen::Index n, int count, std::uint64_t seed) {
  std::mt19937_64 gen(seed);
  Eigen::MatrixXi out(n, count);
  const Eigen::VectorXi identity = Eigen::VectorXi::LinSpaced(n, 0, static_cast<int>(n - 1));
  for (int b = 0; b < count; ++b) {
    Eigen::VectorXi order = identity;
    shuffle(order, gen);
    out.col(b) = order;
  }
  return out;
}

std::optional<ProcrustesAnova> procrustes_anova(const Eigen::Ref<const Eigen::MatrixXd>& shape,
                                                const ModelDesign& design, SumsOfSquares type,
                                                int permutations, std::uint64_t seed,
                                                const PermutationProgress& progress) {
  const Eigen::Index n = shape.rows(), m = shape.cols(), p = design.matrix.cols();
  if (design.matrix.rows() != n) {
    throw NumericError("The model has " + std::to_string(design.matrix.rows()) +
                       " rows but the shape data " + std::to_string(n) + " specimens.");
  }
  if (permutations < 1) {
    throw NumericError("The Procrustes ANOVA needs at least one permutation; " +
                       std::to_string(permutations) + " were asked for.");
  }
  if (!shape.allFinite())
    throw NumericError("The shape data include values that are not finite numbers.");
  const Eigen::MatrixXd y = shape.rowwise() - shape.colwise().mean();
  const double sst = y.squaredNorm();
  const double magnitude = m > 0 ? shape.cwiseAbs().maxCoeff() : 0.0;
  if (!(std::sqrt(sst) > kCoincidentTolerance * magnitude * std::sqrt(static_cast<double>(n * m))))
    throw NumericError(shape::kNoShapeVariationText);

  ProcrustesAnova out;
  out.type = type;
  out.permutations = permutations;
  out.seed = seed;
  out.n = n;
  const double df_resid = static_cast<double>(n - p);

  // The full model's residual SS, computed directly.
  const Eigen::HouseholderQR<Eigen::MatrixXd> full(design.matrix);
  const Eigen::MatrixXd qf = full.householderQ() * Eigen::MatrixXd::Identity(n, p);
  const double rss = (y - qf * (qf.transpose() * y)).squaredNorm();

  const Eigen::MatrixXi orderings = random_orderings(n, permutations, seed);
  const std::size_t terms = design.terms.size();
  std::vector<TermBasis> bases;
  for (std::size_t t = 0; t < terms; ++t) {
    std::vector<Eigen::Index> reduced{0}, term;
    for (Eigen::Index c = 0; c < design.df[t]; ++c) term.push_back(design.first[t] + c);
    for (std::size_t u = 0; u < terms; ++u) {
      const bool in = type == SumsOfSquares::Sequential
                          ? u < t
                          : u != t && !design.terms[t].within(design.terms[u]);
      if (!in) continue;
      for (Eigen::Index c = 0; c < design.df[u]; ++c) reduced.push_back(design.first[u] + c);
    }
    std::sort(reduced.begin(), reduced.end());
    bases.push_back(term_basis(design.matrix, y, reduced, term));
  }
  // Sequential sums of squares keep the design's columns in their order for
  // every term: one randomization serves them all.
  bool shared = type == SumsOfSquares::Sequential && terms > 0;
  for (std::size_t t = 0; shared && t < terms; ++t)
    shared = bases[t].reduced == design.first[t] && bases[t].q == bases.front().q;
  const double work = static_cast<double>(n) * static_cast<double>(std::min(m, n)) *
                      static_cast<double>(p) * permutations *
                      static_cast<double>(shared ? 1 : terms);
  const bool two_threads = work >= kParallelWork && std::thread::hardware_concurrency() > 1;
  std::vector<Eigen::VectorXd> shared_log_f;
  if (shared) {
    const SharedProducts products = shared_products(bases.front().q, y);
    shared_log_f.assign(terms, Eigen::VectorXd(permutations + 1));
    // The two threads write separate elements of the same vectors.
    const int half = two_threads
                         ? std::min((permutations / 2 + kBlock - 1) / kBlock * kBlock, permutations)
                         : permutations;
    std::thread helper;
    if (half < permutations)
      helper = std::thread([&] {
        randomize_shared(bases, products, orderings, half, permutations, df_resid, shared_log_f);
      });
    randomize_shared(bases, products, orderings, 0, half, df_resid, shared_log_f);
    if (helper.joinable()) helper.join();
  }
  for (std::size_t t = 0; t < terms; ++t) {
    const TermBasis& b = bases[t];
    AnovaLine line;
    line.term = design.term_labels[t];
    line.df = b.df;
    line.ss = (b.q.middleCols(b.reduced, b.df).transpose() * y).squaredNorm();
    line.ms = line.ss / static_cast<double>(line.df);
    line.r_squared = line.ss / sst;
    line.F = line.ms / (rss / df_resid);
    line.tested = true;
    Eigen::VectorXd log_f(permutations + 1);
    if (shared) log_f = std::move(shared_log_f[t]);
    log_f(0) = std::log(std::max(line.F, std::numeric_limits<double>::min()));
    if (!shared && two_threads) {
      const int half = (permutations / 2 + kBlock - 1) / kBlock * kBlock;
      Eigen::VectorXd other = log_f;
      std::thread helper([&] {
        randomize(b, orderings, std::min(half, permutations), permutations, df_resid, other);
      });
      randomize(b, orderings, 0, std::min(half, permutations), df_resid, log_f);
      helper.join();
      const int rest = permutations - std::min(half, permutations);
      log_f.segment(1 + std::min(half, permutations), rest) =
          other.segment(1 + std::min(half, permutations), rest);
    } else if (!shared) {
      randomize(b, orderings, 0, permutations, df_resid, log_f);
    }
    const double threshold = log_f(0) + std::log1p(-kPermutationTieTolerance);
    const auto reaching = (log_f.tail(permutations).array() >= threshold).count();
    line.p = static_cast<double>(reaching + 1) / (permutations + 1.0);
    const double mean = log_f.mean();
    const double sd = std::sqrt((log_f.array() - mean).square().mean());
    line.z = sd > 0 ? (log_f(0) - mean) / sd : 0.0;
    out.terms.push_back(line);
    out.log_f.push_back(std::move(log_f));
    if (progress && !progress(static_cast<int>(t + 1), static_cast<int>(terms)))
      return std::nullopt;
  }
  out.residuals.term = "Residuals";
  out.residuals.df = n - p;
  out.residuals.ss = rss;
  out.residuals.ms = rss / df_resid;
  out.residuals.r_squared = rss / sst;
  out.total.term = "Total";
  out.total.df = n - 1;
  out.total.ss = sst;
  out.total.r_squared = 1;
  out.total.has_ms = false;
  return out;
}

std::vector<std::vector<std::string>> anova_table_rows(const ProcrustesAnova& anova, bool full) {
  std::vector<std::vector<std::string>> rows{{"TERM", "Df", "SS", "MS", "Rsq", "F", "Z", "Pr(>F)"}};
  auto add = [&](const AnovaLine& l) {
    const std::string na = "NA";
    rows.push_back({shown_text(l.term), std::to_string(l.df), cell(l.ss, full),
                    l.has_ms ? cell(l.ms, full) : na, cell(l.r_squared, full),
                    l.tested ? cell(l.F, full) : na, l.tested ? cell(l.z, full) : na,
                    l.tested ? cell(l.p, full) : na});
  };
  for (const AnovaLine& l : anova.terms) add(l);
  add(anova.residuals);
  add(anova.total);
  return rows;
}

std::string anova_table_text(const ProcrustesAnova& anova, bool full) {
  const std::vector<std::vector<std::string>> rows = anova_table_rows(anova, full);
  std::vector<std::size_t> width(8, 0);
  for (const auto& r : rows)
    for (std::size_t c = 0; c < 8; ++c) width[c] = std::max(width[c], r[c].size());
  std::string text;
  for (const auto& r : rows) {
    std::string line;
    for (std::size_t c = 0; c < 8; ++c) {
      if (c == 0) {
        line += r[c] + std::string(width[c] - r[c].size(), ' ');
      } else {
        line += "  " + std::string(width[c] - r[c].size(), ' ') + r[c];
      }
    }
    text += line + "\n";
  }
  return text;
}

}  // namespace velmora::stats

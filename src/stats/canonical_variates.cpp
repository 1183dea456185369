#include "stats/canonical_variates.hpp"

#include <Eigen/Cholesky>
#include <Eigen/Eigenvalues>
#include <Eigen/SVD>
#include <algorithm>
#include <cmath>

#include "core/errors.hpp"
#include "core/shown_text.hpp"
#include "core/tolerances.hpp"
#include "shape/decompositions.hpp"
#include "stats/model_formula.hpp"
#include "stats/procrustes_anova.hpp"

namespace velmora::stats {

namespace {

/// Group means (G×c) of the rows of `values`.
Eigen::MatrixXd group_means(const Eigen::MatrixXd& values, const Eigen::VectorXi& of,
                            const Eigen::VectorXd& counts) {
  Eigen::MatrixXd means = Eigen::MatrixXd::Zero(counts.size(), values.cols());
  for (Eigen::Index i = 0; i < values.rows(); ++i) means.row(of(i)) += values.row(i);
  return counts.cwiseInverse().asDiagonal() * means;
}

}  // namespace

CanonicalVariates canonical_variates(const Eigen::Ref<const Eigen::MatrixXd>& shape,
                                     const std::vector<std::string>& group, int permutations,
                                     std::uint64_t seed) {
  const Eigen::Index n = shape.rows();
  if (static_cast<Eigen::Index>(group.size()) != n)
    throw NumericError(
        "The canonical variate analysis has groups for another number of specimens.");
  if (permutations < 1)
    throw NumericError("The canonical variate analysis needs at least one permutation.");
  CanonicalVariates out;
  out.levels = factor_levels(group);
  out.permutations = permutations;
  const auto g = static_cast<Eigen::Index>(out.levels.size());
  if (g < 2)
    throw NumericError(
        "The canonical variate analysis needs two groups or more; the factor has one.");
  Eigen::VectorXi of(n);
  Eigen::VectorXd counts = Eigen::VectorXd::Zero(g);
  for (Eigen::Index i = 0; i < n; ++i) {
    of(i) = static_cast<int>(
        std::lower_bound(out.levels.begin(), out.levels.end(), group[static_cast<std::size_t>(i)]) -
        out.levels.begin());
    counts(of(i)) += 1;
  }
  for (Eigen::Index l = 0; l < g; ++l) {
    if (counts(l) < 2) {
      throw NumericError(
          "The canonical variate analysis needs two specimens or more in every group; \"" +
          shown_text(out.levels[static_cast<std::size_t>(l)]) + "\" has one.");
    }
  }
  // Principal components of the centred shapes.
  const Eigen::MatrixXd centred = shape.rowwise() - shape.colwise().mean();
  const Eigen::BDCSVD<Eigen::MatrixXd> svd(centred, Eigen::ComputeThinU | Eigen::ComputeThinV);
  const Eigen::VectorXd var = svd.singularValues().array().square();
  const double total = var.sum();
  Eigen::Index q = 0;
  // At most n − g − 1: the within-group SSCP without any one specimen has
  // n − 1 − g degrees of freedom, and the leave-one-out classification
  // needs it regular.
  while (q < var.size() && q < n - g - 1 && var(q) > kCvaComponentShare * total) ++q;
  if (q == 0)
    throw NumericError("The canonical variate analysis has no shape variation to work on.");
  out.components = q;
  const Eigen::MatrixXd s = svd.matrixU().leftCols(q) * svd.singularValues().head(q).asDiagonal();
  const Eigen::MatrixXd axes = svd.matrixV().leftCols(q);  // m×q

  const Eigen::MatrixXd means = group_means(s, of, counts);  // G×q (overall mean 0)
  Eigen::MatrixXd within = s;
  for (Eigen::Index i = 0; i < n; ++i) within.row(i) -= means.row(of(i));
  const Eigen::MatrixXd w = within.transpose() * within;  // within-group SSCP
  const Eigen::MatrixXd b = means.transpose() * counts.asDiagonal() * means;
  // W⁻¹B through W = LLᵀ: eigenvectors of L⁻¹BL⁻ᵀ.
  const Eigen::LLT<Eigen::MatrixXd> llt(w);
  if (llt.info() != Eigen::Success)
    throw NumericError("The within-group variation of the components is singular.");
  const Eigen::MatrixXd linv = llt.matrixL().solve(Eigen::MatrixXd::Identity(q, q));
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eig(linv * b * linv.transpose());
  const Eigen::Index r = std::min(g - 1, q);
  out.eigenvalues = eig.eigenvalues().tail(r).reverse();
  Eigen::MatrixXd coef = linv.transpose() * eig.eigenvectors().rightCols(r).rowwise().reverse();
  coef *= std::sqrt(static_cast<double>(n - g));  // unit pooled within-group variance
  out.scores = s * coef;
  // The within-group regression of the coordinates on a CV score: with
  // aᵀS_w a = 1 its slope is S_w a, S_w = W / (n − G).
  out.shape_axes = axes * (w * coef / static_cast<double>(n - g));

  // Distances: W⁻¹ applied once; with labels permuted, T = W + B stays, so
  // W⁻¹ of a permutation follows from T⁻¹ in the G-dimensional span of the
  // group means (Woodbury).
  const Eigen::MatrixXd w_inv = llt.solve(Eigen::MatrixXd::Identity(q, q));
  const double df = static_cast<double>(n - g);
  const Eigen::MatrixXd shape_means = group_means(centred, of, counts);
  auto distances = [&](const Eigen::MatrixXd& m, const Eigen::MatrixXd& winv_m,
                       const Eigen::MatrixXd& sm, Eigen::MatrixXd& mahal, Eigen::MatrixXd& proc) {
    mahal.resize(g, g);
    proc.resize(g, g);
    const Eigen::MatrixXd gram = m * winv_m.transpose();  // mᵢᵀW⁻¹mⱼ
    for (Eigen::Index i = 0; i < g; ++i) {
      for (Eigen::Index j = 0; j < g; ++j) {
        mahal(i, j) = std::sqrt(std::max(df * (gram(i, i) + gram(j, j) - 2 * gram(i, j)), 0.0));
        proc(i, j) = (sm.row(i) - sm.row(j)).norm();
      }
    }
  };
  distances(means, means * w_inv, shape_means, out.mahalanobis, out.procrustes);
  const Eigen::LLT<Eigen::MatrixXd> total_llt(w + b);
  const Eigen::MatrixXd z = total_llt.solve(s.transpose()).transpose();  // rows sᵢᵀT⁻¹
  Eigen::MatrixXd reach_m = Eigen::MatrixXd::Ones(g, g), reach_p = reach_m;
  const Eigen::MatrixXi orderings = random_orderings(n, permutations, seed);
  Eigen::VectorXi perm_of(n);
  const double keep = 1 - kPermutationTieTolerance;
  for (int k = 0; k < permutations; ++k) {
    for (Eigen::Index i = 0; i < n; ++i) perm_of(orderings(i, k)) = of(i);
    const Eigen::MatrixXd m = group_means(s, perm_of, counts);
    const Eigen::MatrixXd tm = group_means(z, perm_of, counts);  // mᵢᵀT⁻¹
    // U = diag(√n)·m; W⁻¹ = T⁻¹ + T⁻¹Uᵀ(I − UT⁻¹Uᵀ)⁻¹UT⁻¹.
    const Eigen::MatrixXd ut = counts.cwiseSqrt().asDiagonal() * tm;
    const Eigen::MatrixXd c = counts.cwiseSqrt().asDiagonal() * m * ut.transpose();
    const Eigen::MatrixXd inner = (Eigen::MatrixXd::Identity(g, g) - c).inverse();
    // mᵢᵀW⁻¹ = tmᵢ + (m T⁻¹ Uᵀ)ᵢ inner U T⁻¹
    const Eigen::MatrixXd winv_m = tm + (m * ut.transpose()) * inner * ut;
    Eigen::MatrixXd mahal, proc;
    distances(m, winv_m, group_means(centred, perm_of, counts), mahal, proc);
    reach_m += (mahal.array() >= keep * out.mahalanobis.array()).cast<double>().matrix();
    reach_p += (proc.array() >= keep * out.procrustes.array()).cast<double>().matrix();
  }
  out.mahalanobis_p = reach_m / (permutations + 1.0);
  out.procrustes_p = reach_p / (permutations + 1.0);

  // Leave-one-out: W without specimen i of group h is W − c·uuᵀ, u = sᵢ − m_h,
  // c = n_h/(n_h − 1) (Sherman–Morrison), and m_h moves away from sᵢ.
  const Eigen::MatrixXd zs = s * w_inv;      // sᵢᵀW⁻¹
  const Eigen::MatrixXd zm = means * w_inv;  // m_lᵀW⁻¹
  const Eigen::MatrixXd ss = zs.cwiseProduct(s).rowwise().sum();
  const Eigen::MatrixXd sm = s * zm.transpose();  // sᵢᵀW⁻¹m_l
  const Eigen::MatrixXd mm = means * zm.transpose();
  out.classification = Eigen::MatrixXi::Zero(g, g);
  out.assigned.resize(static_cast<std::size_t>(n));
  const double df_loo = static_cast<double>(n - 1 - g);
  for (Eigen::Index i = 0; i < n; ++i) {
    const int h = of(i);
    const double nh = counts(h), c = nh / (nh - 1);
    // uᵀW⁻¹u and uᵀW⁻¹v for v = sᵢ − m_l (l ≠ h) or v = sᵢ − m_h⁽⁻ⁱ⁾ = c·u.
    const double uwu = ss(i, 0) - 2 * sm(i, h) + mm(h, h);
    const double denom = 1 - c * uwu;
    if (!(denom > kLeaveOneOutTolerance))
      throw NumericError("The within-group variation of the components without specimen " +
                         std::to_string(i + 1) +
                         " is singular, so it cannot be classified by the others.");
    int best = -1;
    double best_score = 0;
    for (Eigen::Index l = 0; l < g; ++l) {
      double vwv, uwv;
      if (l == h) {
        vwv = c * c * uwu;
        uwv = c * uwu;
      } else {
        vwv = ss(i, 0) - 2 * sm(i, l) + mm(l, l);
        uwv = ss(i, 0) - sm(i, l) - sm(i, h) + mm(h, l);
      }
      const double d2 = df_loo * (vwv + c * uwv * uwv / denom);
      const double score = d2 - 2 * std::log(counts(l) / static_cast<double>(n));
      if (best < 0 || score < best_score) best = static_cast<int>(l), best_score = score;
    }
    out.assigned[static_cast<std::size_t>(i)] = best;
    out.classification(h, best) += 1;
  }
  return out;
}

}  // namespace velmora::stats

#pragma once

#include <Eigen/Core>

namespace velmora::stats {

/// The effect size of an observed statistic among its permuted values.
struct EffectSize {
  double z = 0;       ///< standard deviate of the observed value
  double lambda = 1;  ///< the Box–Cox exponent used (0: logarithm)
};

/// Effect size of a statistic from its permutation distribution, as geomorph
/// and RRPP compute it (Adams & Collyer 2016, 2019): the values are first
/// brought near a normal distribution by a Box–Cox transformation, then the
/// observed value is expressed as a standard deviate of all of them.
///
/// Values that are not all positive are shifted so that the least is 0.0001.
/// λ maximises the Box–Cox profile log-likelihood −m/2·ln Σ(t − t̄)² of the m
/// permuted values (the observed one left out), t = (ỹ^λ − 1)/λ with ỹ the
/// values over their geometric mean (a series in λ·ln ỹ for |λ| ≤ 0.001), on
/// [−5, 5] by golden-section search to 1e-10; |λ| < 0.001 counts as 0.  Every
/// value, the observed one included, is transformed ((y^λ − 1)/λ, or ln y),
/// and Z = (t₀ − mean t)/sd t, sd with divisor the number of values.  R's
/// optimise, which geomorph uses, stops λ at about 1e-4, so its Z can differ
/// from this one in the fourth digit.  All values equal give Z = 0; permuted
/// values that are all equal leave them untransformed (λ = 1).
/// @param values the observed value first, then one a permutation (≥ 2 values)
EffectSize box_cox_effect_size(const Eigen::Ref<const Eigen::VectorXd>& values);

}  // namespace velmora::stats

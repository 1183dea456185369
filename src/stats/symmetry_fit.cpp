#include <algorithm>
#include <map>

#include "core/errors.hpp"
#include "core/shown_text.hpp"
#include "shape/procrustes.hpp"
#include "shape/rotation.hpp"
#include "shape/tangent_coordinates.hpp"
#include "stats/model_formula.hpp"
#include "stats/symmetry.hpp"

// The joint superimposition of a bilateral sample and its symmetric and
// asymmetric components; the ANOVA is in symmetry.cpp.

namespace velmora::stats {

namespace {

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

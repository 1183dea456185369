#pragma once

#include <Eigen/Core>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "stats/model_formula.hpp"

namespace velmora::stats {

inline const std::string kData = std::string(VELMORA_SOURCE_DIR) + "/tests/stats/data/";

/// The shape variables and the model variables of the two-population example.
struct Example {
  Eigen::MatrixXd shape;
  std::vector<ModelVariable> variables;
};

inline Example read_example() {
  std::ifstream in(kData + "populations_shape.txt");
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    rows.emplace_back();
    for (std::string w; words >> w;) rows.back().push_back(w);
  }
  const auto n = static_cast<Eigen::Index>(rows.size());
  const auto m = static_cast<Eigen::Index>(rows.at(0).size() - 4);
  Example e;
  e.shape.resize(n, m);
  ModelVariable cs{"CS", true, Eigen::VectorXd(n), {}}, age{"age", true, Eigen::VectorXd(n), {}};
  ModelVariable population{"population", false, {}, {}}, side{"side", false, {}, {}};
  for (Eigen::Index i = 0; i < n; ++i) {
    const auto& r = rows[static_cast<std::size_t>(i)];
    for (Eigen::Index j = 0; j < m; ++j) e.shape(i, j) = std::stod(r[static_cast<std::size_t>(j)]);
    cs.values(i) = std::stod(r[static_cast<std::size_t>(m)]);
    population.levels.push_back(r[static_cast<std::size_t>(m + 1)]);
    age.values(i) = std::stod(r[static_cast<std::size_t>(m + 2)]);
    side.levels.push_back(r[static_cast<std::size_t>(m + 3)]);
  }
  e.variables = {cs, population, age, side};
  return e;
}

/// KIND TERM -> the words after them in a golden file.
inline std::map<std::string, std::vector<std::string>> read_golden(const std::string& name) {
  std::ifstream in(kData + name);
  std::map<std::string, std::vector<std::string>> out;
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string kind, term;
    words >> kind >> term;
    auto& cells = out[kind + " " + term];
    for (std::string w; words >> w;) cells.push_back(w);
  }
  return out;
}

}  // namespace velmora::stats

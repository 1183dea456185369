#pragma once

// The dense matrix decompositions of the numerical library, compiled once.
//
// Eigen's decompositions are large templates: the divide-and-conquer SVD
// alone takes minutes to compile, and every file that used it compiled its
// own copy.  Files that use one of these include this header, which declares
// them as instantiated elsewhere; decompositions.cpp instantiates each of
// them once.  A decomposition of another matrix type is compiled where it is
// used, as before.

#include <Eigen/Dense>

extern template class Eigen::BDCSVD<Eigen::MatrixXd>;
extern template class Eigen::JacobiSVD<Eigen::MatrixXd>;
extern template class Eigen::JacobiSVD<Eigen::Matrix<double, Eigen::Dynamic, 3>>;
extern template class Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>;
extern template class Eigen::PartialPivLU<Eigen::MatrixXd>;
extern template class Eigen::HouseholderQR<Eigen::MatrixXd>;
extern template class Eigen::ColPivHouseholderQR<Eigen::MatrixXd>;
extern template class Eigen::LLT<Eigen::MatrixXd>;

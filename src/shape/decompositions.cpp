#include <Eigen/Dense>

template class Eigen::BDCSVD<Eigen::MatrixXd>;
template class Eigen::JacobiSVD<Eigen::MatrixXd>;
template class Eigen::JacobiSVD<Eigen::Matrix<double, Eigen::Dynamic, 3>>;
template class Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>;
template class Eigen::PartialPivLU<Eigen::MatrixXd>;
template class Eigen::HouseholderQR<Eigen::MatrixXd>;
template class Eigen::ColPivHouseholderQR<Eigen::MatrixXd>;
template class Eigen::LLT<Eigen::MatrixXd>;

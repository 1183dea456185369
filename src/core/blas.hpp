#pragma once

// The few BLAS and LAPACK routines the numerical library calls (OpenBLAS,
// Fortran calling convention: every argument by pointer, matrices
// column-major).

extern "C" {

/// C = alpha·op(A)·op(B) + beta·C.
void dgemm_(const char* transa, const char* transb, const int* m, const int* n, const int* k,
            const double* alpha, const double* a, const int* lda, const double* b, const int* ldb,
            const double* beta, double* c, const int* ldc);

/// C = alpha·op(A)ᵀ·op(A) + beta·C, one triangle of C.
void dsyrk_(const char* uplo, const char* trans, const int* n, const int* k, const double* alpha,
            const double* a, const int* lda, const double* beta, double* c, const int* ldc);

/// The Cholesky factor of a symmetric positive definite matrix, in place.
void dpotrf_(const char* uplo, const int* n, double* a, const int* lda, int* info);
/// Solves A·X = B with A's Cholesky factor from dpotrf_, B overwritten by X.
void dpotrs_(const char* uplo, const int* n, const int* nrhs, const double* a, const int* lda,
             double* b, const int* ldb, int* info);

/// Eigenvalues and eigenvectors of a symmetric matrix by divide and conquer.
void dsyevd_(const char* jobz, const char* uplo, const int* n, double* a, const int* lda, double* w,
             double* work, const int* lwork, int* iwork, const int* liwork, int* info);
}

namespace velmora {

/// Products of at least this many multiply-adds go to BLAS, which uses the
/// processor's widest vectors; smaller ones stay with Eigen, where calling
/// BLAS costs more than it saves.
constexpr double kBlasMultiplyAdds = 20e6;

}  // namespace velmora

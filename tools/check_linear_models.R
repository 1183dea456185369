# Independent check of Velmora's Procrustes linear models with base R and car.
#
#   Rscript tools/check_linear_models.R
#
# Reads tests/stats/data/populations_shape.txt (written by
# tools/check_linear_models.py: 36 shape variables, then CS, population, age
# and side) and writes tests/stats/data/populations_r.txt: for
# shape ~ log(CS) * population + side, the sums of squares of every term,
# summed over the 36 shape variables, of anova(lm()) (sequential, "I") and
# car::Anova(type = 2) ("II"), with their Df, MS, Rsq and F, 17 digits; and
# the same for shape ~ log(CS) * population into
# tests/analysis/data/populations_r_slopes.txt.
suppressMessages(library(car))
d <- read.table("tests/stats/data/populations_shape.txt")
p <- ncol(d) - 4
Y <- as.matrix(d[, 1:p])
CS <- d[, p + 1]
population <- factor(d[, p + 2], levels = sort(unique(d[, p + 2])))
side <- factor(d[, p + 4], levels = sort(unique(d[, p + 4])))
sst <- sum(scale(Y, scale = FALSE)^2)
run <- function(model, file) {
out <- c()
emit <- function(kind, name, df, ss, ms, f) {
  fmt <- function(v) if (is.na(v)) "NA" else sprintf("%.17g", v)
  out <<- c(out, paste(kind, name, df, fmt(ss), fmt(ms), fmt(ss / sst), fmt(f)))
}
for (kind in c("I", "II")) {
  ss <- NULL
  for (j in 1:p) {
    y <- Y[, j]
    fit <- lm(model, data = data.frame(y = y, CS = CS, population = population, side = side))
    a <- if (kind == "I") anova(fit) else Anova(fit, type = 2)
    s <- if (kind == "I") a[["Sum Sq"]] else a[["Sum Sq"]]
    ss <- if (is.null(ss)) s else ss + s
    df <- a[["Df"]]
    names <- rownames(a)
  }
  names <- sub("^Residuals$", "Residuals", trimws(names))
  k <- length(ss)
  msr <- ss[k] / df[k]
  for (i in 1:(k - 1)) emit(kind, names[i], df[i], ss[i], ss[i] / df[i], (ss[i] / df[i]) / msr)
  emit(kind, "Residuals", df[k], ss[k], msr, NA)
  emit(kind, "Total", nrow(Y) - 1, sst, NA, NA)
}
writeLines(out, file)
}
run(y ~ log(CS) * population + side, "tests/stats/data/populations_r.txt")
run(y ~ log(CS) * population, "tests/analysis/data/populations_r_slopes.txt")

# Canonical variates of four groups (population and age under or over 10.5
# years) on the leading principal components: those above 1e-8 of the total
# variance, at most n - g.  Writes tests/stats/data/populations_lda.txt: the
# number of components, the eigenvalues of W^-1 B (lda's svd^2 (g - 1)/(n - g)),
# and the leave-one-out classification table (rows: true group, columns:
# assigned, groups in sorted order), then the assigned group of each specimen.
suppressMessages(library(MASS))
age <- d[, p + 3]
grp <- factor(paste0(d[, p + 2], ifelse(age > 10.5, "_old", "_young")))
grp <- factor(grp, levels = sort(levels(grp)))
g <- nlevels(grp)
pc <- prcomp(Y)
v <- pc$sdev^2
q <- min(sum(v > 1e-8 * sum(v)), nrow(Y) - g)
S <- pc$x[, 1:q]
fit <- lda(S, grp)
eig <- fit$svd^2 * (g - 1) / (nrow(Y) - g)
cv <- lda(S, grp, CV = TRUE)
tab <- table(grp, cv$class)
lines <- c(paste("components", q), paste("eigenvalues", paste(sprintf("%.17g", eig), collapse = " ")))
for (i in 1:g) lines <- c(lines, paste("row", levels(grp)[i], paste(tab[i, ], collapse = " ")))
lines <- c(lines, paste("assigned", paste(as.integer(cv$class) - 1, collapse = " ")))
writeLines(lines, "tests/stats/data/populations_lda.txt")

# Mahalanobis distance between the two populations' means on the same
# components (pooled within-group covariance, divisor n - g) and its p value
# from 999 random relabellings (R's own generator; Monte-Carlo error only),
# appended to populations_lda.txt as "mahalanobis D P".
mahal <- function(lab) {
  m <- apply(S, 2, function(col) tapply(col, lab, mean))
  w <- S - m[as.integer(lab), ]
  cw <- crossprod(w) / (nrow(S) - 2)
  dd <- m[1, ] - m[2, ]
  sqrt(drop(dd %*% solve(cw, dd)))
}
pop <- factor(d[, p + 2])
d0 <- mahal(pop)
set.seed(5)
reach <- 1 + sum(replicate(999, mahal(sample(pop)) >= d0 * (1 - 1e-10)))
write(paste("mahalanobis", sprintf("%.17g", d0), reach / 1000), "tests/stats/data/populations_lda.txt", append = TRUE)

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

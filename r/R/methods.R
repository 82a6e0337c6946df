# The fit object's methods. Estimates are in the scaled units of the data
# file, as the estimator gives them (raw = TRUE: in the data frame's units
# where that is an exact rescaling, see raw_factors()). The standard errors
# of the results file are those of the maximum-likelihood estimates:
# sqrt(2 diag(H^-1)) with H the Hessian of minus twice the log-likelihood,
# that is the square roots of the diagonal of the inverse observed
# information; so vcov = diag(se) R diag(se) = 2 H^-1, R the correlations.

globals_table <- function(fit) fit$results$globals

# A random-locals fit (estimator --random-locals) integrates the locals out:
# its log-likelihood is the marginal one, its globals' correlations are the
# first rows of those of all its outer parameters (globals, then the
# population's), and its locals are described by their population.
random_locals_fit <- function(results) identical(results$locals, "random")

fit_log_likelihood <- function(results)
  if (random_locals_fit(results)) results$marginal_log_likelihood else results$log_likelihood

likelihood_label <- function(results) if (random_locals_fit(results)) "marginal log-likelihood" else "log-likelihood"

globals_correlations <- function(results) {
  n <- length(results$globals$names)
  r <- if (random_locals_fit(results)) results$outer$correlations else results$globals$correlations
  matrix(as.matrix(r)[seq_len(n), seq_len(n)], n, n)
}

locals_summary <- function(results) {
  a <- if (random_locals_fit(results)) results$population else results$local_averages
  data.frame(estimate = a$estimates, std_error = a$standard_errors, row.names = a$names)
}

coef.growth_fit <- function(object, raw = FALSE, ...) {
  g <- globals_table(object)
  f <- if (raw) raw_factors(g$names, object$age_scale, object$height_scale) else 1
  stats::setNames(g$estimates * f, g$names)
}

vcov.growth_fit <- function(object, raw = FALSE, ...) {
  g <- globals_table(object)
  se <- g$standard_errors
  if (raw) se <- se * raw_factors(g$names, object$age_scale, object$height_scale)
  v <- (se %o% se) * globals_correlations(object$results)
  dimnames(v) <- list(g$names, g$names)
  v
}

logLik.growth_fit <- function(object, ...) {
  structure(fit_log_likelihood(object$results), df = object$results$parameters, nobs = object$results$measurements,
            class = "logLik")
}

nobs.growth_fit <- function(object, ...) object$results$measurements

locals <- function(fit) fit$plots

comparison <- function(fit) {
  if (is.null(fit$comparison)) stop(growthfit_error("comparison: this fit is of one model; fit with model = \"compare\""))
  fit$comparison
}

print.growth_fit <- function(x, ...) {
  r <- x$results
  cat(r$title, "\n", sep = "")
  cat("model ", r$model$number, " (globals ", paste(r$model$globals, collapse = " "), "; locals ",
      paste(r$model$locals, collapse = " "), "): ", r$outcome, " after ", r$iterations, " iterations\n", sep = "")
  cat(r$plots, " plots, ", r$measurements, " measurements; ", likelihood_label(r), " ",
      format(fit_log_likelihood(r), digits = 10),
      ", AIC ", format(r$aic, digits = 10), ", BIC ", format(r$bic, digits = 10), "\n", sep = "")
  print(coef(x))
  if (!is.null(x$comparison)) cat("(the best converged of ", nrow(x$comparison), " models by AIC: see comparison())\n",
                                  sep = "")
  invisible(x)
}

summary.growth_fit <- function(object, ...) {
  g <- globals_table(object)
  f <- raw_factors(g$names, object$age_scale, object$height_scale)
  table <- cbind(Estimate = g$estimates, `Std. Error` = g$standard_errors, `Raw estimate` = g$estimates * f,
                 `Raw std. error` = g$standard_errors * f)
  rownames(table) <- g$names
  structure(list(results = object$results, coefficients = table,
                 correlations = matrix(globals_correlations(object$results), length(g$names),
                                       dimnames = list(g$names, g$names)),
                 local_averages = locals_summary(object$results),
                 comparison = object$comparison, scales = c(age = object$age_scale, height = object$height_scale)),
            class = "summary.growth_fit")
}

print.summary.growth_fit <- function(x, ...) {
  r <- x$results
  cat(r$title, "\nmodel ", r$model$number, ": ", r$outcome, " after ", r$iterations, " iterations",
      if (!is.null(r$iteration_limit)) paste0(" (limit ", r$iteration_limit, ")"),
      if (random_locals_fit(r)) paste0(", random locals (", r$nodes_per_local, " node(s) per local)"), "\n", sep = "")
  cat(r$plots, " plots, ", r$measurements, " measurements, ", r$parameters, " parameters\n", sep = "")
  cat(likelihood_label(r), " ", format(fit_log_likelihood(r), digits = 10), ", AIC ", format(r$aic, digits = 10), ", BIC ",
      format(r$bic, digits = 10), "\n\nGlobals (raw: the data's units, age scale ", x$scales[["age"]], ", height scale ",
      x$scales[["height"]], ", where exact; the others stay scaled):\n", sep = "")
  print(x$coefficients)
  cat("\nCorrelations:\n")
  print(round(x$correlations, 3))
  cat(if (random_locals_fit(r)) "\nLocals, their population's means and standard deviations (scaled):\n" else
        "\nLocals, averages weighted by the plots' measurements (scaled):\n")
  print(x$local_averages)
  if (!is.null(x$comparison)) {
    cat("\nModels compared:\n")
    print(x$comparison[, c("model", "log_likelihood", "parameters", "aic", "bic", "outcome", "flag")], row.names = FALSE)
  }
  invisible(x)
}

# The catalogue's counts and parameter names, as the results files give them.
model_globals <- list(
  c("b", "c", "sigma_p", "sigma_e"), c("b", "c", "sigma_p", "sigma_e", "t0"), c("b", "c", "sigma_p", "sigma_e", "y0"),
  c("b", "c", "sigma0", "sigma_p", "sigma_e"), c("b", "c", "sigma0", "sigma_p", "sigma_e", "t0"),
  c("a", "c", "sigma_p", "sigma_e"), c("a", "c", "sigma_p", "sigma_e", "t0"), c("a", "c", "sigma_p", "sigma_e", "y0"),
  c("a", "c", "sigma0", "sigma_p", "sigma_e"), c("a", "c", "sigma0", "sigma_p", "sigma_e", "t0"),
  c("a_intercept", "a_slope", "c", "sigma_p", "sigma_e"), c("a_scale", "a_exponent", "c", "sigma_p", "sigma_e"),
  c("c", "sigma_p", "sigma_e"), c("b", "c", "sigma_p", "sigma_e"), c("a", "c", "sigma_p", "sigma_e"),
  c("a_intercept", "a_slope", "c", "sigma_p", "sigma_e"), c("a_scale", "a_exponent", "c", "sigma_p", "sigma_e"),
  c("c", "sigma_p", "sigma_e"))
model_locals <- c(rep(list("a"), 5), rep(list("b"), 7), list(c("a", "b")), list("a"), rep(list("b"), 3),
                  list(c("a", "b")))

check_model <- function(model) {
  if (identical(model, "compare")) return(model)
  if (!is.numeric(model) || length(model) != 1 || !(model %in% 1:18))
    stop(growthfit_error(paste0("growth_fit: model must be a model number, 1 to 18, or \"compare\"; not ",
                                deparse(model))))
  as.integer(model)
}

# Raw units where the change of units is an exact rescaling (as on the
# summary page): a and a_intercept in height units, a_slope in height times
# age, b per unit of age, t0 in age units; the others stay scaled.
raw_factors <- function(names, age_scale, height_scale) {
  f <- rep(1, length(names))
  f[names %in% c("a", "a_intercept")] <- height_scale
  f[names == "a_slope"] <- height_scale * age_scale
  f[names == "b"] <- 1 / age_scale
  f[names == "t0"] <- age_scale
  stats::setNames(f, names)
}

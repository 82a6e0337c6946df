# Projections, residuals, site indices, figures and the summary page: the
# projector on the fit's files, in the data frame's units (the fit's scales).

projector_call <- function(fit, options) {
  c(fit$files$results, fit$files$data, fit$files$locals, "--age-scale", number_text(fit$age_scale),
    "--height-scale", number_text(fit$height_scale), "--age-unit", fit$age_unit, "--height-unit", fit$height_unit,
    options)
}

# A new output file of the fit's folder, named relative to it.
output_name <- function(fit, stem, ext) {
  dir.create(file.path(fit$dir, "projector"), showWarnings = FALSE)
  file.path("projector", basename(tempfile(paste0(stem, "-"), tmpdir = file.path(fit$dir, "projector"),
                                           fileext = ext)))
}

run_projector <- function(fit, options, log = "projector") {
  run_program("projector", projector_call(fit, options), fit$dir, fit$programs, ids = fit$ids, log = log)
}

read_output <- function(fit, name, ids = fit$ids) {
  caller_ids(utils::read.csv(file.path(fit$dir, name)), ids)
}

list_text <- function(x, what) {
  if (!is.numeric(x) || !length(x) || any(!is.finite(x)))
    stop(growthfit_error(paste0(what, " must be finite numbers")))
  paste(number_text(x), collapse = ",")
}

# The kind of interval (projector --intervals) and the draws of the
# parameters (--draws K, for full intervals and random locals; the projector
# judges K itself).
intervals_options <- function(intervals, draws) {
  if (!is.null(draws) && (!is.numeric(draws) || length(draws) != 1 || !is.finite(draws)))
    stop(growthfit_error("draws must be one finite number"))
  c("--intervals", intervals, if (!is.null(draws)) c("--draws", number_text(draws)))
}

# A table of full intervals has its interval columns named with _full; the
# package gives the same names whichever kind, and says the kind in the
# attribute "intervals".
interval_table <- function(table, intervals) {
  names(table) <- sub("_full$", "", names(table))
  attr(table, "intervals") <- intervals
  table
}

level_option <- function(level) {
  if (!is.numeric(level) || length(level) != 1 || !(level > 0 && level < 1))
    stop(growthfit_error("level must be a number strictly between 0 and 1"))
  c("--level", number_text(level))
}

ids_option <- function(fit, ids) {
  if (is.null(ids)) return(character())
  codes <- fit$ids$code[match(as.character(ids), as.character(fit$ids$id))]
  if (anyNA(codes))
    stop(growthfit_error(paste0("ids: no plot ", paste(ids[is.na(codes)], collapse = ", "), " in the fit")))
  c("--ids", paste(codes, collapse = ","))
}

# New plots (newdata) go to the projector as a raw data file with
# --new-data, in the data's units: each plot's locals are fitted with the
# fit's globals held.
predict.growth_fit <- function(object, newdata = NULL, ages, level = 0.9,
                               interval = c("height", "measurement", "none"), ids = NULL,
                               intervals = c("plug-in", "full"), draws = NULL, ...) {
  interval <- match.arg(interval)
  intervals <- match.arg(intervals)
  if (missing(ages)) stop(growthfit_error("predict: give the ages to project to (ages = c(5, 15, 30))"))
  out <- output_name(object, "projections", ".csv")
  map <- object$ids
  new <- character()
  if (!is.null(newdata)) {
    name <- output_name(object, "new-data", ".txt")
    map <- write_raw_data(newdata, object$columns[1], object$columns[2], object$columns[3],
                          file.path(object$dir, name))$ids
    new <- c("--new-data", name)
  }
  run_projector(object, c(new, "--ages", list_text(ages, "ages"), level_option(level), ids_option(object, ids),
                          intervals_options(intervals, draws), "--projections", out))
  p <- interval_table(read_output(object, out, map), intervals)
  keep <- c("position", "id", "age", "median")
  if (interval == "height") p <- p[c(keep, "lower", "upper")]
  if (interval == "measurement") p <- stats::setNames(p[c(keep, "measurement_lower", "measurement_upper")],
                                                      c(keep, "lower", "upper"))
  if (interval == "none") p <- p[keep]
  structure(p, intervals = intervals)
}

residual_table <- function(fit) {
  name <- file.path("projector", "residuals.csv")
  if (!file.exists(file.path(fit$dir, name))) {
    dir.create(file.path(fit$dir, "projector"), showWarnings = FALSE)
    run_projector(fit, c("--residuals", name))
  }
  read_output(fit, name)
}

# In the order of the plots' first appearance in the data, each plot's
# measurements by increasing age; type = "table" gives the projector's table.
residuals.growth_fit <- function(object, type = c("standardised", "response", "table"), ...) {
  type <- match.arg(type)
  r <- residual_table(object)
  switch(type, standardised = r$standardised_innovation, response = r$height - r$fitted, table = r)
}

fitted.growth_fit <- function(object, ...) residual_table(object)$fitted

site_index <- function(fit, base_age, level = 0.9, ids = NULL, intervals = c("plug-in", "full"), draws = NULL) {
  intervals <- match.arg(intervals)
  if (missing(base_age)) stop(growthfit_error("site_index: give the base age (base_age = 25)"))
  out <- output_name(fit, "site-index", ".csv")
  run_projector(fit, c("--base-age", list_text(base_age[1], "base_age"), level_option(level), ids_option(fit, ids),
                       intervals_options(intervals, draws), "--site-index", out))
  interval_table(read_output(fit, out), intervals)
}

# The population's height distribution at `ages`: a plot with no
# measurements (projector --population; random-locals fits only, the
# projector refuses the others).
population <- function(fit, ages, level = 0.9, intervals = c("plug-in", "full"), draws = NULL) {
  intervals <- match.arg(intervals)
  if (missing(ages)) stop(growthfit_error("population: give the ages (ages = c(5, 15, 30))"))
  out <- output_name(fit, "population", ".csv")
  run_projector(fit, c("--ages", list_text(ages, "ages"), level_option(level), intervals_options(intervals, draws),
                       "--population", out))
  interval_table(utils::read.csv(file.path(fit$dir, out)), intervals)
}

# The site-index curves: for each site index the model's curve without noise
# through (base_age, site index), its heights at `ages` and the base age
# (projector --site-curves, --site-curve-table).
site_curves <- function(fit, site_indices, base_age, ages) {
  if (missing(site_indices) || missing(base_age) || missing(ages))
    stop(growthfit_error(paste0("site_curves: give the site indices, the base age and the ages ",
                                "(site_indices = c(40, 60), base_age = 25, ages = c(5, 15, 30))")))
  out <- output_name(fit, "site-curves", ".csv")
  run_projector(fit, c("--site-curves", list_text(site_indices, "site_indices"),
                       "--base-age", list_text(base_age[1], "base_age"), "--ages", list_text(ages, "ages"),
                       "--site-curve-table", out))
  utils::read.csv(file.path(fit$dir, out))
}

# The plot figure's bands are of the kind `intervals` asks for (over `draws`
# draws of the parameters, as for predict), and the figure says which.
figures <- function(fit, level = 0.9, ids = NULL, ages = NULL, intervals = c("plug-in", "full"), draws = NULL) {
  intervals <- match.arg(intervals)
  names_ <- c(plots = "plots", curves = "curves", residuals = "residuals")
  files <- vapply(names_, function(n) output_name(fit, n, ".svg"), character(1))
  run_projector(fit, c(level_option(level), ids_option(fit, ids), if (!is.null(ages)) c("--ages", list_text(ages, "ages")),
                       intervals_options(intervals, draws),
                       "--plot-figure", files[["plots"]], "--curve-figure", files[["curves"]],
                       "--residual-figure", files[["residuals"]]))
  stats::setNames(file.path(fit$dir, files), names(names_))
}

plot.growth_fit <- function(x, which = c("plots", "curves", "residuals"), level = 0.9, ids = NULL,
                            browse = interactive(), intervals = c("plug-in", "full"), draws = NULL, ...) {
  which <- match.arg(which, several.ok = TRUE)
  paths <- figures(x, level, ids, intervals = match.arg(intervals), draws = draws)[which]
  if (browse) for (p in paths) utils::browseURL(p)
  invisible(paths)
}

summary_page <- function(fit, file = file.path(fit$dir, "summary.html"), level = 0.9, ids = NULL,
                         browse = interactive(), intervals = c("plug-in", "full"), draws = NULL) {
  intervals <- match.arg(intervals)
  file <- file.path(normalizePath(dirname(file)), basename(file))
  run_projector(fit, c(level_option(level), ids_option(fit, ids), intervals_options(intervals, draws),
                       "--summary-page", file,
                       if (!is.null(fit$files$comparison)) c("--comparison", fit$files$comparison)))
  if (browse) utils::browseURL(file)
  invisible(file)
}

# growth_fit(): a fit from a data frame through the programs, in a folder of
# its own that the fit object keeps.

growth_fit <- function(data, id = "id", age = "age", height = "height", model = 1, age_scale = 1,
                       height_scale = 1, start = NULL, start_locals = NULL, min_measurements = 3,
                       models = "all", iteration_limit = 100, tolerance = NULL, title = NULL,
                       age_unit = "age units", height_unit = "height units", threads = NULL, jobs = NULL,
                       random_locals = FALSE, quadrature = NULL, programs = NULL, dir = NULL) {
  model <- check_model(model)
  for (s in c(age_scale, height_scale))
    if (!is.numeric(s) || length(s) != 1 || !(s > 0)) stop(growthfit_error("growth_fit: the scales must be positive numbers"))
  dir <- if (is.null(dir)) tempfile("growthfit-") else dir
  dir.create(dir, recursive = TRUE, showWarnings = FALSE)
  dir <- normalizePath(dir)
  unlink(file.path(dir, c("projector", "models")), recursive = TRUE)  # outputs of an earlier fit there
  raw <- write_raw_data(data, id, age, height, file.path(dir, "raw.txt"), min_measurements)
  if (length(raw$dropped))
    warning(length(raw$dropped), " plots have fewer than ", min_measurements, " measurements and are left out: ",
            first_rows(as.character(raw$dropped)), call. = FALSE)
  fit <- list(dir = dir, model = model, age_scale = age_scale, height_scale = height_scale, age_unit = age_unit,
              height_unit = height_unit, ids = raw$ids, programs = programs, columns = c(id, age, height))
  if (identical(model, "compare")) {
    if (!is.null(start) || !is.null(start_locals))
      stop(growthfit_error("growth_fit: model = \"compare\" starts every model from the starter's values: leave out start"))
    prepare(fit, min_measurements, NULL)
    files <- compare_models(fit, models, iteration_limit, jobs, random_locals, quadrature)
  } else {
    plots <- prepare(fit, min_measurements, start_locals, model)
    files <- estimate(fit, plots, start, start_locals, iteration_limit, tolerance, title, threads, random_locals,
                      quadrature)
  }
  fit$files <- files
  structure(read_fit_files(fit), class = "growth_fit")
}

# The preparer, its dialogue answered: one local whose start the starter sets
# (or the caller's starting locals), no parameter file.
prepare <- function(fit, minimum, start_locals, model = NULL) {
  nl <- if (is.null(start_locals)) 1 else length(model_locals[[model]])
  if (!is.null(start_locals) && (!is.numeric(start_locals) || length(start_locals) != nl))
    stop(growthfit_error(paste0("growth_fit: model ", model, " has ", nl, " local(s) (",
                                paste(model_locals[[model]], collapse = ", "), "): start_locals must give ", nl,
                                " number(s)")))
  starts <- if (is.null(start_locals)) 0 else start_locals
  writeLines(c(paste(nl, as.integer(minimum), number_text(fit$age_scale), number_text(fit$height_scale), 0, 0, 0),
               paste(rep(0, nl), collapse = " "), paste(number_text(starts), collapse = " ")),
             file.path(fit$dir, "answers.txt"))
  console <- run_program("preparer", c("raw.txt", "plots.dat", "plots.loc"), fit$dir, fit$programs, ids = fit$ids,
                         input = "answers.txt")
  using <- grep("^ Using", console, value = TRUE)
  plots <- as.integer(sub("^ Using *([0-9]+) plots.*", "\\1", tail(using, 1)))
  if (!length(plots) || is.na(plots) || plots == 0)
    stop(growthfit_error(paste0("growth_fit: no plot has at least ", minimum, " measurements")))
  plots
}

constants <- function(fit) c("--k1", number_text(fit$age_scale), "--k2", number_text(fit$height_scale))

estimate <- function(fit, plots, start, start_locals, iteration_limit, tolerance, title, threads, random_locals,
                     quadrature) {
  model <- fit$model
  if (!is.null(start)) start <- start_globals(start, model)
  if (is.null(start_locals)) {
    run_program("starter", c("plots.dat", "plots.loc", "control", "--model", model, constants(fit),
                             "--iteration-limit", as.integer(iteration_limit),
                             if (!is.null(tolerance)) c("--tolerance", number_text(tolerance)),
                             if (!is.null(title)) c("--title", title), if (isTRUE(random_locals)) "--random-locals"),
              fit$dir, fit$programs, ids = fit$ids)
    if (!is.null(start)) {
      control <- readLines(file.path(fit$dir, "control"))
      control[5] <- paste(number_text(start), collapse = " ")
      writeLines(control, file.path(fit$dir, "control"))
    }
  } else {
    if (is.null(start)) stop(growthfit_error("growth_fit: start_locals needs start, the starting globals"))
    write_control(file.path(fit$dir, "control"), model, plots, start, iteration_limit,
                  if (is.null(tolerance)) 1e-5 else tolerance, title, fit)
  }
  run_program("estimator", c("control", "plots.dat", "plots.loc", "report", "--json", "results.json", "--plots",
                             "plots.csv", if (!is.null(threads)) c("--threads", as.integer(threads)),
                             random_locals_options(random_locals, quadrature)),
              fit$dir, fit$programs, ids = fit$ids)
  list(data = "plots.dat", locals = "plots.loc", results = "results.json", plots = "plots.csv", report = "report",
       trace = "estimator.out", comparison = NULL)
}

start_globals <- function(start, model) {
  names_ <- model_globals[[model]]
  if (!is.numeric(start) || length(start) != length(names_))
    stop(growthfit_error(paste0("growth_fit: model ", model, " has ", length(names_), " globals (",
                                paste(names_, collapse = ", "), "): start must give ", length(names_), " numbers")))
  if (!is.null(names(start))) {
    if (!setequal(names(start), names_))
      stop(growthfit_error(paste0("growth_fit: start names ", paste(names(start), collapse = ", "),
                                  "; model ", model, " has ", paste(names_, collapse = ", "))))
    start <- start[names_]
  }
  unname(start)
}

write_control <- function(path, model, plots, start, iteration_limit, tolerance, title, fit) {
  if (is.null(title)) title <- paste0("Model ", model, " from a data frame")
  writeLines(c(substr(title, 1, 80), paste(length(start), length(model_locals[[model]]), plots), "1 1 1 1",
               paste(0, as.integer(iteration_limit), number_text(tolerance)), paste(number_text(start), collapse = " "),
               paste(model, number_text(fit$age_scale), number_text(fit$height_scale))), path)
}

# Random locals and their quadrature, passed as they are to the estimator or
# the comparer (which refuse a quadrature without them).
random_locals_options <- function(random_locals, quadrature)
  c(if (isTRUE(random_locals)) "--random-locals", if (!is.null(quadrature)) c("--quadrature", quadrature))

compare_models <- function(fit, models, iteration_limit, jobs, random_locals, quadrature) {
  list_ <- if (is.numeric(models)) paste(models, collapse = ",") else models
  run_program("comparer", c("plots.dat", "plots.loc", "models", "--models", list_, constants(fit),
                            "--iteration-limit", as.integer(iteration_limit),
                            if (!is.null(jobs)) c("--jobs", as.integer(jobs)),
                            random_locals_options(random_locals, quadrature)), fit$dir, fit$programs, ids = fit$ids)
  table <- utils::read.csv(file.path(fit$dir, "models", "comparison.csv"), stringsAsFactors = FALSE)
  best <- which(table$outcome == "converged")[1]
  if (is.na(best)) {
    best <- 1
    warning("no model converged: the fit is model ", table$model[1], ", the best by AIC, whose estimates are not an optimum",
            call. = FALSE)
  }
  folder <- file.path("models", sprintf("model-%02d", table$model[best]))
  list(data = "plots.dat", locals = file.path(folder, "locals"), results = file.path(folder, "results.json"),
       plots = file.path(folder, "plots.csv"), report = file.path(folder, "report"),
       trace = file.path(folder, "trace.txt"), comparison = file.path("models", "comparison.csv"))
}

fit_file <- function(fit, name) file.path(fit$dir, fit$files[[name]])

read_fit_files <- function(fit) {
  fit$results <- jsonlite::fromJSON(fit_file(fit, "results"), simplifyVector = TRUE)
  fit$model <- fit$results$model$number
  fit$plots <- caller_ids(utils::read.csv(fit_file(fit, "plots")), fit$ids)
  fit$comparison <- if (is.null(fit$files$comparison)) NULL else
    utils::read.csv(fit_file(fit, "comparison"), stringsAsFactors = FALSE)
  fit
}

save_fit <- function(fit, dir) {
  dir.create(dir, recursive = TRUE, showWarnings = FALSE)
  files <- list.files(fit$dir, recursive = TRUE, all.files = TRUE)
  for (f in files) {
    dir.create(file.path(dir, dirname(f)), recursive = TRUE, showWarnings = FALSE)
    if (!file.copy(file.path(fit$dir, f), file.path(dir, f), overwrite = TRUE))
      stop(growthfit_error(paste0("save_fit: cannot copy '", f, "' into '", dir, "'")))
  }
  fit$dir <- NULL
  saveRDS(fit, file.path(dir, "fit.rds"))
  invisible(normalizePath(dir))
}

load_fit <- function(dir) {
  path <- file.path(dir, "fit.rds")
  if (!file.exists(path)) stop(growthfit_error(paste0("load_fit: '", dir, "' holds no saved fit (no fit.rds)")))
  fit <- readRDS(path)
  fit$dir <- normalizePath(dir)
  fit
}

# The loblolly pine example: R's own Loblolly data frame fitted through the
# package against the same fit made on the command line from the bundled
# text file.

skip_if_not(have_programs(), "the growthfit programs are not on the PATH nor in GROWTHFIT_PROGRAMS")

test_that("a fit from the data frame is the command-line fit, and the methods give what the files say", {
  fit <- growth_fit(Loblolly, id = "Seed", model = 1, age_scale = 10, height_scale = 10, age_unit = "years",
                    height_unit = "ft")
  cl <- command_line_fit("1 3 10 10 0 0 0\n0\n0", c("--model", "1", "--k1", "10", "--k2", "10"))
  expect_close(logLik(fit), cl$json$log_likelihood, "log-likelihood")
  expect_close(coef(fit), cl$json$globals$estimates, "globals")
  expect_close(sqrt(diag(vcov(fit))), cl$json$globals$standard_errors, "standard errors")
  expect_close(locals(fit)$a, cl$plots$a, "each plot's asymptote")
  expect_equal(as.character(locals(fit)$id), as.character(cl$plots$id))
  # AIC and BIC of R's generics are the estimator's.
  expect_identical(AIC(fit), cl$json$aic)
  expect_identical(BIC(fit), cl$json$bic)
  expect_identical(attr(logLik(fit), "df"), cl$json$parameters)
  expect_identical(nobs(fit), 84L)
  expect_equal(cov2cor(vcov(fit)), unname(cl$json$globals$correlations), ignore_attr = TRUE, tolerance = 1e-14)

  # predict is the projector's table on the command-line files, to the bit.
  command_line(cl$dir, "projector", c(file.path(cl$dir, c("lob.json", "lob.dat", "lob.loc")), "--age-scale", "10",
                                      "--height-scale", "10", "--ages", "5,15,30", "--level", "0.8", "--projections",
                                      file.path(cl$dir, "p.csv"), "--residuals", file.path(cl$dir, "r.csv")))
  csv <- read.csv(file.path(cl$dir, "p.csv"))
  p <- predict(fit, ages = c(5, 15, 30), level = 0.8)
  expect_identical(p[c("age", "median", "lower", "upper")], csv[c("age", "median", "lower", "upper")])
  m <- predict(fit, ages = c(5, 15, 30), level = 0.8, interval = "measurement")
  expect_identical(m$lower, csv$measurement_lower)
  expect_identical(names(predict(fit, ages = 10, interval = "none")), c("position", "id", "age", "median"))
  r <- read.csv(file.path(cl$dir, "r.csv"))
  expect_identical(residuals(fit), r$standardised_innovation)
  expect_identical(fitted(fit), r$fitted)
  expect_identical(residuals(fit, type = "response"), r$height - r$fitted)
  one <- predict(fit, ages = 15, ids = 305)
  expect_equal(nrow(one), 1)
  expect_identical(one$median, csv$median[csv$id == 305 & csv$age == 15])
  si <- site_index(fit, base_age = 25)
  expect_identical(si$site_index, predict(fit, ages = 25)$median)
  # Plots of the fit given again as new data: their locals refitted with the globals held, the same projections
  # (to the fit's tolerance, within which the fit's own locals are at their best).
  new <- predict(fit, newdata = subset(Loblolly, Seed %in% c("301", "305")), ages = c(5, 15), level = 0.8)
  old <- predict(fit, ages = c(5, 15), level = 0.8, ids = c(301, 305))
  new <- new[order(as.character(new$id), new$age), ]
  old <- old[order(as.character(old$id), old$age), ]
  expect_identical(as.character(new$id), as.character(old$id))
  expect_equal(new$median, old$median, tolerance = 1e-6)
  expect_equal(new$upper, old$upper, tolerance = 1e-6)
})

test_that("a random-locals fit is the command-line one, and the methods read its marginal likelihood and population", {
  fit <- growth_fit(Loblolly, id = "Seed", model = 1, age_scale = 10, height_scale = 10, random_locals = TRUE)
  cl <- command_line_fit("1 3 10 10 0 0 0\n0\n0", c("--model", "1", "--k1", "10", "--k2", "10", "--random-locals"),
                         estimator_args = "--random-locals")
  expect_identical(cl$json$locals, "random")
  expect_close(logLik(fit), cl$json$marginal_log_likelihood, "marginal log-likelihood")
  expect_identical(attr(logLik(fit), "df"), 6L)  # 4 globals, the mean and the deviation of the asymptote
  expect_identical(AIC(fit), cl$json$aic)
  expect_close(coef(fit), cl$json$globals$estimates, "globals")
  expect_close(sqrt(diag(vcov(fit))), cl$json$globals$standard_errors, "standard errors")
  expect_equal(cov2cor(vcov(fit)), unname(cl$json$outer$correlations[1:4, 1:4]), ignore_attr = TRUE, tolerance = 1e-14)
  s <- summary(fit)
  expect_identical(rownames(s$local_averages), c("mean_a", "sd_a"))
  expect_close(s$local_averages$estimate, cl$json$population$estimates, "population")
  expect_output(print(s), "Locals, their population's means and standard deviations")
  expect_output(print(fit), "marginal log-likelihood")
  expect_close(locals(fit)$mode_a, cl$plots$mode_a, "each plot's conditional mode")

  # The comparer with random locals: its row of model 1 is this fit.
  best <- growth_fit(Loblolly, id = "Seed", model = "compare", models = c(1, 6), age_scale = 10, height_scale = 10,
                     jobs = 1, random_locals = TRUE)
  table <- comparison(best)
  expect_identical(table$parameters, c(6L, 6L))
  expect_close(table$log_likelihood[table$model == 1], cl$json$marginal_log_likelihood, "marginal log-likelihood")
  expect_identical(AIC(best), table$aic[1])
})

test_that("the caller's starting values give the walk-through's command-line fit", {
  fit <- growth_fit(Loblolly, id = "Seed", model = 1, age_scale = 10, height_scale = 10,
                    start = c(b = 0.5, c = 0.5, sigma_p = 0.1, sigma_e = 0.05), start_locals = 8.0,
                    iteration_limit = 50, tolerance = 1e-5)
  cl <- command_line_fit(readLines(file.path(examples_dir(), "loblolly-model1.answers")),
                         control = file.path(examples_dir(), "loblolly-model1.ctl"))
  expect_identical(fit$results$iterations, cl$json$iterations)
  expect_close(logLik(fit), cl$json$log_likelihood, "log-likelihood")
  expect_close(coef(fit), cl$json$globals$estimates, "globals")
  expect_close(locals(fit)$a, cl$plots$a, "each plot's asymptote")
})

test_that("the comparison, the summary page, and a fit saved and opened again", {
  best <- growth_fit(Loblolly, id = "Seed", model = "compare", models = c(1, 7, 13), age_scale = 10,
                     height_scale = 10, jobs = 1)
  table <- comparison(best)
  expect_identical(table$model, c(7L, 13L, 1L))
  expect_identical(best$model, 7L)
  expect_identical(AIC(best), table$aic[1])
  page <- readLines(summary_page(best, file.path(tempdir(), "best.html"), browse = FALSE))
  expect_true(any(grepl("Models compared", page)))
  expect_true(any(grepl("<svg", page)))

  # A folder used again starts afresh: no residuals of the earlier fit.
  reused <- tempfile("reused-")
  first <- residuals(growth_fit(Loblolly, id = "Seed", model = 1, age_scale = 10, height_scale = 10, dir = reused))
  expect_false(identical(residuals(growth_fit(Loblolly, id = "Seed", model = 7, dir = reused)), first))

  saved <- save_fit(best, file.path(tempfile("saved-")))
  again <- load_fit(saved)
  expect_identical(predict(again, ages = 20), predict(best, ages = 20))
  expect_error(comparison(growth_fit(Loblolly, id = "Seed", model = 1, age_scale = 10, height_scale = 10)),
               "this fit is of one model")
})

test_that("bad inputs end with clear messages, the programs' own among them", {
  expect_error(growth_fit(Loblolly, id = "plot", age_scale = 10, height_scale = 10),
               "the data have no column 'plot' \\(the plot identifier\\); columns: height, age, Seed")
  bad <- as.data.frame(Loblolly)
  bad$height[5] <- 0
  expect_error(growth_fit(bad, id = "Seed"), "must be greater than 0; row 5 has 0")
  bad$height[5] <- NA
  expect_error(growth_fit(bad, id = "Seed"), "missing or infinite values in rows 5")
  # Text identifiers come back as they were; a plot measured once cannot start model 13.
  one <- data.frame(id = c(rep("north", 6), "single"), age = c(3, 5, 10, 15, 20, 25, 7),
                    height = c(4, 10, 28, 41, 52, 60, 15))
  err <- tryCatch(growth_fit(one, model = 13, min_measurements = 1), error = function(e) e)
  expect_s3_class(err, "growthfit_error")
  expect_match(conditionMessage(err), "starter stopped with status 1: starter: plot 2 \\(ID 2\\) has 1 measurement")
  expect_match(conditionMessage(err), "identifiers 1, 2 in the message stand for north, single")
  withr_path <- Sys.getenv("PATH")
  old <- Sys.getenv("GROWTHFIT_PROGRAMS")
  Sys.setenv(PATH = tempdir(), GROWTHFIT_PROGRAMS = "")
  on.exit(Sys.setenv(PATH = withr_path, GROWTHFIT_PROGRAMS = old))
  expect_error(growth_fit(Loblolly, id = "Seed"), "the program 'preparer' was not found")
  Sys.setenv(PATH = withr_path, GROWTHFIT_PROGRAMS = old)
  # The estimator's options are passed through as they are, and a wrong call refused by the estimator itself.
  expect_error(growth_fit(Loblolly, id = "Seed", quadrature = 3), "estimator: --quadrature is an option of --random-locals")
  fit <- growth_fit(data.frame(id = rep(c("north", "south"), each = 6), age = rep(c(3, 5, 10, 15, 20, 25), 2),
                               height = c(4, 10, 28, 41, 52, 60, 5, 11, 27, 40, 50, 57)), model = 1)
  expect_identical(locals(fit)$id, c("north", "south"))
})

# The projector's interval kinds, random-locals projections, the population
# and the site-index curves through the package, against the projector run on
# the command-line fit's files.

skip_if_not(have_programs(), "the growthfit programs are not on the PATH nor in GROWTHFIT_PROGRAMS")

projector_csv <- function(cl, results, locals, options) {
  command_line(cl$dir, "projector", c(file.path(cl$dir, c(results, "lob.dat", locals)), "--age-scale", "10",
                                      "--height-scale", "10", options))
}

test_that("full intervals are the projector's own, under the plug-in names, and at least as wide", {
  fit <- growth_fit(Loblolly, id = "Seed", model = 1, age_scale = 10, height_scale = 10)
  cl <- command_line_fit("1 3 10 10 0 0 0\n0\n0", c("--model", "1", "--k1", "10", "--k2", "10"))
  f <- file.path(cl$dir, c("pf.csv", "sf.csv"))
  projector_csv(cl, "lob.json", "lob.loc", c("--ages", "5,15,30", "--base-age", "25", "--intervals", "full",
                                             "--draws", "200", "--projections", f[1], "--site-index", f[2]))
  csv <- read.csv(f[1])
  full <- predict(fit, ages = c(5, 15, 30), intervals = "full", draws = 200)
  expect_identical(attr(full, "intervals"), "full")
  expect_identical(full$median, csv$median_full)
  expect_identical(full[c("lower", "upper")], setNames(csv[c("lower_full", "upper_full")], c("lower", "upper")))
  m <- predict(fit, ages = c(5, 15, 30), interval = "measurement", intervals = "full", draws = 200)
  expect_identical(m$upper, csv$measurement_upper_full)
  si <- site_index(fit, base_age = 25, intervals = "full", draws = 200)
  bounds <- c("site_index", "lower", "upper")
  expect_identical(si[bounds], setNames(read.csv(f[2])[paste0(bounds, "_full")], bounds))

  # The same names for both kinds; the estimates' error only widens (default draws).
  plug <- predict(fit, ages = c(5, 15, 30), interval = "measurement")
  wide <- predict(fit, ages = c(5, 15, 30), interval = "measurement", intervals = "full")
  expect_identical(attr(plug, "intervals"), "plug-in")
  expect_identical(names(wide), names(plug))
  expect_true(all(wide$upper - wide$lower >= plug$upper - plug$lower))
  expect_true(all(wide$lower <= wide$median & wide$median <= wide$upper))
  expect_identical(names(site_index(fit, base_age = 25, intervals = "full")), names(site_index(fit, base_age = 25)))
  # The figures and the page draw and name the kind asked for.
  plots <- readLines(figures(fit, intervals = "full", draws = 200)[["plots"]], warn = FALSE)
  expect_true(any(grepl("90% full interval of the true height", plots, fixed = TRUE)))
  expect_false(any(grepl("full", readLines(figures(fit)[["plots"]], warn = FALSE))))
  page <- readLines(summary_page(fit, tempfile(fileext = ".html"), intervals = "full", draws = 200, browse = FALSE))
  expect_true(any(grepl("intervals are full intervals", page, fixed = TRUE)))
  expect_error(figures(fit, intervals = "wide"), "should be one of")
  expect_error(population(fit, ages = 10), "needs the results of a random-locals fit")
  expect_error(predict(fit, ages = 10, intervals = "full", draws = 0), "--draws takes an integer")

  # Site-index curves: the projector's table, each curve through its site index at the base age.
  curves <- site_curves(fit, c(40, 60), base_age = 25, ages = c(5, 15, 30))
  projector_csv(cl, "lob.json", "lob.loc", c("--site-curves", "40,60", "--base-age", "25", "--ages", "5,15,30",
                                             "--site-curve-table", file.path(cl$dir, "sc.csv")))
  expect_identical(curves, read.csv(file.path(cl$dir, "sc.csv")))
  at_base <- curves[curves$age == 25, ]
  expect_equal(at_base$height, c(40, 60), tolerance = 1e-10)
})

test_that("a random-locals fit is projected: tables, population and figures are the projector's own", {
  fit <- growth_fit(Loblolly, id = "Seed", model = 1, age_scale = 10, height_scale = 10, random_locals = TRUE)
  cl <- command_line_fit("1 3 10 10 0 0 0\n0\n0", c("--model", "1", "--k1", "10", "--k2", "10", "--random-locals"),
                         estimator_args = "--random-locals")
  f <- file.path(cl$dir, c("rp.csv", "rs.csv", "pop.csv", "popf.csv"))
  projector_csv(cl, "lob.json", "lob.loc", c("--ages", "5,15,30", "--base-age", "25", "--draws", "300",
                                             "--projections", f[1], "--site-index", f[2], "--population", f[3]))
  projector_csv(cl, "lob.json", "lob.loc", c("--ages", "5,15,30", "--intervals", "full", "--draws", "100",
                                             "--level", "0.8", "--population", f[4]))
  p <- predict(fit, ages = c(5, 15, 30), draws = 300)
  csv <- read.csv(f[1])
  expect_identical(p[c("age", "median", "lower", "upper")], csv[c("age", "median", "lower", "upper")])
  expect_identical(site_index(fit, base_age = 25, draws = 300)$site_index, read.csv(f[2])$site_index)
  plain <- population(fit, ages = c(5, 15, 30), draws = 300)
  expect_identical(plain, structure(read.csv(f[3]), intervals = "plug-in"))
  pop <- population(fit, ages = c(5, 15, 30), level = 0.8, intervals = "full", draws = 100)
  expect_identical(pop, structure(setNames(read.csv(f[4]), names(plain)), intervals = "full"))
  expect_identical(names(read.csv(f[4]))[2], "median_full")
  # The population is wider than any measured plot at the last age.
  expect_true(all((plain$upper - plain$lower)[3] > (p$upper - p$lower)[p$age == 30]))
  expect_length(residuals(fit), 84)
  svg <- figures(fit)
  for (s in svg) expect_true(any(grepl("<svg", readLines(s, warn = FALSE))))
})

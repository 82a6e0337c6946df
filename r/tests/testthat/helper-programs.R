# The programs under test: GROWTHFIT_PROGRAMS (set by scripts/test-r-package.sh
# to the freshly built programs) or the PATH; the bundled example data of the
# source tree: GROWTHFIT_EXAMPLES, or found from the test folder.
have_programs <- function() {
  nzchar(Sys.getenv("GROWTHFIT_PROGRAMS")) || nzchar(Sys.which("estimator"))
}

examples_dir <- function() {
  dir <- Sys.getenv("GROWTHFIT_EXAMPLES", file.path("..", "..", "..", "examples"))
  if (!file.exists(file.path(dir, "loblolly", "loblolly.txt"))) skip("the examples folder of the source tree is not found")
  normalizePath(dir)
}

# A command-line run in a folder of its own: the programs as a user types them.
command_line <- function(dir, program, args, input = NULL) {
  path <- growthfit::growthfit_programs()[[program]]
  status <- system2(path, shQuote(args), stdout = file.path(dir, paste0(program, ".out")),
                    stderr = file.path(dir, paste0(program, ".err")), stdin = if (is.null(input)) "" else input)
  if (status != 0) stop(program, " failed: ", paste(readLines(file.path(dir, paste0(program, ".err"))), collapse = "\n"))
}

command_line_fit <- function(answers, model_args = NULL, control = NULL, estimator_args = NULL) {
  dir <- tempfile("command-line-")
  dir.create(dir)
  writeLines(answers, file.path(dir, "answers"))
  command_line(dir, "preparer", c(file.path(examples_dir(), "loblolly", "loblolly.txt"), file.path(dir, "lob.dat"),
                                  file.path(dir, "lob.loc")), input = file.path(dir, "answers"))
  if (is.null(control)) {
    control <- file.path(dir, "lob.ctl")
    command_line(dir, "starter", c(file.path(dir, "lob.dat"), file.path(dir, "lob.loc"), control, model_args))
  }
  command_line(dir, "estimator", c(control, file.path(dir, "lob.dat"), file.path(dir, "lob.loc"), file.path(dir, "lob.rep"),
                                   "--json", file.path(dir, "lob.json"), "--plots", file.path(dir, "lob.csv"), estimator_args))
  list(dir = dir, json = jsonlite::fromJSON(file.path(dir, "lob.json")), plots = read.csv(file.path(dir, "lob.csv")))
}

# |x - y| <= 1e-12 max(|y|, 1), element by element.
expect_close <- function(x, y, what) {
  expect_equal(length(x), length(y), label = what)
  expect_true(all(abs(x - y) <= 1e-12 * pmax(abs(y), 1)), label = paste(what, "agree to 1e-12"))
}

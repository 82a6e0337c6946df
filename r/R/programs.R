# Finding and running the growthfit programs. A program is looked for, in
# this order, in the folder given to the call (`programs`), in the folder of
# options(growthfit.programs = ...), in the folder of the environment variable
# GROWTHFIT_PROGRAMS, and on the PATH.

program_names <- c("preparer", "starter", "estimator", "projector", "comparer")

growthfit_error <- function(message, call = NULL) {
  structure(class = c("growthfit_error", "error", "condition"),
            list(message = message, call = call))
}

growthfit_programs <- function(programs = NULL) {
  paths <- vapply(program_names, find_program, character(1), programs = programs)
  names(paths) <- program_names
  paths
}

find_program <- function(name, programs = NULL) {
  folders <- c(programs, getOption("growthfit.programs"), Sys.getenv("GROWTHFIT_PROGRAMS", ""))
  for (folder in folders[nzchar(folders)]) {
    path <- file.path(path.expand(folder), name)
    if (file.exists(path) && !dir.exists(path)) return(normalizePath(path))
  }
  path <- Sys.which(name)
  if (nzchar(path)) return(unname(path))
  stop(growthfit_error(paste0(
    "growthfit: the program '", name, "' was not found",
    if (length(folders[nzchar(folders)])) paste0(" in ", paste0("'", folders[nzchar(folders)], "'", collapse = ", "), " nor"),
    " on the PATH. Install the programs (cmake --install build --prefix DIR) and put DIR/bin on the PATH, ",
    "or give the folder as options(growthfit.programs = \"DIR/bin\"), the environment variable ",
    "GROWTHFIT_PROGRAMS or the argument programs.")))
}

# Runs `name` with `args` in the folder `dir`; its console and error stream go
# to files there. A status other than 0 becomes an R error with the program's
# own message.
# `ids`: the map of the plots' identifiers, named in the message when the
# programs know them by numbers of the package's own.
run_program <- function(name, args, dir, programs = NULL, input = NULL, log = name, ids = NULL) {
  program <- find_program(name, programs)
  out <- file.path(dir, paste0(log, ".out"))
  err <- file.path(dir, paste0(log, ".err"))
  old <- setwd(dir)
  on.exit(setwd(old))
  status <- suppressWarnings(system2(program, shQuote(args), stdout = basename(out), stderr = basename(err),
                                     stdin = if (is.null(input)) "" else input))
  console <- readLines(out, warn = FALSE)
  if (!identical(status, 0L) && !identical(status, 0)) {
    stop(growthfit_error(paste0(program_failure(name, status, console, readLines(err, warn = FALSE)), id_note(ids))))
  }
  console
}

program_failure <- function(name, status, console, errors) {
  said <- trimws(console[nzchar(trimws(console))])
  errors <- errors[nzchar(trimws(errors))]
  message <- c(if (status == 1 && length(said)) tail(said, 1), errors)
  if (!length(message)) message <- tail(said, 3)
  paste0(name, " stopped with status ", status, ": ", paste(message, collapse = "\n"))
}

id_note <- function(ids) {
  if (is.null(ids) || identical(as.character(ids$code), as.character(ids$id))) return("")
  k <- head(seq_len(nrow(ids)), 10)
  paste0("\n(plot identifiers ", paste(ids$code[k], collapse = ", "), if (nrow(ids) > 10) ", ...",
         " in the message stand for ", paste(as.character(ids$id[k]), collapse = ", "), if (nrow(ids) > 10) ", ...",
         " of the data)")
}

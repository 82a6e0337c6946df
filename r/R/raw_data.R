# The raw data file of the preparer from a data frame: one line per
# measurement, "id age height", the plots in the order in which their
# identifiers first appear, each plot's rows by increasing age (rows of one
# identifier form one plot wherever they stand). Identifiers that are not
# integers (text, factors with other labels) are numbered 1, 2, ... in that
# order; `ids` keeps the map back to the caller's values.

column <- function(data, name, role) {
  if (!is.character(name) || length(name) != 1)
    stop(growthfit_error(paste0("growth_fit: ", role, " must name one column of the data")))
  if (!name %in% names(data))
    stop(growthfit_error(paste0("growth_fit: the data have no column '", name, "' (the ", role, "); columns: ",
                                paste(names(data), collapse = ", "))))
  data[[name]]
}

first_rows <- function(rows) {
  paste0(paste(head(rows, 5), collapse = ", "), if (length(rows) > 5) ", ..." else "")
}

check_measure <- function(x, name, role, positive) {
  if (!is.numeric(x)) stop(growthfit_error(paste0("growth_fit: column '", name, "' (the ", role, ") is not numeric")))
  bad <- which(!is.finite(x))
  if (length(bad))
    stop(growthfit_error(paste0("growth_fit: column '", name, "' (the ", role, ") has missing or infinite values in ",
                                "rows ", first_rows(bad), "; drop those rows first (e.g. with na.omit)")))
  if (positive) {
    bad <- which(x <= 0)
    if (length(bad))
      stop(growthfit_error(paste0("growth_fit: column '", name, "' (the height) must be greater than 0; row ",
                                  bad[1], " has ", format(x[bad[1]]),
                                  if (length(bad) > 1) paste0(" (and ", length(bad) - 1, " more rows)") else "")))
  }
}

# Integer codes for the identifiers, and the table that maps them back.
plot_codes <- function(id, name) {
  if (anyNA(id)) stop(growthfit_error(paste0("growth_fit: column '", name, "' (the plot identifier) has missing ",
                                              "values in rows ", first_rows(which(is.na(id))))))
  labels <- as.character(id)
  whole <- grepl("^-?[0-9]{1,9}$", labels)
  first <- !duplicated(labels)
  if (all(whole)) {
    codes <- as.integer(labels)
    # Different labels for one number ("7" and "07") would merge two plots.
    if (anyDuplicated(codes[first])) whole <- FALSE
  }
  if (!all(whole)) codes <- match(labels, labels[first])
  list(codes = codes, ids = data.frame(code = codes[first], id = id[first]))
}

number_text <- function(x) {
  short <- sprintf("%.15g", x)
  ifelse(as.numeric(short) == x, short, sprintf("%.17g", x))
}

# Writes the raw data file; returns the plots' codes in file order, the map of
# identifiers and the plots that have fewer than `minimum` measurements.
write_raw_data <- function(data, id, age, height, path, minimum = 1) {
  if (!is.data.frame(data)) stop(growthfit_error("growth_fit: data must be a data frame"))
  if (nrow(data) == 0) stop(growthfit_error("growth_fit: the data have no rows"))
  ids <- column(data, id, "plot identifier")
  ages <- column(data, age, "age")
  heights <- column(data, height, "height")
  check_measure(ages, age, "age", FALSE)
  check_measure(heights, height, "height", TRUE)
  coded <- plot_codes(ids, id)
  plot <- match(coded$codes, coded$ids$code)
  counts <- tabulate(plot, nrow(coded$ids))
  if (any(counts > 99))
    stop(growthfit_error(paste0("growth_fit: plot ", format(coded$ids$id[which(counts > 99)[1]]), " has ",
                                max(counts), " measurements; a plot can have at most 99")))
  o <- order(plot, ages)
  writeLines(paste(coded$codes[o], number_text(ages[o]), number_text(heights[o])), path)
  list(ids = coded$ids, dropped = coded$ids$id[counts < minimum])
}

# The caller's identifiers for the codes of a table read back from a program.
caller_ids <- function(table, ids) {
  if ("id" %in% names(table)) table$id <- ids$id[match(table$id, ids$code)]
  table
}

\name{growth_fit}
\alias{growth_fit}
\alias{growthfit}
\alias{print.growth_fit}
\alias{summary.growth_fit}
\alias{coef.growth_fit}
\alias{vcov.growth_fit}
\alias{logLik.growth_fit}
\alias{nobs.growth_fit}
\alias{residuals.growth_fit}
\alias{fitted.growth_fit}
\alias{predict.growth_fit}
\alias{plot.growth_fit}
\alias{site_index}
\alias{population}
\alias{site_curves}
\alias{comparison}
\alias{locals}
\alias{figures}
\alias{summary_page}
\alias{save_fit}
\alias{load_fit}
\alias{growthfit_programs}
\title{Fit a stochastic height-growth model with the growthfit programs}
\description{
A fit from a data frame of repeated age/height measurements on many plots,
made by the installed growthfit programs (preparer, starter, estimator,
projector, comparer) in a folder of its own (a temporary one unless
\code{dir} is given), which the fit object keeps.
}
\usage{
growth_fit(data, id = "id", age = "age", height = "height", model = 1,
           age_scale = 1, height_scale = 1, start = NULL, start_locals = NULL,
           min_measurements = 3, models = "all", iteration_limit = 100,
           tolerance = NULL, title = NULL, age_unit = "age units",
           height_unit = "height units", threads = NULL, jobs = NULL,
           random_locals = FALSE, quadrature = NULL, programs = NULL, dir = NULL)
\method{coef}{growth_fit}(object, raw = FALSE, ...)
\method{vcov}{growth_fit}(object, raw = FALSE, ...)
\method{predict}{growth_fit}(object, newdata = NULL, ages, level = 0.9,
        interval = c("height", "measurement", "none"), ids = NULL,
        intervals = c("plug-in", "full"), draws = NULL, ...)
\method{residuals}{growth_fit}(object, type = c("standardised", "response", "table"), ...)
\method{plot}{growth_fit}(x, which = c("plots", "curves", "residuals"), level = 0.9,
     ids = NULL, browse = interactive(), intervals = c("plug-in", "full"),
     draws = NULL, ...)
site_index(fit, base_age, level = 0.9, ids = NULL,
           intervals = c("plug-in", "full"), draws = NULL)
population(fit, ages, level = 0.9, intervals = c("plug-in", "full"), draws = NULL)
site_curves(fit, site_indices, base_age, ages)
comparison(fit)
locals(fit)
figures(fit, level = 0.9, ids = NULL, ages = NULL,
        intervals = c("plug-in", "full"), draws = NULL)
summary_page(fit, file = file.path(fit$dir, "summary.html"), level = 0.9,
             ids = NULL, browse = interactive(), intervals = c("plug-in", "full"),
             draws = NULL)
save_fit(fit, dir)
load_fit(dir)
growthfit_programs(programs = NULL)
}
\arguments{
\item{data}{a data frame, one row per measurement. Rows with the same
  identifier make one plot (in the order the identifiers first appear; each
  plot's rows are sorted by age). Identifiers that are not integers are
  numbered 1, 2, ... for the programs and given back as they were.}
\item{id, age, height}{the names of the columns of plot identifier, age and
  height. Heights must be greater than 0; no value may be missing.}
\item{model}{a model number, 1 to 18, or \code{"compare"}: the comparer fits
  \code{models} (\code{"all"}, a vector of numbers, or a text such as
  \code{"1,4,13-18"}) and the fit is the best converged one by AIC.}
\item{age_scale, height_scale}{the preparer's scales: ages and heights are
  divided by them for the estimator; they are also the model constants K1 and
  K2 (models 14 to 18 fix the curve through age 0.5 and height 1.3 in the
  data's units). Results of the projector come back in the data's units.}
\item{start, start_locals}{starting globals (named as the model's globals, or
  in their order) and the starting value of each local (the same for every
  plot). By default the starter proposes both; with \code{start} alone the
  starter still sets the locals.}
\item{min_measurements}{plots with fewer measurements are left out, with a warning.}
\item{iteration_limit, tolerance, title, threads, jobs}{passed to the
  starter, the estimator (\code{--threads}) and the comparer (\code{--jobs}).}
\item{age_unit, height_unit}{names of the data's units, on the figures and
  the summary page.}
\item{random_locals, quadrature}{\code{random_locals = TRUE}: the plots'
  locals drawn from a population and integrated out (the estimator's
  \code{--random-locals}); \code{logLik} is then the marginal log-likelihood
  and \code{summary} gives the population's means and standard deviations.
  \code{quadrature}: nodes per local (\code{--quadrature K}; default the
  Laplace approximation), refused without random locals. Both go to the
  estimator (its start from \code{starter --random-locals}, unless
  \code{start_locals} is given), or for \code{model = "compare"} to the
  comparer, which fits every model with them.}
\item{newdata}{new plots (a data frame with the fit's columns), passed to the
  projector as a raw data file with \code{--new-data}: each plot's locals
  are fitted with the fit's globals held.
  \code{NULL}: the fitted plots.}
\item{ages, level, interval, ids, base_age}{ages to project to, the level of
  the intervals, which interval (of the true height, of a new measurement, or
  none), the plots to show, the base age of the site index.}
\item{intervals, draws}{the projector's \code{--intervals}: \code{"plug-in"}
  (the estimates taken as the true parameters) or \code{"full"} (the
  intervals carry the estimates' uncertainty, from \code{draws} draws of the
  parameters per plot; \code{--draws K}, default 1000, also the draws of a
  random-locals fit's locals). The columns are named alike for both kinds;
  the attribute \code{"intervals"} of the table says which. For
  \code{figures}, \code{plot} and \code{summary_page}: the kind of the plot
  figure's bands, which its title and legend, and the page, name.}
\item{site_indices}{heights at \code{base_age}: \code{site_curves} gives,
  for each, the model's curve without noise through it, at \code{ages} and
  the base age, with the local solved for (the projector's site-curve table).}
\item{raw}{\code{TRUE}: estimates and covariances in the data's units where
  that is an exact rescaling (a, a_intercept, a_slope, b, t0); the others stay
  in the scaled units.}
\item{programs}{the folder of the programs. Otherwise the option
  \code{growthfit.programs}, the environment variable
  \code{GROWTHFIT_PROGRAMS}, then the PATH.}
\item{dir}{the fit's folder (\code{save_fit}, \code{load_fit}: the folder to
  save to or open).}
\item{object, x, fit}{a fit.}
\item{type, which, browse, file, ...}{kind of residual; figures to show;
  open in a browser; file of the page; unused.}
}
\details{
\code{coef} and \code{vcov} are the globals' estimates and covariance in the
scaled units of the estimator: the standard errors of the results file are
\eqn{\sqrt{2}} times the square roots of the diagonal of the inverse Hessian
of minus twice the log-likelihood, that is those of the inverse observed
information, and \code{vcov} is \code{diag(se) \%*\% R \%*\% diag(se)} with
\code{R} their correlations. \code{logLik} carries \code{df} (globals plus
the locals of every plot) and \code{nobs} (measurements), so that
\code{AIC} and \code{BIC} are those of the results file. \code{residuals}
(standardised innovations, or height minus fitted) and \code{fitted} follow
the plots' order, each plot's measurements by age. \code{predict},
\code{site_index}, \code{residuals} and \code{figures} work on random-locals
fits too (each plot over the conditional distribution of its locals);
\code{population} (the height distribution of a plot not measured, at
\code{ages}) needs one, the projector refuses a fixed-locals fit. Programs that stop with
an error raise an R error of class \code{growthfit_error} with the program's
message.
}
\value{\code{growth_fit}: an object of class \code{growth_fit}; the others
data frames, vectors, or file paths.}
\examples{
\dontrun{
fit <- growth_fit(Loblolly, id = "Seed", model = 1, age_scale = 10, height_scale = 10,
                  age_unit = "years", height_unit = "ft")
summary(fit); AIC(fit)
predict(fit, ages = c(5, 15, 30))
}
}

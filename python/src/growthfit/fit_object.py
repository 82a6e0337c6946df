"""The fit object: the results of the estimator's files as pandas objects,
and the projector's projections, residuals, site indices, figures and
summary page, in the data frame's units (the fit's scales).

Estimates are in the scaled units of the data file, as the estimator gives
them (raw=True: in the data's units where that is an exact rescaling). The
standard errors of the results file are those of the maximum-likelihood
estimates, sqrt(2 diag(H^-1)) with H the Hessian of minus twice the
log-likelihood, i.e. the square roots of the diagonal of the inverse
observed information; so vcov = diag(se) R diag(se) = 2 H^-1.
"""

import json
import math
import os
import shutil
import tempfile
import weakref

import numpy as np
import pandas as pd

from ._models import raw_factor
from ._programs import GrowthfitError, run_program
from ._raw_data import caller_ids, number_text, write_raw_data


def _read_csv(path):
    return pd.read_csv(path, keep_default_na=False, na_values=["NaN"])


class Figure:
    """An SVG figure of the projector: its path, its text, and its picture in notebooks."""

    def __init__(self, path):
        self.path = path

    @property
    def svg(self):
        with open(self.path, encoding="utf-8") as f:
            return f.read()

    def _repr_svg_(self):
        return self.svg

    def __repr__(self):
        return f"Figure({self.path!r})"


class Fit:
    def __init__(self, directory, settings, programs=None, remove_when_done=False):
        self.directory = directory
        self.settings = settings
        self.programs = programs
        self.age_scale, self.height_scale = settings["age_scale"], settings["height_scale"]
        self._ids = [tuple(p) for p in settings["ids"]]
        with open(self._file("results"), encoding="utf-8") as f:
            self.results = json.load(f)
        self.model = self.results["model"]["number"]
        if remove_when_done:
            weakref.finalize(self, shutil.rmtree, directory, True)

    def _file(self, name):
        return os.path.join(self.directory, self.settings["files"][name])

    # The estimates.
    def _factors(self, raw):
        names = self.results["globals"]["names"]
        return np.array([raw_factor(n, self.age_scale, self.height_scale) if raw else 1.0 for n in names])

    @staticmethod
    def _numbers(values):
        return np.array([math.nan if v is None else v for v in values], dtype=float)

    def coef(self, raw=False):
        g = self.results["globals"]
        return pd.Series(self._numbers(g["estimates"]) * self._factors(raw), index=g["names"], name="estimate")

    def standard_errors(self, raw=False):
        g = self.results["globals"]
        return pd.Series(self._numbers(g["standard_errors"]) * self._factors(raw), index=g["names"],
                         name="standard_error")

    # A random-locals fit (estimator --random-locals) integrates the locals
    # out: its log-likelihood is the marginal one, its globals' correlations
    # are the first rows of those of all its outer parameters (globals, then
    # the population's), and its locals are described by their population.
    @property
    def random_locals(self):
        return self.results.get("locals") == "random"

    def _correlations(self):
        n = len(self.results["globals"]["names"])
        rows = self.results["outer" if self.random_locals else "globals"]["correlations"]
        return np.array([self._numbers(row[:n]) for row in rows[:n]])

    def vcov(self, raw=False):
        g = self.results["globals"]
        se = self.standard_errors(raw).to_numpy()
        return pd.DataFrame(np.outer(se, se) * self._correlations(), index=g["names"], columns=g["names"])

    @property
    def loglik(self):
        return self.results["marginal_log_likelihood" if self.random_locals else "log_likelihood"]

    def _likelihood_text(self):
        return f"{'marginal log-likelihood' if self.random_locals else 'log-likelihood'} {self.loglik:.10g}"

    @property
    def df(self):
        """Estimated parameters: the globals and the locals of every plot (random locals: the
        globals, the locals' means and their covariance)."""
        return self.results["parameters"]

    @property
    def nobs(self):
        return self.results["measurements"]

    @property
    def aic(self):
        return self.results["aic"]

    @property
    def bic(self):
        return self.results["bic"]

    def locals(self):
        """One row per plot: its locals and their standard errors (the estimator's plots.csv)."""
        return caller_ids(_read_csv(self._file("plots")), self._ids)

    def comparison(self):
        if self.settings["files"]["comparison"] is None:
            raise GrowthfitError('comparison: this fit is of one model; fit with model="compare"')
        return _read_csv(self._file("comparison"))

    def summary(self):
        r = self.results
        g = pd.DataFrame({"estimate": self.coef(), "standard_error": self.standard_errors(),
                          "raw_estimate": self.coef(raw=True), "raw_standard_error": self.standard_errors(raw=True)})
        names = r["globals"]["names"]
        correlations = pd.DataFrame(self._correlations(), index=names, columns=names)
        a = r["population" if self.random_locals else "local_averages"]
        averages = pd.DataFrame({"estimate": a["estimates"], "standard_error": a["standard_errors"]}, index=a["names"])
        limit = f" (limit {r['iteration_limit']})" if "iteration_limit" in r else ""
        mode = f", random locals ({r['nodes_per_local']} node(s) per local)" if self.random_locals else ""
        lines = [r["title"], f"model {self.model}: {r['outcome']} after {r['iterations']} iterations{limit}{mode}",
                 f"{r['plots']} plots, {r['measurements']} measurements, {r['parameters']} parameters",
                 f"{self._likelihood_text()}, AIC {r['aic']:.10g}, BIC {r['bic']:.10g}", "",
                 f"Globals (raw: the data's units, age scale {self.age_scale:g}, height scale {self.height_scale:g}, "
                 "where exact; the others stay scaled):", g.to_string(), "", "Correlations:",
                 correlations.round(3).to_string(), "",
                 "Locals, their population's means and standard deviations (scaled):" if self.random_locals else
                 "Locals, averages weighted by the plots' measurements (scaled):", averages.to_string()]
        if self.settings["files"]["comparison"] is not None:
            table = self.comparison()[["model", "log_likelihood", "parameters", "aic", "bic", "outcome", "flag"]]
            lines += ["", "Models compared:", table.to_string(index=False)]
        return "\n".join(lines)

    def __repr__(self):
        r = self.results
        text = (f"{r['title']}\nmodel {self.model} (globals {' '.join(r['model']['globals'])}; locals "
                f"{' '.join(r['model']['locals'])}): {r['outcome']} after {r['iterations']} iterations\n"
                f"{r['plots']} plots, {r['measurements']} measurements; {self._likelihood_text()}, "
                f"AIC {r['aic']:.10g}, BIC {r['bic']:.10g}\n{self.coef().to_string()}")
        return text

    # The projector.
    def _projector(self, options, ids_map=None):
        s = self.settings
        args = [s["files"]["results"], s["files"]["data"], s["files"]["locals"], "--age-scale",
                number_text(self.age_scale), "--height-scale", number_text(self.height_scale), "--age-unit",
                s["age_unit"], "--height-unit", s["height_unit"], *options]
        run_program("projector", [str(a) for a in args], self.directory, self.programs, ids=self._ids)

    def _output(self, stem, ext):
        folder = os.path.join(self.directory, "projector")
        os.makedirs(folder, exist_ok=True)
        fd, path = tempfile.mkstemp(prefix=stem + "-", suffix=ext, dir=folder)
        os.close(fd)
        os.remove(path)
        return os.path.relpath(path, self.directory)

    def _read(self, name, ids_map=None):
        return caller_ids(_read_csv(os.path.join(self.directory, name)), ids_map or self._ids)

    @staticmethod
    def _list(values, what):
        values = [float(v) for v in np.atleast_1d(values)]
        if not values or not all(math.isfinite(v) for v in values):
            raise GrowthfitError(f"{what} must be finite numbers")
        return ",".join(number_text(v) for v in values)

    @staticmethod
    def _level(level):
        if not 0 < level < 1:
            raise GrowthfitError("level must be a number strictly between 0 and 1")
        return ["--level", number_text(level)]

    @staticmethod
    def _intervals(intervals, draws):
        """The kind of interval (projector --intervals) and the draws of the parameters (--draws K, for full
        intervals and random locals; the projector judges K itself)."""
        if intervals not in ("plug-in", "full"):
            raise GrowthfitError('intervals is "plug-in" or "full"')
        if draws is None:
            return ["--intervals", intervals]
        if isinstance(draws, bool) or not isinstance(draws, (int, float, np.integer, np.floating)) \
                or not math.isfinite(draws):
            raise GrowthfitError("draws must be one finite number")
        k = str(int(draws)) if float(draws).is_integer() else number_text(draws)
        return ["--intervals", intervals, "--draws", k]

    @staticmethod
    def _interval_table(table, intervals):
        """A table of full intervals has its interval columns named with _full; the package gives the same
        names whichever kind, and says the kind in attrs["intervals"]."""
        table = table.rename(columns=lambda c: c[:-len("_full")] if c.endswith("_full") else c)
        table.attrs["intervals"] = intervals
        return table

    def _ids_option(self, ids):
        if ids is None:
            return []
        back = {str(i): c for c, i in self._ids}
        missing = [i for i in np.atleast_1d(ids) if str(i) not in back]
        if missing:
            raise GrowthfitError(f"ids: no plot {', '.join(str(m) for m in missing)} in the fit")
        return ["--ids", ",".join(str(back[str(i)]) for i in np.atleast_1d(ids))]

    def predict(self, newdata=None, ages=None, level=0.9, interval="height", ids=None, intervals="plug-in",
                draws=None):
        """Projections of the fitted plots (or of new plots, newdata) at `ages`: the median height and the
        interval of the true height ("height"), of a new measurement ("measurement"), or none ("none").

        intervals: "plug-in" (the estimates taken as the true parameters) or "full" (the intervals carry the
        estimates' uncertainty, from `draws` draws of the parameters per plot, default 1000; also the draws of
        a random-locals fit's locals). The columns are named alike for both; attrs["intervals"] says which.

        newdata goes to the projector as a raw data file with --new-data, in the data's units: each plot's
        locals are fitted with the fit's globals held."""
        if ages is None:
            raise GrowthfitError("predict: give the ages to project to (ages=[5, 15, 30])")
        if interval not in ("height", "measurement", "none"):
            raise GrowthfitError('predict: interval is "height", "measurement" or "none"')
        out = self._output("projections", ".csv")
        ids_map, new = self._ids, []
        if newdata is not None:
            name = self._output("new-data", ".txt")
            id_, age, height = self.settings["columns"]
            ids_map, _ = write_raw_data(newdata, id_, age, height, os.path.join(self.directory, name))
            new = ["--new-data", name]
        self._projector([*new, "--ages", self._list(ages, "ages"), *self._level(level), *self._ids_option(ids),
                         *self._intervals(intervals, draws), "--projections", out])
        p = self._read(out, ids_map).rename(columns=lambda c: c[:-len("_full")] if c.endswith("_full") else c)
        keep = ["position", "id", "age", "median"]
        if interval == "height":
            p = p[keep + ["lower", "upper"]]
        elif interval == "measurement":
            p = p[keep + ["measurement_lower", "measurement_upper"]].rename(
                columns={"measurement_lower": "lower", "measurement_upper": "upper"})
        else:
            p = p[keep]
        return self._interval_table(p, intervals)

    def _residual_table(self):
        name = os.path.join("projector", "residuals.csv")
        if not os.path.exists(os.path.join(self.directory, name)):
            os.makedirs(os.path.join(self.directory, "projector"), exist_ok=True)
            self._projector(["--residuals", name])
        return self._read(name)

    def residuals(self, kind="standardised"):
        """In the order of the plots' first appearance, each plot's measurements by increasing age:
        standardised innovations, height minus fitted ("response"), or the projector's table ("table")."""
        r = self._residual_table()
        if kind == "standardised":
            return r["standardised_innovation"]
        if kind == "response":
            return (r["height"] - r["fitted"]).rename("residual")
        if kind == "table":
            return r
        raise GrowthfitError('residuals: kind is "standardised", "response" or "table"')

    def fitted(self):
        return self._residual_table()["fitted"]

    def site_index(self, base_age, level=0.9, ids=None, intervals="plug-in", draws=None):
        """Per plot the median height at the base age and its interval (intervals, draws: as for predict)."""
        out = self._output("site-index", ".csv")
        self._projector(["--base-age", self._list(base_age, "base_age").split(",")[0], *self._level(level),
                         *self._ids_option(ids), *self._intervals(intervals, draws), "--site-index", out])
        return self._interval_table(self._read(out), intervals)

    def population(self, ages, level=0.9, intervals="plug-in", draws=None):
        """The population's height distribution at `ages`: a plot with no measurements (projector
        --population; random-locals fits only, the projector refuses the others)."""
        out = self._output("population", ".csv")
        self._projector(["--ages", self._list(ages, "ages"), *self._level(level), *self._intervals(intervals, draws),
                         "--population", out])
        return self._interval_table(_read_csv(os.path.join(self.directory, out)), intervals)

    def site_curves(self, site_indices, base_age, ages):
        """The site-index curves: for each site index the model's curve without noise through (base_age,
        site index), its heights at `ages` and the base age (projector --site-curves, --site-curve-table)."""
        out = self._output("site-curves", ".csv")
        self._projector(["--site-curves", self._list(site_indices, "site_indices"), "--base-age",
                         self._list(base_age, "base_age").split(",")[0], "--ages", self._list(ages, "ages"),
                         "--site-curve-table", out])
        return _read_csv(os.path.join(self.directory, out))

    def figures(self, level=0.9, ids=None, intervals="plug-in", draws=None):
        """The projector's three SVG figures: a dict of paths (plots, curves, residuals). The plot figure's bands
        are of the kind `intervals` asks for (intervals, draws: as for predict), and its title says which."""
        files = {name: self._output(name, ".svg") for name in ("plots", "curves", "residuals")}
        self._projector([*self._level(level), *self._ids_option(ids), *self._intervals(intervals, draws),
                         "--plot-figure", files["plots"],
                         "--curve-figure", files["curves"], "--residual-figure", files["residuals"]])
        return {name: os.path.join(self.directory, path) for name, path in files.items()}

    def plot(self, which=("plots", "curves", "residuals"), level=0.9, ids=None, intervals="plug-in", draws=None):
        """The figures as Figure objects (shown in notebooks); no Matplotlib (intervals, draws: as for figures)."""
        paths = self.figures(level, ids, intervals, draws)
        which = [which] if isinstance(which, str) else list(which)
        return [Figure(paths[w]) for w in which]

    def summary_page(self, path=None, level=0.9, ids=None, intervals="plug-in", draws=None):
        """Writes the fit's self-contained HTML page (with the comparison when the fit came from the
        comparer); returns its path. Its plot figure's bands are of the kind `intervals` asks for (intervals,
        draws: as for predict), and the page says which."""
        path = os.path.abspath(path or os.path.join(self.directory, "summary.html"))
        comparison = self.settings["files"]["comparison"]
        self._projector([*self._level(level), *self._ids_option(ids), *self._intervals(intervals, draws),
                         "--summary-page", path,
                         *(["--comparison", comparison] if comparison else [])])
        return path

    def save(self, directory):
        """Copies the fit's folder to `directory`, which growthfit.load() opens again."""
        shutil.copytree(self.directory, directory, dirs_exist_ok=True)
        with open(os.path.join(directory, "fit.json"), "w", encoding="utf-8") as f:
            json.dump(self.settings, f, indent=1)
        return os.path.abspath(directory)


def load(directory, programs=None):
    path = os.path.join(directory, "fit.json")
    if not os.path.exists(path):
        raise GrowthfitError(f"load: '{directory}' holds no saved fit (no fit.json)")
    with open(path, encoding="utf-8") as f:
        settings = json.load(f)
    return Fit(os.path.abspath(directory), settings, programs)

"""fit(): a fit from a data frame through the programs, in a folder of its own."""

import os
import re
import shutil
import tempfile
import warnings

import pandas as pd

from ._models import GLOBALS, LOCALS
from ._programs import GrowthfitError, run_program
from ._raw_data import number_text, write_raw_data


class _Run:
    """What the programs of one fit share: folder, programs, scales, identifier map."""

    def __init__(self, directory, programs, age_scale, height_scale, ids):
        self.directory, self.programs = directory, programs
        self.age_scale, self.height_scale, self.ids = age_scale, height_scale, ids

    def run(self, name, args, stdin=None, log=None):
        return run_program(name, [str(a) for a in args], self.directory, self.programs, stdin, log, self.ids)

    def constants(self):
        return ["--k1", number_text(self.age_scale), "--k2", number_text(self.height_scale)]


def _check_model(model):
    if model == "compare":
        return model
    if isinstance(model, bool) or not isinstance(model, int) or not 1 <= model <= 18:
        raise GrowthfitError(f'fit: model must be a model number, 1 to 18, or "compare"; not {model!r}')
    return model


def _prepare(run, minimum, start_locals, model):
    """The preparer, its dialogue answered: one local that the starter sets, or the caller's locals."""
    nl = 1 if start_locals is None else len(LOCALS[model])
    starts = [0.0] if start_locals is None else list(start_locals)
    if len(starts) != nl:
        raise GrowthfitError(f"fit: model {model} has {nl} local(s) ({', '.join(LOCALS[model])}): "
                             f"start_locals must give {nl} number(s)")
    with open(os.path.join(run.directory, "answers.txt"), "w") as f:
        f.write(f"{nl} {int(minimum)} {number_text(run.age_scale)} {number_text(run.height_scale)} 0 0 0\n")
        f.write(" ".join("0" for _ in range(nl)) + "\n" + " ".join(number_text(s) for s in starts) + "\n")
    console = run.run("preparer", ["raw.txt", "plots.dat", "plots.loc"], stdin="answers.txt")
    using = re.findall(r"^ Using *([0-9]+) plots", console, re.MULTILINE)
    if not using or int(using[-1]) == 0:
        raise GrowthfitError(f"fit: no plot has at least {minimum} measurements")
    return int(using[-1])


def _start_globals(start, model):
    names = GLOBALS[model]
    if isinstance(start, dict):
        if set(start) != set(names):
            raise GrowthfitError(f"fit: start names {', '.join(start)}; model {model} has {', '.join(names)}")
        start = [start[n] for n in names]
    start = [float(s) for s in start]
    if len(start) != len(names):
        raise GrowthfitError(f"fit: model {model} has {len(names)} globals ({', '.join(names)}): start must give "
                             f"{len(names)} numbers")
    return start


def _control(run, model, plots, start, iteration_limit, tolerance, title):
    title = (title or f"Model {model} from a data frame")[:80]
    lines = [title, f"{len(start)} {len(LOCALS[model])} {plots}", "1 1 1 1",
             f"0 {int(iteration_limit)} {number_text(tolerance)}", " ".join(number_text(s) for s in start),
             f"{model} {number_text(run.age_scale)} {number_text(run.height_scale)}"]
    with open(os.path.join(run.directory, "control"), "w") as f:
        f.write("\n".join(lines) + "\n")


def _estimate(run, model, plots, o):
    start = None if o["start"] is None else _start_globals(o["start"], model)
    if o["start_locals"] is None:
        run.run("starter", ["plots.dat", "plots.loc", "control", "--model", model, *run.constants(),
                            "--iteration-limit", int(o["iteration_limit"]),
                            *(["--tolerance", number_text(o["tolerance"])] if o["tolerance"] is not None else []),
                            *(["--title", o["title"]] if o["title"] else []),
                            *(["--random-locals"] if o["random_locals"] else [])])
        if start is not None:
            path = os.path.join(run.directory, "control")
            with open(path) as f:
                lines = f.read().splitlines()
            lines[4] = " ".join(number_text(s) for s in start)
            with open(path, "w") as f:
                f.write("\n".join(lines) + "\n")
    else:
        if start is None:
            raise GrowthfitError("fit: start_locals needs start, the starting globals")
        _control(run, model, plots, start, o["iteration_limit"], 1e-5 if o["tolerance"] is None else o["tolerance"],
                 o["title"])
    run.run("estimator", ["control", "plots.dat", "plots.loc", "report", "--json", "results.json", "--plots",
                          "plots.csv", *(["--threads", int(o["threads"])] if o["threads"] else []),
                          *_random_locals_options(o)])
    return {"data": "plots.dat", "locals": "plots.loc", "results": "results.json", "plots": "plots.csv",
            "report": "report", "trace": "estimator.out", "comparison": None}


def _random_locals_options(o):
    """Random locals and their quadrature, passed as they are to the estimator or the comparer
    (which refuse a quadrature without them)."""
    return (["--random-locals"] if o["random_locals"] else []) + \
        (["--quadrature", o["quadrature"]] if o["quadrature"] is not None else [])


def _compare(run, o):
    models = o["models"] if isinstance(o["models"], str) else ",".join(str(m) for m in o["models"])
    run.run("comparer", ["plots.dat", "plots.loc", "models", "--models", models, *run.constants(),
                         "--iteration-limit", int(o["iteration_limit"]),
                         *(["--jobs", int(o["jobs"])] if o["jobs"] else []), *_random_locals_options(o)])
    table = pd.read_csv(os.path.join(run.directory, "models", "comparison.csv"), keep_default_na=False,
                        na_values=["NaN"])
    converged = table.index[table["outcome"] == "converged"]
    best = converged[0] if len(converged) else table.index[0]
    if not len(converged):
        warnings.warn(f"no model converged: the fit is model {table['model'][best]}, the best by AIC, whose "
                      "estimates are not an optimum")
    folder = os.path.join("models", f"model-{int(table['model'][best]):02d}")
    return {"data": "plots.dat", "locals": os.path.join(folder, "locals"),
            "results": os.path.join(folder, "results.json"), "plots": os.path.join(folder, "plots.csv"),
            "report": os.path.join(folder, "report"), "trace": os.path.join(folder, "trace.txt"),
            "comparison": os.path.join("models", "comparison.csv")}


def fit(data, id="id", age="age", height="height", model=1, age_scale=1.0, height_scale=1.0, start=None,
        start_locals=None, min_measurements=3, models="all", iteration_limit=100, tolerance=None, title=None,
        age_unit="age units", height_unit="height units", threads=None, jobs=None, random_locals=False,
        quadrature=None, programs=None, directory=None):
    """Fits a model (a number, 1 to 18, or "compare") to the plots of a data frame; returns a Fit.

    The scales are the preparer's (ages and heights are divided by them for the
    estimator; they are also the model constants K1 and K2). start, start_locals:
    the caller's starting globals (a list in the model's order, or a dict) and
    the starting value of each local; by default the starter's. random_locals:
    the plots' locals drawn from a population and integrated out (estimator
    --random-locals); quadrature: its nodes per local (--quadrature K, default
    the Laplace approximation), refused without random_locals. Both go to the
    estimator (its start from starter --random-locals, unless start_locals is
    given), or for model="compare" to the comparer, which fits every model
    with them.
    """
    from .fit_object import Fit

    model = _check_model(model)
    for s in (age_scale, height_scale):
        if not isinstance(s, (int, float)) or not s > 0:
            raise GrowthfitError("fit: the scales must be positive numbers")
    temporary = directory is None
    directory = os.path.abspath(tempfile.mkdtemp(prefix="growthfit-") if temporary else directory)
    os.makedirs(directory, exist_ok=True)
    for earlier in ("projector", "models"):  # outputs of an earlier fit there
        shutil.rmtree(os.path.join(directory, earlier), ignore_errors=True)
    ids, dropped = write_raw_data(data, id, age, height, os.path.join(directory, "raw.txt"), min_measurements)
    if dropped:
        warnings.warn(f"{len(dropped)} plots have fewer than {min_measurements} measurements and are left out: "
                      + ", ".join(str(d) for d in dropped[:5]) + (", ..." if len(dropped) > 5 else ""))
    run = _Run(directory, programs, float(age_scale), float(height_scale), ids)
    o = dict(start=start, start_locals=start_locals, models=models, iteration_limit=iteration_limit,
             tolerance=tolerance, title=title, threads=threads, jobs=jobs, random_locals=random_locals,
             quadrature=quadrature)
    if model == "compare":
        if start is not None or start_locals is not None:
            raise GrowthfitError('fit: model="compare" starts every model from the starter\'s values: leave out start')
        _prepare(run, min_measurements, None, None)
        files = _compare(run, o)
    else:
        plots = _prepare(run, min_measurements, start_locals, model)
        files = _estimate(run, model, plots, o)
    settings = dict(age_scale=float(age_scale), height_scale=float(height_scale), age_unit=age_unit,
                    height_unit=height_unit, columns=[id, age, height], ids=ids, files=files)
    return Fit(directory, settings, programs, remove_when_done=temporary)

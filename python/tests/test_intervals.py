"""The projector's interval kinds, random-locals projections, the population and the site-index curves through
the package, against the projector run on the command-line fit's files."""

import os

import numpy as np
import pandas as pd
import pytest

import growthfit
from conftest import command_line, command_line_fit

ANSWERS = "1 3 10 10 0 0 0\n0\n0\n"
MODEL = ["--model", "1", "--k1", "10", "--k2", "10"]


def projector_csv(directory, options):
    d = lambda name: os.path.join(directory, name)  # noqa: E731
    command_line(directory, "projector", [d("lob.json"), d("lob.dat"), d("lob.loc"), "--age-scale", "10",
                                          "--height-scale", "10", *options])


def plain(table):
    return table.rename(columns=lambda c: c[:-len("_full")] if c.endswith("_full") else c)


def test_full_intervals_are_the_projectors_own_under_the_plug_in_names_and_at_least_as_wide(loblolly, tmp_path):
    fit = growthfit.fit(loblolly, id="Seed", model=1, age_scale=10, height_scale=10)
    command_line_fit(tmp_path, ANSWERS, MODEL)
    pf, sf = str(tmp_path / "pf.csv"), str(tmp_path / "sf.csv")
    projector_csv(tmp_path, ["--ages", "5,15,30", "--base-age", "25", "--intervals", "full", "--draws", "200",
                             "--projections", pf, "--site-index", sf])
    csv = pd.read_csv(pf)
    full = fit.predict(ages=[5, 15, 30], intervals="full", draws=200)
    assert full.attrs["intervals"] == "full"
    assert full["median"].tolist() == csv["median_full"].tolist()
    assert full["lower"].tolist() == csv["lower_full"].tolist() and full["upper"].tolist() == csv["upper_full"].tolist()
    m = fit.predict(ages=[5, 15, 30], interval="measurement", intervals="full", draws=200)
    assert m["upper"].tolist() == csv["measurement_upper_full"].tolist()
    si = fit.site_index(base_age=25, intervals="full", draws=200)
    pd.testing.assert_frame_equal(si[["site_index", "lower", "upper"]],
                                  plain(pd.read_csv(sf))[["site_index", "lower", "upper"]], check_exact=True)

    # The same names for both kinds; the estimates' error only widens (default draws).
    plug = fit.predict(ages=[5, 15, 30], interval="measurement")
    wide = fit.predict(ages=[5, 15, 30], interval="measurement", intervals="full")
    assert plug.attrs["intervals"] == "plug-in" and list(wide.columns) == list(plug.columns)
    assert bool(np.all(wide["upper"] - wide["lower"] >= plug["upper"] - plug["lower"]))
    assert bool(np.all((wide["lower"] <= wide["median"]) & (wide["median"] <= wide["upper"])))
    assert list(fit.site_index(base_age=25, intervals="full").columns) == list(fit.site_index(base_age=25).columns)
    # The figures and the page draw and name the kind asked for.
    with open(fit.figures(intervals="full", draws=200)["plots"], encoding="utf-8") as f:
        assert "90% full interval of the true height" in f.read()
    with open(fit.figures()["plots"], encoding="utf-8") as f:
        assert "full" not in f.read()
    with open(fit.summary_page(str(tmp_path / "page.html"), intervals="full", draws=200), encoding="utf-8") as f:
        assert "intervals are full intervals" in f.read()
    with pytest.raises(growthfit.GrowthfitError, match='intervals is "plug-in" or "full"'):
        fit.figures(intervals="wide")
    with pytest.raises(growthfit.GrowthfitError, match="needs the results of a random-locals fit"):
        fit.population(ages=[10])
    with pytest.raises(growthfit.GrowthfitError, match="--draws takes an integer"):
        fit.predict(ages=[10], intervals="full", draws=0)
    with pytest.raises(growthfit.GrowthfitError, match='intervals is "plug-in" or "full"'):
        fit.predict(ages=[10], intervals="wide")

    # Site-index curves: the projector's table, each curve through its site index at the base age.
    curves = fit.site_curves([40, 60], base_age=25, ages=[5, 15, 30])
    sc = str(tmp_path / "sc.csv")
    projector_csv(tmp_path, ["--site-curves", "40,60", "--base-age", "25", "--ages", "5,15,30",
                             "--site-curve-table", sc])
    pd.testing.assert_frame_equal(curves, pd.read_csv(sc, keep_default_na=False), check_exact=True)
    assert np.allclose(curves[curves["age"] == 25]["height"], [40, 60], rtol=1e-10, atol=0)


def test_a_random_locals_fit_is_projected_tables_population_and_figures_are_the_projectors_own(loblolly, tmp_path):
    fit = growthfit.fit(loblolly, id="Seed", model=1, age_scale=10, height_scale=10, random_locals=True)
    command_line_fit(tmp_path, ANSWERS, [*MODEL, "--random-locals"], estimator_args=["--random-locals"])
    rp, rs, pop, popf = (str(tmp_path / n) for n in ("rp.csv", "rs.csv", "pop.csv", "popf.csv"))
    projector_csv(tmp_path, ["--ages", "5,15,30", "--base-age", "25", "--draws", "300", "--projections", rp,
                             "--site-index", rs, "--population", pop])
    projector_csv(tmp_path, ["--ages", "5,15,30", "--intervals", "full", "--draws", "100", "--level", "0.8",
                             "--population", popf])
    p = fit.predict(ages=[5, 15, 30], draws=300)
    csv = pd.read_csv(rp)
    pd.testing.assert_frame_equal(p[["age", "median", "lower", "upper"]], csv[["age", "median", "lower", "upper"]],
                                  check_exact=True)
    assert fit.site_index(base_age=25, draws=300)["site_index"].tolist() == pd.read_csv(rs)["site_index"].tolist()
    plug = fit.population(ages=[5, 15, 30], draws=300)
    pd.testing.assert_frame_equal(plug, pd.read_csv(pop), check_exact=True)
    full = fit.population(ages=[5, 15, 30], level=0.8, intervals="full", draws=100)
    assert pd.read_csv(popf).columns[1] == "median_full" and full.attrs["intervals"] == "full"
    pd.testing.assert_frame_equal(full, plain(pd.read_csv(popf)), check_exact=True)
    # The population is wider than any measured plot at the last age.
    assert (plug["upper"] - plug["lower"]).iloc[2] > (p["upper"] - p["lower"])[p["age"] == 30].max()
    assert len(fit.residuals()) == 84
    for path in fit.figures().values():
        with open(path, encoding="utf-8") as f:
            assert "<svg" in f.read()

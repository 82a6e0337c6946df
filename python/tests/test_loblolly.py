"""The loblolly pine example: the data frame of Loblolly.csv fitted through the package against the same
fit made on the command line from the bundled text file."""

import math
import os

import numpy as np
import pandas as pd
import pytest

import growthfit
from conftest import EXAMPLES, command_line, command_line_fit


def close(x, y):
    """|x - y| <= 1e-12 max(|y|, 1), element by element."""
    x, y = np.asarray(x, dtype=float), np.asarray(y, dtype=float)
    return x.shape == y.shape and bool(np.all(np.abs(x - y) <= 1e-12 * np.maximum(np.abs(y), 1)))


def test_a_fit_from_the_data_frame_is_the_command_line_fit(loblolly, tmp_path):
    fit = growthfit.fit(loblolly, id="Seed", model=1, age_scale=10, height_scale=10, age_unit="years",
                        height_unit="ft")
    results, plots = command_line_fit(tmp_path, "1 3 10 10 0 0 0\n0\n0\n", ["--model", "1", "--k1", "10", "--k2", "10"])
    assert close(fit.loglik, results["log_likelihood"])
    assert close(fit.coef(), results["globals"]["estimates"])
    assert close(np.sqrt(np.diag(fit.vcov())), results["globals"]["standard_errors"])
    assert close(fit.locals()["a"], plots["a"])
    assert list(fit.locals()["id"]) == list(plots["id"])
    assert (fit.aic, fit.bic, fit.df, fit.nobs) == (results["aic"], results["bic"], 18, 84)
    assert fit.aic == -2 * fit.loglik + 2 * fit.df
    assert close(fit.vcov() / np.outer(fit.standard_errors(), fit.standard_errors()),
                 results["globals"]["correlations"])
    raw = fit.coef(raw=True)
    assert raw["b"] == fit.coef()["b"] / 10 and raw["c"] == fit.coef()["c"]

    # predict is the projector's table on the command-line files, to the bit.
    d = lambda name: str(tmp_path / name)  # noqa: E731
    command_line(tmp_path, "projector", [d("lob.json"), d("lob.dat"), d("lob.loc"), "--age-scale", "10",
                                         "--height-scale", "10", "--ages", "5,15,30", "--level", "0.8",
                                         "--projections", d("p.csv"), "--residuals", d("r.csv")])
    csv, r = pd.read_csv(d("p.csv")), pd.read_csv(d("r.csv"))
    p = fit.predict(ages=[5, 15, 30], level=0.8)
    pd.testing.assert_frame_equal(p[["age", "median", "lower", "upper"]], csv[["age", "median", "lower", "upper"]],
                                  check_exact=True)
    m = fit.predict(ages=[5, 15, 30], level=0.8, interval="measurement")
    assert m["lower"].tolist() == csv["measurement_lower"].tolist()
    assert list(fit.predict(ages=10, interval="none").columns) == ["position", "id", "age", "median"]
    assert fit.residuals().tolist() == r["standardised_innovation"].tolist()
    assert fit.fitted().tolist() == r["fitted"].tolist()
    one = fit.predict(ages=[15], ids=[305])
    assert one["median"].tolist() == csv[(csv.id == 305) & (csv.age == 15)]["median"].tolist()
    assert fit.site_index(base_age=25)["site_index"].tolist() == fit.predict(ages=[25])["median"].tolist()
    # Plots of the fit given again as new data: their locals refitted with the globals held, the same projections
    # (to the fit's tolerance, within which the fit's own locals are at their best).
    new = fit.predict(newdata=loblolly[loblolly.Seed.astype(str).isin(["301", "305"])], ages=[5, 15], level=0.8)
    old = fit.predict(ages=[5, 15], level=0.8, ids=[301, 305])
    key = lambda p: p.assign(id=p["id"].astype(str)).sort_values(["id", "age"]).reset_index(drop=True)  # noqa: E731
    new, old = key(new), key(old)
    assert new["id"].tolist() == old["id"].tolist()
    assert np.allclose(new["median"], old["median"], rtol=1e-6, atol=0)
    assert np.allclose(new["upper"], old["upper"], rtol=1e-6, atol=0)
    assert "model 1: converged" in fit.summary()
    assert all(f.svg.startswith("<?xml") for f in fit.plot())


def test_a_random_locals_fit_is_the_command_line_one_with_its_marginal_likelihood_and_population(loblolly, tmp_path):
    fit = growthfit.fit(loblolly, id="Seed", model=1, age_scale=10, height_scale=10, random_locals=True)
    results, plots = command_line_fit(tmp_path, "1 3 10 10 0 0 0\n0\n0\n",
                                      ["--model", "1", "--k1", "10", "--k2", "10", "--random-locals"],
                                      estimator_args=["--random-locals"])
    assert results["locals"] == "random" and fit.random_locals
    assert close(fit.loglik, results["marginal_log_likelihood"])
    assert (fit.aic, fit.df) == (results["aic"], 6)  # 4 globals, the mean and the deviation of the asymptote
    assert close(fit.coef(), results["globals"]["estimates"])
    assert close(np.sqrt(np.diag(fit.vcov())), results["globals"]["standard_errors"])
    outer = np.array(results["outer"]["correlations"])[:4, :4]
    assert close(fit.vcov() / np.outer(fit.standard_errors(), fit.standard_errors()), outer)
    assert close(fit.locals()["mode_a"], plots["mode_a"])
    summary = fit.summary()
    assert "Locals, their population's means and standard deviations" in summary and "mean_a" in summary
    assert "marginal log-likelihood" in repr(fit)


def test_the_callers_starting_values_give_the_walk_throughs_command_line_fit(loblolly, tmp_path):
    fit = growthfit.fit(loblolly, id="Seed", model=1, age_scale=10, height_scale=10,
                        start={"b": 0.5, "c": 0.5, "sigma_p": 0.1, "sigma_e": 0.05}, start_locals=[8.0],
                        iteration_limit=50, tolerance=1e-5)
    with open(os.path.join(EXAMPLES, "loblolly-model1.answers")) as f:
        answers = f.read()
    results, plots = command_line_fit(tmp_path, answers, control=os.path.join(EXAMPLES, "loblolly-model1.ctl"))
    assert fit.results["iterations"] == results["iterations"]
    assert close(fit.loglik, results["log_likelihood"])
    assert close(fit.coef(), results["globals"]["estimates"])
    assert close(fit.locals()["a"], plots["a"])


def test_the_comparison_the_summary_page_and_a_fit_saved_and_opened_again(loblolly, tmp_path):
    best = growthfit.fit(loblolly, id="Seed", model="compare", models=[1, 7, 13], age_scale=10, height_scale=10,
                         jobs=1)
    table = best.comparison()
    assert table["model"].tolist() == [7, 13, 1]
    assert best.model == 7 and best.aic == table["aic"][0]
    with open(best.summary_page(tmp_path / "best.html"), encoding="utf-8") as f:
        page = f.read()
    assert "Models compared" in page and "<svg" in page
    # A folder used again starts afresh: no residuals of the earlier fit.
    first = growthfit.fit(loblolly, id="Seed", model=1, directory=tmp_path / "reused").residuals()
    assert growthfit.fit(loblolly, id="Seed", model=7, directory=tmp_path / "reused").residuals().tolist() \
        != first.tolist()
    again = growthfit.load(best.save(tmp_path / "saved"))
    pd.testing.assert_frame_equal(again.predict(ages=[20]), best.predict(ages=[20]), check_exact=True)
    with pytest.raises(growthfit.GrowthfitError, match="this fit is of one model"):
        growthfit.fit(loblolly, id="Seed", model=1, age_scale=10, height_scale=10).comparison()


def test_a_random_locals_comparison_ranks_each_models_own_random_locals_fit(loblolly, tmp_path):
    best = growthfit.fit(loblolly, id="Seed", model="compare", models=[1, 6], age_scale=10, height_scale=10,
                         jobs=1, random_locals=True)
    table = best.comparison()
    assert best.results["locals"] == "random" and best.model == table["model"][0]
    assert close(best.loglik, table["log_likelihood"][0]) and best.aic == table["aic"][0]
    assert table["parameters"].tolist() == [6, 6]  # 4 globals, the mean and the deviation of the local
    one = growthfit.fit(loblolly, id="Seed", model=int(table["model"][0]), age_scale=10, height_scale=10,
                        random_locals=True)
    assert close(one.loglik, best.loglik)


def test_bad_inputs_end_with_clear_messages_the_programs_own_among_them(loblolly, monkeypatch):
    with pytest.raises(growthfit.GrowthfitError,
                       match=r"the data have no column 'plot' \(the plot identifier\); columns: rownames, height"):
        growthfit.fit(loblolly, id="plot")
    bad = loblolly.copy()
    bad.loc[4, "height"] = 0.0
    with pytest.raises(growthfit.GrowthfitError, match="must be greater than 0; row 4 has 0"):
        growthfit.fit(bad, id="Seed")
    bad.loc[4, "height"] = math.nan
    with pytest.raises(growthfit.GrowthfitError, match="missing or infinite values in rows 4"):
        growthfit.fit(bad, id="Seed")
    one = pd.DataFrame({"id": ["north"] * 6 + ["single"], "age": [3, 5, 10, 15, 20, 25, 7],
                        "height": [4, 10, 28, 41, 52, 60, 15.0]})
    with pytest.raises(growthfit.GrowthfitError) as refused:
        growthfit.fit(one, model=13, min_measurements=1)
    assert "starter stopped with status 1: starter: plot 2 (ID 2) has 1 measurement" in str(refused.value)
    assert "identifiers 1, 2 in the message stand for north, single" in str(refused.value)
    # The estimator's options are passed through as they are, and a wrong call refused by the estimator itself.
    with pytest.raises(growthfit.GrowthfitError, match="estimator: --quadrature is an option of --random-locals"):
        growthfit.fit(loblolly, id="Seed", quadrature=3)
    two = pd.DataFrame({"id": ["north"] * 6 + ["south"] * 6, "age": [3, 5, 10, 15, 20, 25] * 2,
                        "height": [4, 10, 28, 41, 52, 60, 5, 11, 27, 40, 50, 57.0]})
    assert growthfit.fit(two, model=1).locals()["id"].tolist() == ["north", "south"]
    monkeypatch.setenv("PATH", "/nonexistent")
    monkeypatch.setenv("GROWTHFIT_PROGRAMS", "")
    with pytest.raises(growthfit.GrowthfitError, match="the program 'preparer' was not found"):
        growthfit.fit(loblolly, id="Seed")

"""The programs under test (GROWTHFIT_PROGRAMS, set by scripts/test-python-package.sh to the freshly
built programs, or the PATH) and command-line runs of them, as a user types them."""

import json
import os
import shutil
import subprocess

import pandas as pd
import pytest

import growthfit

EXAMPLES = os.environ.get("GROWTHFIT_EXAMPLES",
                          os.path.join(os.path.dirname(__file__), "..", "..", "examples"))


def have_programs():
    return bool(os.environ.get("GROWTHFIT_PROGRAMS")) or shutil.which("estimator") is not None


@pytest.fixture(scope="session")
def loblolly():
    path = os.path.join(EXAMPLES, "loblolly", "Loblolly.csv")
    if not os.path.exists(path):
        pytest.skip("the examples folder of the source tree is not found")
    return pd.read_csv(path)


def command_line(directory, program, args, stdin=None):
    path = growthfit.programs()[program]
    with open(stdin or os.devnull, "rb") as answers:
        done = subprocess.run([path, *args], cwd=directory, stdin=answers, capture_output=True)
    assert done.returncode == 0, done.stderr.decode()


def command_line_fit(directory, answers, model_args=None, control=None, estimator_args=()):
    """preparer, starter (or the given control file) and estimator on the bundled loblolly.txt."""
    with open(os.path.join(directory, "answers"), "w") as f:
        f.write(answers)
    d = lambda name: os.path.join(directory, name)  # noqa: E731
    command_line(directory, "preparer", [os.path.join(EXAMPLES, "loblolly", "loblolly.txt"), d("lob.dat"),
                                         d("lob.loc")], stdin=d("answers"))
    if control is None:
        control = d("lob.ctl")
        command_line(directory, "starter", [d("lob.dat"), d("lob.loc"), control, *model_args])
    command_line(directory, "estimator", [control, d("lob.dat"), d("lob.loc"), d("lob.rep"), "--json",
                                          d("lob.json"), "--plots", d("lob.csv"), *estimator_args])
    with open(d("lob.json")) as f:
        return json.load(f), pd.read_csv(d("lob.csv"))


def pytest_collection_modifyitems(config, items):
    if not have_programs():
        skip = pytest.mark.skip(reason="the growthfit programs are not on the PATH nor in GROWTHFIT_PROGRAMS")
        for item in items:
            item.add_marker(skip)

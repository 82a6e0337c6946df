"""The README's R and Python sessions stay short enough to read at a glance (under 15 lines each), and name
only functions the packages have."""

import os
import re

import pytest

import growthfit

README = os.path.join(os.path.dirname(__file__), "..", "..", "README.md")


def sessions():
    if not os.path.exists(README):
        pytest.skip("the README of the source tree is not found")
    with open(README, encoding="utf-8") as f:
        text = f.read()
    return {kind: body.splitlines() for kind, body in re.findall(r"^```(r|python)\n(.*?)^```$", text, re.M | re.S)}


def test_the_package_sessions_of_the_readme_are_under_15_lines_and_call_what_exists():
    found = sessions()
    assert set(found) == {"r", "python"}
    for kind, lines in found.items():
        assert 0 < len(lines) < 15, f"the README's {kind} session has {len(lines)} lines"
    methods = set(re.findall(r"\b(?:fit|rl|best)\.([a-z_]+)\(", "\n".join(found["python"])))
    assert methods and all(hasattr(growthfit.Fit, m) for m in methods), methods
    with open(os.path.join(os.path.dirname(__file__), "..", "..", "r", "NAMESPACE"), encoding="utf-8") as f:
        exported = f.read()
    for name in ("site_curves", "population"):
        assert name + "(" in "\n".join(found["r"]) and name in exported

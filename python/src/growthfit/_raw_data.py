"""The preparer's raw data file from a data frame.

One line per measurement, "id age height"; the plots in the order in which
their identifiers first appear, each plot's rows by increasing age (rows of
one identifier form one plot wherever they stand). Identifiers that are not
integers are numbered 1, 2, ... in that order; the map (code, identifier)
gives them back.
"""

import re

import numpy as np
import pandas as pd

from ._programs import GrowthfitError

_WHOLE = re.compile(r"^-?[0-9]{1,9}$")


def number_text(x):
    """The shortest text that reads back to the same double."""
    return repr(float(x))


def _column(data, name, role):
    if not isinstance(name, str):
        raise GrowthfitError(f"fit: {role} must name one column of the data")
    if name not in data.columns:
        raise GrowthfitError(f"fit: the data have no column '{name}' (the {role}); columns: "
                             + ", ".join(str(c) for c in data.columns))
    return data[name]


def _first_rows(rows):
    rows = list(rows)
    return ", ".join(str(r) for r in rows[:5]) + (", ..." if len(rows) > 5 else "")


def _check_measure(values, name, role, positive):
    if not pd.api.types.is_numeric_dtype(values):
        raise GrowthfitError(f"fit: column '{name}' (the {role}) is not numeric")
    x = values.to_numpy(dtype=float)
    bad = values.index[~np.isfinite(x)]
    if len(bad):
        raise GrowthfitError(f"fit: column '{name}' (the {role}) has missing or infinite values in rows "
                             f"{_first_rows(bad)}; drop those rows first (e.g. with dropna)")
    if positive:
        bad = values.index[x <= 0]
        if len(bad):
            more = f" (and {len(bad) - 1} more rows)" if len(bad) > 1 else ""
            raise GrowthfitError(f"fit: column '{name}' (the height) must be greater than 0; row {bad[0]} has "
                                 f"{values[bad[0]]:g}{more}")
    return x


def _codes(ids, name):
    if ids.isna().any():
        raise GrowthfitError(f"fit: column '{name}' (the plot identifier) has missing values in rows "
                             f"{_first_rows(ids.index[ids.isna()])}")
    labels = ids.astype(str).to_numpy()
    first = ~pd.Series(labels).duplicated().to_numpy()
    whole = all(_WHOLE.match(s) for s in labels)
    if whole:
        codes = np.array([int(s) for s in labels], dtype=np.int64)
        whole = len(set(codes[first])) == int(first.sum())
    if not whole:
        order = {s: k + 1 for k, s in enumerate(labels[first])}
        codes = np.array([order[s] for s in labels], dtype=np.int64)
    originals = [v.item() if hasattr(v, "item") else v for v in ids.to_numpy()[first]]
    return codes, list(zip((int(c) for c in codes[first]), originals))


def write_raw_data(data, id, age, height, path, minimum=1):
    """Writes the raw data file; returns the identifier map and the plots left out (fewer than `minimum`)."""
    if not isinstance(data, pd.DataFrame):
        raise GrowthfitError("fit: data must be a pandas DataFrame")
    if len(data) == 0:
        raise GrowthfitError("fit: the data have no rows")
    ids = _column(data, id, "plot identifier")
    ages = _check_measure(_column(data, age, "age"), age, "age", False)
    heights = _check_measure(_column(data, height, "height"), height, "height", True)
    codes, ids_map = _codes(ids, id)
    position = {c: k for k, (c, _) in enumerate(ids_map)}
    plot = np.array([position[c] for c in codes])
    counts = np.bincount(plot, minlength=len(ids_map))
    if counts.max() > 99:
        raise GrowthfitError(f"fit: plot {ids_map[int(counts.argmax())][1]} has {counts.max()} measurements; "
                             "a plot can have at most 99")
    order = np.lexsort((ages, plot))  # stable: by plot, then age
    with open(path, "w", encoding="ascii") as out:
        for k in order:
            out.write(f"{codes[k]} {number_text(ages[k])} {number_text(heights[k])}\n")
    dropped = [ids_map[k][1] for k in np.flatnonzero(counts < minimum)]
    return ids_map, dropped


def caller_ids(table, ids_map):
    """The caller's identifiers in the id column of a table read back from a program."""
    if "id" in table.columns:
        back = dict(ids_map)
        table["id"] = table["id"].map(back)
    return table

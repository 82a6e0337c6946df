"""The catalogue's parameter names, as the results files give them, and the
raw units where a change of units is an exact rescaling: a and a_intercept
in height units, a_slope in height times age, b per unit of age, t0 in age
units; the others stay in the scaled units of the data file."""

_SIGMAS = ["sigma_p", "sigma_e"]
GLOBALS = {
    1: ["b", "c", *_SIGMAS], 2: ["b", "c", *_SIGMAS, "t0"], 3: ["b", "c", *_SIGMAS, "y0"],
    4: ["b", "c", "sigma0", *_SIGMAS], 5: ["b", "c", "sigma0", *_SIGMAS, "t0"],
    6: ["a", "c", *_SIGMAS], 7: ["a", "c", *_SIGMAS, "t0"], 8: ["a", "c", *_SIGMAS, "y0"],
    9: ["a", "c", "sigma0", *_SIGMAS], 10: ["a", "c", "sigma0", *_SIGMAS, "t0"],
    11: ["a_intercept", "a_slope", "c", *_SIGMAS], 12: ["a_scale", "a_exponent", "c", *_SIGMAS],
    13: ["c", *_SIGMAS], 14: ["b", "c", *_SIGMAS], 15: ["a", "c", *_SIGMAS],
    16: ["a_intercept", "a_slope", "c", *_SIGMAS], 17: ["a_scale", "a_exponent", "c", *_SIGMAS],
    18: ["c", *_SIGMAS],
}
LOCALS = {m: (["a"] if m <= 5 or m == 14 else ["a", "b"] if m in (13, 18) else ["b"]) for m in range(1, 19)}


def raw_factor(name, age_scale, height_scale):
    if name in ("a", "a_intercept"):
        return height_scale
    if name == "a_slope":
        return height_scale * age_scale
    if name == "b":
        return 1.0 / age_scale
    if name == "t0":
        return age_scale
    return 1.0

"""growthfit: stochastic height-growth models fitted by the growthfit programs, from pandas data frames."""

from ._fitting import fit
from ._programs import GrowthfitError, programs
from .fit_object import Figure, Fit, load

__all__ = ["fit", "load", "programs", "Fit", "Figure", "GrowthfitError"]
__version__ = "1.1.0"

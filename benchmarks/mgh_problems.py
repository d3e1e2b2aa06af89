"""The 18 nonlinear least-squares problems of Moré, Garbow and Hillstrom, "Testing unconstrained optimization
software", ACM TOMS 7 (1981) 17-41, numbered as in the paper, with its standard starting points and sizes.

Each residual is a vectorised NumPy function of the parameter vector returning a float64 array of length m.
`minima` holds the sums of squares that the paper reports at minimisers (the paper's f, twice SciPy's cost),
written with more digits than the paper prints, from high-accuracy solutions of the same problems; the
leading digits are the paper's. Several values mean that the paper lists several local minima (some of them
at infinity), so a run's result is then judged against the best one found.

Problem 11 uses m = 99 (the paper allows 3 <= m <= 100) and reads the paper's misprinted "y_i m i x_2" as
y_i - x_2, which makes (50, 25, 1.5) an exact zero; problem 12 uses m = 10.
"""

from typing import Callable, NamedTuple

import numpy as np


class Problem(NamedTuple):
    number: int
    name: str
    residual: Callable[[np.ndarray], np.ndarray]
    x0: np.ndarray
    m: int
    minima: tuple


def rosenbrock(x):
    return np.array([10.0 * (x[1] - x[0] ** 2), 1.0 - x[0]])


def freudenstein_roth(x):
    return np.array([-13.0 + x[0] + ((5.0 - x[1]) * x[1] - 2.0) * x[1],
                     -29.0 + x[0] + ((x[1] + 1.0) * x[1] - 14.0) * x[1]])


def powell_badly_scaled(x):
    return np.array([1e4 * x[0] * x[1] - 1.0, np.exp(-x[0]) + np.exp(-x[1]) - 1.0001])


def brown_badly_scaled(x):
    return np.array([x[0] - 1e6, x[1] - 2e-6, x[0] * x[1] - 2.0])


BEALE_Y = np.array([1.5, 2.25, 2.625])
BEALE_I = np.arange(1.0, 4.0)


def beale(x):
    return BEALE_Y - x[0] * (1.0 - x[1] ** BEALE_I)


JENNRICH_I = np.arange(1.0, 11.0)


def jennrich_sampson(x):
    return 2.0 + 2.0 * JENNRICH_I - (np.exp(JENNRICH_I * x[0]) + np.exp(JENNRICH_I * x[1]))


def helical_valley(x):
    if x[0] != 0.0:
        theta = np.arctan(x[1] / x[0]) / (2.0 * np.pi) + (0.5 if x[0] < 0.0 else 0.0)
    else:
        theta = np.copysign(0.25, x[1])
    return np.array([10.0 * (x[2] - 10.0 * theta), 10.0 * (np.hypot(x[0], x[1]) - 1.0), x[2]])


BARD_Y = np.array([0.14, 0.18, 0.22, 0.25, 0.29, 0.32, 0.35, 0.39, 0.37, 0.58, 0.73, 0.96, 1.34, 2.10, 4.39])
BARD_U = np.arange(1.0, 16.0)
BARD_V = 16.0 - BARD_U
BARD_W = np.minimum(BARD_U, BARD_V)


def bard(x):
    return BARD_Y - (x[0] + BARD_U / (BARD_V * x[1] + BARD_W * x[2]))


GAUSSIAN_Y = np.array([0.0009, 0.0044, 0.0175, 0.0540, 0.1295, 0.2420, 0.3521, 0.3989, 0.3521, 0.2420, 0.1295,
                       0.0540, 0.0175, 0.0044, 0.0009])
GAUSSIAN_T = (8.0 - np.arange(1.0, 16.0)) / 2.0


def gaussian(x):
    return x[0] * np.exp(-x[1] * (GAUSSIAN_T - x[2]) ** 2 / 2.0) - GAUSSIAN_Y


MEYER_Y = np.array([34780.0, 28610.0, 23650.0, 19630.0, 16370.0, 13720.0, 11540.0, 9744.0, 8261.0, 7030.0,
                    6005.0, 5147.0, 4427.0, 3820.0, 3307.0, 2872.0])
MEYER_T = 45.0 + 5.0 * np.arange(1.0, 17.0)


def meyer(x):
    return x[0] * np.exp(x[1] / (MEYER_T + x[2])) - MEYER_Y


GULF_T = np.arange(1.0, 100.0) / 100.0
GULF_Y = 25.0 + (-50.0 * np.log(GULF_T)) ** (2.0 / 3.0)


def gulf(x):
    return np.exp(-np.abs(GULF_Y - x[1]) ** x[2] / x[0]) - GULF_T


BOX_T = 0.1 * np.arange(1.0, 11.0)


def box_3d(x):
    return (np.exp(-BOX_T * x[0]) - np.exp(-BOX_T * x[1])
            - x[2] * (np.exp(-BOX_T) - np.exp(-10.0 * BOX_T)))


def powell_singular(x):
    return np.array([x[0] + 10.0 * x[1], np.sqrt(5.0) * (x[2] - x[3]), (x[1] - 2.0 * x[2]) ** 2,
                     np.sqrt(10.0) * (x[0] - x[3]) ** 2])


def wood(x):
    return np.array([10.0 * (x[1] - x[0] ** 2), 1.0 - x[0], np.sqrt(90.0) * (x[3] - x[2] ** 2), 1.0 - x[2],
                     np.sqrt(10.0) * (x[1] + x[3] - 2.0), (x[1] - x[3]) / np.sqrt(10.0)])


KOWALIK_Y = np.array([0.1957, 0.1947, 0.1735, 0.1600, 0.0844, 0.0627, 0.0456, 0.0342, 0.0323, 0.0235, 0.0246])
KOWALIK_U = np.array([4.0, 2.0, 1.0, 0.5, 0.25, 0.167, 0.125, 0.1, 0.0833, 0.0714, 0.0625])


def kowalik_osborne(x):
    u = KOWALIK_U
    return KOWALIK_Y - x[0] * (u * u + u * x[1]) / (u * u + u * x[2] + x[3])


BROWN_DENNIS_T = np.arange(1.0, 21.0) / 5.0


def brown_dennis(x):
    t = BROWN_DENNIS_T
    return (x[0] + t * x[1] - np.exp(t)) ** 2 + (x[2] + x[3] * np.sin(t) - np.cos(t)) ** 2


OSBORNE1_Y = np.array([0.844, 0.908, 0.932, 0.936, 0.925, 0.908, 0.881, 0.850, 0.818, 0.784, 0.751, 0.718,
                       0.685, 0.658, 0.628, 0.603, 0.580, 0.558, 0.538, 0.522, 0.506, 0.490, 0.478, 0.467,
                       0.457, 0.448, 0.438, 0.431, 0.424, 0.420, 0.414, 0.411, 0.406])
OSBORNE1_T = 10.0 * np.arange(33.0)


def osborne_1(x):
    t = OSBORNE1_T
    return OSBORNE1_Y - (x[0] + x[1] * np.exp(-t * x[3]) + x[2] * np.exp(-t * x[4]))


BIGGS_T = 0.1 * np.arange(1.0, 14.0)
BIGGS_Y = np.exp(-BIGGS_T) - 5.0 * np.exp(-10.0 * BIGGS_T) + 3.0 * np.exp(-4.0 * BIGGS_T)


def biggs_exp6(x):
    t = BIGGS_T
    return x[2] * np.exp(-t * x[0]) - x[3] * np.exp(-t * x[1]) + x[5] * np.exp(-t * x[4]) - BIGGS_Y


def _problem(number, name, residual, x0, m, *minima):
    return Problem(number, name, residual, np.array(x0, dtype=float), m, minima)


PROBLEMS = [
    _problem(1, "Rosenbrock", rosenbrock, [-1.2, 1.0], 2, 0.0),
    _problem(2, "Freudenstein and Roth", freudenstein_roth, [0.5, -2.0], 2, 0.0, 48.984253679240013),
    _problem(3, "Powell badly scaled", powell_badly_scaled, [0.0, 1.0], 2, 0.0),
    _problem(4, "Brown badly scaled", brown_badly_scaled, [1.0, 1.0], 3, 0.0),
    _problem(5, "Beale", beale, [1.0, 1.0], 3, 0.0),
    _problem(6, "Jennrich and Sampson", jennrich_sampson, [0.3, 0.4], 10, 124.3621823556148),
    _problem(7, "Helical valley", helical_valley, [-1.0, 0.0, 0.0], 3, 0.0),
    _problem(8, "Bard", bard, [1.0, 1.0, 1.0], 15, 8.21487730657897e-3, 17.4286),
    _problem(9, "Gaussian", gaussian, [0.4, 1.0, 0.0], 15, 1.12793276961872e-8),
    _problem(10, "Meyer", meyer, [0.02, 4000.0, 250.0], 16, 87.945855170395831),
    _problem(11, "Gulf research and development", gulf, [5.0, 2.5, 0.15], 99, 0.0),
    _problem(12, "Box three-dimensional", box_3d, [0.0, 10.0, 20.0], 10, 0.0),
    _problem(13, "Powell singular", powell_singular, [3.0, -1.0, 0.0, 1.0], 4, 0.0),
    _problem(14, "Wood", wood, [-3.0, -1.0, -3.0, -1.0], 6, 0.0),
    _problem(15, "Kowalik and Osborne", kowalik_osborne, [0.25, 0.39, 0.415, 0.39], 11, 3.0750560384924e-4,
             1.02734e-3),
    _problem(16, "Brown and Dennis", brown_dennis, [25.0, 5.0, -5.0, -1.0], 20, 85822.20162635),
    _problem(17, "Osborne 1", osborne_1, [0.5, 1.5, -1.0, 0.01, 0.02], 33, 5.464894697483e-5),
    _problem(18, "Biggs EXP6", biggs_exp6, [1.0, 2.0, 1.0, 1.0, 1.0, 1.0], 13, 0.0, 5.655649925505601e-3),
]

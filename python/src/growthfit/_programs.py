"""Finding and running the growthfit programs.

A program is looked for in the folder given to the call, then in the folder
of the environment variable GROWTHFIT_PROGRAMS, then on the PATH. A program
that stops with a status other than 0 raises GrowthfitError with the
program's own message.
"""

import os
import shutil
import subprocess

PROGRAMS = ("preparer", "starter", "estimator", "projector", "comparer")


class GrowthfitError(RuntimeError):
    """A refusal of the package or of one of the programs, with its message."""


def find_program(name, programs=None):
    folders = [f for f in (programs, os.environ.get("GROWTHFIT_PROGRAMS", "")) if f]
    for folder in folders:
        path = os.path.join(os.path.expanduser(folder), name)
        if os.path.isfile(path) and os.access(path, os.X_OK):
            return os.path.abspath(path)
    path = shutil.which(name)
    if path:
        return path
    where = "".join(f" in '{f}' nor" for f in folders)
    raise GrowthfitError(
        f"growthfit: the program '{name}' was not found{where} on the PATH. Install the programs "
        "(cmake --install build --prefix DIR) and put DIR/bin on the PATH, or give the folder as "
        "programs=DIR/bin or in the environment variable GROWTHFIT_PROGRAMS."
    )


def programs(folder=None):
    """The path of each program, as the package finds them."""
    return {name: find_program(name, folder) for name in PROGRAMS}


def id_note(ids):
    """Names the caller's identifiers of the codes the programs know."""
    if ids is None or all(str(c) == str(i) for c, i in ids):
        return ""
    shown = ids[:10]
    more = ", ..." if len(ids) > 10 else ""
    return (f"\n(plot identifiers {', '.join(str(c) for c, _ in shown)}{more} in the message stand for "
            f"{', '.join(str(i) for _, i in shown)}{more} of the data)")


def failure(name, status, console, errors):
    said = [line.strip() for line in console.splitlines() if line.strip()]
    errors = [line for line in errors.splitlines() if line.strip()]
    message = (said[-1:] if status == 1 and said else []) + errors
    if not message:
        message = said[-3:]
    return f"{name} stopped with status {status}: " + "\n".join(message)


def run_program(name, args, directory, programs=None, stdin=None, log=None, ids=None):
    """Runs `name` in `directory`, its console and error stream in files there; returns the console."""
    program = find_program(name, programs)
    log = log or name
    out_path = os.path.join(directory, log + ".out")
    err_path = os.path.join(directory, log + ".err")
    with open(out_path, "wb") as out, open(err_path, "wb") as err:
        if stdin is None:
            status = subprocess.run([program, *args], cwd=directory, stdin=subprocess.DEVNULL, stdout=out,
                                    stderr=err).returncode
        else:
            with open(os.path.join(directory, stdin), "rb") as answers:
                status = subprocess.run([program, *args], cwd=directory, stdin=answers, stdout=out,
                                        stderr=err).returncode
    with open(out_path, encoding="utf-8", errors="replace") as f:
        console = f.read()
    if status != 0:
        with open(err_path, encoding="utf-8", errors="replace") as f:
            raise GrowthfitError(failure(name, status, console, f.read()) + id_note(ids))
    return console

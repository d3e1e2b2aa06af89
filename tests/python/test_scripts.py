"""The choice of Python and the Debian packages in scripts/python_env.sh, run in bash with stub commands."""

import shutil
import subprocess
import sys
import sysconfig
from pathlib import Path

import pytest

PYTHON_ENV = Path(__file__).resolve().parents[2] / "scripts" / "python_env.sh"
BASH = shutil.which("bash")

def stub_bin(directory, uid, sudo=None):
    """A directory of stub commands: id prints uid, apt-get (and sudo, when given its body) log their calls."""
    directory.mkdir()
    log = directory / "calls"
    stubs = {"id": f"echo {uid}", "apt-get": f'echo "apt-get $*" >> {log}'}
    if sudo is not None:
        stubs["sudo"] = f'echo "sudo $*" >> {log}\n{sudo}'
    for name, body in stubs.items():
        (directory / name).write_text(f"#!{BASH}\n{body}\n")
        (directory / name).chmod(0o755)
    (directory / "env").symlink_to(shutil.which("env"))
    return log


def run_bash(script, cwd, env):
    """Runs script after sourcing python_env.sh, with no controlling terminal (as under CI)."""
    return subprocess.run([BASH, "-c", f". {PYTHON_ENV}\n{script}"], cwd=cwd, env=env, capture_output=True,
                          text=True, timeout=60, start_new_session=True)


# (sudo stub: None for no sudo, else its body after logging; whether apt-get may run)
SUDO = {
    "no-sudo": (None, False),
    "sudo-needs-password": ('[ "$1" = -n ] && exit 1; exec "$@"', False),
    "sudo-without-password": ('[ "$1" = -n ] && exit 0; exec "$@"', True),
}


@pytest.mark.parametrize("sudo, apt_runs", SUDO.values(), ids=SUDO.keys())
def test_missing_packages_without_root(tmp_path, sudo, apt_runs):
    log = stub_bin(tmp_path / "bin", 1000, sudo)
    # Only the stubs on PATH: g++ is missing, as is the cmake that test.sh would name.
    process = run_bash("prepare_python cmake", tmp_path, {"PATH": str(tmp_path / "bin"), "PYTHON": sys.executable})
    calls = log.read_text().splitlines() if log.exists() else []
    assert any(call.startswith("apt-get install") for call in calls) == apt_runs, calls
    assert (process.returncode == 0) == apt_runs, process.stderr
    if not apt_runs:
        assert not any(call.startswith("apt-get") for call in calls), calls
        assert "\n  apt-get update && apt-get install -y cmake g++" in process.stderr


def debian_python_is_externally_managed():
    """Whether /usr/bin/python3 (never a virtual environment) has the PEP 668 marker in its standard library."""
    if not Path("/usr/bin/python3").exists():
        return False
    query = "import sysconfig; print(sysconfig.get_path('stdlib'))"
    stdlib = subprocess.check_output(["/usr/bin/python3", "-c", query], text=True).strip()
    return Path(stdlib, "EXTERNALLY-MANAGED").is_file()


@pytest.mark.parametrize("managed", [True, False], ids=["PYTHON-externally-managed", "PYTHON-unset"])
def test_interpreter_decides_with_an_environment_active(tmp_path, managed):
    """PYTHON naming an externally managed interpreter gets .venv; unset, the python3 first on PATH (the active
    environment's, here the one running the tests) installs into itself and is named by its absolute path."""
    if managed and not debian_python_is_externally_managed():
        pytest.skip("no externally managed /usr/bin/python3 on this machine")
    bindir = Path(sys.executable).parent
    # A working .venv already in place, which the script reuses rather than making one: pip comes from the
    # site-packages of the interpreter running the tests.
    subprocess.run([sys.executable, "-m", "venv", "--without-pip", tmp_path / ".venv"], check=True)
    version = "python%d.%d" % sys.version_info[:2]
    (tmp_path / ".venv" / "lib" / version / "site-packages" / "tests.pth").write_text(sysconfig.get_path("purelib"))
    stub_bin(tmp_path / "bin", 0)
    env = {"PATH": f"{tmp_path / 'bin'}:{bindir}:/usr/bin:/bin", "VIRTUAL_ENV": sys.prefix, "CONDA_PREFIX": sys.prefix}
    if managed:
        env["PYTHON"] = "/usr/bin/python3"
    process = run_bash('prepare_python && echo "$PYTHON_VENV|$PYTHON"', tmp_path, env)
    assert process.returncode == 0, process.stderr
    expected = f".venv|{tmp_path}/.venv/bin/python" if managed else f"|{bindir}/python3"
    assert process.stdout.splitlines()[-1] == expected


@pytest.mark.parametrize("venv, python", [("", "/path/to/python"), (".venv", "/path/to/nivaltus/.venv/bin/python")],
                         ids=["interpreter", "venv"])
def test_readme_quotes_the_closing_lines(venv, python):
    """The lines that end scripts/install_and_run_examples.sh, run with the README's placeholders, appear in the
    README as printed."""
    script = (PYTHON_ENV.parent / "install_and_run_examples.sh").read_text()
    closing = script[script.index('echo "== nivaltus is installed'):]
    process = subprocess.run([BASH, "-c", closing], env={"PYTHON": python, "PYTHON_VENV": venv}, capture_output=True,
                             text=True, timeout=60, check=True)
    readme = (PYTHON_ENV.parents[1] / "README.md").read_text()
    lines = process.stdout.splitlines()
    assert len(lines) == 1 + bool(venv)
    assert (f"`{lines[0]}`" if len(lines) == 1 else "\n".join(lines) + "\n") in readme

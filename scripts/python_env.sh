# Sourced from the repository root by the scripts that build and install the
# package (install_and_run_examples.sh, test.sh). It decides which Python the
# package goes into:
#
#   - the interpreter $PYTHON (python3 when unset) itself, where that
#     interpreter accepts packages: an active virtual or conda environment's
#     python3, or one like pyenv's or python.org's builds;
#   - else, for an externally managed interpreter (PEP 668: an
#     EXTERNALLY-MANAGED file beside its standard library, as in Debian 12 and
#     later and Ubuntu 23.04 and later), the virtual environment .venv in the
#     repository, made from that interpreter or reused where it already works.
#
# Nothing is ever installed into an externally managed interpreter itself.

# Tells, on standard error, how to install the named Debian packages as root.
print_root_install() {
  echo "As root, run" >&2
  echo "  apt-get update && apt-get install -y $*" >&2
  echo "then run this command again." >&2
}

# Installs the named Debian packages with apt-get (through sudo when not root).
# Without root, and without a sudo that can run here (sudo missing, or asking
# for a password with no terminal to ask on), stops before any apt call and
# names the line to run as root.
install_debian_packages() {
  (($#)) || return 0
  if ! command -v apt-get >/dev/null; then
    echo "error: no apt-get here; install $* with this system's package manager" >&2
    return 1
  fi
  local sudo=() why=
  if [ "$(id -u)" != 0 ]; then
    if ! command -v sudo >/dev/null; then
      why="there is no sudo here"
    elif ! (: </dev/tty) 2>/dev/null && ! sudo -n true 2>/dev/null; then
      why="sudo needs a password and there is no terminal to ask for it"
    fi
    if [ -n "$why" ]; then
      echo "error: the build needs the Debian packages $*, and installing them needs root: $why." >&2
      print_root_install "$@"
      return 1
    fi
    sudo=(sudo)
  fi
  echo "== installing $*"
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@" >/dev/null
}

# Succeeds where pip would refuse to install into the interpreter $1: the
# marker is in its standard library and $1 is not a virtual environment's.
python_is_externally_managed() {
  "$1" -c 'import os, sys, sysconfig
marker = os.path.join(sysconfig.get_path("stdlib"), "EXTERNALLY-MANAGED")
sys.exit(not (sys.prefix == sys.base_prefix and os.path.isfile(marker)))' 2>/dev/null
}

# Succeeds where $1 is a virtual environment whose interpreter runs and has pip.
venv_works() {
  [ -x "$1/bin/python" ] &&
    "$1/bin/python" -c 'import sys, pip; sys.exit(sys.prefix == sys.base_prefix)' 2>/dev/null
}

# Sets PYTHON to the interpreter that installs and runs the package, and
# PYTHON_VENV to the virtual environment made for it (empty where none is).
# First installs the Debian packages named in the arguments together with those
# that the build lacks: g++, the interpreter's headers (Python.h) and, where
# .venv is to be made, its venv module's pip (ensurepip).
prepare_python() {
  local base=${PYTHON:-python3} missing=("$@") version include
  PYTHON_VENV=
  if ! command -v "$base" >/dev/null; then
    echo "error: $base not found" >&2
    if [ -z "${PYTHON:-}" ] && command -v apt-get >/dev/null; then
      print_root_install python3
      echo "Or name another interpreter with PYTHON=/path/to/python." >&2
    fi
    return 1
  fi
  # The interpreter that would install decides, not an active environment:
  # PYTHON may name a system interpreter while a virtual environment is active.
  if python_is_externally_managed "$base"; then
    PYTHON_VENV=.venv
  fi

  version=$("$base" -c 'import sys; print("%d.%d" % sys.version_info[:2])')
  include=$("$base" -c 'import sysconfig; print(sysconfig.get_paths()["include"])')
  command -v g++ >/dev/null || missing+=(g++)
  [ -f "$include/Python.h" ] || missing+=("python$version-dev")
  if [ -n "$PYTHON_VENV" ] && ! venv_works "$PYTHON_VENV" && ! "$base" -c 'import ensurepip' 2>/dev/null; then
    missing+=("python$version-venv")
  fi
  install_debian_packages "${missing[@]}" || return

  if [ -z "$PYTHON_VENV" ]; then
    # By absolute path, so that the closing message names the interpreter.
    PYTHON=$("$base" -c 'import sys; print(sys.executable)')
    return
  fi
  if ! venv_works "$PYTHON_VENV"; then
    echo "== making the virtual environment $PYTHON_VENV ($(command -v "$base") is externally managed)"
    "$base" -m venv --clear "$PYTHON_VENV"
  fi
  PYTHON=$PWD/$PYTHON_VENV/bin/python
}

# Sourced from the repository root by the scripts that build and install the
# package (install_and_run_examples.sh, test.sh). It decides which Python the
# package goes into:
#
#   - the interpreter $PYTHON (python3 when unset) itself, where a virtual or
#     conda environment is active or where that interpreter accepts packages;
#   - else, for an externally managed interpreter (PEP 668: an
#     EXTERNALLY-MANAGED file beside its standard library, as in Debian 12 and
#     later and Ubuntu 23.04 and later), the virtual environment .venv in the
#     repository, made from that interpreter or reused where it already works.
#
# Nothing is ever installed into an externally managed interpreter itself.

# Installs the named Debian packages with apt-get (through sudo when not root).
install_debian_packages() {
  (($#)) || return 0
  echo "== installing $*"
  if ! command -v apt-get >/dev/null; then
    echo "error: no apt-get here; install $* with this system's package manager" >&2
    return 1
  fi
  local sudo=()
  [ "$(id -u)" = 0 ] || sudo=(sudo)
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
    return 1
  fi
  if [ -z "${VIRTUAL_ENV:-}" ] && [ -z "${CONDA_PREFIX:-}" ] && python_is_externally_managed "$base"; then
    PYTHON_VENV=.venv
  fi

  version=$("$base" -c 'import sys; print("%d.%d" % sys.version_info[:2])')
  include=$("$base" -c 'import sysconfig; print(sysconfig.get_paths()["include"])')
  command -v g++ >/dev/null || missing+=(g++)
  [ -f "$include/Python.h" ] || missing+=("python$version-dev")
  if [ -n "$PYTHON_VENV" ] && ! venv_works "$PYTHON_VENV" && ! "$base" -c 'import ensurepip' 2>/dev/null; then
    missing+=("python$version-venv")
  fi
  install_debian_packages "${missing[@]}"

  PYTHON=$base
  if [ -n "$PYTHON_VENV" ]; then
    if ! venv_works "$PYTHON_VENV"; then
      echo "== making the virtual environment $PYTHON_VENV ($(command -v "$base") is externally managed)"
      "$base" -m venv --clear "$PYTHON_VENV"
    fi
    PYTHON=$PWD/$PYTHON_VENV/bin/python
  fi
}

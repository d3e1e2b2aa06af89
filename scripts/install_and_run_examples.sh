#!/usr/bin/env bash
# Installs the package with pip into the Python that scripts/python_env.sh
# picks ($PYTHON, else python3, an active environment's where one is; .venv
# where that interpreter is externally managed), then runs the three examples.
# Installs g++ and the Python headers with apt-get where they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/python_env.sh
prepare_python

"$PYTHON" -m pip install .
for example in quickstart thermal fit; do
  echo "== examples/$example.py"
  "$PYTHON" "examples/$example.py"
done

echo "== nivaltus is installed for $PYTHON"
if [ -n "$PYTHON_VENV" ]; then
  echo "   activate its environment with: . $PYTHON_VENV/bin/activate"
fi

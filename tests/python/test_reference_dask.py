"""The reference's Dask recipe runs as written: its code, saved as a script and run in a fresh interpreter,
evaluates models on Dask's process-based scheduler and matches one call on the whole NumPy arrays."""

import re
import subprocess
import sys

import dask  # noqa: F401  (a test dependency: the recipe needs it, and its absence is a failure)

from conftest import python_blocks
from test_reference import TEXT


def section_code(heading):
    """The Python code blocks of a section, from its heading to the next one of the same level."""
    section = re.search(rf"^{re.escape(heading)}\n(.*?)(?=^## |\Z)", TEXT, re.M | re.S)
    assert section, f"no section {heading!r} in the reference"
    return python_blocks(section.group(1))


def test_dask_recipe_matches_one_numpy_call(tmp_path):
    blocks = section_code("## Beyond one machine")
    assert len(blocks) == 1
    code = blocks[0]
    # The block itself pickles its tasks to worker processes and checks the result.
    assert 'scheduler="processes"' in code and "np.array_equal" in code
    # Run as a user runs it, a file in a directory of its own: the workers are spawned interpreters that
    # import the script, and the source tree stays off their path.
    script = tmp_path / "beyond_one_machine.py"
    script.write_text(code, encoding="utf-8")
    process = subprocess.run([sys.executable, str(script)], cwd=tmp_path, capture_output=True, text=True,
                             timeout=120)
    assert process.returncode == 0, f"the recipe failed:\n{process.stdout}\n{process.stderr}"

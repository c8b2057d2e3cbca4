"""Runs the Python code blocks of a Markdown page in order, in one namespace,
from the working directory: docs/python.md's examples, which read
examples/bancos/ and write docs/python_shock.png relative to it.
usage: python_doc.py PAGE.md"""

import re
import sys
from pathlib import Path

# Dask starts its workers by re-importing this file: only the first run executes.
if __name__ == "__main__":
    page = Path(sys.argv[1]).read_text(encoding="utf-8")
    blocks = re.findall(r"^```python\n(.*?)^```$", page, flags=re.S | re.M)
    if not blocks:
        sys.exit(f"{sys.argv[1]}: no python blocks")
    namespace = {"__name__": "__main__"}
    for k, block in enumerate(blocks, 1):
        print(f"--- block {k}")
        exec(compile(block, f"{sys.argv[1]} block {k}", "exec"), namespace)

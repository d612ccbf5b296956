"""The checked-in Unicode and entity tables equal what their generators make
from Debian's UnicodeData.txt and Python's html.entities today."""
import html.entities
import subprocess
import sys

source = sys.argv[2]
failed = False
for script, output in [("scripts/gen/unicode_tables.py", "src/core/unicode_tables.inc"),
                       ("scripts/gen/entity_table.py", "src/docs/entity_table.inc")]:
    made = subprocess.run([sys.executable, f"{source}/{script}"], check=True, capture_output=True, text=True).stdout
    with open(f"{source}/{output}") as f:
        if f.read() != made:
            print(f"{output} differs from the output of {script}")
            failed = True

names = [k for k in html.entities.html5 if k.endswith(";")]
pairs = [k for k in names if len(html.entities.html5[k]) == 2]
if (len(names), len(pairs)) != (2125, 93):
    print("unexpected entity counts", len(names), len(pairs))
    failed = True
print("1 passed, 0 failed" if not failed else "0 passed, 1 failed")
sys.exit(1 if failed else 0)

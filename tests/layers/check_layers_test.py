#!/usr/bin/python3
"""The layering check: the tree as it is passes; a planted include from a layer above, from a front
end beside, or of a concrete port outside the link layer fails, each named.

  check_layers_test.py CHECK-LAYERS SOURCE-ROOT
"""
import os
import subprocess
import sys
import tempfile

CHECK, ROOT = sys.argv[1:3]
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def run(root):
    proc = subprocess.run([sys.executable, CHECK, root], capture_output=True, text=True)
    return proc.returncode, proc.stdout


status, out = run(ROOT)
check(status == 0, "the tree keeps to its layers: " + out.strip())


def planted(files):
    with tempfile.TemporaryDirectory() as root:
        for path, text in files.items():
            os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
            with open(os.path.join(root, path), "w") as f:
                f.write(text)
        return run(root)


base = {"cmnc/links/CSerialPort.h": "", "engine/LoadSession.h": "", "wizard/WizardController.h": "",
        "ui/CVestrelDlg.h": "", "win/CVestrelDlg.h": "", "console/ProgramRun.h": "",
        "ui/CVestrelDlg.cpp": '#include "CVestrelDlg.h"\n#include "ProgramRun.h"\n',
        "win/CVestrelDlg.cpp": '#include "CVestrelDlg.h"\n'}
status, out = planted(base)
check(status == 0, "a clean tree passes, a front end's own header of a shared name included: " + out.strip())
status, out = planted(dict(base, **{"engine/LoadSession.cpp": '#include "LoadSession.h"\n#include "WizardController.h"\n'}))
check(status == 1 and "engine/LoadSession.cpp:2: engine includes WizardController.h from the layer above it, wizard" in out,
      "an include from a layer above fails: " + out.strip())
# A headless run never reaches the wizard's controller: the console sits below the wizard.
status, out = planted(dict(base, **{"console/HeadlessRun.cpp": '#include "WizardController.h"\n'}))
check(status == 1 and "console includes WizardController.h from the layer above it, wizard" in out,
      "the console including the wizard's controller fails: " + out.strip())
status, out = planted(dict(base, **{"wizard/Model.cpp": '#include "CSerialPort.h"\n'}))
check(status == 1 and "includes the concrete port CSerialPort.h outside the link layer" in out,
      "a concrete port outside the link layer fails: " + out.strip())
status, out = planted(dict(base, **{"fleet/Run.cpp": '#include "CVestrelDlg.h"\n'}))
check(status == 1 and "from the front end" in out, "a front end's header in another front end fails: " + out.strip())
status, out = planted(dict(base, **{"engine/Big.cpp": "int x;\n" * 501}))
check(status == 1 and "engine/Big.cpp: 501 lines, more than 500" in out, "a product file over 500 lines fails: " + out.strip())
print("%d failures" % len(failures))
sys.exit(1 if failures else 0)

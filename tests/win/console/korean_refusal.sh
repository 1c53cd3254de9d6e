#!/usr/bin/env bash
# LumagridCheck.exe without a library, under Wine in a Korean locale: the
# loader's refusal (FormatMessageA, code page 949) must reach the JSON and
# stderr as Korean UTF-8, without U+FFFD. Arguments: the program, LOCPATH.
set -eu
exe=$1
locales=$2
. "$(dirname "$0")/../../../scripts/wine-env"
folder=$(mktemp -d "${TMPDIR:-/tmp}/lumagrid-korean.XXXXXX")
trap 'rm -rf "$folder"' EXIT
cp "$exe" "$folder/"
cd "$folder"
rc=0
LC_ALL=ko_KR.UTF-8 LOCPATH="$locales" wine LumagridCheck.exe --json check.json >out.txt 2>err.txt </dev/null || rc=$?
python3 - "$rc" <<'PY'
import json, sys
rc = int(sys.argv[1])
err = open("err.txt", "rb").read().decode("utf-8", "replace")
error = json.load(open("check.json", encoding="utf-8"))["error"]
print("exit code", rc, "\nstderr:", err, "\nJSON error:", error)
ok = rc == 2
ok &= error.startswith("LoadLibrary QuorvaneLib.dll failed: error 126 (")
ok &= "\ufffd" not in error and "\ufffd" not in err
# "모듈" (module): Wine answered in Korean, so an English text cannot pass.
ok &= "\ubaa8\ub4c8" in error and "\ubaa8\ub4c8" in err
sys.exit(0 if ok else 1)
PY

#!/usr/bin/env bash
# Runs scripts/check-layers on a small tree of every layer, once clean and once per planted
# dependency, and checks the exit status and the exact report line.
set -uo pipefail

script="$(cd "$(dirname "$0")/../.." && pwd)/scripts/check-layers"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The clean tree: each layer uses the ones it may; tests/ may use anything.
cleanTree() {
    local root=$1 path text
    while IFS='|' read -r path text; do
        mkdir -p "$root/$(dirname "$path")"
        printf '%b' "$text" > "$root/$path"
    done <<'TREE'
runtime/r.h|#pragma once\n
runtime/CMakeLists.txt|vexorin_folder_library(vexorin_runtime DEPS Qt6::Core)\n
runtime/gui/g.h|#include "runtime/r.h"\n
runtime/gui/CMakeLists.txt|vexorin_folder_library(vexorin_runtime_gui DEPS vexorin_runtime Qt6::Widgets)\n
ident/i.h|#include "runtime/r.h"\n
ident/CMakeLists.txt|vexorin_folder_library(vexorin_ident DEPS vexorin_runtime)\n
library/l.h|#include "ident/i.h"\n
library/CMakeLists.txt|vexorin_folder_library(vexorin_library DEPS vexorin_ident vexorin_runtime)\n
flow/f.h|#include "library/l.h"\n
flow/CMakeLists.txt|vexorin_folder_library(vexorin_flow DEPS vexorin_library)\n
ui/u.h|#include "flow/f.h"\n#include "runtime/gui/g.h"\n
ui/CMakeLists.txt|vexorin_folder_library(vexorin_ui DEPS vexorin_flow vexorin_runtime_gui)\n
cli/c.cpp|#include "flow/f.h"\n#include "cli/c.h"\n
cli/CMakeLists.txt|vexorin_folder_library(vexorin_cli DEPS vexorin_flow)\nadd_executable(vexorin-cli main.cpp)\ntarget_link_libraries(vexorin-cli PRIVATE vexorin_cli)\n
app/a.cpp|#include "ui/u.h"\n#include "runtime/gui/g.h"\n
app/CMakeLists.txt|vexorin_folder_library(vexorin_app DEPS vexorin_ui vexorin_runtime_gui)\n
tests/t.cpp|#include "app/a.h"\n#include "cli/c.h"\n
TREE
}

# name | file to write | its text | expected exit status | expected line of output
cases='
clean tree|||0|check-layers: 16 files, no upward dependency
library includes ui|library/bad.cpp|#include "library/l.h"\n#  include "ui/x.h"\n|1|library/bad.cpp:2: library must not depend on ui (ui/x.h)
library links ui|library/CMakeLists.txt|vexorin_folder_library(vexorin_library DEPS\n  vexorin_ident vexorin_ui)\n|1|library/CMakeLists.txt:2: library must not depend on ui (vexorin_ui)
ident links flow|ident/CMakeLists.txt|target_link_libraries(vexorin_ident PUBLIC vexorin_flow)\n|1|ident/CMakeLists.txt:1: ident must not depend on flow (vexorin_flow)
cli includes ui|cli/bad.cpp|#include "ui/u.h"\n|1|cli/bad.cpp:1: cli must not depend on ui (ui/u.h)
flow includes runtime/gui|flow/bad.cpp|#include "runtime/gui/g.h"\n|1|flow/bad.cpp:1: flow must not depend on runtime/gui (runtime/gui/g.h)
runtime/gui includes ident|runtime/gui/bad.h|#include "ident/i.h"\n|1|runtime/gui/bad.h:1: runtime/gui must not depend on ident (ident/i.h)
commented-out includes|library/bad.cpp|// #include "ui/u.h"\n/*\n#include "ui/u.h"\n*/\n|0|check-layers: 17 files, no upward dependency
'

failures=0
while IFS='|' read -r name path text expectedStatus expectedLine; do
    [ -z "$name" ] && continue
    root="$work/${name// /_}"
    cleanTree "$root"
    [ -n "$path" ] && printf '%b' "$text" > "$root/$path"
    output="$("$script" --root "$root" 2>&1)"
    status=$?
    if [ "$status" != "$expectedStatus" ] || ! grep -qxF -- "$expectedLine" <<<"$output"; then
        printf 'FAIL %s: exit %s (want %s)\n%s\n' "$name" "$status" "$expectedStatus" "$output"
        failures=$((failures + 1))
    fi
done <<<"$cases"

# A root that holds no layer folder is a mistake in the caller, not a clean tree.
mkdir -p "$work/empty"
if "$script" --root "$work/empty" >/dev/null 2>&1 || [ $? -ne 2 ]; then
    echo "FAIL empty root: must exit 2"
    failures=$((failures + 1))
fi

[ "$failures" -eq 0 ] && echo "check_layers_test: all cases pass"
exit $((failures > 0))

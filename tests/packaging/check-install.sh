#!/usr/bin/env bash
# Installs the build into a temporary prefix, as `make install PREFIX=...` does, checks what
# a user and a desktop meet there, then uninstalls it from the manifest as `make uninstall` does.
source "$(dirname "$0")/common.sh"

prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" || { cat "$scratch/install.log" >&2; exit 1; }
cp "$manifest" "$scratch/manifest"

expect_eq "programs in bin" "$(ls "$prefix/bin" | tr '\n' ' ')" "vexorin vexorin-cli "
check_programs "$prefix"

# A folder of programs is no place for a user's data, even a folder the user may write to.
home=$scratch/home
env -u XDG_DATA_HOME HOME="$home" "$prefix/bin/vexorin-cli" library >/dev/null ||
    fail "vexorin-cli library failed in a fresh home"
[[ -f $home/.local/share/vexorin/data.mdb ]] || fail "the stores are not in ~/.local/share/vexorin"
[[ ! -e $prefix/bin/data.mdb ]] || fail "the installed program keeps its stores in its bin folder"

# The launcher and its icon.
app_id=org.vexorin.Vexorin
desktop=$prefix/share/applications/$app_id.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
launched=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[[ -x $prefix/bin/$launched ]] || fail "the launcher starts '$launched', which is not installed"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[[ -f $prefix/share/icons/hicolor/scalable/apps/$icon.svg ]] || fail "no scalable icon named '$icon'"
for size in 16 22 24 32 48 64 128 256; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/$icon.png
    file "$png" | grep -q "PNG image data, $size x $size," || fail "$png is not a $size x $size PNG"
done

# The AppStream metadata, which software centres read.
metainfo=$prefix/share/metainfo/$app_id.metainfo.xml
appstreamcli validate --no-net "$metainfo" >"$scratch/appstream.log" 2>&1 ||
    { cat "$scratch/appstream.log" >&2; fail "appstreamcli validate $metainfo"; }
grep -qF "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
    fail "the metadata does not name the launcher $app_id.desktop"
grep -qF "<release version=\"$version\"" "$metainfo" || fail "the metadata's release is not $version"
for shot in $(grep -o 'https://[^<]*\.png' "$metainfo"); do
    [[ -f $source_dir/docs/screenshots/${shot##*/} ]] || fail "$shot is not one of docs/screenshots"
done

# The manual pages render cleanly, and vexorin-cli(1) describes every command the program has.
for page in vexorin vexorin-cli; do
    warnings=$(groff -man -ww -z -Tutf8 "$prefix/share/man/man1/$page.1" 2>&1)
    [[ -z $warnings ]] || fail "$page.1: $warnings"
done
cli_help=$("$prefix/bin/vexorin-cli" --help)
commands=$(sed -n '/^Subcommands:/,$p' <<<"$cli_help" | awk 'NR > 1 && NF { print $1 }')
[[ -n $commands ]] || fail "vexorin-cli --help lists no commands"
for command in $commands; do
    grep -qE "^\.B[IR]? \"?$command( |\"|$)" "$prefix/share/man/man1/vexorin-cli.1" ||
        fail "vexorin-cli.1 does not describe the command '$command'"
done

# Completion offers what the programs' own help lists: commands, and each one's options.
completions() {
    local program=$1
    shift
    bash -c 'source "$1"; shift
             function=$(complete -p "$1" | sed -n "s/.* -F \([^ ]*\) .*/\1/p")
             COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); "$function"
             printf "%s\n" "${COMPREPLY[@]}"' \
        _ "$prefix/share/bash-completion/completions/$program" "$program" "$@"
}
# expect_offered WHAT OFFERED WORD...
expect_offered() {
    local what=$1 offered=$2 word
    shift 2
    for word in "$@"; do grep -qxF -- "$word" <<<"$offered" || fail "$what does not offer '$word'"; done
}
long_options() { grep -oE -- '--[a-z][a-z0-9-]*' | grep -vx -- '--help' | sort -u; }

expect_offered "vexorin-cli <Tab>" "$(completions vexorin-cli '')" $commands
expect_offered "vexorin-cli --data-dir D <Tab>" "$(completions vexorin-cli --data-dir /tmp '')" $commands
expect_offered "vexorin-cli --<Tab>" "$(completions vexorin-cli --)" \
    $(sed '/^Subcommands:/,$d' <<<"$cli_help" | long_options) --help
for command in $commands; do
    expect_offered "vexorin-cli $command --<Tab>" "$(completions vexorin-cli "$command" --)" \
        $("$prefix/bin/vexorin-cli" "$command" --help | sed '/^Subcommands:/,$d' | long_options)
done
expect_offered "vexorin-cli --format <Tab>" "$(completions vexorin-cli --format '')" tsv csv json jsonl
expect_offered "vexorin --<Tab>" "$(completions vexorin --)" $(headless "$prefix/bin/vexorin" --help | long_options)

# Uninstalling removes exactly what was installed: a file of the user's own stays. A manifest
# of an install elsewhere (CPack rewrites it with /usr paths) removes nothing at all.
echo "[Desktop Entry]" >"$prefix/share/applications/users-own.desktop"
installed=$(files_under "$prefix")
uninstall() { cmake -D MANIFEST="$scratch/manifest" -D PREFIX="$1" -P "$source_dir/cmake/Uninstall.cmake"; }
if uninstall "$scratch/elsewhere" >"$scratch/uninstall.log" 2>&1; then fail "an uninstall from another prefix went ahead"; fi
expect_eq "files after an uninstall from another prefix" "$(files_under "$prefix")" "$installed"
uninstall "$prefix/" >"$scratch/uninstall.log" 2>&1 || { cat "$scratch/uninstall.log" >&2; fail "uninstall failed"; }
expect_eq "files left after uninstalling" "$(files_under "$prefix")" "share/applications/users-own.desktop"
[[ ! -e $prefix/share/doc/vexorin ]] || fail "uninstalling leaves share/doc/vexorin behind"

report

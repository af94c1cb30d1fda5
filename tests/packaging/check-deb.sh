#!/usr/bin/env bash
# Builds the Debian package as `make package` does, unpacks it without installing it, and
# checks its dependencies, its programs, and that it holds exactly what `make install` lays out.
source "$(dirname "$0")/common.sh"

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/package" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log" >&2; exit 1; }
debs=("$scratch"/package/*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || { fail "cpack made no single .deb: ${debs[*]}"; report; }
deb=${debs[0]}

expect_eq "package name" "$(dpkg-deb -f "$deb" Package)" vexorin
expect_eq "package version" "$(dpkg-deb -f "$deb" Version)" "$version"
depends=$(dpkg-deb -f "$deb" Depends)
depended=$(tr ',' '\n' <<<"$depends" | awk '{ print $1 }')
# The libraries come from dpkg-shlibdeps; the display plugins are loaded at run time and named by hand.
for needed in libc6 libstdc++6 libsqlite3-0 liburing2 libqt6core6 libqt6widgets6 libqt6network6 qt6-qpa-plugins; do
    grep -qxF "$needed" <<<"$depended" || fail "Depends lacks $needed: $depends"
done

root=$scratch/root
dpkg-deb -x "$deb" "$root"
check_programs "$root/usr"

cmake --install "$build" --prefix "$scratch/prefix" >"$scratch/install.log" || { cat "$scratch/install.log" >&2; exit 1; }
expect_eq "files outside /usr" "$(files_under "$root" | grep -v '^usr/' || true)" ""
expect_eq "files in the package" "$(files_under "$root/usr")" "$(files_under "$scratch/prefix")"

report

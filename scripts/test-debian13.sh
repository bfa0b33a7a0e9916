#!/usr/bin/env bash
# Debian 13 ("trixie") on this Debian 12 machine: in a trixie root, the project's own set-up
# step, the whole build with the root's compiler and Qt (kept in build-deb13/ of this checkout,
# so a second run rebuilds only what changed), the unit tests offscreen and the package checks
# of test-package.sh on the Debian 13 package made there. That package then goes with its
# Recommends into a bare trixie root, and the program is run from there: on X11 enter, the
# frames of all seven tools, strikes, save and load (e2e_canvas), and on sway 1.10 with one
# output and two, and with one at the fractional scales 1.5 and 1.25, enter, a strike and exit
# (wayland_canvas). The drivers and the servers run in the first root, the program in the
# second. Everything runs in a mount and process namespace of its own; both roots are removed
# afterwards, failure or not.
#   SHATTER_DEBIAN13=1 scripts/test-debian13.sh    (as run by `make test`; 77: not asked)
# With SHATTER_DEBIAN13_BENCH_ROWS=FILE it builds, then measures the enter rows of `make bench`
# in the first root instead of testing (SHATTER_BENCH_RUNS runs each), their rows added to FILE.
# The prepared first root is kept as a tarball in /var/cache/shatter, named after the set-up
# step's contents; without it (or after that step changed) the root is made anew.
set -euo pipefail
cd "$(dirname "$0")/.."
src=$(pwd)
build_dir=build-deb13
build="$src/$build_dir"
suite=trixie
tarballs=/var/cache/shatter

NAME=test-debian13
source scripts/root-stage.sh

if [[ "${SHATTER_DEBIAN13_STAGE:-}" == inside ]]; then
    work="$1" mirror="$2"
    sources="deb $mirror $suite main"
    root="$work/build-root"
    bare="$work/bare-root"
    key=$(sha256sum scripts/install-deps.sh | cut -c1-16)
    tarball="$tarballs/debian13-build-$key.tar.zst"
    start=$SECONDS
    if [[ ! -f "$tarball" ]]; then
        echo "== $NAME: a Debian 13 root with what install-deps.sh installs (kept as $tarball)"
        mkdir -p "$tarballs"
        ROOT_STAGE_HOOKS=(--customize-hook='copy-in scripts/install-deps.sh /tmp'
                          --customize-hook='chroot "$1" /tmp/install-deps.sh')
        root_stage_make "$suite" "$tarballs/debian13-build-$key.part.tar.zst" \
            "$work/build-root.log" "" "$sources"
        find "$tarballs" -name 'debian13-build-*.tar.zst' ! -name "*$key.part.tar.zst" -delete
        mv "$tarballs/debian13-build-$key.part.tar.zst" "$tarball"
    fi
    mkdir "$root"
    zstd -dcq "$tarball" | tar -x --numeric-owner -p -C "$root"
    echo "   root ready in $((SECONDS - start)) s"

    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mount --rbind /sys "$root/sys"
    mount --bind /tmp "$root/tmp"
    mkdir -p "$root$src"
    mount --bind "$src" "$root$src"
    # The root's compiler cache stays on this machine, so that a fresh checkout builds quickly.
    mkdir -p "$tarballs/ccache-deb13" "$root/root/.cache/ccache"
    mount --bind "$tarballs/ccache-deb13" "$root/root/.cache/ccache"
    # In the root, from the checkout, with none of this machine's compiler settings.
    in_root() {
        chroot "$root" env -u CMAKE_CXX_COMPILER_LAUNCHER -u LD_PRELOAD HOME=/root \
            PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
            bash -c 'cd "$0" && exec "$@"' "$src" "$@"
    }
    logged() {
        local log="$work/$1.log"
        shift
        "$@" >"$log" 2>&1 || { tail -n 60 "$log" >&2; return 1; }
    }
    echo "== $NAME: set-up and build with $(in_root gcc -dumpfullversion | sed 's/^/GCC /'), Qt $(
        in_root dpkg-query -W -f='${Version}' libqt6core6t64 | sed 's/[+-].*//')"
    start=$SECONDS
    logged build in_root make --no-print-directory build BUILD="$build_dir"
    echo "   $((SECONDS - start)) s"
    if [[ -n "${SHATTER_DEBIAN13_BENCH_ROWS:-}" ]]; then
        # make bench's rows: the enter rows of X11, sway and GNOME Shell with this build, each
        # against the same reference as on the host, in this root's servers and portals.
        runs="${SHATTER_BENCH_RUNS:-10}"
        version() { in_root dpkg-query -W -f='${Version}' "$1" | sed 's/[+-].*//'; }
        echo "== $NAME: enter on X11, on sway $(version sway) and in GNOME Shell" \
            "$(version gnome-shell), $runs runs each"
        mkdir -m 1777 "$work/bench"
        in_root env SHATTER_E2E_SCREEN=1920x1080x24 scripts/with-display.sh \
            "$build/bench/whole_process" --shatter "$build/shatter" \
            --bare "$build/bench/bare_window" --xwd /usr/bin/xwd --scratch "$work/bench" \
            --runs "$runs" --only enter >>"$SHATTER_DEBIAN13_BENCH_ROWS"
        in_root env SHATTER_E2E_SCREEN=1920x1080x24 scripts/with-wayland.sh \
            "$build/bench/wayland_enter" --shatter "$build/shatter" --runs "$runs" \
            >>"$SHATTER_DEBIAN13_BENCH_ROWS"
        # Both as the shell's user, as on the host. GNOME 48's screenshot backend leaves a
        # request unanswered that comes right after it started: the first call waits a second.
        in_root env SHATTER_E2E_SCREEN=1280x800x24 scripts/with-gnome.sh sh -c 'sleep 1
            exec env HOME="$SHATTER_GNOME_HOME" XDG_RUNTIME_DIR="$SHATTER_GNOME_HOME" \
                $SHATTER_GNOME_RUN_AS "$@"' \
            gnome_enter "$build/bench/gnome_enter" --shatter "$build/shatter" --runs "$runs" \
            >>"$SHATTER_DEBIAN13_BENCH_ROWS"
        exit
    fi
    echo "== $NAME: unit tests, offscreen"
    in_root ctest --test-dir "$build_dir" -L unit --output-on-failure -j2 | tail -n 3
    [[ ${PIPESTATUS[0]} -eq 0 ]]
    in_root env BUILD="$build_dir" scripts/test-package.sh
    deb=$(ls "$build"/package/shatter_*~deb13u*.deb)

    echo "== $NAME: a bare Debian 13 root with $(basename "$deb") and its Recommends"
    start=$SECONDS
    ROOT_STAGE_HOOKS=()
    root_stage_make "$suite" "$bare" "$work/bare-root.log" "$deb" "$sources"
    echo "   $(grep -c '^Setting up' "$work/install.log") packages; $((SECONDS - start)) s"
    grep "^W:" "$work/install.log" >&2 || true
    root_stage_serve_program "$bare" "$work"
    # The first root must see the second one's mounts, made just now. A checkout under /tmp
    # is mounted inside this one, so both go.
    umount -R "$root/tmp"
    mount --rbind /tmp "$root/tmp"

    root_stage_check "on X11, enter, the frames of all seven tools, strikes, save and load" \
        in_root scripts/with-display.sh "$build/tests/e2e_canvas" canvasShowsTheScreenAsItWas \
            strikesSavedAndLoaded
    wayland_canvas() {
        in_root env SHATTER_E2E_SCREEN="$1" SHATTER_WAYLAND_OUTPUTS="$2" \
            SHATTER_WAYLAND_REVERSED="$3" SHATTER_WAYLAND_SCALE="${4:-1}" \
            scripts/with-wayland.sh "$build/tests/wayland_canvas"
    }
    root_stage_check "on sway, one output: enter, palette in front, a hammer strike and exit" \
        wayland_canvas 1920x1080x24 1 ""
    root_stage_check "on sway, two outputs, primary left" wayland_canvas 3840x1080x24 2 ""
    root_stage_check "on sway, two outputs, primary right" wayland_canvas 3840x1080x24 2 1
    for scale in 1.5 1.25; do
        root_stage_check "on sway, one output at scale $scale: the desktop 1:1 on its pixels" \
            wayland_canvas 1920x1080x24 1 "" "$scale"
    done
    # GNOME's portal answers a program that runs as the shell's user: it becomes that user as
    # it enters the bare root (a program already made that user could not enter it).
    printf '#!/bin/sh\nexec chroot --userspec="$(id -u %s):$(id -g %s)" "%s" %s "$@"\n' \
        shatter-wayland shatter-wayland "$bare" /usr/bin/shatter >"$work/shatter-as-user"
    chmod +x "$work/shatter-as-user"
    root_stage_check "in GNOME Shell $(in_root dpkg-query -W -f='${Version}' gnome-shell |
        sed 's/[+-].*//'), natively and through XWayland, and a first enter denied" \
        in_root env SHATTER_E2E_SCREEN=1280x800x24 scripts/with-gnome.sh \
            env SHATTER_GNOME_RUN_AS= SHATTER_E2E_PROGRAM="$work/shatter-as-user" \
            "$build/tests/gnome_canvas"
    root_stage_check "in GNOME Shell, one monitor at scale 1.5: the desktop 1:1 on its pixels" \
        in_root env SHATTER_E2E_SCREEN=1920x1080x24 SHATTER_GNOME_SCALE=1.5 scripts/with-gnome.sh \
            env SHATTER_GNOME_RUN_AS= SHATTER_E2E_PROGRAM="$work/shatter-as-user" \
            "$build/tests/gnome_canvas" enterStrikeAndExit:wayland
    root_stage_report
    exit
fi

root_stage_require SHATTER_DEBIAN13 "$@"
command -v zstd >/dev/null || { echo "$NAME: zstd is not installed" >&2; exit 69; }
# The Debian mirror of this machine's own sources serves trixie too: no mirror is named here.
# The first URI of a stanza (or line) that serves bookworm itself.
mirror="${SHATTER_DEBIAN_MIRROR:-$(
    { awk '$1 == "deb" && $3 == "bookworm" { print $2; exit }' /etc/apt/sources.list \
          /etc/apt/sources.list.d/*.list 2>/dev/null
      awk 'BEGIN { RS = "" } { uri = ""; ok = 0
               for (i = 1; i <= NF; i++) {
                   if ($i == "URIs:") uri = $(i + 1)
                   if ($i == "Suites:")
                       for (j = i + 1; j <= NF && $j !~ /:$/; j++) ok = ok || $j == "bookworm"
               }
               if (ok && uri != "") { print uri; exit } }' \
          /etc/apt/sources.list.d/*.sources 2>/dev/null
    } | head -n 1)}"
if [[ -z "$mirror" ]]; then
    echo "$NAME: no Debian mirror for bookworm in this machine's apt sources" \
        "(set SHATTER_DEBIAN_MIRROR)" >&2
    exit 69
fi
root_stage_run SHATTER_DEBIAN13_STAGE "$mirror"

#!/usr/bin/env bash
# Installs the built package into a bare Debian 12 root (nothing but apt before it) the way apt
# does on a new machine, Recommends included, and runs /usr/bin/shatter from inside that root:
# on a private X display the title window, enter and the palette's frames (e2e_canvas), the
# auto-size labels and Qt's Traditional Chinese texts with the root's fonts and translations
# (tst_forms, tst_app_setup), and on the private sway desktop Qt's Wayland platform
# (wayland_canvas). Everything runs in a mount and process namespace of its own, so nothing
# stays mounted or running, and the root is removed afterwards, failure or not.
#   SHATTER_CLEAN_ROOT=1 scripts/test-clean-root.sh    (as run by `make test`; 77: not asked)
set -euo pipefail
cd "$(dirname "$0")/.."
src=$(pwd)
build="$src/build"

# Inside the namespaces: build the root, install, run the checks.
if [[ "${SHATTER_CLEAN_ROOT_STAGE:-}" == inside ]]; then
    work="$1" deb="$2"
    shift 2
    root="$work/root"
    log="$work/mmdebstrap.log"
    cache=/var/cache/apt/archives
    export SHATTER_DEB="$deb" SHATTER_CACHE="$cache"
    echo "== clean root: a bare Debian 12 root from this machine's apt sources"
    start=$SECONDS
    # The host's package cache and indices stand in for downloads where they can; what the
    # root had to download goes back into that cache for the next run. A root that is thrown
    # away needs no syncing to disk, and no documentation.
    if ! mmdebstrap --mode=root --variant=apt --verbose --skip=essential/unlink \
        --dpkgopt=force-unsafe-io --dpkgopt='path-exclude=/usr/share/doc/*' \
        --dpkgopt='path-exclude=/usr/share/man/*' --dpkgopt='path-exclude=/usr/share/info/*' \
        --setup-hook='mkdir -p "$1$SHATTER_CACHE"' \
        --setup-hook='cp -l "$SHATTER_CACHE"/*.deb "$1$SHATTER_CACHE/" 2>/dev/null ||
                      cp "$SHATTER_CACHE"/*.deb "$1$SHATTER_CACHE/" 2>/dev/null || true' \
        --setup-hook='cp /var/lib/apt/lists/*_dists_* "$1/var/lib/apt/lists/" 2>/dev/null || true' \
        --customize-hook='cp "$SHATTER_DEB" "$1/tmp/shatter.deb"' \
        --customize-hook='chroot "$1" env DEBIAN_FRONTEND=noninteractive \
                              apt-get install -y -o APT::Install-Recommends=true /tmp/shatter.deb >"$1/tmp/install.log"' \
        --customize-hook='cp "$1/tmp/install.log" "$1/../install.log"' \
        --customize-hook='chroot "$1" env DEBIAN_FRONTEND=noninteractive \
                              apt-get install -y libqt6test6 >/dev/null' \
        --customize-hook='cp -l -n "$1$SHATTER_CACHE"/*.deb "$SHATTER_CACHE/" 2>/dev/null || true' \
        bookworm "$root" "$@" >"$log" 2>&1; then
        tail -n 40 "$log" >&2
        echo "test-clean-root: could not make the root" >&2
        exit 1
    fi
    echo "   $(grep -c '^Setting up' "$work/install.log") packages with shatter and its" \
        "Recommends; downloaded: $(grep -c '^Get:' "$log") for the root," \
        "$(grep -c '^Get:' "$work/install.log") for shatter; $((SECONDS - start)) s"
    grep "^W:" "$work/install.log" >&2 || true

    # The root sees this machine's /tmp (the X and Wayland sockets, the session bus, the
    # portal's pictures, the tests' files), its devices and the build's test programs.
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mount --bind /tmp "$root/tmp"
    [[ -d "$root$build" ]] || mkdir -p "$root$build"
    mount --bind "$build" "$root$build"
    # The same process ID all the way, so the tests find the program's windows by it.
    printf '#!/bin/sh\nexec chroot "%s" /usr/bin/shatter "$@"\n' "$root" >"$work/shatter"
    chmod +x "$work/shatter"
    export SHATTER_E2E_PROGRAM="$work/shatter"
    # The private servers' files, and the runtime directory Qt's programs would otherwise make
    # in /tmp, go with the root.
    export XDG_RUNTIME_DIR="$work/run" TMPDIR="$work/tmp"
    # sway runs as a user of its own and must reach its directory below this one.
    chmod 755 "$work"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    mkdir -m 1777 "$TMPDIR"
    in_root() { chroot "$root" env QT_QPA_PLATFORM=offscreen "$@"; }

    # Every check runs, so that one failure does not hide the others. Stopped, the check at
    # hand stops its servers first.
    failed=()
    check_pid=""
    trap '[[ -z "$check_pid" ]] || { kill -TERM "$check_pid"; wait "$check_pid"; }; exit 143' TERM
    check() {
        local what="$1"
        shift
        echo "== clean root: $what"
        "$@" &
        check_pid=$!
        wait "$check_pid" || failed+=("$what")
        check_pid=""
    }
    check "on X11, enter and the frames of all seven tools" \
        scripts/with-display.sh "$build/tests/e2e_canvas" canvasShowsTheScreenAsItWas
    check "the auto-size labels at their design size" \
        in_root "$build/tests/tst_forms" autoSizeLabelsShowTheirDesignSize
    check "Qt's texts in Traditional Chinese" \
        in_root "$build/tests/tst_app_setup" textsAreTraditionalChinese
    check "on Wayland, enter, a hammer strike and exit" \
        scripts/with-wayland.sh "$build/tests/wayland_canvas"
    for what in "${failed[@]}"; do echo "test-clean-root: failed: $what" >&2; done
    [[ ${#failed[@]} -eq 0 ]]
    exit
fi

[[ "${SHATTER_CLEAN_ROOT:-}" == 1 ]] || {
    echo "test-clean-root: set SHATTER_CLEAN_ROOT=1 to run it (needs root and the mirror)"
    exit 77
}
if [[ "$(id -u)" -ne 0 ]]; then
    exec sudo --preserve-env=SHATTER_CLEAN_ROOT,PATH "$0" "$@"
fi
for tool in mmdebstrap unshare chroot; do
    command -v "$tool" >/dev/null || { echo "test-clean-root: $tool is not installed" >&2; exit 69; }
done

deb=$(ls shatter_*.deb 2>/dev/null | head -n 1)
if [[ -z "$deb" || "$build/shatter" -nt "$deb" ]]; then
    make --no-print-directory package
    deb=$(ls shatter_*.deb)
fi
# This machine's own Debian sources: no mirror is named here.
sources=()
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [[ -f "$f" ]] && grep -qE '^[^#]*\<bookworm\>' "$f" && sources+=("$f")
done
if [[ ${#sources[@]} -eq 0 ]]; then
    echo "test-clean-root: no apt sources for bookworm on this machine" >&2
    exit 69
fi

# In /tmp whatever TMPDIR says: the root sees this machine's /tmp, and so the stage's files.
work=$(mktemp -d /tmp/test-clean-root.XXXXXX)
stage_pid=""
cleanup() {
    trap '' INT TERM HUP  # a second signal must not cut the cleanup short
    # unshare passes no signal on: the stage's first process is asked to stop its check, and
    # when unshare dies the kernel ends whatever is left in the namespace. Its mounts were
    # never this namespace's, so what remains of the root is plain files.
    if [[ -n "$stage_pid" ]]; then
        local inner
        inner=$(cat "/proc/$stage_pid/task/$stage_pid/children" 2>/dev/null) || true
        [[ -z "$inner" ]] || kill -TERM $inner 2>/dev/null || true
        for _ in $(seq 50); do
            kill -0 "$stage_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$stage_pid" 2>/dev/null || true
        wait "$stage_pid" 2>/dev/null || true
    fi
    rm -rf --one-file-system "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

begin=$SECONDS
SHATTER_CLEAN_ROOT_STAGE=inside unshare --mount --propagation private --pid --fork --kill-child \
    --mount-proc "$0" "$work" "$src/$deb" "${sources[@]}" <&0 &
stage_pid=$!
status=0
wait "$stage_pid" || status=$?
stage_pid=""
echo "== clean root: $([[ $status -eq 0 ]] && echo passed || echo FAILED) in $((SECONDS - begin)) s"
exit "$status"

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

NAME=test-clean-root
source scripts/root-stage.sh

# Inside the namespaces: build the root, install, run the checks.
if [[ "${SHATTER_CLEAN_ROOT_STAGE:-}" == inside ]]; then
    work="$1" deb="$2"
    shift 2
    root="$work/root"
    log="$work/mmdebstrap.log"
    echo "== clean root: a bare Debian 12 root from this machine's apt sources"
    start=$SECONDS
    ROOT_STAGE_HOOKS=(--customize-hook='chroot "$1" env DEBIAN_FRONTEND=noninteractive \
                              apt-get install -y libqt6test6 >/dev/null')
    root_stage_make bookworm "$root" "$log" "$deb" "$@"
    echo "   $(grep -c '^Setting up' "$work/install.log") packages with shatter and its" \
        "Recommends; downloaded: $(grep -c '^Get:' "$log") for the root," \
        "$(grep -c '^Get:' "$work/install.log") for shatter; $((SECONDS - start)) s"
    grep "^W:" "$work/install.log" >&2 || true

    root_stage_serve_program "$root" "$work"
    # The build's test programs, for the checks that run inside the root.
    [[ -d "$root$build" ]] || mkdir -p "$root$build"
    mount --bind "$build" "$root$build"
    in_root() { chroot "$root" env QT_QPA_PLATFORM=offscreen "$@"; }

    root_stage_check "on X11, enter and the frames of all seven tools" \
        scripts/with-display.sh "$build/tests/e2e_canvas" canvasShowsTheScreenAsItWas
    root_stage_check "the auto-size labels at their design size" \
        in_root "$build/tests/tst_forms" autoSizeLabelsShowTheirDesignSize
    root_stage_check "Qt's texts in Traditional Chinese" \
        in_root "$build/tests/tst_app_setup" textsAreTraditionalChinese
    root_stage_check "on Wayland, enter, a hammer strike and exit" \
        scripts/with-wayland.sh "$build/tests/wayland_canvas"
    root_stage_report
    exit
fi

root_stage_require SHATTER_CLEAN_ROOT "$@"

deb=$(ls build/package/shatter_*.deb 2>/dev/null | head -n 1)
if [[ -z "$deb" || "$build/shatter" -nt "$deb" ]]; then
    make --no-print-directory package
    deb=$(ls build/package/shatter_*.deb)
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

root_stage_run SHATTER_CLEAN_ROOT_STAGE "$src/$deb" "${sources[@]}"

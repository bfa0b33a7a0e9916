#!/usr/bin/env bash
# Measures Shatter against its references and prints one table; `make bench` runs it.
#   scripts/run-bench.sh            10 runs of everything, at 1920x1080 and 3840x2160 (also at
#                                   scale factor 2)
#   SHATTER_BENCH_RUNS=3 SHATTER_BENCH_SCREENS=1920x1080x24 scripts/run-bench.sh
# As root with mmdebstrap, it also measures entering on X11 and sway inside a Debian 13 root
# (scripts/test-debian13.sh; SHATTER_BENCH_DEBIAN13=0 leaves that out).
# Every figure is a median over the runs. Benchmarks are reported, never asserted: the
# script fails only when something could not be measured.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD:-$root/build}"
runs="${SHATTER_BENCH_RUNS:-10}"
# A screen may end in @factor: the program then runs at that scale factor.
screens="${SHATTER_BENCH_SCREENS:-1920x1080x24 3840x2160x24 3840x2160x24@2}"
bench="$build/bench"

for program in shatter bench/bare_window bench/whole_process bench/bench_canvas_window \
               bench/bench_picture_file bench/wayland_enter bench/kwin_enter \
               bench/kwin_native_enter bench/gnome_enter; do
    if [[ ! -x "$build/$program" ]]; then
        echo "$0: $build/$program is missing; build first (make build)" >&2
        exit 69
    fi
done
for tool in convert xwd xrandr xsetroot; do
    command -v "$tool" >/dev/null || { echo "$0: $tool is not installed" >&2; exit 69; }
done

scratch="$(mktemp -d "${TMPDIR:-/tmp}/shatter-bench.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
rows="$scratch/rows"
: >"$rows"

row() {  # what, screen, shatter, reference, ratio, target, met
    printf 'ROW\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$@" >>"$rows"
}

now_ns() { date +%s%N; }

# The median of the numbers on standard input.
median() {
    sort -g | awk '{ v[NR] = $1 } END {
        if (NR == 0) { print "nan"; exit }
        if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Field of a Google Benchmark CSV aggregate row: name, column (3 real time, 4 CPU time).
gb_field() {
    awk -F, -v name="\"$2_median\"" -v col="$3" '$1 == name { print $col }' "$1"
}

# Google Benchmark prints its own context on stderr; keep only the CSV.
run_gb() {  # program, filter, csv
    "$1" --benchmark_filter="$2" --benchmark_repetitions="$runs" \
        --benchmark_report_aggregates_only=true --benchmark_format=csv >"$3" 2>/dev/null
}

echo "Shatter benchmarks: $runs runs each, medians; $(nproc) cores, load average" \
    "$(cut -d' ' -f1-3 /proc/loadavg) at start." >&2

# --- The hammer's handler on the real canvas window, 4K, offscreen, and at scale factor 2 ---
hammer_row() {  # screen label, csv
    local cpu wall
    cpu="$(gb_field "$2" BM_HammerHandler4K 4)"
    wall="$(gb_field "$2" BM_HammerHandler4K 3)"
    [[ -n "$cpu" ]] || { echo "$0: the hammer benchmark ($1) gave no figure" >&2; exit 70; }
    row "hammer strike: handler time, CPU (ms; wall in brackets)" "$1" \
        "$(awk -v c="$cpu" -v w="$wall" 'BEGIN { printf "%.3f (%.3f)", c / 1e3, w / 1e3 }')" \
        "-" "-" "<= 0.2" "$(awk -v c="$cpu" 'BEGIN { print c / 1e3 <= 0.2 ? "yes" : "NO" }')"
}
echo "hammer handler ..." >&2
run_gb "$bench/bench_canvas_window" 'BM_HammerHandler4K' "$scratch/hammer.csv"
hammer_row "3840x2160 offscreen" "$scratch/hammer.csv"
# The common 4K laptop.
QT_SCALE_FACTOR=2 run_gb "$bench/bench_canvas_window" 'BM_HammerHandler4K' "$scratch/hammer2.csv"
hammer_row "3840x2160 at scale 2 offscreen" "$scratch/hammer2.csv"

# --- Undo and redo at 4K: a hammer strike's tiles, a loaded picture's whole frame; the history
#     that 50 strikes leave (each is its own run: their figures differ) ---------------------------
undo_row() {  # what, benchmark
    local cpu wall
    run_gb "$bench/bench_canvas_window" "$2" "$scratch/undo.csv"
    cpu="$(gb_field "$scratch/undo.csv" "$2" 4)"
    wall="$(gb_field "$scratch/undo.csv" "$2" 3)"
    [[ -n "$cpu" ]] || { echo "$0: the undo benchmark $2 gave no figure" >&2; exit 70; }
    row "$1: handler time, CPU (ms; wall in brackets)" "3840x2160 offscreen" \
        "$(awk -v c="$cpu" -v w="$wall" 'BEGIN { printf "%.4f (%.4f)", c / 1e3, w / 1e3 }')" \
        "-" "undo and redo alike" "<= 0.2" \
        "$(awk -v c="$cpu" 'BEGIN { print c / 1e3 <= 0.2 ? "yes" : "NO" }')"
}
echo "undo and redo ..." >&2
undo_row "undo of a hammer strike" BM_UndoHammer4K
undo_row "undo of a loaded 4K picture" BM_UndoLoad4K
run_gb "$bench/bench_canvas_window" BM_HistoryOf50Strikes "$scratch/history.csv"
history="$(awk -F, 'NR == 1 { for (i = 1; i <= NF; i++) col[$i] = i }
    $1 ~ /_median"$/ { printf "%.1f %d", $col["\"MB\""], $col["\"kept\""] }' "$scratch/history.csv")"
read -r history_mb history_kept <<<"$history"
[[ -n "${history_kept:-}" ]] || { echo "$0: the history benchmark gave no figure" >&2; exit 70; }
row "memory the undo history holds after 50 hammer strikes (MB)" "3840x2160 offscreen" "$history_mb" \
    "31.6 one 4K frame" "$history_kept strikes kept" "<= 64, all 50 kept" \
    "$(awk -v m="$history_mb" -v k="$history_kept" 'BEGIN { print m <= 64 && k == 50 ? "yes" : "NO" }')"

# --- Save and load 4K bitmaps against ImageMagick converting the same picture ---------------
echo "bitmap save and load ..." >&2
run_gb "$bench/bench_picture_file" 'BM_(Save|Load)Bmp4K' "$scratch/bmp.csv"
save_ms="$(gb_field "$scratch/bmp.csv" BM_SaveBmp4K/real_time 3)"
load_ms="$(gb_field "$scratch/bmp.csv" BM_LoadBmp4K/real_time 3)"
[[ -n "$save_ms" && -n "$load_ms" ]] || { echo "$0: no bitmap figures" >&2; exit 70; }
"$bench/bench_picture_file" --sample="$scratch/desk4k.png" 2>/dev/null
for _ in $(seq "$runs"); do
    t0="$(now_ns)"
    convert "$scratch/desk4k.png" "$scratch/convert.bmp"
    echo $(( ($(now_ns) - t0) / 1000 ))
done | awk '{ print $1 / 1000 }' | median >"$scratch/convert_ms"
convert_ms="$(cat "$scratch/convert_ms")"
for what in save load; do
    ms="$save_ms"; [[ "$what" == load ]] && ms="$load_ms"
    row "$what 4K picture as BMP (ms)" "3840x2160" "$(printf '%.1f' "$ms")" \
        "$(printf '%.1f convert' "$convert_ms")" \
        "$(awk -v a="$ms" -v b="$convert_ms" 'BEGIN { printf "%.2f", a / b }')" "<= 1.0" \
        "$(awk -v a="$ms" -v b="$convert_ms" 'BEGIN { print a <= b ? "yes" : "NO" }')"
done

# Runs a driver on a private screen (SHATTER_E2E_SCREEN=$2) through the wrapper that starts the
# rest of the command; its rows go into the table. On failure its log is shown and the run stops,
# naming what ($1) failed.
drive() {
    local what="$1" screen="$2"
    shift 2
    if ! SHATTER_E2E_SCREEN="$screen" "$@" >>"$rows" 2>"$scratch/driver.log"; then
        cat "$scratch/driver.log" >&2
        echo "$0: the $what run failed" >&2
        exit 70
    fi
}

# --- The whole program on X screens of each size ---------------------------------------------
for screen in $screens; do
    echo "whole program at $screen ..." >&2
    scale=1
    [[ "$screen" == *@* ]] && scale="${screen#*@}"
    scaled=()
    [[ "$scale" != 1 ]] && scaled=(env QT_SCALE_FACTOR="$scale")
    drive "whole-program at $screen" "${screen%@*}" "$root/scripts/with-display.sh" "${scaled[@]}" \
        "$bench/whole_process" --shatter "$build/shatter" --bare "$bench/bare_window" \
        --xwd "$(command -v xwd)" --scratch "$scratch" --runs "$runs" --scale "$scale"
done

# --- Entering with the primary monitor beside another, against it at the origin ------------
echo "enter on two monitors ..." >&2
drive two-monitor 3200x1080x24 "$root/scripts/with-display.sh" "$bench/whole_process" \
    --shatter "$build/shatter" --bare "$bench/bare_window" --runs "$runs" --only monitors \
    --xrandr "$(command -v xrandr)"

# --- Following the primary screen as it grows from 1920x1080 to 4K under the open canvas ----
echo "following a growing screen ..." >&2
drive follow 3840x2160x24 "$root/scripts/with-display.sh" "$bench/whole_process" \
    --shatter "$build/shatter" --bare "$bench/bare_window" --runs "$runs" --only follow \
    --xrandr "$(command -v xrandr)" --xsetroot "$(command -v xsetroot)"

# --- Entering on a Wayland desktop against the portal's own round trip, 1080p ---------------
echo "enter on Wayland ..." >&2
drive Wayland 1920x1080x24 "$root/scripts/with-wayland.sh" "$bench/wayland_enter" \
    --shatter "$build/shatter" --runs "$runs"

# --- Entering inside KWin against a bare client's CaptureScreen round trip, 1280x800 -------
# KWin answers only programs its menu entries trust: Shatter installed, the drivers beside it.
echo "enter inside KWin, through XWayland and native ..." >&2
chmod go+x "$scratch"  # for KWin's user
mkdir -m 755 "$scratch/kwin"
"$root/scripts/kwin-apps.sh" "$scratch/kwin" "$build" "$bench/kwin_enter" "$bench/kwin_native_enter"
for driver in kwin_enter kwin_native_enter; do
    SHATTER_KWIN_APPS="$scratch/kwin" drive KWin 1280x800x24 "$root/scripts/with-kwin.sh" \
        "$scratch/kwin/bin/$driver" --shatter "$scratch/kwin/bin/shatter" --runs "$runs"
done

# --- Entering inside GNOME Shell against the portal's own round trip, 1280x800 ---------------
# Both as the shell's user, as a person's programs run: the portal refuses callers it cannot see.
echo "enter inside GNOME Shell ..." >&2
as_shell_user='exec env HOME="$SHATTER_GNOME_HOME" XDG_RUNTIME_DIR="$SHATTER_GNOME_HOME" \
    $SHATTER_GNOME_RUN_AS "$@"'
drive GNOME 1280x800x24 "$root/scripts/with-gnome.sh" sh -c "$as_shell_user" gnome_enter \
    "$bench/gnome_enter" --shatter "$build/shatter" --runs "$runs"

# --- The X11, sway and GNOME enter rows again inside a Debian 13 root, with Shatter built there
# (scripts/test-debian13.sh makes the root, builds into build-deb13/ and removes the root again.)
# SHATTER_BENCH_DEBIAN13=0 leaves them out.
debian13_skip=""
if [[ "${SHATTER_BENCH_DEBIAN13:-1}" == 0 ]]; then
    debian13_skip="SHATTER_BENCH_DEBIAN13=0"
elif [[ "$(id -u)" -ne 0 ]]; then
    debian13_skip="they need root"
else
    for tool in mmdebstrap zstd unshare; do
        command -v "$tool" >/dev/null || { debian13_skip="$tool is not installed"; break; }
    done
fi
if [[ -n "$debian13_skip" ]]; then
    echo "enter on Debian 13: skipped, $debian13_skip" >&2
else
    echo "enter on Debian 13 (its root and build first) ..." >&2
    : >"$scratch/deb13.rows"
    status=0
    SHATTER_DEBIAN13=1 SHATTER_BENCH_RUNS="$runs" SHATTER_DEBIAN13_BENCH_ROWS="$scratch/deb13.rows" \
        "$root/scripts/test-debian13.sh" >"$scratch/deb13.log" 2>&1 || status=$?
    if [[ $status -eq 69 ]]; then  # a tool or the mirror is missing: it says which
        echo "   skipped: $(tail -n 1 "$scratch/deb13.log")" >&2
    elif [[ $status -ne 0 || "$(grep -c '^ROW' "$scratch/deb13.rows")" -ne 3 ]]; then
        cat "$scratch/deb13.log" >&2
        echo "$0: the Debian 13 run failed" >&2
        exit 70
    else
        tail -n 1 "$scratch/deb13.log" | sed 's/^== /   /' >&2
        awk -F'\t' -v OFS='\t' '$1 == "ROW" { $3 = $3 ", Debian 13"; print }' \
            "$scratch/deb13.rows" >>"$rows"
    fi
fi

# --- Sound latency and a start without a sound server, through a private server ------------
echo "sounds ..." >&2
SHATTER_E2E_SCREEN=1920x1080x24 SHATTER_SOUND_ROWS="$rows" BUILD="$build" \
    "$root/scripts/test-sound.sh" >"$scratch/sound.log" 2>&1 || true
grep -q 'its sound at the sink' "$rows" || { cat "$scratch/sound.log" >&2; echo "$0: no sound figures" >&2; exit 70; }

echo "load average $(cut -d' ' -f1-3 /proc/loadavg) at the end." >&2
{
    printf '| what | screen | Shatter | reference | ratio / detail | target | met |\n'
    printf '|---|---|---|---|---|---|---|\n'
    grep '^ROW' "$rows" | cut -f2- | awk -F'\t' '{ printf "| %s | %s | %s | %s | %s | %s | %s |\n", $1, $2, $3, $4, $5, $6, $7 }'
}

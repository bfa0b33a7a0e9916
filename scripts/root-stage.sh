# Sourced by the stages that make a throwaway Debian root with mmdebstrap and run checks in it
# (test-clean-root.sh, test-debian13.sh). NAME is the calling stage's, for its messages.

# Makes a root of SUITE at ROOT with apt only, its log in LOG, from the sources that follow;
# with DEB not empty, apt then installs that package with its Recommends into it, the way a
# new machine would (its log goes to ROOT/../install.log). The host's package cache and indices
# stand in for downloads where they can; what the root had to download goes back into that
# cache for the next run. A root that is thrown away needs no syncing to disk, and no
# documentation. Extra mmdebstrap options may come in ROOT_STAGE_HOOKS (an array).
root_stage_make() {
    local suite="$1" root="$2" log="$3" deb="$4"
    shift 4
    export SHATTER_CACHE=/var/cache/apt/archives SHATTER_DEB="$deb"
    local install=()
    [[ -z "$deb" ]] || install=(
        --customize-hook='cp "$SHATTER_DEB" "$1/tmp/shatter.deb"'
        --customize-hook='chroot "$1" env DEBIAN_FRONTEND=noninteractive \
                              apt-get install -y -o APT::Install-Recommends=true /tmp/shatter.deb >"$1/tmp/install.log"'
        --customize-hook='cp "$1/tmp/install.log" "$1/../install.log"')
    if ! mmdebstrap --mode=root --variant=apt --verbose --skip=essential/unlink \
        --dpkgopt=force-unsafe-io --dpkgopt='path-exclude=/usr/share/doc/*' \
        --dpkgopt='path-exclude=/usr/share/man/*' --dpkgopt='path-exclude=/usr/share/info/*' \
        --setup-hook='mkdir -p "$1$SHATTER_CACHE"' \
        --setup-hook='cp -l "$SHATTER_CACHE"/*.deb "$1$SHATTER_CACHE/" 2>/dev/null ||
                      cp "$SHATTER_CACHE"/*.deb "$1$SHATTER_CACHE/" 2>/dev/null || true' \
        --setup-hook='cp /var/lib/apt/lists/*_dists_* "$1/var/lib/apt/lists/" 2>/dev/null || true' \
        "${install[@]}" "${ROOT_STAGE_HOOKS[@]}" \
        --customize-hook='cp -l -n "$1$SHATTER_CACHE"/*.deb "$SHATTER_CACHE/" 2>/dev/null || true' \
        "$suite" "$root" "$@" >"$log" 2>&1; then
        tail -n 40 "$log" >&2
        echo "$NAME: could not make the $suite root" >&2
        exit 1
    fi
}

# Lets the tests run /usr/bin/shatter from ROOT (made by root_stage_make in WORK): the root
# sees this machine's /tmp (the X and Wayland sockets, the session bus, the portal's pictures,
# the tests' files) and its devices; SHATTER_E2E_PROGRAM starts the program in there with the
# same process ID all the way, so the tests find its windows by it. The private servers' files,
# and the runtime directory Qt's programs would otherwise make in /tmp, go with WORK.
root_stage_serve_program() {
    local root="$1" work="$2"
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mount --bind /tmp "$root/tmp"
    printf '#!/bin/sh\nexec chroot "%s" /usr/bin/shatter "$@"\n' "$root" >"$work/shatter"
    chmod +x "$work/shatter"
    export SHATTER_E2E_PROGRAM="$work/shatter"
    export XDG_RUNTIME_DIR="$work/run" TMPDIR="$work/tmp"
    # sway runs as a user of its own and must reach its directory below this one.
    chmod 755 "$work"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    mkdir -m 1777 "$TMPDIR"
}

# Runs CHECK... in the background so that a TERM can stop it, servers first, and says how long
# it took; every check runs, and the failed ones are named in root_stage_failed.
root_stage_failed=()
root_stage_check_pid=""
trap '[[ -z "$root_stage_check_pid" ]] || { kill -TERM "$root_stage_check_pid"; wait "$root_stage_check_pid"; }; exit 143' TERM
root_stage_check() {
    local what="$1" start=$SECONDS
    shift
    echo "== $NAME: $what"
    "$@" &
    root_stage_check_pid=$!
    wait "$root_stage_check_pid" || root_stage_failed+=("$what")
    root_stage_check_pid=""
    echo "   $((SECONDS - start)) s"
}
root_stage_report() {
    local what
    for what in "${root_stage_failed[@]}"; do echo "$NAME: failed: $what" >&2; done
    [[ ${#root_stage_failed[@]} -eq 0 ]]
}

# Runs the calling script again as its stage INSIDE, with ARGS, as the first process of a mount
# and process namespace of its own, in a fresh directory in /tmp (whatever TMPDIR says: the
# roots see this machine's /tmp) that is passed first and removed afterwards, on failure or
# interruption too. Returns the stage's status.
root_stage_run() {
    local marker="$1"
    shift
    # In /tmp whatever TMPDIR says: the root sees this machine's /tmp, and so the stage's files.
    root_stage_work=$(mktemp -d "/tmp/$NAME.XXXXXX")
    root_stage_pid=""
    trap root_stage_cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    trap 'exit 129' HUP
    local begin=$SECONDS status=0
    env "$marker=inside" unshare --mount --propagation private --pid --fork --kill-child \
        --mount-proc "$0" "$root_stage_work" "$@" <&0 &
    root_stage_pid=$!
    wait "$root_stage_pid" || status=$?
    root_stage_pid=""
    echo "== $NAME: $([[ $status -eq 0 ]] && echo passed || echo FAILED) in $((SECONDS - begin)) s"
    return "$status"
}
root_stage_cleanup() {
    trap '' INT TERM HUP  # a second signal must not cut the cleanup short
    # unshare passes no signal on: the stage's first process is asked to stop its check, and
    # when unshare dies the kernel ends whatever is left in the namespace. Its mounts were
    # never this namespace's, so what remains of the root is plain files.
    if [[ -n "$root_stage_pid" ]]; then
        local inner
        inner=$(cat "/proc/$root_stage_pid/task/$root_stage_pid/children" 2>/dev/null) || true
        [[ -z "$inner" ]] || kill -TERM $inner 2>/dev/null || true
        for _ in $(seq 50); do
            kill -0 "$root_stage_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$root_stage_pid" 2>/dev/null || true
        wait "$root_stage_pid" 2>/dev/null || true
    fi
    rm -rf --one-file-system "$root_stage_work"
}

# As root, with the tools a root stage needs, or exits (77: not asked for with GATE=1).
root_stage_require() {
    local gate="$1" tool
    [[ "${!gate:-}" == 1 ]] || {
        echo "$NAME: set $gate=1 to run it (needs root and the mirror)"
        exit 77
    }
    if [[ "$(id -u)" -ne 0 ]]; then
        exec sudo --preserve-env="$gate",PATH "$0" "$@"
    fi
    for tool in mmdebstrap unshare chroot; do
        command -v "$tool" >/dev/null || { echo "$NAME: $tool is not installed" >&2; exit 69; }
    done
}

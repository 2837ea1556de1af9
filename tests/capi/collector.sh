# Sourced by the package tests. start_collector LOG COMMAND...: starts the collector in the
# background, stops it when the script exits, and sets `url` to the collection URL, the first
# word after "listening on" in its first line.
start_collector() {
    local log=$1
    shift
    "$@" >"$log" 2>&1 &
    collector_pid=$!
    trap 'kill "$collector_pid" 2>/dev/null || true' EXIT
    url=""
    for _ in $(seq 100); do  # up to 10 s for the first line
        url=$(sed -n '1s/^listening on \([^ ]*\).*/\1/p' "$log")
        [ -n "$url" ] && return 0
        sleep 0.1
    done
    echo "collector did not start" >&2
    cat "$log" >&2
    return 1
}

#!/usr/bin/env bash
# A newcomer's first `make run`, from a fresh clone of this tree's HEAD with the
# Debian packages already there: when the package check, the configure run and
# the program's build end, when the countdown shows (on a private Xvfb) and
# when it has started its entries. Then how many packages make run and make
# test would install on a minimal Debian 12 (apt-get's simulation against the
# required and important packages alone). With "rest", also how long the
# tests and benchmarks take to build, which make run used to build first.
# Figures only.
#   bench/bench_first_run.sh [scratch folder] [rest]
set -euo pipefail
src=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work=$(realpath -m -- "${1:-$src/build/bench_first_run}")
rm -rf "$work" && mkdir -p "$work/home" && mkdir -m 700 "$work/run"
trap 'kill $(jobs -p) 2>/dev/null; wait' EXIT
git clone -q --no-hardlinks "$src" "$work/clone"

Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>/dev/null &
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
DISPLAY=:$(<"$work/display")
export DISPLAY HOME=$work/home XDG_RUNTIME_DIR=$work/run TMPDIR=$work
export DBUS_SESSION_BUS_ADDRESS=unix:path=/dev/null
now() { awk -v s="$start" -v n="$(date +%s.%N)" 'BEGIN { printf "%6.1f", n - s }'; }
start=$(date +%s.%N)
(xdotool search --sync --onlyvisible --name '^Autostart$' >/dev/null && echo "$(now) countdown shown") \
  > "$work/shown" 2>/dev/null &
# make's own lines mark the phases: it echoes each command before running it.
(cd "$work/clone" && make run 2>&1) | while IFS= read -r line; do echo "$(now) $line"; done > "$work/run.log"
echo "$(now) make run ended" >> "$work/run.log"

phase() { # <label> <pattern> [last]: the time of the first (or last) line matching the pattern
  printf '  %-34s %s s\n' "$1" "$(grep -E "^ *[0-9.]+ $2" "$work/run.log" | sed -n "${3:-1}p" | awk '{ print $1 }')"
}
echo "make run from a fresh clone of $(git -C "$src" rev-parse --short HEAD), $(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg):"
phase "packages checked, configure starts" 'cmake -S '
phase "configured, build starts" 'cmake --build '
phase "Velkora built" '\[100%\] Built target Velkora'
printf '  %-34s %s s\n' "countdown shown" "$(awk '{ print $1 }' "$work/shown")"
phase "last entry started" 'velkora.start: started' '$'
echo "  targets built: $(grep -c 'Built target' "$work/run.log") (tests: $(grep -c 'Built target tst_' "$work/run.log"))"
if [[ ${2:-} == rest ]]; then
  rest=$( { TIMEFORMAT=%R; time cmake --build "$work/clone/build" -j"$(nproc)" >/dev/null; } 2>&1)
  printf '  %-34s %s s\n' "tests and benchmarks built" "$rest"
fi

# A minimal Debian 12: the required and important packages and what they need.
avail=$work/avail status=$work/status
apt-cache dumpavail > "$avail"
sim() { # <status file> <packages...>: the names apt-get would install
  apt-get -s -o Dir::State::status="$1" -o Debug::NoLocking=1 install --no-install-recommends "${@:2}" 2>/dev/null \
    | awk '/^Inst / { print $2 }'
}
: > "$work/empty"
mapfile -t seeds < <(awk -v RS= '/\nPriority: (required|important)/' "$avail" | sed -n 's/^Package: //p' | sort -u)
mapfile -t base < <(sim "$work/empty" "${seeds[@]}")
python3 - "$avail" "${base[@]}" > "$status" <<'PY'
import sys
base, seen = set(sys.argv[2:]), set()
for entry in open(sys.argv[1], encoding="utf-8").read().split("\n\n"):
    fields = dict(line.split(": ", 1) for line in entry.splitlines() if ": " in line and line[0] != " ")
    name = fields.get("Package")
    if name in base and name not in seen:
        seen.add(name)
        print(entry.replace("Package: " + name, "Package: " + name + "\nStatus: install ok installed", 1) + "\n")
PY
echo "Packages to install on a minimal Debian 12 (${#base[@]} packages):"
for what in "run DISPLAY=:0" "run DISPLAY= WAYLAND_DISPLAY=" "test DISPLAY=:0"; do
  read -r goal env <<<"$what"
  list=$(make -s -C "$src" --eval 'wanted: ; @echo $(BUILD_PACKAGES) $(RUN_PACKAGES) $(if $(filter test,$(GOAL)),$(TEST_PACKAGES))' \
    wanted GOAL="$goal" $env)
  mapfile -t inst < <(sim "$status" $list)
  size=$(apt-cache show --no-all-versions "${inst[@]}" 2>/dev/null \
    | awk '/^Size:/ { d += $2 } /^Installed-Size:/ { i += $2 } END { printf "%.0f MB to fetch, %.0f MB installed", d / 1e6, i / 1e3 }')
  printf '  make %-4s %-30s %d named, %d with what they need, %s\n' "$goal" "(${env:-})" "$(wc -w <<<"$list")" "${#inst[@]}" "$size"
done

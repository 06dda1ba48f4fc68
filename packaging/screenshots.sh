#!/usr/bin/env bash
# Takes the README's pictures from the real program under a virtual display:
# the countdown, the configuration window and the information window.
#   screenshots.sh <built Velkora> <output folder>
# Xvfb has no window manager, so the pictures show the windows without frames.
set -euo pipefail
exe=${1:?usage: screenshots.sh <built Velkora> <output folder>}
out=${2:?usage: screenshots.sh <built Velkora> <output folder>}
for tool in xvfb-run xdotool import; do
  command -v "$tool" >/dev/null || { echo "screenshots.sh: $tool is missing (make test-deps installs it)" >&2; exit 1; }
done
mkdir -p "$out"
out=$(cd "$out" && pwd)

# A scratch copy of the program's folder, so the configuration beside it is
# ours and the user's own file is never touched.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/velkora-shots.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cp "$exe" "$scratch/Velkora"
mkdir -m 700 "$scratch/runtime"

write_ini() {
  {
    printf '[0]\nDATEI=/usr/bin/thunderbird\nName=%s\nZEIT=%s\n' "$1" "$2"
    printf '[1]\nDATEI=/usr/bin/nextcloud --background\nName=Nextcloud\nZEIT=30\nWARTEN_AUF=Infobereich\n'
    printf '[2]\nDATEI=/usr/bin/syncthing\nName=Syncthing\nZEIT=5\nAKTIV=0\n'
    printf '[3]\nDATEI=/usr/share/applications/org.gnome.Calendar.desktop\nName=Kalender\nZEIT=5\n'
    printf '[4]\nDATEI=/opt/Meine Werkzeuge/sicherung.sh --leise\nName=Sicherung\nZEIT=60\n'
  } > "$scratch/Velkora.ini"
}

# Runs inside the virtual display: start, wait for the window, act, capture.
cat > "$scratch/shoot.sh" <<'SHOOT'
#!/usr/bin/env bash
set -euo pipefail
exe=$1 out=$2 title=$3 action=$4; shift 4
"$exe" "$@" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true' EXIT
win=$(timeout 20 xdotool search --sync --onlyvisible --name "^${title}\$" | head -n1)
[[ -n $win ]] || { echo "no window titled $title" >&2; exit 1; }
sleep 0.5
case $action in
runner) ;;
config)
  # The first line selected, so that the edit boxes show an entry: the list
  # starts 104 px below the menu bar (about 20 px), its lines 14 px apart.
  xdotool mousemove --window "$win" 80 131 click 1
  sleep 0.3
  ;;
chooser)
  xdotool mousemove --window "$win" 372 53 click 1 # "suchen"
  # A prefix only: the pattern is matched byte by byte, and the title has an umlaut.
  win=$(timeout 20 xdotool search --sync --onlyvisible --name '^Test: Bitte w' | head -n1)
  [[ -n $win ]] || { echo "the file chooser did not open" >&2; exit 1; }
  sleep 0.8
  ;;
about)
  # "?" is the menu right of the first ("Optionen"); its only item opens the window.
  xdotool mousemove --window "$win" 12 10 click 1
  sleep 0.5
  xdotool key Right sleep 0.3 key Down Return
  win=$(timeout 20 xdotool search --sync --onlyvisible --name '^Info zu Velkora$' | head -n1)
  [[ -n $win ]] || { echo "the information window did not open" >&2; exit 1; }
  sleep 0.5
  ;;
esac
import -window "$win" "$out"
SHOOT

shoot() {
  local name=$1 title=$2 action=$3; shift 3
  XDG_RUNTIME_DIR=$scratch/runtime XDG_CONFIG_HOME=$scratch/config DBUS_SESSION_BUS_ADDRESS=unix:path=/dev/null \
    xvfb-run -a -s "-screen 0 800x600x24" \
    bash "$scratch/shoot.sh" "$scratch/Velkora" "$scratch/$name.png" "$title" "$action" "$@"
  # No time stamps, so that an unchanged window gives the same file.
  convert "$scratch/$name.png" -strip -define png:exclude-chunks=date,time "$out/$name.png"
  echo "Wrote $out/$name.png"
}

# The longest waiting time the window accepts keeps the countdown up.
write_ini Mail 60
shoot runner Autostart runner
write_ini Mail 10
shoot config Velkora config /config
shoot about Velkora about /config
shoot chooser Velkora chooser /config

#!/bin/sh
# Takes a screenshot of Norvik.exe's main dialog under Wine:
#
#   cmake/toolchains/wine-screenshot.sh <Norvik.exe> <output.png>
#
# The program runs from a scratch folder (no settings file of an earlier run)
# in a Wine virtual desktop on a virtual X server, so that Wine draws the
# window frame and caption itself; the desktop is then trimmed to the dialog.
# Under Wine there is no camera, so the picker is empty.
#
# Needs: wine, xvfb (xvfb-run), xauth, imagemagick, a CJK font.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
program=${1:?usage: wine-screenshot.sh <Norvik.exe> <output.png>}
output=${2:?usage: wine-screenshot.sh <Norvik.exe> <output.png>}
for tool in wine xvfb-run import convert; do
    command -v "$tool" >/dev/null 2>&1 || { echo "wine-screenshot: $tool is missing" >&2; exit 1; }
done

. "$here/wine-prefix.sh"
norvik_ensure_wine_prefix

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$program" "$scratch/Norvik.exe"
case "$output" in /*) ;; *) output=$(pwd)/$output ;; esac

cat > "$scratch/take.sh" <<'INNER'
#!/bin/sh
set -u
here=$1; scratch=$2; output=$3
wineserver -p
"$here/wine-run.sh" --win64 wineboot >/dev/null 2>&1 </dev/null
cd "$scratch"
"$here/wine-run.sh" --win64 explorer /desktop=Norvik,1000x1100 Norvik.exe >/dev/null 2>&1 </dev/null &
# Wait until the screen has stopped changing.
previous=""
tries=0
while [ $tries -lt 60 ]; do
    sleep 1
    tries=$((tries + 1))
    import -window root "$scratch/screen.png" 2>/dev/null || continue
    current=$(convert "$scratch/screen.png" -format '%#' info:)
    if [ "$current" = "$previous" ] && [ "$(convert "$scratch/screen.png" -format '%[fx:standard_deviation>0.01]' info:)" = "1" ]; then
        break
    fi
    previous=$current
done
"$here/wine-run.sh" --win64 cmd /c taskkill /im Norvik.exe >/dev/null 2>&1 </dev/null || true
wineserver -k || true
# The desktop around the dialog is one colour: frame the picture in it and
# trim it away.
desktop=$(convert "$scratch/screen.png" -format '%[pixel:p{999,1099}]' info:)
convert "$scratch/screen.png" -bordercolor "$desktop" -border 1 -trim +repage "$output"
INNER
chmod +x "$scratch/take.sh"
xvfb-run -a -s "-screen 0 1000x1100x24" "$scratch/take.sh" "$here" "$scratch" "$output"
echo "wrote $output"

#!/usr/bin/env bash
# Fails on an #include that points the wrong way between the folders. Each
# folder's library links only what it may use too; this names the file and
# line. DEVELOPERS.md shows the same table.
#   check-layers.sh [project root]
set -euo pipefail
cd "${1:-.}"

# folder: the folders whose headers it may include (its own always).
declare -A may=(
    [platform/core]=""
    [platform/ini]="platform/core"
    [platform/start]="platform/core"
    [platform/session]="platform/core platform/ini platform/start"
    [platform/watch]="platform/core"
    [platform]="platform/core platform/ini platform/start platform/session platform/watch"
    [config]="platform/core platform/ini"
    [resources]=""
    [ui]=""
    [ui/runner]="ui config platform platform/core resources"
    [ui/about]="ui platform platform/core resources"
    [ui/config]="ui ui/about config platform platform/core resources"
)

bad=0
for folder in "${!may[@]}"; do
    [ -d "$folder" ] || continue
    for file in "$folder"/*.h "$folder"/*.cpp; do
        [ -e "$file" ] || continue
        while IFS=: read -r line header; do
            used=$(dirname "$header")
            [ "$used" = "$folder" ] && continue
            case " ${may[$folder]} " in *" $used "*) continue ;; esac
            echo "$file:$line: $folder may not include $header"
            bad=1
        done < <(grep -n -o -E '^#include "[^"]+"' "$file" | sed -E 's/^([0-9]+):#include "(.*)"$/\1:\2/')
    done
done
exit $bad

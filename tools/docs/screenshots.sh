#!/usr/bin/env bash
# Screenshots of the tray program's windows for the README, taken on the
# build tree's X server (Xvfb) from the real QLX.exe:
#   screenshots.sh BUILD_TREE OUTPUT_FOLDER
# writes main-window.png, minibar.png, minibar-compact.png, minibar-menu.png,
# tip.png, settings-general.png, settings-advanced.png, settings-sites.png, and at 150%
# main-window-150.png and settings-general-150.png. The program is
# driven from outside as in the tests; a few pop-ups are blocked through its popup service by a
# script client.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
tree=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
bin="$tree/bin"

export WINEPREFIX="$tree/wineprefix"
. "$root/tools/wine/wine-env.sh"
export WINEPREFIX="$WINEPREFIX-x11"
qlx_xvfb_start
qlx_wine_prepare
run() { "$QLX_WINE64" "$@" </dev/null; }
drive() { run tray_test_driver.exe "$@"; }
shoot() { # name left top width height
    import -window root -crop "$4x$5+$2+$3" +repage "$out/$1.png"
    echo "  $out/$1.png"
}
shoot_window() { # name what [extra height below]
    local x y w h
    read -r x y w h < <(drive rect "$2" | tr -d '\r')
    shoot "$1" "$x" "$y" "$w" $((h + ${3:-0}))
}

cd "$bin"
run QLX.exe /RegServer
run reg delete 'HKCU\Software\Quellix' /f >/dev/null 2>&1 || true
run cmd /c del "%APPDATA%\\Quellix\\history.lst" >/dev/null 2>&1 || true
run reg add 'HKCU\Software\Quellix\Options' /v ShowToolTip_Time /t REG_DWORD /d 60 /f >/dev/null
run reg add 'HKCU\Software\Quellix\Options' /v minibar_dx /t REG_DWORD /d 300 /f >/dev/null
run reg add 'HKCU\Software\Quellix\Options' /v minibar_dy /t REG_DWORD /d 40 /f >/dev/null
# A few allowed sites, one of them beyond ASCII (stored in its xn-- form).
data=$(run winepath.exe -u "$(run cmd /c echo %APPDATA% | tr -d '\r')\\Quellix" | tr -d '\r')
mkdir -p "$data"
printf '%s\r\n' mail.example.com =intranet:8080 xn--bcher-kva.example >"$data/sites.lst"

"$QLX_WINE64" QLX.exe </dev/null >/dev/null 2>&1 &
tray=$!
trap 'kill $tray 2>/dev/null || true' EXIT
drive wait-mutex
sleep 3.5 # the splash screen

cat >screenshots_client.vbs <<'VBS'
Dim service, pages, i
Set service = CreateObject("Quellix.QLX")
pages = Array("http://ads.example.net/banner?id=20931", "http://www.example.org/offer/today.html", _
              "http://pop.example.com/win?ref=news&slot=3")
For i = 0 To 2
    service.Block "News", "http://news.example.com/index.html", pages(i), "explorer.exe", 100, 80, 400, 300
Next
VBS
run cscript //nologo screenshots_client.vbs
rm -f screenshots_client.vbs
# The tip sticks out past the work area's edge; its visible part is shot.
read -r x y _ _ < <(drive rect tip | tr -d '\r')
shoot tip "$x" "$y" 220 105
xdotool mousemove "$((x + 100))" "$((y + 50))" click 1 # a click closes it
sleep 1

drive show-main
drive place main 900 300 # fully on screen for the picture
sleep 0.5
shoot_window main-window main

shoot_window minibar minibar
drive click 1062 # the menu
sleep 0.5
read -r mx my mw mh < <(drive rect minibar | tr -d '\r')
read -r nx ny nw nh < <(drive rect menu | tr -d '\r')
shoot minibar-menu "$nx" "$my" $((mx + mw - nx)) $((ny + nh - my))
xdotool key Escape
sleep 0.3
drive click 1065 # compact
sleep 0.5
shoot minibar-compact "$mx" "$my" 50 "$mh"
drive click 1065

drive command 32779 # Settings
read -r sx sy _ _ < <(drive rect settings | tr -d '\r')
sleep 0.5
shoot_window settings-general settings
xdotool mousemove "$((sx + 104))" "$((sy + 40))" click 1 # the "Advnced" tab
sleep 0.5
shoot_window settings-advanced settings
xdotool mousemove "$((sx + 163))" "$((sy + 40))" click 1 # the "Sites" tab
sleep 0.5
shoot_window settings-sites settings
xdotool mousemove "$((sx + 284))" "$((sy + 384))" click 1 # Ok
sleep 0.5

drive exit-tray
wait $tray || true
trap - EXIT

# The main window and Settings at 150%: Wine takes LogPixels when its server
# starts, so the server is restarted around these two pictures.
scaled() { # LogPixels, or "" for the default
    if [ -n "$1" ]; then
        run reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
    else
        run reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1 || true
    fi
    "$QLX_WINESERVER" -k || true
    "$QLX_WINESERVER" -w
    qlx_wine_prepare
}
scaled 144
trap 'kill $tray 2>/dev/null || true; scaled ""' EXIT
"$QLX_WINE64" QLX.exe </dev/null >/dev/null 2>&1 &
tray=$!
drive wait-mutex
sleep 3.5
drive show-main
drive place main 700 200
sleep 0.5
shoot_window main-window-150 main
drive command 32779 # Settings
sleep 0.5
read -r sx sy _ _ < <(drive rect settings | tr -d '\r')
shoot_window settings-general-150 settings
xdotool mousemove "$((sx + 426))" "$((sy + 576))" click 1 # Ok, at 150%
sleep 0.5
drive exit-tray
wait $tray || true
trap - EXIT
scaled ""

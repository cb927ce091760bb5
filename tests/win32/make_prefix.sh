#!/bin/sh
# Makes the Wine prefix $WINEPREFIX that the end-to-end tests run in, on $DISPLAY, with a virtual
# desktop, which gives Wine's own window frames. run_end_to_end.sh makes it once per build, and
# tools/guest.sh once in the emulated PC.
set -eu
wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 800x600 /f >/dev/null 2>&1
wineserver -w

#!/usr/bin/env bash
# at-scale.sh DPI PROGRAM ARGS...: runs a test program under Wine at the
# display scale DPI (Wine's LogPixels, which each Wine process reads when it
# starts), with VINTREL_TEST_DPI=DPI, then puts the prefix's own scale back
# and turns the screenshots the program kept (SCREENSHOTS/*.bmp, where
# SCREENSHOTS is the environment's VINTREL_SCREENSHOTS) into PNG files.
set -u
dpi=${1:?usage: $0 DPI PROGRAM ARGS...}
shift
key='HKCU\Control Panel\Desktop'
restore() { wine reg delete "$key" /v LogPixels /f </dev/null >/dev/null 2>&1; }
trap restore EXIT
wine reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f </dev/null >/dev/null 2>&1 || exit 1
VINTREL_TEST_DPI=$dpi "$@"
status=$?
if [ -n "${VINTREL_SCREENSHOTS:-}" ] && command -v convert >/dev/null 2>&1; then
  for shot in "$VINTREL_SCREENSHOTS"/scale-"$dpi"-*.bmp; do
    [ -f "$shot" ] && convert "$shot" "${shot%.bmp}.png" && rm -f "$shot"
  done
fi
exit $status

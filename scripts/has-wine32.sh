#!/usr/bin/env bash
# Exits 0 when 32-bit Wine is installed, so that the 32-bit Windows programs can run here. Without it
# (windows-deps.sh could not install it) the 32-bit build packs its archives with the Linux paktool and its
# tests are not run.
status=$(dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null || true)
[ "$status" = "install ok installed" ]

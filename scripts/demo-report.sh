# The end of the scripted demos' output: the screenshots taken, and the setup.dat the launcher wrote, byte
# by byte and field by field. Sourced by scripts/demo.sh and scripts/demo-windows.sh.

# report_demo DEMO_FOLDER SETTINGS_FILE PROGRAM_NAME
report_demo() {
    local demo=$1 settings=$2 program=$3
    field() { od -An -v -td4 -j "$1" -N 4 "$settings" | tr -d " "; }
    echo
    echo "Screenshots in $demo/:"
    (cd "$demo" && ls -1 ./*.png | sed "s|^./|  |")
    echo
    if [ -f "$settings" ]; then
        echo "setup.dat written by $program ($settings, $(stat -c %s "$settings") bytes):"
        od -An -v -tx1 "$settings" | sed "s/^/ /"
        printf "  magic %s, window mode %s, resolution %sx%s, quality %s, audio %s, language %s, code page %s\n" \
            "$(od -An -tx4 -N 4 "$settings" | tr -d " ")" "$(field 4)" "$(field 8)" "$(field 12)" "$(field 16)" \
            "$(field 20)" "$(dd if="$settings" bs=1 skip=24 count=32 2>/dev/null | tr -d "\0")" "$(field 56)"
    else
        echo "No setup.dat was written by $program."
    fi
}

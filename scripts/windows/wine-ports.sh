# Sourced by the scripts that run the Windows programs under Wine, once $WINEPREFIX is made:
# the device emulator on a pseudo-terminal of its own, mapped as a COM port.
#   wine_map_emulator COMn EMULATOR [emulator options...]
# starts the emulator, adds its pid to wine_emulators and maps its terminal (the first line it
# prints) in Wine's registry. Wine reads its ports when its server starts: restart the server
# after the last one.
wine_emulators=()
wine_map_emulator() {
    local com=$1 emulator=$2 pts fd
    shift 2
    exec {fd}< <(exec "$emulator" "$@")
    wine_emulators+=("$!")
    read -r -t 10 -u "$fd" pts
    wine reg add 'HKLM\Software\Wine\Ports' /v "$com" /d "$pts" /f >/dev/null 2>&1
    # Wine remakes these links from the registry when it starts; made now, they are right at once.
    ln -sfn "$pts" "$WINEPREFIX/dosdevices/${com,,}"
}

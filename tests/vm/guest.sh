#!/bin/sh
# What the rig does inside the guest, one subcommand each: tests/vm/guest.sh NAME ARGS...
# Every wait has a deadline; a failure says what was waited for on standard error.
# shellcheck disable=SC2016,SC2034  # wait_until's conditions are expanded as it evaluates them
set -eu

die() {
    echo "guest: $*" >&2
    exit 1
}

uptime_now() { cut -d' ' -f1 /proc/uptime; }

# Whether process PID has ended (a zombie waiting for its parent has).
ended() {
    state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 0
    [ -z "$state" ] || [ "$state" = Z ]
}

# Polls CONDITION (a shell command) every 50 ms until it holds or SECONDS pass.
wait_until() {
    seconds=$1
    shift
    deadline=$(($(date +%s) + seconds))
    until eval "$*"; do
        [ "$(date +%s)" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}

case "$1" in
selfcheck)
    # selfcheck LINK: the adapter is ttyUSB0 and LINK points at it; the bytes of a link poll
    # reach the device and its answer comes back.
    udevadm wait --timeout=60 /dev/ttyUSB0 "$2" || die "no /dev/ttyUSB0 and $2"
    [ "$(readlink -f "$2")" = /dev/ttyUSB0 ] || die "$2 points at $(readlink -f "$2")"
    stty -F /dev/ttyUSB0 19200 raw -echo clocal
    exec 4<>/dev/ttyUSB0
    printf '\000\005\001\125\252' >&4
    answer=$(timeout 10 head -c 3 <&4 | od -An -tx1 | tr -d ' \n')
    [ "$answer" = 000301 ] || die "the link poll was answered '$answer', not 000301"
    echo "uptime $(uptime_now)"
    ;;
settings)
    # settings DEVICE: the line as the driver reports it, and the modem lines (TIOCMGET) in hex.
    stty -F "$2" -a
    perl -e 'use Fcntl; sysopen(my $f, $ARGV[0], O_RDONLY | O_NONBLOCK | O_NOCTTY) or die "$!\n";
             my $bits = pack("i", 0); ioctl($f, 0x5415, $bits) or die "TIOCMGET: $!\n";
             printf("modem 0x%x\n", unpack("i", $bits));' "$2"
    ;;
hold)
    # hold HOW DEVICE: a program that keeps DEVICE open until it is killed, as a terminal
    # program would: plain (opens it, nothing more), exclusive (takes the tty for itself with
    # TIOCEXCL) or lock (flock). Prints its pid once it has the device open.
    [ -c "$3" ] || die "no device $3"
    case "$2" in plain | exclusive | lock) ;; *) die "hold: plain, exclusive or lock" ;; esac
    # Not its controlling terminal: the holder outlives the adapter's hang-up.
    perl -e 'use Fcntl qw(:DEFAULT :flock);
        sysopen(my $f, $ARGV[1], O_RDWR | O_NONBLOCK | O_NOCTTY) or die "$!\n";
        flock($f, LOCK_EX | LOCK_NB) or die "flock: $!\n" if $ARGV[0] eq "lock";
        ioctl($f, 0x540C, 0) or die "TIOCEXCL: $!\n" if $ARGV[0] eq "exclusive";
        sleep 3600;' "$2" "$3" >/dev/null 2>&1 &
    pid=$!
    device=$(readlink -f "$3")
    wait_until 20 'ls -l /proc/$pid/fd 2>/dev/null | grep -q " $device\$"' ||
        die "the holder did not open $3"
    echo "$pid"
    ;;
gone)
    # gone DEVICE: waits until the node is removed; prints the uptime then.
    node=$2
    wait_until 30 '[ ! -e "$node" ]' || die "$node stayed"
    echo "uptime $(uptime_now)"
    ;;
appears)
    # appears DEVICE LINK: udev has made DEVICE and LINK, and LINK points at DEVICE.
    udevadm wait --timeout=60 "$2" "$3" || die "no $2 and $3"
    udevadm settle --timeout=30
    [ "$(readlink -f "$3")" = "$2" ] || die "$3 points at $(readlink -f "$3")"
    ls -l /dev/ttyUSB* /dev/serial/by-id/
    ;;
window)
    # window TITLE...: the installed TolvanLink (in selector mode when the selection file is
    # there) on an X server of its own, with TOLVAN_MESSAGE_LOG=messages.log in the current
    # folder. Each TITLE is a dialog answered with Return when it shows, in turn, as the
    # end-to-end tests answer them; "idle:TITLE" is first left open for 3 s while the program's
    # processor time is measured ("idle <ticks of 10 ms>"). Prints "exit <status>".
    shift
    fifo=$(mktemp -u /tmp/display.XXXXXX)
    mkfifo "$fifo"
    Xvfb -displayfd 5 -nolisten tcp -screen 0 1024x768x24 5>"$fifo" 2>xvfb.log &
    xvfb=$!
    trap 'kill $xvfb 2>/dev/null' EXIT
    display=$(timeout 60 head -n 1 "$fifo") || die "Xvfb did not start: $(cat xvfb.log)"
    export DISPLAY=":$display" QT_QPA_PLATFORM=xcb TOLVAN_MESSAGE_LOG="$PWD/messages.log"
    "$TOLVAN_ROOT/Orsolite/Tolvan Link/TolvanLink" >window.out 2>&1 &
    program=$!
    for title; do
        name=${title#idle:}
        id=$(timeout 120 xdotool search --sync --name "^$name\$" | head -n 1) ||
            die "no dialog \"$name\" ($(cat messages.log 2>/dev/null))"
        if [ "$name" != "$title" ]; then
            before=$(awk '{print $14 + $15}' "/proc/$program/stat")
            sleep 3
            echo "idle $(($(awk '{print $14 + $15}' "/proc/$program/stat") - before))"
        fi
        xdotool windowfocus --sync "$id" key Return
        wait_until 20 '! xdotool getwindowname "$id" >/dev/null 2>&1' || die "\"$name\" stays open"
    done
    wait_until 60 'ended $program' || die "TolvanLink did not end"
    status=0
    wait "$program" || status=$?
    echo "exit $status"
    ;;
*) die "unknown: $1" ;;
esac

#!/bin/sh
# The rig's agent inside the guest (in the host's root): starts udev, says hello on the second
# serial port and runs the commands the rig sends there, each line "<id> <command in base64>",
# side by side. Each command's output goes to <work>/out/<id>.out and .err; when it ends the
# agent answers "<id> <exit status>".
work=$1
line=/dev/ttyS1
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
export HOME=/root LANG=C.UTF-8 TMPDIR=/tmp
mkdir -p "$work/out"
stty -F "$line" raw -echo
exec 3<>"$line"

# udev makes /dev/serial/by-id as it does on the operator's machine; the adapter that is
# already there is announced again once it runs.
/lib/systemd/systemd-udevd --daemon
udevadm trigger --action=add --subsystem-match=tty
udevadm settle --timeout=30

echo "hello $(cut -d' ' -f1 /proc/uptime)" >&3
while read -r id command <&3; do
    (
        cd "$work" || exit
        printf '%s' "$command" | base64 -d >"out/$id.sh"
        sh "out/$id.sh" </dev/null >"out/$id.out" 2>"out/$id.err"
        echo "$id $?" >&3
    ) &
done

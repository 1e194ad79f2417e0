#!/bin/sh
# The bench's guest tests: the emulated camera is plugged into vhci-hcd, the
# real uvcvideo driver binds to it, and every check compares what norvikctl
# reports on the Linux platform with what the emulated camera holds (its
# state files in /tmp/camera) and with what norvikctl reports for the same
# scenario on the simulated platform. Exit status: the number of failed
# checks (0: all passed).

SCENARIO=/bench/bench-camera.json
SIM="--sim $SCENARIO"
A='{6D1F3A52-9C7E-4B21-A8D5-3E0F71C24B96}'
B='{B83C5E07-41D2-4F6A-9B1E-0C7D24E9A513}'
STATE=/tmp/camera
DEVICE=/sys/bus/usb/devices/1-1
PASSED=0
FAILED=0
EMULATOR=

pass() { PASSED=$((PASSED + 1)); echo "PASS: $*"; }
fail() { FAILED=$((FAILED + 1)); echo "FAIL: $*"; }
section() { echo; echo "=== $*"; }
show() { sed 's/^/  | /' "$@"; }

# expect_eq NAME EXPECTED ACTUAL
expect_eq() {
    if [ "$2" = "$3" ]; then pass "$1"; else
        fail "$1"; echo "  expected: $2"; echo "  got:      $3"; fi
}
# expect_line NAME FILE TEXT: FILE has a line that holds TEXT.
expect_line() {
    if tr -d '\r' <"$2" | grep -qF -- "$3"; then pass "$1"; else
        fail "$1: no line with \"$3\""; show "$2"; fi
}
# expect_no_line NAME FILE TEXT
expect_no_line() {
    if tr -d '\r' <"$2" | grep -qF -- "$3"; then fail "$1: unexpected \"$3\""; show "$2"; else
        pass "$1"; fi
}
# expect_same NAME FILE1 FILE2
expect_same() {
    if cmp -s "$2" "$3"; then pass "$1"; else
        fail "$1"; echo "  first:"; show "$2"; echo "  second:"; show "$3"; fi
}

# ctl OUT COMMAND...: norvikctl with stdout in OUT, stderr in OUT.err and
# the exit status in RC. The simulated platform's announcement on standard
# error is left out, so that its runs compare with the real driver's.
ctl() {
    out=$1; shift
    norvikctl "$@" >"$out" 2>"$out.err"
    RC=$?
    sed -i '/^norvikctl: simulated cameras from /d' "$out.err"
}

now_us() { norvik-xu-query-loop --now; }

# The camera's current value of a control, as the emulator holds it.
camera_value() {  # unit selector
    sed -n "s/^$1 $2: //p" "$STATE/controls"
}

wait_for() {  # test-expression tenths-of-a-second
    i=0
    while ! eval "$1" && [ $i -lt "$2" ]; do sleep 0.1; i=$((i + 1)); done
    eval "$1"
}

plug() {
    mkdir -p $STATE
    norvik-uvc-emulator --scenario $SCENARIO --state $STATE >>/tmp/emulator.log 2>&1 &
    EMULATOR=$!
    if wait_for '[ -e /dev/video0 ]' 200; then pass "uvcvideo bound to the emulated camera: /dev/video0"; else
        fail "no /dev/video0 within 20 s"; show /tmp/emulator.log; dmesg | tail -n 30; fi
}

# The shell command that unplugs the camera and waits for its node to go.
unplug_command() {
    echo "kill -USR1 $EMULATOR; i=0; while [ -e /dev/video0 ] && [ \$i -lt 100 ]; do sleep 0.1; i=\$((i+1)); done"
}

section "plug: vhci-hcd, the USB core and uvcvideo"
plug
dmesg | grep -E 'vhci_hcd vhci_hcd.0|usb 1-1|uvcvideo' | sed 's/^/  dmesg: /'
expect_eq "the node's driver is uvcvideo" uvcvideo "$(basename "$(readlink /sys/class/video4linux/video0/device/driver)")"
expect_eq "the node's name is the product string" "Kestrel UVC Camera" "$(cat /sys/class/video4linux/video0/name)"
expect_eq "the node hangs on vhci-hcd's root hub port 1" 1-1:1.0 "$(basename "$(readlink /sys/class/video4linux/video0/device)")"
# sysfs holds the descriptors the kernel read from the wire: they must be the
# emulator's, byte for byte.
od -An -v -tx1 $DEVICE/descriptors | tr -s ' \n' '  ' | sed 's/^ //; s/ $//' | tr a-f A-F >/tmp/sysfs-descriptors
tr -d '\n' <$STATE/descriptors >/tmp/camera-descriptors
expect_same "sysfs descriptors = the emulated device and configuration descriptors" /tmp/sysfs-descriptors /tmp/camera-descriptors

section "discover --debug: the USB walk over vhci's root hubs and the matching probe"
ctl /tmp/discover --debug discover
show /tmp/discover
expect_eq "discover exits 0" 0 $RC
expect_line "one video device" /tmp/discover "Find 1 video device."
expect_line "the walk reaches root hub usb1 port 1" /tmp/discover 'pszDriverKey = {36fc9e60-c465-11cf-8056-444553540000}\1-1'
expect_line "the IDs of the USB device" /tmp/discover "vid = 2E7A, pid = 0C41"
expect_line "unit 4 is tied to node 2" /tmp/discover "(1) unitId = 4, nodeId = 2, ports = 1, guid = $A"
expect_line "unit 5 is tied to node 3" /tmp/discover "(2) unitId = 5, nodeId = 3, ports = 1, guid = $B"
expect_no_line "no node answered another unit's GUID" /tmp/discover "match error"
expect_no_line "no unmatched node" /tmp/discover "Can't find xu"
expect_no_line "the configuration descriptor was read" /tmp/discover "GetConfigDescriptor error"
expect_eq "the count line" "1 video capture devices, 2 extension units, 2 matched" "$(tail -n 1 /tmp/discover)"
ctl /tmp/discover-sim $SIM --debug discover
tr -d '\r' </tmp/discover | grep -E '^\([0-9]+\) unitId|^vid = ' >/tmp/discover.units
tr -d '\r' </tmp/discover-sim | grep -E '^\([0-9]+\) unitId|^vid = ' >/tmp/discover-sim.units
expect_same "the units' report is the simulated platform's for the same camera" /tmp/discover.units /tmp/discover-sim.units
# A GUID no unit declares: every extension-unit node refuses it.
ctl /tmp/noguid --debug get --guid '{00112233-4455-6677-8899-AABBCCDDEEFF}' --cs 1
expect_eq "an undeclared GUID opens nothing (exit 1)" 1 $RC
expect_line "both nodes refuse it" /tmp/noguid.err "no capture device answers the XU GUID"
expect_eq "each node's refusal is reported" 2 "$(grep -c 'KsProperty error, hr = 80070492' /tmp/noguid)"

section "list"
ctl /tmp/list list
show /tmp/list
cat >/tmp/list.expected <<LIST
device 0: Kestrel UVC Camera (VID 2E7A, PID 0C41)
  location 1-1, video node /dev/video0, serial NVK-BENCH-0001
  unit 0: $A bUnitID=4 node=2 matched
  unit 1: $B bUnitID=5 node=3 matched
LIST
expect_same "list names the camera, its port path, node and serial, and its two matched units" /tmp/list.expected /tmp/list
# The address line is the platform's own (a port path and a video node
# here, a hub port there); the rest is the same.
ctl /tmp/list-sim $SIM list
sed '/^  location /d' /tmp/list-sim >/tmp/list-sim.units
sed '/^  location /d' /tmp/list >/tmp/list.units
expect_same "list is the simulated platform's but for the address line" /tmp/list-sim.units /tmp/list.units
ctl /tmp/list-json list --json
expect_line "list --json gives the address" /tmp/list-json '"location":"1-1","videoNode":"/dev/video0","serial":"NVK-BENCH-0001"'

section "--camera: the camera by port path, video node or serial"
for address in 1-1 /dev/video0 2E7A:0C41 2e7a:0c41:NVK-BENCH-0001; do
    ctl /tmp/get get --camera "$address" --guid "$A" --cs 1
    expect_eq "get --camera $address" "$(camera_value 4 1)" "$(cat /tmp/get)"
done
ctl /tmp/get get --camera 1-1 --unit 1 --cs 1
expect_eq "get --camera 1-1 --unit 1" "$(camera_value 5 1)" "$(cat /tmp/get)"
for address in 1-2 /dev/video1 2E7A:0C41:NVK-BENCH-0002; do
    ctl /tmp/get get --camera "$address" --guid "$A" --cs 1
    expect_eq "get --camera $address names no camera (exit 2)" 2 $RC
    expect_line "and says so" /tmp/get.err "matches no camera (the cameras: 1-1)"
done

section "len: UVC_GET_LEN through the driver"
for case in "$A 1 16" "$A 2 8" "$A 3 1" "$A 4 2" "$A 5 60" "$B 1 12" "$B 2 4" "$B 4 4"; do
    set -- $case
    ctl /tmp/len len --guid "$1" --cs "$2"
    expect_eq "len of $1 cs $2" "$3" "$(cat /tmp/len)"
done

section "get: the camera's values, text and hex"
for case in "4 $A 1" "4 $A 2" "4 $A 3" "4 $A 4" "4 $A 5" "5 $B 1"; do
    set -- $case
    ctl /tmp/get get --guid "$2" --cs "$3"
    ctl /tmp/get-sim $SIM get --guid "$2" --cs "$3"
    expect_eq "get of unit $1 cs $3 = the camera's value" "$(camera_value "$1" "$3")" "$(cat /tmp/get)"
    expect_same "get of unit $1 cs $3 = the simulated platform's" /tmp/get-sim /tmp/get
done
ctl /tmp/get get --guid "$A" --cs 1 --text
expect_eq "get --text of the firmware string" "KST 2.4.17-b5120" "$(sed -n 2p /tmp/get)"
ctl /tmp/get get --device 0 --unit 1 --cs 1
expect_eq "get by list position (discovery, then the display name)" "$(camera_value 5 1)" "$(cat /tmp/get)"
ctl /tmp/get get --guid "$A" --cs 2 --json
expect_line "get --json names device and GUID" /tmp/get "\"device\":\"Kestrel UVC Camera\",\"xuGuid\":\"$A\",\"ok\":true,\"result\":\"0x00000000\""

section "info and controls: GET_INFO, GET_MIN, GET_MAX, GET_RES, GET_DEF through the driver"
# Before any SET: the camera's current values are still the scenario's, so
# the whole report must be the simulated platform's for the same keys.
# (Unit 5 holds the slow control, whose abandoned requests the driver
# serializes: its later rows would depend on timing, so it is asked control
# by control below.)
ctl /tmp/controls controls --guid "$A" --json
rc_real=$RC
ctl /tmp/controls-sim $SIM controls --guid "$A" --json
show /tmp/controls /tmp/controls.err
expect_eq "controls of unit 4 exits 1 (one stalled kind), as on the simulated platform" "1 1" "$rc_real $RC"
expect_same "every kind of every control of unit 4 = the simulated platform's" /tmp/controls-sim /tmp/controls
expect_same "the failure count of unit 4 = the simulated platform's" /tmp/controls-sim.err /tmp/controls.err
ctl /tmp/controls controls --guid "$A"
expect_line "the table's row of unit 4 cs 3" /tmp/controls "3         1       03 get,set"
ctl /tmp/info info --guid "$A" --cs 2 --json
expect_eq "info exits 0 when every request is answered" 0 $RC
expect_line "INFO, current, MIN, MAX, RES and DEF of unit 4 cs 2 are the camera's" /tmp/info \
    '"info":3,"caps":["get","set"],"cur":"40 00 01 00 12 34 56 78","min":"00 00 01 00 00 00 00 00","max":"7F 00 01 00 FF FF FF FF","res":"01 00 00 00 01 00 00 00","def":"40 00 01 00 00 00 00 00","failures":{}'
ctl /tmp/info info --guid "$A" --cs 3
show /tmp/info
expect_line "MIN of a 1-byte control" /tmp/info "min: 01"
expect_line "MAX of a 1-byte control" /tmp/info "max: 7F"
expect_line "RES of a 1-byte control" /tmp/info "res: 02"
expect_line "DEF of a 1-byte control" /tmp/info "def: 10"
ctl /tmp/info info --guid "$B" --cs 2
expect_line "a read-only control's INFO" /tmp/info "info: 01 get"
expect_line "the defaults of a control that gives none: MAX" /tmp/info "max: FF FF FF FF"
expect_line "the defaults: RES" /tmp/info "res: 01 00 00 00"
expect_line "the defaults: DEF is the initial value" /tmp/info "def: DE AD BE EF"
ctl /tmp/info info --guid "$A" --cs 4
show /tmp/info /tmp/info.err
expect_eq "a control that stalls GET_RES fails info (exit 1)" 1 $RC
expect_line "its RES is not available, with the code of a stalled request" /tmp/info \
    "res: not available: 0x8007001f: A device attached to the system is not functioning."
expect_line "its other kinds are answered" /tmp/info "def: 34 12"
expect_eq "the camera's value is untouched by the queries" "34 12" "$(camera_value 4 4)"

section "set: round trips of 1, 2, 8, 12, 16 and 60 bytes"
HEX60=$(i=0; while [ $i -lt 60 ]; do printf '%02X ' $(((i * 37 + 11) % 256)); i=$((i + 1)); done | sed 's/ $//')
for case in "4 $A 3 7F" "4 $A 4 BE_EF" "4 $A 2 01_23_45_67_89_AB_CD_EF" "5 $B 1 0C_0B_0A_09_08_07_06_05_04_03_02_01" "4 $A 5 $(echo $HEX60 | tr ' ' _)"; do
    set -- $case
    value=$(echo "$4" | tr _ ' ')
    ctl /tmp/set set --guid "$2" --cs "$3" --hex "$value" --verify
    expect_eq "set --verify of unit $1 cs $3 exits 0" 0 $RC
    expect_eq "the camera holds the bytes set on unit $1 cs $3" "$value" "$(camera_value "$1" "$3")"
    ctl /tmp/get get --guid "$2" --cs "$3"
    expect_eq "a new process reads back unit $1 cs $3" "$value" "$(cat /tmp/get)"
done
ctl /tmp/set set --guid "$A" --cs 2 --hex AA
expect_eq "short hex data is padded with zeros" "AA 00 00 00 00 00 00 00" "$(camera_value 4 2)"
ctl /tmp/set set --guid "$A" --cs 1 --text "Bench, 16 bytes"
expect_eq "set --text sends the text's bytes, padded" "42 65 6E 63 68 2C 20 31 36 20 62 79 74 65 73 00" "$(camera_value 4 1)"
ctl /tmp/get get --guid "$A" --cs 1 --text
expect_eq "get --text reads the text back" "Bench, 16 bytes" "$(sed -n 2p /tmp/get)"
ctl /tmp/set set --device 0 --unit 0 --cs 4 --hex "12 34" --verify
expect_eq "set by list position" "12 34" "$(camera_value 4 4)"

section "a stalled selector"
ctl /tmp/stall get --guid "$B" --cs 2
ctl /tmp/stall-sim $SIM get --guid "$B" --cs 2
echo "  real:      $(cat /tmp/stall.err)"
echo "  simulated: $(cat /tmp/stall-sim.err)"
expect_eq "a stalled GET fails (exit 1)" 1 $RC
expect_line "the failure text of a stalled GET" /tmp/stall.err "GET数据失败 错误码0x8007001f: A device attached to the system is not functioning."
expect_same "the stalled GET's text is the simulated platform's" /tmp/stall-sim.err /tmp/stall.err
ctl /tmp/after get --guid "$B" --cs 1
expect_eq "the next request works" 0 $RC

section "camera refusals: the code of a stalled request, the camera's reason with --debug"
# uvcvideo asks the camera why it stalled and answers with an errno of its
# own for each reason; the operator gets one code, as on Windows.
STALLED="错误码0x8007001f: A device attached to the system is not functioning."
ctl /tmp/refused --debug set --guid "$B" --cs 4 --hex 01
show /tmp/refused /tmp/refused.err
expect_eq "a SET the camera is not ready for fails (exit 1)" 1 $RC
expect_line "it gets the code of a stalled request" /tmp/refused.err "SET数据失败 $STALLED"
expect_line "the camera's reason: not ready" /tmp/refused \
    "/dev/video0: the camera refused SET_CUR of unit 5 selector 4: not ready (EBUSY)"
expect_eq "the camera kept its value" "00 00 00 00" "$(camera_value 5 4)"
ctl /tmp/refused --debug set --guid "$B" --cs 5 --hex "12 34"
show /tmp/refused /tmp/refused.err
expect_eq "a SET out of the control's range fails (exit 1)" 1 $RC
expect_line "it gets the code of a stalled request" /tmp/refused.err "SET数据失败 $STALLED"
expect_line "the camera's reason: out of range" /tmp/refused \
    "/dev/video0: the camera refused SET_CUR of unit 5 selector 5: out of range (ERANGE)"
expect_eq "the camera kept its value" "10 00" "$(camera_value 5 5)"
ctl /tmp/refused set --guid "$B" --cs 5 --hex "12 34"
expect_no_line "without --debug the reason stays off the output" /tmp/refused "the camera refused"
ctl /tmp/after get --guid "$B" --cs 5
expect_eq "the next request works" 0 $RC

section "a slow control (800 ms) against the 500 ms limit"
start=$(now_us)
ctl /tmp/slow --debug get --guid "$B" --cs 3
elapsed=$(( ($(now_us) - start) / 1000 ))
show /tmp/slow /tmp/slow.err
echo "  the command took $elapsed ms"
expect_eq "the slow GET fails (exit 1)" 1 $RC
expect_line "the worker gives up" /tmp/slow "timeout!"
expect_line "the timeout's failure text" /tmp/slow.err "GET数据失败 错误码0x00000102: The wait operation timed out."
ctl /tmp/after get --guid "$B" --cs 1
expect_eq "the next request works" 0 $RC
expect_eq "and reads the camera's value" "$(camera_value 5 1)" "$(cat /tmp/after)"

section "overhead: norvikctl get --repeat 1000 against a bare UVCIOC_CTRL_QUERY loop"
best_bare=
best_ctl=
for round in 1 2 3; do
    bare=$(norvik-xu-query-loop /dev/video0 4 2 1000 | sed -n 's/.*, \([0-9.]*\) us per request/\1/p')
    t0=$(now_us)
    norvikctl get --guid "$A" --cs 2 --repeat 1001 >/dev/null
    t1=$(now_us)
    norvikctl get --guid "$A" --cs 2 --repeat 1 >/dev/null
    t2=$(now_us)
    per=$(( ((t1 - t0) - (t2 - t1)) / 1000 ))
    echo "  round $round: bare loop $bare us per request, norvikctl $per us per request"
    bare_int=${bare%.*}
    if [ -z "$best_bare" ] || [ "$bare_int" -lt "$best_bare" ]; then best_bare=$bare_int; fi
    if [ -z "$best_ctl" ] || [ "$per" -lt "$best_ctl" ]; then best_ctl=$per; fi
done
if [ -n "$best_bare" ] && [ "$best_bare" -gt 0 ]; then
    overhead=$(( (best_ctl - best_bare) * 1000 / best_bare ))
    # Shell arithmetic has no fractions: print tenths from the magnitude and
    # the sign apart, so a saving reads "-1.1 %", not "-1.-1 %".
    sign=""
    if [ "$overhead" -lt 0 ]; then sign="-"; overhead=$(( -overhead )); fi
    echo "OVERHEAD: driver round trip $best_bare us, norvikctl $best_ctl us per request: Norvik adds $sign$((overhead / 10)).$((overhead % 10)) % (target: under 5 %)"
    pass "overhead measured"
else
    fail "the bare loop gave no time"
fi

section "unplug between discovery and open"
norvik-unplug-probe --cs 1 --unplug "$(unplug_command)" >/tmp/unplug 2>&1
wait $EMULATOR 2>/dev/null
show /tmp/unplug
expect_line "discovery saw the camera" /tmp/unplug "discovery: @device:pnp:"
expect_line "opening by the stale display name fails" /tmp/unplug "open: failed"
ctl /tmp/list list
expect_eq "list after the unplug exits 0" 0 $RC
expect_line "and says there is no camera" /tmp/list.err "norvikctl: no video capture device found"
ctl /tmp/get get --guid "$A" --cs 1
expect_eq "get by GUID after the unplug fails (exit 1)" 1 $RC

section "unplug between open and request"
plug
norvik-unplug-probe --after-open --cs 1 --unplug "$(unplug_command)" >/tmp/unplug 2>&1
wait $EMULATOR 2>/dev/null
show /tmp/unplug
expect_line "the unit opened" /tmp/unplug "open: ok"
expect_line "its length was read" /tmp/unplug "length: 16"
expect_line "the GET on the unplugged camera fails" /tmp/unplug "get: failed"

section "summary"
if grep -qv '^norvik-uvc-emulator' /tmp/emulator.log; then echo "emulator messages:"; show /tmp/emulator.log; fi
echo "$PASSED passed, $FAILED failed"
exit $FAILED

#!/bin/sh
# A shell script against the script server (D-Bus service UTVEX.Script),
# with gdbus: connects to the UT on PORT, prints its identity, sets its
# deep sleep duration to MINUTES (default 20), commits and saves all NV
# items to SETTINGS_FILE.
#
#   vxscript_example.sh PORT SETTINGS_FILE [MINUTES] [SPC]
set -eu
[ $# -ge 2 ] || { sed -n '2,7s/^# \{0,1\}//p' "$0" >&2; exit 2; }
port=$1 settings=$2 minutes=${3:-20} spc=${4:-000000}

service=UTVEX.Script
# gdbus prints results as GVariant tuples: "('text',)" or "(objectpath '/x',)".
# Every gdbus call is a bus connection of its own, so the script takes a
# shared object, which lives until it is released rather than until its
# creator leaves the bus.
value() { sed -e "s/^(//" -e "s/,)\$//" -e "s/^objectpath //" -e "s/^'//" -e "s/'\$//"; }

object=$(gdbus call --session --dest $service --object-path /UTVEX/Script \
  --method UTVEX.ScriptFactory.CreateSharedObject | value)
call() { method=$1; shift; gdbus call --session --dest $service --object-path "$object" \
  --method "UTVEX.IVexScript.$method" -- "$@"; }
trap 'call Disconnect >/dev/null; call Release >/dev/null' EXIT

echo "connected to $port (state $(call Connect "'$port'" 115200 -1 "'$spc'" | value))"
for name in ESN UTModel UTVersion; do
  printf '  %-10s %s\n' "$name" "$(call get_$name | value)"
done
call put_DeepSleepDuration "$minutes" >/dev/null
call CommitChanges >/dev/null
echo "deep sleep duration: $(call get_DeepSleepDuration | value) minutes"
call SaveSettings "'$settings'" >/dev/null
echo "settings saved to $settings"

#!/usr/bin/env python3
"""A script against the script server (D-Bus service UTVEX.Script).

Connects to the UT on PORT, prints its identity, lengthens its deep sleep
duration by five minutes (or brings it back to five), commits the change and
saves all NV items to SETTINGS_FILE.

    vxscript_example.py PORT SETTINGS_FILE [SPC]
"""
import sys

import dbus

IDENTITY = ("ESN", "UTModel", "UTVersion", "ManufacturersCode", "WarrantyDateCode")


def main(argv):
    if len(argv) < 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    port, settings_file = argv[1], argv[2]
    spc = argv[3] if len(argv) > 3 else "000000"

    bus = dbus.SessionBus()
    factory = dbus.Interface(bus.get_object("UTVEX.Script", "/UTVEX/Script"), "UTVEX.ScriptFactory")
    path = factory.CreateObject()
    script = dbus.Interface(bus.get_object("UTVEX.Script", path), "UTVEX.IVexScript")
    try:
        state = script.Connect(port, 115200, -1, spc)
        print(f"connected to {port} (state {state})")
        for name in IDENTITY:
            print(f"  {name:<18} {getattr(script, 'get_' + name)()}")
        before = int(script.get_DeepSleepDuration())
        after = before + 5 if 5 <= before <= 55 else 5
        script.put_DeepSleepDuration(after)
        script.CommitChanges()
        print(f"deep sleep duration: {before} -> {int(script.get_DeepSleepDuration())} minutes")
        script.SaveSettings(settings_file)
        print(f"settings saved to {settings_file}")
        return 0
    except dbus.DBusException as error:
        print(f"{error.get_dbus_name()}: {error.get_dbus_message()}", file=sys.stderr)
        return 1
    finally:
        script.Disconnect()
        script.Release()


if __name__ == "__main__":
    sys.exit(main(sys.argv))

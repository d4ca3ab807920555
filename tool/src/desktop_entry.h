// The "RegServer" / "UnregServer" switches: on Linux the tool registers by
// writing its desktop entry under $XDG_DATA_HOME/applications, so that it
// shows in the desktop's menus, and unregisters by removing it.
#pragma once

#include <QString>
#include <QStringList>

namespace utvex {

enum class Registration { None, Register, Unregister };

// "RegServer" and "UnregServer" in any case, after "-", "--" or "/".
Registration registrationSwitch(const QStringList& arguments);

// $XDG_DATA_HOME/applications/utvex.desktop (~/.local/share when unset).
QString desktopEntryPath();
// The entry's text, starting `program` (an absolute path).
QString desktopEntryText(const QString& program, const QString& title);
// Writes or removes the entry; false with `error` set on failure. Removing
// an entry that is not there succeeds.
bool registerDesktopEntry(const QString& program, const QString& title, QString* error);
bool unregisterDesktopEntry(QString* error);

}  // namespace utvex

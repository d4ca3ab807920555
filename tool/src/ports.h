// The ports the connection dialog offers, and why one cannot be opened.
#pragma once

#include <QString>
#include <QStringList>

namespace utvex {

class Texts;

// The serial devices as a person recognises them (/dev/serial/by-id names
// first, then ttyS*, ttyUSB*, ttyACM*), then the simulator's ports from the
// port directory (by their names, as the serial driver resolves them).
QStringList availablePorts();

// The first serial device of availablePorts() (no simulator port); empty
// when the computer has none.
QString firstSerialPort();

// Empty when the port opens (or is a simulator port); else a sentence that
// says why not, naming the owning group when permission was refused.
QString portProblem(const QString& port, const Texts& texts);

}  // namespace utvex

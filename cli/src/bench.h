// One command on several phones at once (--port A --port B ..., or
// --all-ports): a thread per phone, each with a bus connection and a script
// object of its own, so that the script server runs the jobs side by side.
// File names take each phone's {port} and {esn}; a file two phones would
// both write is refused before any job starts. One phone's failure never
// stops the others; the run ends with a table of them all, or with --json
// an array of one record per phone.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "arguments.h"

namespace vx::cli {

class BusSession;

// Whether the invocation is for several phones (more than one --port, or
// --all-ports even when it finds one).
bool severalPhones(const Invocation& invocation);

// A port name as a part of a file name: its last path component.
std::string portFilePart(const std::string& port);
// `word` with {port} and {esn} replaced.
std::string expandNames(const std::string& word, const std::string& port, const std::string& esn);
// The invocation of one phone: its port, and its words and --report with
// the phone's names.
Invocation forPhone(const Invocation& invocation, const std::string& port, const std::string& esn);
// The files (absolute) that a phone's invocation writes: backup's file,
// restore's report.
std::vector<std::string> filesWritten(const Invocation& phone);
// "UT1 and UT3 would both write F" for the first file written by two of
// the phones; nullopt when each writes its own.
std::optional<std::string> sharedWrite(const std::vector<Invocation>& phones);

// Runs the command on every phone; the exit status: 0 when all succeeded,
// 1 when any failed, 2 when a phone's command was bad usage (diff: its own
// statuses, the highest).
// `beforeOutput` runs before anything is printed (a run that a signal ends
// prints nothing more).
int runOnPhones(const Invocation& invocation, BusSession& bus, const std::function<void()>& beforeOutput);

}  // namespace vx::cli

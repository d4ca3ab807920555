// Progress of a script object's long work, as its callers hear of it: the
// operation ("connect", "save", "restore", "download"), the step within it
// and the step's figures. The relay is the connection object's progress
// sink, and the download worker's reports reach it through the loop.
// Reports come faster than anyone reads them (every 4 KiB of a table, every
// item); the relay passes the first and last of each step and at most one
// in between per kMinInterval.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "vxconnect.h"

namespace vx::script {

struct ProgressEvent {
  std::string operation;
  std::string step;
  uint64_t done = 0;
  uint64_t total = 0;
};

// The step names of the connection object's steps.
const char* progressStepName(VexProgressStep step);

class ProgressRelay final : public vx::com::Implements<IVexProgressSink> {
 public:
  using Listener = std::function<void(const ProgressEvent&)>;
  static constexpr std::chrono::milliseconds kMinInterval{100};

  void setListener(Listener listener) { listener_ = std::move(listener); }

  // The operation the connection object's reports belong to, until the
  // returned scope ends. Scopes do not nest: an operation runs alone on
  // the object's thread.
  class Scope {
   public:
    Scope(ProgressRelay& relay, const char* operation) : relay_(relay) { relay_.operation_ = operation; }
    // The next operation starts with a report of its own, however soon.
    ~Scope() {
      relay_.operation_ = nullptr;
      relay_.lastStep_.clear();
    }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    ProgressRelay& relay_;
  };

  // IVexProgressSink: a report outside every scope is dropped.
  HRESULT Progress(VexProgressStep step, UI4 done, UI4 total) override;

  // A report of the loop's own work (a download).
  void report(const char* operation, const char* step, uint64_t done, uint64_t total);

 private:
  Listener listener_;
  const char* operation_ = nullptr;
  std::string lastOperation_;
  std::string lastStep_;
  std::chrono::steady_clock::time_point lastSent_{};
};

}  // namespace vx::script

// The limits of the script object's members as its own handlers apply
// them, published on the factory (UTVEX.ScriptFactory.MemberLimits), so
// that a client can tell a person what a value may be without keeping a
// copy of the checks.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <sdbus-c++/sdbus-c++.h>

#include "loop_mailbox.h"
#include "loop_scheduler.h"
#include "object_loop.h"
#include "port_claims.h"

namespace vx::script {

struct ArgumentLimits {
  std::string member;    // the property or method name (no get_/put_)
  std::string argument;  // the argument's name: sNAM, sPosition, newVal
  std::string kind;      // "value" for numbers, "length" for texts (characters)
  std::vector<std::pair<int32_t, int32_t>> ranges;  // what is accepted, ascending
};

// Every argument of the property rows whose handler refuses some values.
// Found by asking each handler on an object that has no connection: the
// argument checks come before any UT access, so a value the handler takes
// answers "not connected" and one it refuses E_INVALIDARG. Numbers are
// tried densely near zero, on a grid of hundreds and at powers of two (and
// their neighbours) across the type's range, and every change between two
// tries is narrowed to its exact edge; texts by their length up to 256.
// Stops early, with what it has, once `stop` is set.
std::vector<ArgumentLimits> probeMemberLimits(LoopScheduler& loop, PortClaims& claims,
                                              const std::atomic<bool>* stop = nullptr);

// MemberLimits() -> a(sssa(ii)) on the factory. The probe takes thousands
// of handler calls (seconds in a sanitizer build), so it runs once, at the
// first call, on a thread of its own; calls that come meanwhile are
// answered when it ends.
class MemberLimitsPublisher {
 public:
  MemberLimitsPublisher(sdbus::IObject& factory, std::shared_ptr<LoopMailbox> mailbox, PortClaims& claims);
  ~MemberLimitsPublisher();
  MemberLimitsPublisher(const MemberLimitsPublisher&) = delete;
  MemberLimitsPublisher& operator=(const MemberLimitsPublisher&) = delete;

  // Answers the calls still waiting with an error and ends a probe under
  // way by `deadline`; false when its thread is still running.
  bool finish(std::chrono::steady_clock::time_point deadline);

 private:
  using Row = sdbus::Struct<std::string, std::string, std::string, std::vector<sdbus::Struct<int32_t, int32_t>>>;
  void call(sdbus::MethodCall call);
  void probed(std::vector<Row> rows);

  std::shared_ptr<LoopMailbox> mailbox_;
  PortClaims& claims_;
  std::optional<std::vector<Row>> rows_;
  std::vector<sdbus::MethodCall> waiting_;
  std::shared_ptr<ObjectLoop> prober_;
  std::shared_ptr<std::atomic<bool>> stop_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace vx::script

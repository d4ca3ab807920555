#include "member_limits.h"

#include <algorithm>
#include <climits>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "member_table.h"
#include "script_object.h"

namespace vx::script {
namespace {

std::pair<int64_t, int64_t> typeRange(char type) {
  switch (type) {
    case 'y': return {0, 255};
    case 'n': return {INT16_MIN, INT16_MAX};
    default: return {INT32_MIN, INT32_MAX};
  }
}

Value numberOf(char type, int64_t v) {
  switch (type) {
    case 'y': return static_cast<uint8_t>(v);
    case 'n': return static_cast<int16_t>(v);
    default: return static_cast<int32_t>(v);
  }
}

class Prober {
 public:
  Prober(ScriptObject& object, const Member& row) : object_(object), row_(row) {}

  bool accepts(std::vector<Value> values) {
    Value result;
    return row_.handler(object_, Args(std::move(values)), result) != E_INVALIDARG;
  }

  // Values of argument `at` the handler takes with the others at `base`;
  // nullopt when it takes all it was offered.
  std::optional<std::vector<std::pair<int32_t, int32_t>>> numbers(std::vector<Value> base, std::size_t at) {
    const char type = row_.signature[at];
    const auto [low, high] = typeRange(type);
    std::set<int64_t> tries = {low, high};
    for (int64_t v = std::max<int64_t>(low, -1100); v <= std::min<int64_t>(high, 1100); ++v) tries.insert(v);
    for (int64_t v = 0; v <= 1 << 20; v += 100) {
      for (int64_t s : {v, -v}) {
        if (s >= low && s <= high) tries.insert(s);
      }
    }
    for (int bit = 1; bit < 32; ++bit) {
      for (int64_t p : {int64_t{1} << bit, -(int64_t{1} << bit)}) {
        for (int64_t s : {p - 1, p, p + 1}) {
          if (s >= low && s <= high) tries.insert(s);
        }
      }
    }
    auto test = [&](int64_t v) {
      base[at] = numberOf(type, v);
      return accepts(base);
    };
    // Each change between neighbouring tries is narrowed to its edge.
    std::vector<std::pair<int32_t, int32_t>> ranges;
    // The start of the accepted run, while one is open (plain values: the
    // compiler cannot see through an optional that a run is always open
    // when it ends).
    bool runOpen = false;
    int64_t runStart = 0;
    std::optional<int64_t> previous;
    bool previousTaken = false;
    bool refusedAny = false;
    for (int64_t v : tries) {
      const bool taken = test(v);
      if (previous && taken != previousTaken) {
        int64_t lo = *previous, hi = v;  // test(lo) == previousTaken, test(hi) == taken
        while (hi - lo > 1) {
          const int64_t mid = lo + (hi - lo) / 2;
          (test(mid) == previousTaken ? lo : hi) = mid;
        }
        if (taken) {
          runOpen = true;
          runStart = hi;
        } else if (runOpen) {
          ranges.emplace_back(static_cast<int32_t>(runStart), static_cast<int32_t>(lo));
          runOpen = false;
        }
      } else if (!previous && taken) {
        runOpen = true;
        runStart = v;
      }
      refusedAny = refusedAny || !taken;
      previous = v;
      previousTaken = taken;
    }
    if (runOpen) ranges.emplace_back(static_cast<int32_t>(runStart), static_cast<int32_t>(high));
    if (!refusedAny) return std::nullopt;
    return ranges;
  }

  // Lengths of a text argument the handler takes, 0..256, in digits.
  std::optional<std::vector<std::pair<int32_t, int32_t>>> lengths(std::vector<Value> base, std::size_t at) {
    std::vector<std::pair<int32_t, int32_t>> ranges;
    bool refusedAny = false;
    for (int32_t n = 0; n <= 256; ++n) {
      base[at] = std::u16string(static_cast<std::size_t>(n), u'1');
      if (!accepts(base)) {
        refusedAny = true;
        continue;
      }
      if (!ranges.empty() && ranges.back().second == n - 1) {
        ranges.back().second = n;
      } else {
        ranges.emplace_back(n, n);
      }
    }
    if (!refusedAny) return std::nullopt;
    return ranges;
  }

 private:
  ScriptObject& object_;
  const Member& row_;
};

// Arguments of one row, each tried with the others at a value the row
// takes: found in turns, since an index refused makes every value look bad.
void probeRow(ScriptObject& object, const Member& row, std::vector<ArgumentLimits>& out,
              std::set<std::pair<std::string, std::string>>& seen) {
  const std::vector<std::string> names = argumentNames(row);
  if (names.size() != row.signature.size()) return;
  std::vector<Value> base;
  for (char type : row.signature) {
    if (type == 'd') return;  // dates: no limits to tell
    base.push_back(type == 's' ? Value(std::u16string(u"1")) : numberOf(type, 0));
  }
  Prober prober(object, row);
  std::vector<std::optional<std::vector<std::pair<int32_t, int32_t>>>> found(base.size());
  for (int pass = 0; pass < 3 && !prober.accepts(base); ++pass) {
    for (std::size_t at = 0; at < base.size(); ++at) {
      if (row.signature[at] == 's') continue;
      auto ranges = prober.numbers(base, at);
      if (ranges && !ranges->empty()) base[at] = numberOf(row.signature[at], ranges->front().first);
    }
  }
  if (!prober.accepts(base)) return;  // no value taken at all: nothing to tell
  const std::string member = row.name.substr(row.name.find('_') + 1);
  for (std::size_t at = 0; at < base.size(); ++at) {
    const bool text = row.signature[at] == 's';
    auto ranges = text ? prober.lengths(base, at) : prober.numbers(base, at);
    if (!ranges || !seen.emplace(member, names[at]).second) continue;
    out.push_back(ArgumentLimits{member, names[at], text ? "length" : "value", std::move(*ranges)});
  }
}

}  // namespace

std::vector<ArgumentLimits> probeMemberLimits(LoopScheduler& loop, PortClaims& claims, const std::atomic<bool>* stop) {
  // An object of its own, never connected: what it is asked changes nothing.
  auto object = std::make_shared<ScriptObject>(loop, claims, ScriptObject::TextLookup{});
  std::vector<ArgumentLimits> limits;
  std::set<std::pair<std::string, std::string>> seen;
  for (const Member& row : scriptMembers()) {
    if (stop != nullptr && *stop) break;
    const bool accessor = row.name.starts_with("get_") || row.name.starts_with("put_");
    if (!accessor || row.handler == nullptr || row.signature.empty()) continue;
    probeRow(*object, row, limits, seen);
  }
  return limits;
}

MemberLimitsPublisher::MemberLimitsPublisher(sdbus::IObject& factory, std::shared_ptr<LoopMailbox> mailbox,
                                             PortClaims& claims)
    : mailbox_(std::move(mailbox)), claims_(claims) {
  factory.registerMethod("UTVEX.ScriptFactory", "MemberLimits", "", std::vector<std::string>{}, "a(sssa(ii))",
                         std::vector<std::string>{"limits"},
                         [this](sdbus::MethodCall c) { call(std::move(c)); });
}

MemberLimitsPublisher::~MemberLimitsPublisher() { finish(std::chrono::steady_clock::now()); }

void MemberLimitsPublisher::call(sdbus::MethodCall call) {
  if (rows_) {
    auto reply = call.createReply();
    reply << *rows_;
    reply.send();
    return;
  }
  waiting_.push_back(std::move(call));
  if (prober_) return;
  // The probe is the loop's last and only call: its thread ends after it.
  prober_ = ObjectLoop::start();
  prober_->finish(
      [loop = prober_.get(), &claims = claims_, mailbox = mailbox_, stop = stop_, this] {
        std::vector<Row> rows;
        for (const ArgumentLimits& l : probeMemberLimits(*loop, claims, stop.get())) {
          std::vector<sdbus::Struct<int32_t, int32_t>> ranges;
          for (const auto& [low, high] : l.ranges) ranges.emplace_back(low, high);
          rows.emplace_back(l.member, l.argument, l.kind, std::move(ranges));
        }
        mailbox->post([this, rows = std::move(rows)]() mutable { probed(std::move(rows)); });
      },
      std::chrono::steady_clock::now());
}

void MemberLimitsPublisher::probed(std::vector<Row> rows) {
  prober_->finish({}, std::chrono::steady_clock::time_point::max());
  rows_ = std::move(rows);
  for (sdbus::MethodCall& waiting : waiting_) {
    auto reply = waiting.createReply();
    reply << *rows_;
    reply.send();
  }
  waiting_.clear();
}

bool MemberLimitsPublisher::finish(std::chrono::steady_clock::time_point deadline) {
  for (sdbus::MethodCall& waiting : waiting_) {
    waiting.createErrorReply(sdbus::Error("UTVEX.Error.H80004004", "the script server is ending")).send();
  }
  waiting_.clear();
  if (!prober_) return true;
  *stop_ = true;
  return prober_->finish({}, deadline);
}

}  // namespace vx::script

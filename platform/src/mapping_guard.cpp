#include "kmx/platform/mapping_guard.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <mutex>
#include <utility>

#include "kmx/platform/last_error.h"

namespace kmx {
namespace {

// A fixed table, read by the signal handler without locks: an entry is in
// use while its begin is not 0, and its end is set before its begin.
struct Region {
  std::atomic<uintptr_t> begin{0};
  std::atomic<uintptr_t> end{0};
  std::atomic<bool> damaged{false};
};

constexpr int kRegions = 1024;
Region regions[kRegions];
struct sigaction previousAction;
uintptr_t pageSize = 4096;

static_assert(std::atomic<uintptr_t>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the signal handler reads the table without locks");

// Runs on SIGBUS. A fault inside a guarded mapping gets a private zero page
// at its address (the access is then repeated and succeeds); any other goes
// to the previous handler, or, with none, to the default action.
void onBusError(int signal, siginfo_t* info, void* context) {
  const auto address = reinterpret_cast<uintptr_t>(info->si_addr);
  for (Region& region : regions) {
    const uintptr_t begin = region.begin.load(std::memory_order_acquire);
    if (begin == 0 || address < begin || address >= region.end.load(std::memory_order_acquire)) continue;
    void* page = reinterpret_cast<void*>(address & ~(pageSize - 1));
    const int saved = errno;
    void* replaced = mmap(page, pageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
    errno = saved;
    if (replaced == MAP_FAILED) break;
    region.damaged.store(true, std::memory_order_release);
    return;
  }
  if ((previousAction.sa_flags & SA_SIGINFO) != 0 && previousAction.sa_sigaction != nullptr) {
    previousAction.sa_sigaction(signal, info, context);
    return;
  }
  if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN) {
    previousAction.sa_handler(signal);
    return;
  }
  // Returning repeats the access, which now meets the default action.
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(SIGBUS, &fallback, nullptr);
}

}  // namespace

bool guardSharedMappings() {
  static std::once_flag once;
  static bool installed = false;
  std::call_once(once, [] {
    const long size = sysconf(_SC_PAGESIZE);
    if (size > 0) pageSize = static_cast<uintptr_t>(size);
    struct sigaction action {};
    action.sa_sigaction = onBusError;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    installed = sigaction(SIGBUS, &action, &previousAction) == 0;
    if (!installed) setLastErrorFromErrno();
  });
  return installed;
}

GuardedMapping::GuardedMapping(const void* base, std::size_t size) {
  const auto begin = reinterpret_cast<uintptr_t>(base);
  if (begin == 0 || size == 0) return;
  for (int i = 0; i < kRegions; ++i) {
    Region& region = regions[i];
    uintptr_t expected = 0;
    // Claimed with a marker that no address matches, then filled in.
    if (!region.begin.compare_exchange_strong(expected, UINTPTR_MAX, std::memory_order_acq_rel)) continue;
    region.damaged.store(false, std::memory_order_relaxed);
    region.end.store(begin + size, std::memory_order_release);
    region.begin.store(begin, std::memory_order_release);
    entry_ = i;
    return;
  }
}

GuardedMapping::~GuardedMapping() { release(); }

GuardedMapping::GuardedMapping(GuardedMapping&& other) noexcept : entry_(std::exchange(other.entry_, -1)) {}

GuardedMapping& GuardedMapping::operator=(GuardedMapping&& other) noexcept {
  if (this != &other) {
    release();
    entry_ = std::exchange(other.entry_, -1);
  }
  return *this;
}

bool GuardedMapping::damaged() const {
  return entry_ >= 0 && regions[entry_].damaged.load(std::memory_order_acquire);
}

void GuardedMapping::release() {
  if (entry_ < 0) return;
  Region& region = regions[entry_];
  region.end.store(0, std::memory_order_release);
  region.begin.store(0, std::memory_order_release);
  entry_ = -1;
}

}  // namespace kmx

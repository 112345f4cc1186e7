#include "common/ordered_parallel_map.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace quill {

namespace {

// One place of the ring of chunks in flight: item i goes to slot i % window.
struct Slot {
  OrderedChunk chunk;
  bool ready = false;
};

size_t RunInline(size_t count, const OrderedMapOptions& options, const ChunkMaker& make, const ChunkTaker& take) {
  OrderedChunk chunk;
  for (size_t item = 0; item < count; ++item) {
    if (options.stop.stopRequested()) return item;
    chunk = OrderedChunk{};
    make(0, item, chunk);
    if (!take(item, chunk)) return item;
  }
  return count;
}

}  // namespace

size_t OrderedParallelMap(size_t count, const OrderedMapOptions& options, const ChunkMaker& make,
                          const ChunkTaker& take) {
  const unsigned threads = options.threads;
  if (threads <= 1 || count < 2 * static_cast<size_t>(threads)) return RunInline(count, options, make, take);
  const size_t batch = std::max<size_t>(options.batch, 1);
  const size_t window =
      options.window ? std::max(options.window, batch) : std::max<size_t>(8, 4 * batch) * threads;

  std::vector<Slot> slots(window);
  std::mutex mutex;
  std::condition_variable made;   // the chunk the consumer waits for became ready
  std::condition_variable taken;  // the consumer moved on, or the run ends
  size_t next_item = 0;           // the next item a worker claims
  size_t next_taken = 0;          // the next item the consumer takes
  bool ending = false;            // the consumer stopped early
  // Who sleeps, so that a wake-up (a system call) is sent only to a thread
  // that waits for it: the consumer waits for one item, workers for room.
  constexpr size_t kNoItem = static_cast<size_t>(-1);
  size_t consumer_waits_for = kNoItem;
  unsigned workers_waiting = 0;

  auto work = [&](unsigned worker) {
    std::vector<OrderedChunk> chunks;
    for (;;) {
      size_t first = 0;
      size_t n = 0;
      {
        std::unique_lock lock(mutex);
        // A worker waits while its items would overrun the ring.
        const auto can_go = [&] { return ending || next_item >= count || next_item < next_taken + window; };
        if (!can_go()) {
          ++workers_waiting;
          taken.wait(lock, can_go);
          --workers_waiting;
        }
        if (ending || next_item >= count) break;
        first = next_item;
        n = std::min({batch, count - first, next_taken + window - first});
        next_item += n;
      }
      chunks.assign(n, OrderedChunk{});
      for (size_t k = 0; k < n; ++k) {
        if (!options.stop.stopRequested()) make(worker, first + k, chunks[k]);
      }
      bool wake = false;
      {
        std::lock_guard lock(mutex);
        for (size_t k = 0; k < n; ++k) {
          Slot& slot = slots[(first + k) % window];
          slot.chunk = std::move(chunks[k]);
          slot.ready = true;
        }
        wake = consumer_waits_for >= first && consumer_waits_for < first + n;
      }
      if (wake) made.notify_one();
    }
  };

  std::vector<std::thread> workers;
  workers.reserve(threads);
  for (unsigned w = 0; w < threads; ++w) workers.emplace_back(work, w);

  // The consumer takes every chunk that is ready in one visit to the lock.
  std::vector<OrderedChunk> ready;
  size_t done = 0;
  bool go_on = true;
  while (go_on && done < count) {
    ready.clear();
    {
      std::unique_lock lock(mutex);
      Slot* slot = &slots[done % window];
      if (!slot->ready) {
        consumer_waits_for = done;
        made.wait(lock, [&] { return slot->ready; });
        consumer_waits_for = kNoItem;
      }
      for (size_t item = done; item < count && slot->ready; slot = &slots[++item % window]) {
        ready.push_back(std::move(slot->chunk));
        slot->ready = false;
      }
    }
    const size_t first = done;
    for (OrderedChunk& chunk : ready) {
      if (options.stop.stopRequested() || !take(done, chunk)) {
        go_on = false;
        break;
      }
      ++done;
    }
    // Chunks moved out but not taken are dropped: the run ends.
    bool wake = false;
    {
      std::lock_guard lock(mutex);
      next_taken = go_on ? done : first + ready.size();
      if (!go_on) ending = true;
      wake = workers_waiting > 0;
    }
    if (wake) taken.notify_all();
  }
  {
    std::lock_guard lock(mutex);
    ending = true;
  }
  taken.notify_all();
  for (std::thread& worker : workers) worker.join();
  return done;
}

}  // namespace quill

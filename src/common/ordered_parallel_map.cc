#include "common/ordered_parallel_map.h"

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
  const size_t window = options.window ? options.window : 8 * static_cast<size_t>(threads);

  std::vector<Slot> slots(window);
  std::mutex mutex;
  std::condition_variable made;   // a chunk became ready, or a worker ended
  std::condition_variable taken;  // the consumer moved on, or the run ends
  size_t next_item = 0;           // the next item a worker claims
  size_t next_taken = 0;          // the next item the consumer takes
  bool ending = false;            // the consumer stopped early

  auto work = [&](unsigned worker) {
    for (;;) {
      size_t item = 0;
      {
        std::unique_lock lock(mutex);
        // A worker waits while its item would overrun the ring.
        taken.wait(lock, [&] { return ending || next_item >= count || next_item < next_taken + window; });
        if (ending || next_item >= count) break;
        item = next_item++;
      }
      OrderedChunk chunk;
      if (!options.stop.stopRequested()) make(worker, item, chunk);
      {
        std::lock_guard lock(mutex);
        Slot& slot = slots[item % window];
        slot.chunk = std::move(chunk);
        slot.ready = true;
      }
      made.notify_all();
    }
  };

  std::vector<std::thread> workers;
  workers.reserve(threads);
  for (unsigned w = 0; w < threads; ++w) workers.emplace_back(work, w);

  size_t done = 0;
  for (; done < count; ++done) {
    OrderedChunk chunk;
    {
      std::unique_lock lock(mutex);
      Slot& slot = slots[done % window];
      made.wait(lock, [&] { return slot.ready; });
      chunk = std::move(slot.chunk);
      slot.ready = false;
    }
    const bool stop = options.stop.stopRequested();
    const bool go_on = !stop && take(done, chunk);
    {
      std::lock_guard lock(mutex);
      next_taken = done + 1;
      if (!go_on) ending = true;
    }
    taken.notify_all();
    if (!go_on) break;
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

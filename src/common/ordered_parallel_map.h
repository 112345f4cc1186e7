// Work on a sequence of items (the pages of a table) spread over worker
// threads, with the results taken in item order on the calling thread: the
// pages of a table decoded on every core while its output keeps page order.
// Workers run at most `window` items ahead of the consumer, so memory stays
// bounded by the window, not by the number of items.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "common/stop_token.h"

namespace quill {

// What a worker makes of one item: its output bytes, how many rows they
// hold, and a status of the caller's choosing.
struct OrderedChunk {
  std::string bytes;
  uint64_t rows = 0;
  int status = 0;
};

struct OrderedMapOptions {
  unsigned threads = 1;  // workers; 1 (or fewer items than 2 per worker) runs on the calling thread
  // Consecutive items a worker claims and hands over at once: items that
  // take little time each (pages) go in batches, so the threads meet once
  // a batch instead of once an item; items of uneven size (files) go one
  // by one.
  size_t batch = 1;
  size_t window = 0;  // items in flight; 0: 8 per worker, and at least 4 batches per worker
  StopToken stop;     // polled before each item
};

// Makes the chunk of item i: called on a worker thread with the worker's
// number (0 .. threads-1), so a worker can keep state of its own.
using ChunkMaker = std::function<void(unsigned worker, size_t item, OrderedChunk& chunk)>;
// Takes the chunk of item i, in item order, on the calling thread; false
// ends the run (no later item is taken).
using ChunkTaker = std::function<bool(size_t item, OrderedChunk& chunk)>;

// Runs `make` over items 0 .. count-1 and hands the chunks to `take` in
// order. Returns the number of items taken; fewer than `count` when `take`
// refused one or the stop token asked to stop.
size_t OrderedParallelMap(size_t count, const OrderedMapOptions& options, const ChunkMaker& make,
                          const ChunkTaker& take);

}  // namespace quill

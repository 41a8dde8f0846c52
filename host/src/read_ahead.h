// Member statements read ahead: while a module merges the rows it has, a
// reader thread steps the statement and hands the rows over through a small
// ring of reused cell buffers, so that the store and the module share the
// machine's cores instead of taking turns on one.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "vxrhost/store.h"

namespace vxrhost::detail {

// The rows of one open statement between one reader (the producer) and the
// fetches of the module (the consumer). Rows keep the order the store gave
// them; the status that ended the reading (end of data or a failure, with its
// message) comes after the last row, at the same fetch as without the reader.
class RowChannel {
 public:
  // `storeMutex`, when given, is held around the store calls (the host's
  // shared store is used by one caller at a time).
  RowChannel(ResultSet& rows, std::mutex* storeMutex);
  RowChannel(const RowChannel&) = delete;
  // Makes a channel that nobody uses any more ready for other rows; its
  // cell buffers are kept for them.
  void restart(ResultSet& rows, std::mutex* storeMutex);
  RowChannel& operator=(const RowChannel&) = delete;

  enum class Take {
    Row,       // `cells` holds the next row (its buffers swapped with a slot's)
    Ended,     // the reader's last status: `status` and `error`
    Detached,  // the reader stopped early; the rest is read from the store itself
  };
  Take take(std::vector<std::string>& cells, int32_t& status, std::string& error);
  // Asks the reader to stop; stop() also waits until it has let go of the
  // rows.
  void cancel();
  void stop();
  // Time the reader spent in the store; final once take() returned Ended or
  // Detached, or stop() returned.
  std::chrono::nanoseconds storeTime() const;

  // The reader's side: steps the statement until it ends, fails or is asked
  // to stop.
  void produce();

 private:
  // Rows buffered at most: enough that the reader seldom waits for the
  // module to hand slots back (GROUPOBJACT, 32 x 20,000 rows: 0.83 s with 512,
  // 0.77 s with 2,048); about 2 MB of cells for a row of 1 kB.
  static constexpr size_t kSlots = 2048;
  static constexpr size_t kBatch = 32;  // rows stepped between publishing them
  // A side that waits for the other is woken once a quarter of the ring is
  // there for it (rows to take, slots to fill), or at the end: few wake-ups
  // per statement however the two sides' speeds compare.
  static constexpr size_t kWake = kSlots / 4;
  // Consumer: hands back the slots taken since the last call and waits for
  // rows (or the end). Returns the rows now available to take.
  size_t exchange();

  ResultSet* rows_;
  std::mutex* storeMutex_;
  std::vector<std::vector<std::string>> slots_;

  // Guarded by mutex_: [head_, head_ + count_) are the consumer's slots,
  // the others the reader's.
  mutable std::mutex mutex_;
  std::condition_variable filled_;  // the consumer waits for rows
  std::condition_variable space_;   // the reader waits for free slots
  size_t head_ = 0;
  size_t count_ = 0;
  bool consumerWaiting_ = false;
  bool producerWaiting_ = false;
  bool done_ = false;   // the reader has let go of the rows
  bool ended_ = false;  // ... having read a final status
  int32_t status_ = sqlstatus::kOk;
  std::string error_;
  int64_t storeNanoseconds_ = 0;
  std::atomic<bool> stop_{false};

  // The consumer's own view, touched by the consumer only.
  size_t next_ = 0;       // the slot take() reads next
  size_t available_ = 0;  // published rows not yet taken
  size_t taken_ = 0;      // taken since the last exchange
};

// Long-lived reader threads of one host, each serving one statement at a
// time. A statement that finds no reader free (all busy up to the limit)
// is read by its fetches as before.
class ReaderPool {
 public:
  ReaderPool() = default;
  ReaderPool(const ReaderPool&) = delete;
  ReaderPool& operator=(const ReaderPool&) = delete;
  ~ReaderPool() { shutdown(); }

  // A reader reading `rows` into the returned channel, or null.
  std::shared_ptr<RowChannel> start(ResultSet& rows, std::mutex* storeMutex);
  // Stops and joins every reader; start() returns null afterwards.
  void shutdown();

 private:
  static constexpr size_t kMaxReaders = 32;
  struct Reader {
    std::thread thread;
    std::condition_variable wake;
    std::shared_ptr<RowChannel> job;   // guarded by the pool's mutex
    std::shared_ptr<RowChannel> last;  // the latest channel, reused once free
  };
  void serve(Reader& reader);

  std::mutex mutex_;
  std::vector<std::unique_ptr<Reader>> readers_;
  std::vector<Reader*> idle_;
  bool quitting_ = false;
};

// The read-ahead of one open request: stops its reader when it goes, before
// the rows it reads are closed.
struct ReadAhead {
  std::shared_ptr<RowChannel> channel;
  ReadAhead() = default;
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;
  ~ReadAhead() { reset(); }
  // Stops the reader (if any) and forgets it; the time it spent in the store.
  std::chrono::nanoseconds reset();
};

}  // namespace vxrhost::detail

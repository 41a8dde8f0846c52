#include "read_ahead.h"

#include <algorithm>
#include <system_error>

namespace vxrhost::detail {

RowChannel::RowChannel(ResultSet& rows, std::mutex* storeMutex)
    : rows_(&rows), storeMutex_(storeMutex), slots_(kSlots) {}

void RowChannel::restart(ResultSet& rows, std::mutex* storeMutex) {
  // The consumer's last calls (stop, storeTime) took the mutex after its
  // last take: taking it here orders them before this.
  std::lock_guard lock(mutex_);
  rows_ = &rows;
  storeMutex_ = storeMutex;
  head_ = count_ = 0;
  consumerWaiting_ = producerWaiting_ = false;
  done_ = ended_ = false;
  status_ = sqlstatus::kOk;
  error_.clear();
  storeNanoseconds_ = 0;
  stop_.store(false, std::memory_order_relaxed);
  next_ = available_ = taken_ = 0;
}

size_t RowChannel::exchange() {
  std::unique_lock lock(mutex_);
  head_ = next_;
  count_ -= taken_;
  taken_ = 0;
  if (producerWaiting_ && kSlots - count_ >= kWake) space_.notify_one();
  while (count_ == 0 && !done_) {
    consumerWaiting_ = true;
    filled_.wait(lock);
    consumerWaiting_ = false;
  }
  return count_;
}

RowChannel::Take RowChannel::take(std::vector<std::string>& cells, int32_t& status,
                                  std::string& error) {
  // The slots taken go back to the reader a quarter of the ring at a time,
  // so that it keeps reading while the module works through the rest.
  if (available_ == 0 || taken_ >= kWake) available_ = exchange();
  if (available_ == 0) {
    std::lock_guard lock(mutex_);
    if (!ended_) return Take::Detached;
    status = status_;
    error = error_;
    return Take::Ended;
  }
  cells.swap(slots_[next_]);
  next_ = (next_ + 1) % kSlots;
  --available_;
  ++taken_;
  return Take::Row;
}

void RowChannel::cancel() {
  stop_.store(true, std::memory_order_relaxed);
  std::lock_guard lock(mutex_);
  space_.notify_one();
}

void RowChannel::stop() {
  cancel();
  std::unique_lock lock(mutex_);
  filled_.wait(lock, [this] { return done_; });
}

std::chrono::nanoseconds RowChannel::storeTime() const {
  std::lock_guard lock(mutex_);
  return std::chrono::nanoseconds(storeNanoseconds_);
}

void RowChannel::produce() {
  // The clock is read when reading starts, pauses and ends, not per row.
  using Clock = std::chrono::steady_clock;
  std::chrono::nanoseconds spent{0};
  Clock::time_point begin = Clock::now();
  std::string why;
  std::unique_lock lock(mutex_);
  while (!stop_.load(std::memory_order_relaxed)) {
    if (count_ == kSlots) {
      spent += Clock::now() - begin;
      producerWaiting_ = true;
      space_.wait(lock, [this] {
        return stop_.load(std::memory_order_relaxed) || kSlots - count_ >= kWake;
      });
      producerWaiting_ = false;
      begin = Clock::now();
      continue;
    }
    const size_t room = std::min(kSlots - count_, kBatch);
    const size_t tail = (head_ + count_) % kSlots;
    lock.unlock();
    // The slots from tail on are the reader's until published below.
    size_t made = 0;
    int32_t status = sqlstatus::kOk;
    {
      std::unique_lock<std::mutex> store;
      if (storeMutex_ != nullptr) store = std::unique_lock(*storeMutex_);
      while (made < room && !stop_.load(std::memory_order_relaxed)) {
        status = rows_->next(slots_[(tail + made) % kSlots], why);
        if (status != sqlstatus::kOk) break;
        ++made;
      }
    }
    lock.lock();
    count_ += made;
    if (status != sqlstatus::kOk) {
      ended_ = true;
      status_ = status;
      error_ = std::move(why);
      break;
    }
    if (consumerWaiting_ && count_ >= kWake) filled_.notify_one();
  }
  spent += Clock::now() - begin;
  storeNanoseconds_ = spent.count();
  done_ = true;
  filled_.notify_all();
}

std::shared_ptr<RowChannel> ReaderPool::start(ResultSet& rows, std::mutex* storeMutex) {
  std::lock_guard lock(mutex_);
  if (quitting_) return nullptr;
  Reader* reader = nullptr;
  if (!idle_.empty()) {
    reader = idle_.back();
    idle_.pop_back();
  } else if (readers_.size() < kMaxReaders) {
    auto fresh = std::make_unique<Reader>();
    try {
      fresh->thread = std::thread([this, r = fresh.get()] { serve(*r); });
    } catch (const std::system_error&) {
      return nullptr;  // no thread to be had: the fetches read the rows themselves
    }
    reader = fresh.get();
    readers_.push_back(std::move(fresh));
  } else {
    return nullptr;
  }
  // The reader's previous channel, once only the reader holds it, takes the
  // new rows into the cell buffers it already has.
  if (reader->last != nullptr && reader->last.use_count() == 1) {
    reader->last->restart(rows, storeMutex);
  } else {
    reader->last = std::make_shared<RowChannel>(rows, storeMutex);
  }
  reader->job = reader->last;
  reader->wake.notify_one();
  return reader->job;
}

void ReaderPool::serve(Reader& reader) {
  std::unique_lock lock(mutex_);
  for (;;) {
    reader.wake.wait(lock, [&] { return quitting_ || reader.job != nullptr; });
    if (reader.job == nullptr) return;
    std::shared_ptr<RowChannel> job = reader.job;
    lock.unlock();
    job->produce();
    job.reset();
    lock.lock();
    reader.job.reset();
    if (!quitting_) idle_.push_back(&reader);
  }
}

void ReaderPool::shutdown() {
  std::vector<std::unique_ptr<Reader>> readers;
  {
    std::lock_guard lock(mutex_);
    quitting_ = true;
    for (auto& reader : readers_) {
      if (reader->job != nullptr) reader->job->cancel();
      reader->wake.notify_one();
    }
    readers.swap(readers_);
    idle_.clear();
  }
  for (auto& reader : readers) reader->thread.join();
}

std::chrono::nanoseconds ReadAhead::reset() {
  if (channel == nullptr) return std::chrono::nanoseconds{0};
  channel->stop();
  std::chrono::nanoseconds spent = channel->storeTime();
  channel.reset();
  return spent;
}

}  // namespace vxrhost::detail

#include "export/parallel_deflate.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace lumigrid::export_detail {

namespace {

struct Slot {
  bool ready = false;
  CompressedSegment result;
};

class OrderedDeflate {
 public:
  OrderedDeflate(const std::vector<std::uint32_t>& source, const OrderedDeflateSettings& settings,
                 const std::function<CompressedSegment(unsigned, std::size_t)>& compress)
      : source_(source),
        settings_(settings),
        compress_(compress),
        last_use_(source.size()),
        slots_(source.size()),
        window_(settings.window != 0 ? settings.window : 2 * std::size_t(settings.threads) + 2) {
    for (std::size_t i = 0; i < source.size(); ++i) last_use_[source[i]] = i;
  }
  OrderedDeflate(const OrderedDeflate&) = delete;
  OrderedDeflate& operator=(const OrderedDeflate&) = delete;

  ~OrderedDeflate() { stopAndJoin(); }

  void run(const std::function<void(std::size_t, const CompressedSegment&)>& write) {
    const unsigned threads = settings_.threads == 0 ? 1 : settings_.threads;
    workers_.reserve(threads);
    for (unsigned w = 0; w < threads; ++w) workers_.emplace_back([this, w] { work(w); });
    for (std::size_t i = 0; i < slots_.size(); ++i) {
      CompressedSegment segment;
      {
        std::unique_lock lock(mutex_);
        done_.wait(lock, [&] { return slots_[i].ready || error_; });
        if (error_) break;
        segment = std::move(slots_[i].result);
        slots_[i] = Slot{};
      }
      write(i, segment);
      {
        const std::lock_guard lock(mutex_);
        written_ = i + 1;
        const std::size_t s = source_[i];
        if (last_use_[s] == i) {
          if (const auto kept = kept_.find(s); kept != kept_.end()) {
            kept_bytes_ -= kept->second.bytes->size();
            kept_.erase(kept);
          }
        }
      }
      more_room_.notify_all();
    }
    stopAndJoin();
    if (error_) std::rethrow_exception(error_);
  }

 private:
  void work(unsigned worker) {
    std::unique_lock lock(mutex_);
    for (;;) {
      more_room_.wait(
          lock, [&] { return stop_ || next_ >= slots_.size() || next_ < written_ + window_; });
      if (stop_ || next_ >= slots_.size()) return;
      const std::size_t i = next_++;
      const std::size_t s = source_[i];
      if (const auto kept = kept_.find(s); kept != kept_.end()) {
        slots_[i].result = kept->second;
        slots_[i].ready = true;
        done_.notify_all();
        continue;
      }
      lock.unlock();
      CompressedSegment result;
      try {
        result = compress_(worker, i);
      } catch (...) {
        lock.lock();
        if (!error_) error_ = std::current_exception();
        stop_ = true;
        done_.notify_all();
        more_room_.notify_all();
        return;
      }
      lock.lock();
      // Kept for the later segments equal to this one while the budget allows.
      const std::size_t size = result.bytes->size();
      if (last_use_[s] > i && kept_.count(s) == 0 &&
          size <= settings_.reuse_budget_bytes - kept_bytes_) {
        kept_.emplace(s, result);
        kept_bytes_ += size;
      }
      slots_[i].result = std::move(result);
      slots_[i].ready = true;
      done_.notify_all();
    }
  }

  void stopAndJoin() {
    {
      const std::lock_guard lock(mutex_);
      stop_ = true;
    }
    more_room_.notify_all();
    workers_.clear();  // joins
  }

  const std::vector<std::uint32_t>& source_;
  const OrderedDeflateSettings settings_;
  const std::function<CompressedSegment(unsigned, std::size_t)>& compress_;
  std::vector<std::size_t> last_use_;
  std::vector<Slot> slots_;
  const std::size_t window_;

  std::mutex mutex_;
  std::condition_variable more_room_;  // workers wait for the writer to move on
  std::condition_variable done_;       // the writer waits for its next segment
  std::size_t next_ = 0;
  std::size_t written_ = 0;
  bool stop_ = false;
  std::exception_ptr error_;
  std::unordered_map<std::size_t, CompressedSegment> kept_;
  std::size_t kept_bytes_ = 0;
  std::vector<std::jthread> workers_;
};

}  // namespace

void deflate_in_order(const std::vector<std::uint32_t>& source,
                      const OrderedDeflateSettings& settings,
                      const std::function<CompressedSegment(unsigned, std::size_t)>& compress,
                      const std::function<void(std::size_t, const CompressedSegment&)>& write) {
  OrderedDeflate deflate(source, settings, compress);
  deflate.run(write);
}

}  // namespace lumigrid::export_detail

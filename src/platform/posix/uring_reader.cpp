#include "platform/posix/uring_reader.h"

#include <algorithm>

#ifdef DT_HAVE_LIBURING
#include <liburing.h>

#include <cerrno>
#endif

namespace dt {

#ifdef DT_HAVE_LIBURING

namespace {

class UringReader : public AsyncReader {
 public:
  UringReader(Platform& clock, int fd, std::uint32_t depth) : clock_(clock), fd_(fd), depth_(depth) {}
  bool Init() {
    // One thread makes, uses and ends the reader: the kernel may then run
    // completions when that thread next asks for them instead of
    // interrupting it for each.
    // Older kernels refuse these flags; the ring then works without them.
    int r = io_uring_queue_init(depth_, &ring_,
                                IORING_SETUP_SINGLE_ISSUER | IORING_SETUP_DEFER_TASKRUN);
    if (r == -EINVAL) r = io_uring_queue_init(depth_, &ring_, 0);
    if (r < 0) {
      Platform::SetLastError(static_cast<std::uint32_t>(-r));
      return false;
    }
    ready_ = true;
    return true;
  }
  ~UringReader() override {
    if (!ready_) return;
    // The reads under way write into the caller's buffers: wait for them.
    // Reads the kernel never took are not waited for.
    if (!Flush(0)) outstanding_ -= prepared_;
    while (outstanding_ > 0) {
      io_uring_cqe* cqe = nullptr;
      const int r = io_uring_wait_cqe(&ring_, &cqe);
      if (r == -EINTR) continue;
      if (r < 0) break;
      io_uring_cqe_seen(&ring_, cqe);
      --outstanding_;
    }
    io_uring_queue_exit(&ring_);
  }

  // Each read goes to the kernel as soon as it is prepared, so the device
  // starts on the first while the next are handed over (handing over a batch
  // at once gave a fifth fewer reads a second on a loop device). A read the
  // kernel does not take now goes with the next Reap.
  bool Submit(const AsyncReadRequest* reqs, std::size_t n) override {
    if (outstanding_ + n > depth_) {
      Platform::SetLastError(EINVAL);
      return false;
    }
    for (std::size_t i = 0; i < n; ++i) {
      io_uring_sqe* sqe = io_uring_get_sqe(&ring_);
      if (!sqe) {
        Platform::SetLastError(EBUSY);
        return false;
      }
      const auto* at = static_cast<const std::uint8_t*>(reqs[i].buf);
      if (fixed_ && at >= fixedBase_ && at + reqs[i].len <= fixedBase_ + fixedBytes_)
        io_uring_prep_read_fixed(sqe, fd_, reqs[i].buf, reqs[i].len,
                                 static_cast<std::uint64_t>(reqs[i].offset), 0);
      else
        io_uring_prep_read(sqe, fd_, reqs[i].buf, reqs[i].len,
                           static_cast<std::uint64_t>(reqs[i].offset));
      io_uring_sqe_set_data64(sqe, reqs[i].tag);
      ++prepared_;
      ++outstanding_;
      Flush(0);
    }
    return true;
  }

  std::size_t Reap(AsyncReadCompletion* out, std::size_t max, std::size_t min) override {
    if (!Flush(min > 0 ? 1 : 0)) {
      const std::uint32_t code = Platform::LastError();
      // The kernel is short of room: the reads under way are reaped and the
      // rest go with a later call.
      if ((code != EAGAIN && code != EBUSY) || UnderWay() == 0) return 0;
    }
    const std::size_t want = std::min({min, max, UnderWay()});
    // Completions wait in the kernel until this thread asks for them.
    if (want == 0 && UnderWay() > 0) io_uring_get_events(&ring_);
    std::size_t n = 0;
    while (n < max && UnderWay() > 0) {
      io_uring_cqe* cqe = nullptr;
      int r = 0;
      if (n < want) {
        r = io_uring_wait_cqe(&ring_, &cqe);
        if (r == -EINTR) continue;
      } else {
        r = io_uring_peek_cqe(&ring_, &cqe);
      }
      if (r < 0 || !cqe) break;
      AsyncReadCompletion& c = out[n++];
      c.tag = io_uring_cqe_get_data64(cqe);
      c.counter = clock_.PerfCounter();
      if (cqe->res < 0) {
        c.error = static_cast<std::uint32_t>(-cqe->res);
        c.done = 0;
      } else {
        c.error = 0;
        c.done = static_cast<std::uint32_t>(cqe->res);
      }
      io_uring_cqe_seen(&ring_, cqe);
      --outstanding_;
    }
    return n;
  }

  const char* Kind() const override { return "io_uring"; }

  // The buffers are pinned once, so a read need not map its pages itself.
  // Where the kernel refuses (a memory lock limit), reads map them as before.
  void UseBuffers(void* base, std::size_t bytes) override {
    if (fixed_) io_uring_unregister_buffers(&ring_);
    iovec v{base, bytes};
    fixed_ = io_uring_register_buffers(&ring_, &v, 1) == 0;
    fixedBase_ = static_cast<const std::uint8_t*>(base);
    fixedBytes_ = bytes;
  }

 private:
  std::size_t UnderWay() const { return outstanding_ - prepared_; }

  // Hands the prepared reads to the kernel and, with `wait`, waits for that
  // many completions in the same call. False with LastError() set when the
  // kernel takes none now (EAGAIN or EBUSY: it has no room until reads under
  // way complete).
  bool Flush(unsigned wait) {
    while (prepared_ > 0) {
      const int r = io_uring_submit_and_wait(&ring_, wait);
      if (r == -EINTR) continue;
      if (r <= 0) {
        Platform::SetLastError(r < 0 ? static_cast<std::uint32_t>(-r) : EIO);
        return false;
      }
      prepared_ -= std::min<std::size_t>(prepared_, static_cast<std::size_t>(r));
    }
    return true;
  }

  Platform& clock_;
  const int fd_;
  const std::size_t depth_;
  io_uring ring_{};
  bool ready_ = false;
  std::size_t outstanding_ = 0;  // prepared or under way
  std::size_t prepared_ = 0;     // prepared, not yet handed to the kernel
  bool fixed_ = false;           // the buffers below are registered
  const std::uint8_t* fixedBase_ = nullptr;
  std::size_t fixedBytes_ = 0;
};

}  // namespace

std::unique_ptr<AsyncReader> MakeUringReader(Platform& clock, int fd, std::uint32_t depth) {
  auto r = std::make_unique<UringReader>(clock, fd, depth);
  if (!r->Init()) return nullptr;
  return r;
}

#else

std::unique_ptr<AsyncReader> MakeUringReader(Platform&, int, std::uint32_t) {
  Platform::SetLastError(kErrNotSupported);
  return nullptr;
}

#endif

}  // namespace dt

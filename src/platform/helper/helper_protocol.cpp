#include "platform/helper/helper_protocol.h"

#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dt::helper {

namespace {

class Writer {
 public:
  void U8(std::uint8_t v) { b_.push_back(v); }
  void U16(std::uint16_t v) {
    for (int i = 0; i < 2; ++i) b_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void Bytes(const std::uint8_t* p, std::size_t n) {
    U32(static_cast<std::uint32_t>(n));
    b_.insert(b_.end(), p, p + n);
  }
  void Text(const std::string& s) {
    Bytes(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
  }
  // The message: header with the payload's length, then the payload.
  std::vector<std::uint8_t> Finish(Kind kind) const {
    Writer h;
    h.U32(kMagic);
    h.U16(kVersion);
    h.U16(static_cast<std::uint16_t>(kind));
    h.U32(static_cast<std::uint32_t>(b_.size()));
    std::vector<std::uint8_t> out = std::move(h.b_);
    out.insert(out.end(), b_.begin(), b_.end());
    return out;
  }

 private:
  std::vector<std::uint8_t> b_;
};

class Reader {
 public:
  Reader(const std::uint8_t* p, std::size_t n) : p_(p), n_(n) {}
  bool U8(std::uint8_t* v) {
    if (n_ - at_ < 1) return false;
    *v = p_[at_++];
    return true;
  }
  bool U16(std::uint16_t* v) {
    if (n_ - at_ < 2) return false;
    *v = static_cast<std::uint16_t>(p_[at_] | (p_[at_ + 1] << 8));
    at_ += 2;
    return true;
  }
  bool U32(std::uint32_t* v) {
    if (n_ - at_ < 4) return false;
    *v = 0;
    for (int i = 3; i >= 0; --i) *v = (*v << 8) | p_[at_ + static_cast<std::size_t>(i)];
    at_ += 4;
    return true;
  }
  bool Bytes(std::vector<std::uint8_t>* v, std::uint32_t max) {
    std::uint32_t len = 0;
    if (!U32(&len) || len > max || n_ - at_ < len) return false;
    v->assign(p_ + at_, p_ + at_ + len);
    at_ += len;
    return true;
  }
  bool Path(std::string* s) {
    std::vector<std::uint8_t> v;
    if (!Bytes(&v, kMaxPath) || v.empty()) return false;
    if (std::memchr(v.data(), 0, v.size()) != nullptr) return false;
    s->assign(v.begin(), v.end());
    return true;
  }
  bool AtEnd() const { return at_ == n_; }

 private:
  const std::uint8_t* p_;
  std::size_t n_;
  std::size_t at_ = 0;
};

bool KnownKind(std::uint16_t k) { return k >= 1 && k <= 4; }

// The payload of a whole message after its header has been checked.
bool Payload(const std::uint8_t* p, std::size_t n, Header* h, Reader* r, std::string* why) {
  if (!DecodeHeader(p, n, h, why)) return false;
  if (n - kHeaderSize != h->length) {
    *why = n - kHeaderSize < h->length ? "truncated message" : "bytes after the message";
    return false;
  }
  *r = Reader(p + kHeaderSize, h->length);
  return true;
}

bool Malformed(std::string* why) {
  *why = "malformed message";
  return false;
}

}  // namespace

bool Request::operator==(const Request& o) const {
  return kind == o.kind && path == o.path && write == o.write && code == o.code && in == o.in &&
         outLen == o.outLen && opcode == o.opcode && nsid == o.nsid &&
         std::memcmp(cdw, o.cdw, sizeof cdw) == 0 && dataLen == o.dataLen;
}

bool Reply::operator==(const Reply& o) const {
  return kind == o.kind && error == o.error && returned == o.returned && cdw0 == o.cdw0 &&
         status == o.status && data == o.data;
}

std::vector<std::uint8_t> Encode(const Request& r) {
  Writer w;
  switch (r.kind) {
    case Kind::Hello:
      break;
    case Kind::Open:
      w.U32(r.write ? 1u : 0u);
      w.Text(r.path);
      break;
    case Kind::Ata:
      w.U32(r.code);
      w.U32(r.outLen);
      w.Text(r.path);
      w.Bytes(r.in.data(), r.in.size());
      break;
    case Kind::Nvme:
      w.U8(r.opcode);
      w.U32(r.nsid);
      for (std::uint32_t c : r.cdw) w.U32(c);
      w.U32(r.dataLen);
      w.Text(r.path);
      break;
  }
  return w.Finish(r.kind);
}

std::vector<std::uint8_t> Encode(const Reply& r) {
  Writer w;
  switch (r.kind) {
    case Kind::Hello:
      break;
    case Kind::Open:
      w.U32(r.error);
      break;
    case Kind::Ata:
      w.U32(r.error);
      w.U32(r.returned);
      w.Bytes(r.data.data(), r.data.size());
      break;
    case Kind::Nvme:
      w.U32(r.error);
      w.U32(r.cdw0);
      w.U16(r.status);
      w.Bytes(r.data.data(), r.data.size());
      break;
  }
  return w.Finish(r.kind);
}

bool DecodeHeader(const std::uint8_t* p, std::size_t n, Header* h, std::string* why) {
  if (n < kHeaderSize) {
    *why = "truncated message";
    return false;
  }
  Reader r(p, kHeaderSize);
  std::uint32_t magic = 0;
  std::uint16_t kind = 0;
  r.U32(&magic);
  r.U16(&h->version);
  r.U16(&kind);
  r.U32(&h->length);
  if (magic != kMagic) {
    *why = "not a disktest-helper message";
    return false;
  }
  if (h->version != kVersion) {
    *why = "protocol version " + std::to_string(h->version) + ", expected " +
           std::to_string(kVersion);
    return false;
  }
  if (!KnownKind(kind)) {
    *why = "unknown message kind " + std::to_string(kind);
    return false;
  }
  if (h->length > kMaxPayload) {
    *why = "message too long";
    return false;
  }
  h->kind = static_cast<Kind>(kind);
  return true;
}

bool DecodeRequest(const std::uint8_t* p, std::size_t n, Request* out, std::string* why) {
  Header h;
  Reader r(nullptr, 0);
  if (!Payload(p, n, &h, &r, why)) return false;
  Request q;
  q.kind = h.kind;
  switch (h.kind) {
    case Kind::Hello:
      break;
    case Kind::Open: {
      std::uint32_t flags = 0;
      if (!r.U32(&flags) || flags > 1 || !r.Path(&q.path)) return Malformed(why);
      q.write = flags == 1;
      break;
    }
    case Kind::Ata:
      if (!r.U32(&q.code) || !r.U32(&q.outLen) || q.outLen > kMaxData || !r.Path(&q.path) ||
          !r.Bytes(&q.in, kMaxData))
        return Malformed(why);
      break;
    case Kind::Nvme:
      if (!r.U8(&q.opcode) || !r.U32(&q.nsid)) return Malformed(why);
      for (std::uint32_t& c : q.cdw)
        if (!r.U32(&c)) return Malformed(why);
      if (!r.U32(&q.dataLen) || q.dataLen > kMaxData || !r.Path(&q.path)) return Malformed(why);
      break;
  }
  if (!r.AtEnd()) return Malformed(why);
  *out = std::move(q);
  return true;
}

bool DecodeReply(const std::uint8_t* p, std::size_t n, Reply* out, std::string* why) {
  Header h;
  Reader r(nullptr, 0);
  if (!Payload(p, n, &h, &r, why)) return false;
  Reply a;
  a.kind = h.kind;
  switch (h.kind) {
    case Kind::Hello:
      break;
    case Kind::Open:
      if (!r.U32(&a.error)) return Malformed(why);
      break;
    case Kind::Ata:
      if (!r.U32(&a.error) || !r.U32(&a.returned) || !r.Bytes(&a.data, kMaxData))
        return Malformed(why);
      break;
    case Kind::Nvme:
      if (!r.U32(&a.error) || !r.U32(&a.cdw0) || !r.U16(&a.status) || !r.Bytes(&a.data, kMaxData))
        return Malformed(why);
      break;
  }
  if (!r.AtEnd()) return Malformed(why);
  *out = std::move(a);
  return true;
}

bool Send(int sock, const std::vector<std::uint8_t>& msg, int passFd, std::string* why) {
  std::size_t done = 0;
  bool fdSent = passFd < 0;
  while (done < msg.size()) {
    iovec iov{const_cast<std::uint8_t*>(msg.data()) + done, msg.size() - done};
    msghdr mh{};
    mh.msg_iov = &iov;
    mh.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    if (!fdSent) {
      mh.msg_control = control;
      mh.msg_controllen = sizeof control;
      cmsghdr* c = CMSG_FIRSTHDR(&mh);
      c->cmsg_level = SOL_SOCKET;
      c->cmsg_type = SCM_RIGHTS;
      c->cmsg_len = CMSG_LEN(sizeof(int));
      std::memcpy(CMSG_DATA(c), &passFd, sizeof(int));
    }
    const ssize_t n = ::sendmsg(sock, &mh, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      *why = std::strerror(errno);
      return false;
    }
    fdSent = true;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

namespace {

// Reads exactly `n` bytes; a descriptor that arrives is kept in *fd (any
// further one is closed).
bool ReadFull(int sock, std::uint8_t* p, std::size_t n, int* fd, std::string* why) {
  std::size_t done = 0;
  while (done < n) {
    iovec iov{p + done, n - done};
    msghdr mh{};
    mh.msg_iov = &iov;
    mh.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(4 * sizeof(int))];
    mh.msg_control = control;
    mh.msg_controllen = sizeof control;
    const ssize_t r = ::recvmsg(sock, &mh, MSG_CMSG_CLOEXEC);
    if (r < 0) {
      if (errno == EINTR) continue;
      *why = std::strerror(errno);
      return false;
    }
    for (cmsghdr* c = CMSG_FIRSTHDR(&mh); c; c = CMSG_NXTHDR(&mh, c)) {
      if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) continue;
      const std::size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
      for (std::size_t i = 0; i < count; ++i) {
        int got = -1;
        std::memcpy(&got, CMSG_DATA(c) + i * sizeof(int), sizeof(int));
        if (*fd < 0) {
          *fd = got;
        } else {
          ::close(got);
        }
      }
    }
    if (r == 0) {
      *why = "end of stream";
      return false;
    }
    done += static_cast<std::size_t>(r);
  }
  return true;
}

}  // namespace

bool Receive(int sock, std::vector<std::uint8_t>* msg, int* fd, std::string* why) {
  *fd = -1;
  msg->assign(kHeaderSize, 0);
  Header h;
  bool ok = ReadFull(sock, msg->data(), kHeaderSize, fd, why) &&
            DecodeHeader(msg->data(), kHeaderSize, &h, why);
  if (ok) {
    msg->resize(kHeaderSize + h.length);
    ok = ReadFull(sock, msg->data() + kHeaderSize, h.length, fd, why);
  }
  if (!ok && *fd >= 0) {
    ::close(*fd);
    *fd = -1;
  }
  return ok;
}

}  // namespace dt::helper

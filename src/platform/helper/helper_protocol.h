// The messages between the programs and disktest-helper, the privileged
// process that opens raw disks for them on Linux.
//
// Every message is a 12-byte header (magic "DTHP", version, kind, payload
// length, little-endian) and a payload of at most kMaxPayload bytes; the
// helper answers each request with one reply of the same kind, in order.
// A reply to Open carries the opened descriptor as SCM_RIGHTS ancillary data.
// Decoding refuses anything that is not exactly one well-formed message:
// a wrong magic or version, an unknown kind, an oversize or truncated
// payload, trailing bytes, a path that is empty, too long or holds a NUL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dt::helper {

inline constexpr std::uint32_t kMagic = 0x50485444u;  // "DTHP"
inline constexpr std::uint16_t kVersion = 1;
inline constexpr std::size_t kHeaderSize = 12;
inline constexpr std::uint32_t kMaxPath = 4096;
// The largest data block a command moves: an NVMe error information log of
// 256 entries (16 KiB) fits, with room.
inline constexpr std::uint32_t kMaxData = 64 * 1024;
inline constexpr std::uint32_t kMaxPayload = kMaxData + kMaxPath + 64;

enum class Kind : std::uint16_t {
  Hello = 1,  // no payload either way: the helper runs and speaks this version
  Open = 2,   // open a block device for reading (or reading and writing)
  Ata = 3,    // one SMART / IDENTIFY request (SMART_* control code) on a device
  Nvme = 4,   // one NVMe admin command on a device
};

struct Request {
  Kind kind = Kind::Hello;
  std::string path;  // Open, Ata, Nvme
  bool write = false;  // Open
  // Ata: the control code, the SENDCMDINPARAMS record and the output size.
  std::uint32_t code = 0;
  std::vector<std::uint8_t> in;
  std::uint32_t outLen = 0;
  // Nvme: the command (its data length is dataLen).
  std::uint8_t opcode = 0;
  std::uint32_t nsid = 0;
  std::uint32_t cdw[6] = {};  // cdw10 .. cdw15
  std::uint32_t dataLen = 0;

  bool operator==(const Request& o) const;
};

struct Reply {
  Kind kind = Kind::Hello;
  // 0, or the errno of the failed or refused request.
  std::uint32_t error = 0;
  std::uint32_t returned = 0;  // Ata: bytes of the output record
  std::uint32_t cdw0 = 0;      // Nvme
  std::uint16_t status = 0;    // Nvme
  std::vector<std::uint8_t> data;  // Ata: the output record; Nvme: the data read

  bool operator==(const Reply& o) const;
};

struct Header {
  std::uint16_t version = 0;
  Kind kind = Kind::Hello;
  std::uint32_t length = 0;
};

std::vector<std::uint8_t> Encode(const Request& r);
std::vector<std::uint8_t> Encode(const Reply& r);

// The header of a message: false with the reason for a wrong magic or
// version, an unknown kind or a payload above kMaxPayload.
bool DecodeHeader(const std::uint8_t* p, std::size_t n, Header* h, std::string* why);
// A whole message (header and payload). False with the reason when the bytes
// are not exactly one well-formed message of that direction.
bool DecodeRequest(const std::uint8_t* p, std::size_t n, Request* r, std::string* why);
bool DecodeReply(const std::uint8_t* p, std::size_t n, Reply* r, std::string* why);

// Transport on a connected stream socket. Send writes the whole message,
// with `passFd` as SCM_RIGHTS when it is not negative. Receive reads exactly
// one message (header first, so an oversize one is refused before its
// payload is read) and any descriptor that came with it (close-on-exec);
// false with the reason on end of stream, a read error or a bad header.
bool Send(int sock, const std::vector<std::uint8_t>& msg, int passFd, std::string* why);
bool Receive(int sock, std::vector<std::uint8_t>* msg, int* fd, std::string* why);

}  // namespace dt::helper

// The self-tests of the simulated drives: SMART EXECUTE OFF-LINE IMMEDIATE
// and the NVMe Device Self-test, run on the machine's clock.
#include <algorithm>
#include <cstring>

#include "platform/sim/sim_machine.h"

namespace dt::sim {

namespace {

constexpr std::uint32_t kNoLba = 0xFFFFFFFFu;

// Sets the self-test execution status (byte 363 of the SMART data) and
// moves the checksum byte along, so that the sector adds up as before.
void SetSelfTestStatus(AtaCapture& cap, std::uint8_t value) {
  std::uint8_t& b = cap.smartData[363];
  cap.smartData[511] = static_cast<std::uint8_t>(cap.smartData[511] + b - value);
  b = value;
}

// The drive's power-on hours: the low word of attribute 9's raw value, plus
// the hours the machine has run.
std::uint16_t PowerOnHours(const AtaCapture& cap, std::int64_t nowNs) {
  std::int64_t hours = 0;
  for (int i = 0; i < 30; ++i) {
    const std::uint8_t* a = cap.smartData.data() + 2 + 12 * i;
    if (a[0] == 9) {
      hours = a[5] | (a[6] << 8);
      break;
    }
  }
  return static_cast<std::uint16_t>(hours + nowNs / kNsPerHour);
}

// Tenths of the test still to run at `nowNs` (0 to 9), as the low nibble of
// the status byte gives them.
std::uint8_t RemainingTenths(const SimSelfTest& t, std::int64_t nowNs) {
  const std::int64_t left = t.startNs + t.durationNs - nowNs;
  if (left <= 0 || t.durationNs <= 0) return 0;
  const std::int64_t tenths = (left * 10 + t.durationNs - 1) / t.durationNs;
  return static_cast<std::uint8_t>(std::min<std::int64_t>(tenths, 9));
}

// Ends the running test with `statusByte` and writes its log entry.
void EndSelfTest(SimDisk& d, std::uint8_t statusByte, std::uint32_t lba, std::int64_t atNs) {
  AtaCapture& cap = *d.capture;
  SetSelfTestStatus(cap, statusByte);
  if (!d.selfTestLog) {
    d.selfTestLog.emplace();
    (*d.selfTestLog)[0] = 1;  // revision 1
  }
  std::array<std::uint8_t, 512>& log = *d.selfTestLog;
  // 21 descriptors of 24 bytes from byte 2 form a ring; byte 508 names the
  // newest (1 to 21).
  const std::size_t slot = log[508] % 21;
  std::uint8_t* e = log.data() + 2 + slot * 24;
  std::memset(e, 0, 24);
  const std::uint16_t hours = PowerOnHours(cap, atNs);
  e[0] = d.selfTest.type;
  e[1] = statusByte;
  e[2] = static_cast<std::uint8_t>(hours);
  e[3] = static_cast<std::uint8_t>(hours >> 8);
  for (int i = 0; i < 4; ++i) e[5 + i] = static_cast<std::uint8_t>(lba >> (8 * i));
  log[508] = static_cast<std::uint8_t>(slot + 1);
  unsigned sum = 0;
  for (std::size_t i = 0; i < 511; ++i) sum += log[i];
  log[511] = static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
  d.selfTest.running = false;
}

// The minutes a self-test takes as the SMART data recommends polling it, or
// -1 when the drive does not run that sub-command: short, extended and
// conveyance tests in off-line mode, as the capability byte allows.
int TestMinutes(const AtaCapture& cap, std::uint8_t sub) {
  if (!cap.hasSmartData) return -1;
  const std::uint8_t offline = cap.smartData[367];
  switch (sub) {
    case 1:
      return (offline & 0x10) ? cap.smartData[372] : -1;
    case 2:
      if (!(offline & 0x10)) return -1;
      return cap.smartData[373] == 0xFF ? (cap.smartData[375] | (cap.smartData[376] << 8))
                                        : cap.smartData[373];
    case 3:
      return (offline & 0x20) ? cap.smartData[374] : -1;
    default:
      return -1;  // off-line data collection, selective and captive tests
  }
}

// A self-test started now (ATA sub-command or NVMe self-test code `type`)
// that lasts `durationNs`. The extended one reads the whole surface in order
// and stops at the first sector it cannot read.
SimSelfTest StartedSelfTest(const SimDisk& d, std::uint8_t type, bool extended,
                            std::int64_t durationNs, std::int64_t nowNs) {
  SimSelfTest t;
  t.running = true;
  t.type = type;
  t.startNs = nowNs;
  t.durationNs = durationNs;
  t.endNs = nowNs + durationNs;
  if (extended && !d.unreadable.empty()) {
    std::uint64_t first = d.unreadable[0].first;
    for (const Range& r : d.unreadable) first = std::min(first, r.first);
    const std::uint64_t sectors = std::max<std::uint64_t>(d.size / d.sectorSize, 1);
    t.fails = true;
    t.failLba = first;
    t.endNs = nowNs + static_cast<std::int64_t>(static_cast<long double>(durationNs) *
                                                static_cast<long double>(first) /
                                                static_cast<long double>(sectors));
  }
  return t;
}

}  // namespace

// Brings the drive's self-test up to the machine's time `nowNs`.
void AdvanceSelfTest(SimDisk& d, std::int64_t nowNs) {
  SimSelfTest& t = d.selfTest;
  if (!t.running) return;
  if (nowNs >= t.endNs) {
    if (t.fails) {
      // Status 7: the read element failed, at the first unreadable sector.
      EndSelfTest(d, static_cast<std::uint8_t>(0x70 | RemainingTenths(t, t.endNs)),
                  static_cast<std::uint32_t>(std::min<std::uint64_t>(t.failLba, kNoLba - 1)),
                  t.endNs);
    } else {
      EndSelfTest(d, 0x00, kNoLba, t.endNs);
    }
  } else {
    SetSelfTestStatus(*d.capture, static_cast<std::uint8_t>(0xF0 | RemainingTenths(t, nowNs)));
  }
}

// A capture taken while a self-test ran (status 15) goes on with it: an
// extended test with as much left to run as the status byte shows.
void ResumeCapturedSelfTest(SimDisk& d) {
  if (!d.capture || !d.capture->hasSmartData) return;
  const std::uint8_t status = d.capture->smartData[363];
  if ((status >> 4) != 15) return;
  SimSelfTest& t = d.selfTest;
  t.running = true;
  t.type = 2;
  t.durationNs = std::max(TestMinutes(*d.capture, 2), 1) * kNsPerMinute;
  t.startNs = -t.durationNs * (10 - std::min(status & 0x0F, 10)) / 10;
  t.endNs = t.startNs + t.durationNs;
}

// SMART EXECUTE OFF-LINE IMMEDIATE with sub-command `sub`: false when the
// drive aborts the command. Short, extended and conveyance tests in off-line
// mode run as the SMART data's capability byte allows, taking the polling
// times it recommends; abort stops a running test. A new test ends the
// running one as aborted by the host.
bool ExecuteOffline(SimDisk& d, std::uint8_t sub, std::int64_t nowNs) {
  AtaCapture& cap = *d.capture;
  SimSelfTest& t = d.selfTest;
  auto abortRunning = [&] {
    if (t.running)
      EndSelfTest(d, static_cast<std::uint8_t>(0x10 | RemainingTenths(t, nowNs)), kNoLba, nowNs);
  };
  if (sub == 127) {
    abortRunning();
    return true;
  }
  const int minutes = TestMinutes(cap, sub);
  if (minutes < 0) return false;
  abortRunning();
  t = StartedSelfTest(d, sub, sub == 2, std::max(minutes, 1) * kNsPerMinute, nowNs);
  SetSelfTestStatus(cap, static_cast<std::uint8_t>(0xF0 | RemainingTenths(t, nowNs)));
  return true;
}

// --- The NVMe controller's self-tests ----------------------------------------

namespace {

// The controller's power-on hours: its health log's, plus the hours the
// machine has run.
std::uint64_t NvmePowerOnHours(const SimNvme& n, std::int64_t nowNs) {
  std::uint64_t hours = 0;
  for (int i = 7; i >= 0; --i) hours = hours << 8 | n.smartLog[128 + static_cast<std::size_t>(i)];
  return hours + static_cast<std::uint64_t>(std::max<std::int64_t>(nowNs, 0) / kNsPerHour);
}

// Ends the running test with `result` (and, for a failed media check, the
// failing LBA of namespace 1): its result goes to the top of the log, the
// older ones move down and the oldest of 20 drops out.
void EndNvmeSelfTest(SimNvme& n, std::uint8_t result, std::int64_t atNs,
                     std::optional<std::uint64_t> failingLba) {
  std::array<std::uint8_t, 564>& log = n.selfTestLog;
  std::memmove(log.data() + 4 + 28, log.data() + 4, 19 * 28);
  std::uint8_t* r = log.data() + 4;
  std::memset(r, 0, 28);
  r[0] = static_cast<std::uint8_t>(n.test.type << 4 | result);
  const std::uint64_t hours = NvmePowerOnHours(n, atNs);
  for (int i = 0; i < 8; ++i) r[4 + i] = static_cast<std::uint8_t>(hours >> (8 * i));
  if (failingLba) {
    r[1] = 7;     // segment 7: the media check
    r[2] = 0x0F;  // namespace, LBA, status code type and status code valid
    r[12] = 1;    // namespace 1
    for (int i = 0; i < 8; ++i) r[16 + i] = static_cast<std::uint8_t>(*failingLba >> (8 * i));
    r[24] = 0x02;  // media and data integrity error
    r[25] = 0x81;  // unrecovered read error
  }
  log[0] = 0;
  log[1] = 0;
  n.test.running = false;
}

}  // namespace

// Brings the controller's self-test up to the machine's time `nowNs`.
void AdvanceNvmeSelfTest(SimNvme& n, std::int64_t nowNs) {
  SimSelfTest& t = n.test;
  if (!t.running) return;
  if (nowNs >= t.endNs) {
    if (t.fails) {
      EndNvmeSelfTest(n, 7, t.endNs, t.failLba);
    } else {
      EndNvmeSelfTest(n, 0, t.endNs, std::nullopt);
    }
    return;
  }
  n.selfTestLog[0] = t.type;
  const std::int64_t done = t.durationNs > 0 ? (nowNs - t.startNs) * 100 / t.durationNs : 0;
  n.selfTestLog[1] = static_cast<std::uint8_t>(std::clamp<std::int64_t>(done, 0, 99));
}

// Device Self-test with self-test code `code`: the status the controller
// completes it with (0 when it runs). A test while another runs is refused;
// abort ends the running one.
std::uint16_t StartNvmeSelfTest(SimDisk& d, std::uint8_t code, std::int64_t nowNs) {
  SimNvme& n = *d.nvme;
  SimSelfTest& t = n.test;
  if (!n.selfTests) return 0x0001;  // Invalid Command Opcode
  if (code == 0xF) {
    if (t.running) EndNvmeSelfTest(n, 1, nowNs, std::nullopt);
    return 0;
  }
  if (code != 1 && code != 2) return 0x0002;  // Invalid Field in Command
  if (t.running) return 0x011D;               // Device Self-test in Progress
  t = StartedSelfTest(d, code, code == 2, code == 1 ? n.shortNs : n.extendedNs, nowNs);
  AdvanceNvmeSelfTest(n, nowNs);
  return 0;
}

}  // namespace dt::sim

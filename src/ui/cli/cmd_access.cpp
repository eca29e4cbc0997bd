// disktest-cli access: the random access test. Reads of a few sizes at
// random places, each timed; a table of reads per second, throughput and
// latency per size, the same as JSON, and the scatter of every read's
// latency against its place as a PNG.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <random>

#include "access/access_scatter.h"
#include "access/random_access_run.h"
#include "base/text.h"
#include "device/drive_ref.h"
#include "platform/platform.h"
#include "speedtest/read_speed_run.h"
#include "ui/cli/cli.h"
#include "ui/cli/output.h"
#include "ui/cli/png_writer.h"

namespace dt::cli {

namespace {

struct AccessOptions {
  std::string device;
  std::string sizes = "512,4k,64k,1m";
  std::uint32_t qd = 1;
  std::optional<double> seconds;
  std::optional<std::uint64_t> count;
  std::string range;
  std::optional<std::uint64_t> seed;
  std::string json;
  std::string plot;
};


// The reads kept per size for the scatter.
constexpr std::size_t kPlotSamples = 1000000;
constexpr int kPlotWidth = 1000, kPlotHeight = 600;
constexpr int kAccessJsonSchemaVersion = 1;

std::string Fixed(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

std::string Pad(const std::string& s, std::size_t width) {
  return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

double Us(double ns) { return ns / 1000.0; }

// A place given as bytes or as a per cent of the disk ("25%").
bool ParsePlace(const std::string& text, std::int64_t diskSize, std::int64_t* out) {
  if (text.empty()) return false;
  try {
    std::size_t used = 0;
    if (text.back() == '%') {
      const double p = std::stod(text.substr(0, text.size() - 1), &used);
      if (used != text.size() - 1 || p < 0 || p > 100) return false;
      *out = static_cast<std::int64_t>(p / 100.0 * static_cast<double>(diskSize));
      return true;
    }
    const long long v = std::stoll(text, &used);
    if (used != text.size() || v < 0) return false;
    *out = v;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

class CliAccessProgress : public AccessProgress {
 public:
  CliAccessProgress(std::ostream& text, bool terminal, const InterruptGuard& interrupt,
                    RandomAccessRun& run, const std::vector<std::uint32_t>& sizes)
      : text_(text), terminal_(terminal), interrupt_(interrupt), run_(run), sizes_(sizes) {}
  void OnProgress(std::size_t index, std::uint64_t reads, double fraction) override {
    if (interrupt_.Interrupted()) run_.Stop();
    if (!terminal_) return;
    text_ << "\r" << AccessSizeText(sizes_[index]) << ": " << reads << " reads ("
          << Fixed(fraction * 100.0, 0) << "%)     ";
    text_.flush();
    shown_ = true;
  }
  void EndLine() {
    if (shown_) text_ << "\r" << std::string(40, ' ') << "\r";
    shown_ = false;
  }

 private:
  std::ostream& text_;
  bool terminal_;
  const InterruptGuard& interrupt_;
  RandomAccessRun& run_;
  const std::vector<std::uint32_t>& sizes_;
  bool shown_ = false;
};

void PrintTable(std::ostream& out, const AccessSettings& s, const AccessResult& r) {
  out << (r.stopped ? "Stopped" : "Finished") << ": random access on " << s.path << "\n";
  out << "  Range " << r.rangeStart << " - " << r.rangeEnd << " of " << r.diskSize
      << " bytes, queue depth " << s.depth << " (" << r.engine << "), seed " << s.seed << "\n";
  out << "      Size      Reads        IOPS        MB/s   Min (us)  Mean (us)   p50 (us)   p90 "
         "(us)   p99 (us) p99.9 (us)   Max (us)  Errors\n";
  for (const AccessSizeResult& z : r.sizes) {
    const LatencyHistogram& h = z.latency;
    out << Pad(AccessSizeText(z.size), 10) << Pad(std::to_string(z.count), 11)
        << Pad(Fixed(z.Iops(), 1), 12) << Pad(Fixed(z.BytesPerSecond() / 1e6, 2), 12);
    for (const double ns : {static_cast<double>(h.Min()), h.Mean(),
                            static_cast<double>(h.Percentile(50)),
                            static_cast<double>(h.Percentile(90)),
                            static_cast<double>(h.Percentile(99)),
                            static_cast<double>(h.Percentile(99.9)), static_cast<double>(h.Max())})
      out << Pad(Fixed(Us(ns), 1), 11);
    out << Pad(std::to_string(z.errors), 8) << "\n";
  }
  // The figure hard disks are compared by: the mean time of the smallest
  // reads, one at a time.
  if (s.depth == 1 && !r.sizes.empty() && r.sizes[0].count > 0)
    out << "  Average access time (" << AccessSizeText(r.sizes[0].size)
        << " reads): " << Fixed(r.sizes[0].latency.Mean() / 1e6, 2) << " ms\n";
  if (!r.errors.empty()) {
    out << "  Read errors:\n";
    for (const AccessError& e : r.errors)
      out << "    at " << e.position << " size " << e.size << ": "
          << (e.code ? SystemErrorText(e.code) : std::string("short read")) << "\n";
  }
}

nlohmann::ordered_json AccessJson(const AccessSettings& s, const AccessResult& r,
                                  std::chrono::system_clock::time_point startedAt) {
  using Json = nlohmann::ordered_json;
  Json j;
  j["schema_version"] = kAccessJsonSchemaVersion;
  j["device"] = s.path;
  j["disk_bytes"] = r.diskSize;
  j["started_at"] = IsoTimeUtc(startedAt);
  j["engine"] = r.engine;
  j["stopped"] = r.stopped;
  Json& set = j["settings"];
  set["sizes"] = s.sizes;
  set["qd"] = s.depth;
  set["seconds"] = s.seconds > 0 ? Json(s.seconds) : Json(nullptr);
  set["count"] = s.count ? Json(s.count) : Json(nullptr);
  set["range"] = {{"start_bytes", r.rangeStart}, {"end_bytes", r.rangeEnd}};
  set["seed"] = s.seed;
  Json& results = j["results"] = Json::array();
  for (const AccessSizeResult& z : r.sizes) {
    const LatencyHistogram& h = z.latency;
    Json o;
    o["size_bytes"] = z.size;
    o["count"] = z.count;
    o["errors"] = z.errors;
    o["elapsed_seconds"] = static_cast<double>(z.elapsedNs) / 1e9;
    o["iops"] = z.Iops();
    o["bytes_per_second"] = z.BytesPerSecond();
    o["latency_us"] = {{"min", Us(static_cast<double>(h.Min()))},
                       {"mean", Us(h.Mean())},
                       {"p50", Us(static_cast<double>(h.Percentile(50)))},
                       {"p90", Us(static_cast<double>(h.Percentile(90)))},
                       {"p99", Us(static_cast<double>(h.Percentile(99)))},
                       {"p999", Us(static_cast<double>(h.Percentile(99.9)))},
                       {"max", Us(static_cast<double>(h.Max()))}};
    results.push_back(std::move(o));
  }
  Json& errors = j["read_errors"] = Json::array();
  for (const AccessError& e : r.errors)
    errors.push_back({{"position_bytes", e.position},
                      {"size_bytes", e.size},
                      {"code", e.code},
                      {"text", e.code ? SystemErrorText(e.code) : std::string("short read")}});
  return j;
}

bool WriteScatterPng(OutputFile* file, const ScatterImage& img) {
  std::FILE* f = file->f;
  file->f = nullptr;
  return WriteRgbPng(f, img.width, img.height, img.rgb.data(),
                     static_cast<std::size_t>(img.width) * 3);
}

int RunAccess(const AccessOptions& o, std::ostream& out, std::ostream& err) {
  AccessSettings s;
  const DriveRef ref = ResolveDrive(o.device);
  if (ref.kind == DriveRef::Kind::None) {
    return NotADrive(o.device, err);
  }
  // A file keeps the path as given; a disk of the lists opens by its path.
  s.path = ref.kind == DriveRef::Kind::File ? o.device : ref.path;
  if (s.path.empty()) {
    err << "disktest-cli: there is no physical disk " << o.device << " (see disktest-cli list)\n";
    return kExitUsage;
  }
  s.sizes.clear();
  std::size_t at = 0;
  while (at <= o.sizes.size()) {
    const std::size_t comma = std::min(o.sizes.find(',', at), o.sizes.size());
    const std::string one = o.sizes.substr(at, comma - at);
    const std::uint64_t v = ParseAccessSize(one);
    if (v == 0 || v % 512 != 0) {
      err << "disktest-cli: --sizes: \"" << one
          << "\" is no request size (a multiple of 512 bytes up to 64m, as 512, 4k or 1m)\n";
      return kExitUsage;
    }
    s.sizes.push_back(static_cast<std::uint32_t>(v));
    at = comma + 1;
  }
  s.depth = o.qd;
  s.seconds = o.seconds.value_or(o.count ? 0.0 : 5.0);
  s.count = o.count.value_or(0);
  s.seed = o.seed ? *o.seed : (static_cast<std::uint64_t>(std::random_device{}()) << 32 |
                               std::random_device{}());
  s.keepSamples = o.plot.empty() ? 0 : kPlotSamples;
  if (!o.range.empty()) {
    const std::int64_t size = PathDiskSize(s.path);
    const std::size_t dash = o.range.find('-', 1);
    if (size < 0 || dash == std::string::npos ||
        !ParsePlace(o.range.substr(0, dash), size, &s.rangeStart) ||
        !ParsePlace(o.range.substr(dash + 1), size, &s.rangeEnd)) {
      err << "disktest-cli: --range: \"" << o.range
          << "\" is no range: give FIRST-LAST in bytes or per cent (0-1048575, 50%-100%)\n";
      return kExitUsage;
    }
    // A per cent at the end means up to that place: its last byte is the one before.
    if (o.range.back() == '%' && s.rangeEnd > 0) s.rangeEnd -= 1;
  }

  const std::string& diskPath = s.path;
  const bool jsonToStdout = o.json == kStdoutName;
  OutputFile json, png;
  if ((!o.json.empty() && !jsonToStdout && !OpenOutput("--json", o.json, diskPath, &json, err)) ||
      (!o.plot.empty() && !OpenOutput("--plot", o.plot, diskPath, &png, err)))
    return kExitUsage;
  std::ostream& text = jsonToStdout ? err : out;

  RandomAccessRun run;
  const InterruptGuard interrupt;
  CliAccessProgress progress(text, IsTerminal(1) && text.rdbuf() == std::cout.rdbuf(), interrupt,
                             run, s.sizes);
  AccessResult r;
  std::string failure;
  const auto startedAt = std::chrono::system_clock::now();
  if (!run.Run(s, &r, &failure, &progress)) {
    err << "disktest-cli: " << failure << "\n";
    return kExitFailure;
  }
  progress.EndLine();
  PrintTable(text, s, r);
  int code = kExitOk;
  if (r.stopped || !r.errors.empty()) code = kExitFailure;
  if (!o.json.empty()) {
    const std::string doc = AccessJson(s, r, startedAt).dump(2) + "\n";
    if (jsonToStdout) {
      out << doc;
      out.flush();
    } else if (!WriteAndClose(&json, doc)) {
      err << "disktest-cli: cannot write " << o.json << "\n";
      code = kExitFailure;
    }
  }
  if (!o.plot.empty() && !WriteScatterPng(&png, DrawAccessScatter(r, kPlotWidth, kPlotHeight))) {
    if (PngSupported())
      err << "disktest-cli: cannot write " << o.plot << "\n";
    else
      err << "disktest-cli: this build has no PNG support; " << o.plot << " was not written\n";
    code = kExitFailure;
  }
  return code;
}

}  // namespace

void AddAccessCommand(CLI::App& root, std::vector<Command>& commands) {
  // The options live as long as the run function that reads them.
  const auto options = std::make_shared<AccessOptions>();
  AccessOptions& o = *options;
  CLI::App* app = root.add_subcommand(
      "access",
      "Random access test: time reads of a few sizes at random places (access time and IOPS)");
  app->add_option("DEVICE", o.device, "A disk number of `list`, a device path or a regular file")
      ->required();
  app->add_option("--sizes", o.sizes, "Request sizes, a comma-separated list (512,4k,64k,1m)")
      ->option_text("LIST");
  app->add_option("--qd", o.qd, "Queue depth: reads under way at once (1)")
      ->check(CLI::Range(1u, kMaxAccessDepth))
      ->option_text("N");
  app->add_option("--seconds", o.seconds, "Time per size (5; with --count, whichever ends first)")
      ->check(CLI::PositiveNumber)
      ->option_text("S");
  app->add_option("--count", o.count, "Reads per size (without --seconds, no time limit)")
      ->check(CLI::Range(std::uint64_t{1}, std::uint64_t{1} << 40))
      ->option_text("N");
  app->add_option("--range", o.range,
                  "Read only within the bytes FIRST to LAST (both included), or per cents of the "
                  "disk (0%-50%); the whole disk by default")
      ->option_text("A-B");
  app->add_option("--seed", o.seed,
                  "Seed of the random places; the same seed reads the same places (printed)")
      ->option_text("X");
  app->add_option("--json", o.json,
                  "Write the settings and the results as JSON to FILE (keys in README.md); with - "
                  "to standard output, and the table to standard error")
      ->option_text("FILE|-");
  app->add_option("--plot", o.plot,
                  "Save every read's latency (log scale, upwards) against its place as a PNG")
      ->option_text("PNG");
  commands.push_back({app, [options](std::ostream& out, std::ostream& err) {
                        return RunAccess(*options, out, err);
                      }});
}

}  // namespace dt::cli

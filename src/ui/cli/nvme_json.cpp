#include "ui/cli/nvme_json.h"

namespace dt::cli {

namespace {

using Json = nlohmann::ordered_json;

Json Celsius(std::uint16_t kelvin) {
  const auto c = KelvinToCelsius(kelvin);
  return c ? Json(*c) : Json(nullptr);
}

}  // namespace

Json CounterJson(Uint128 v) {
  return v.FitsIn64() ? Json(v.lo) : Json(ToDecimal(v));
}

Json NvmeSelfTestLogJson(const NvmeSelfTestLog& log) {
  auto orNull = [](const auto& v) { return v ? Json(*v) : Json(nullptr); };
  Json j;
  j["current_operation"] = log.currentOperation;
  j["running"] = log.Running();
  j["completion_percent"] = log.Running() ? Json(log.completionPercent) : Json(nullptr);
  j["entries"] = Json::array();
  for (const NvmeSelfTestEntry& e : log.entries) {
    Json o;
    o["number"] = e.number;
    o["type"] = e.code;
    o["type_text"] = NvmeSelfTestCodeText(e.code);
    o["result"] = e.result;
    o["result_text"] = NvmeSelfTestResultText(e.result);
    o["segment"] = e.segment ? Json(e.segment) : Json(nullptr);
    o["power_on_hours"] = e.powerOnHours;
    o["nsid"] = orNull(e.nsid);
    o["failing_lba"] = orNull(e.failingLba);
    o["status_code_type"] = orNull(e.statusCodeType);
    o["status_code"] = orNull(e.statusCode);
    o["failed"] = e.failed;
    j["entries"].push_back(o);
  }
  return j;
}

Json NvmeJson(const NvmeHealthData& d) {
  const NvmeController& c = d.controller;
  const NvmeSmartLog& l = d.log;
  Json j;
  j["model"] = c.model;
  j["serial"] = c.serial;
  j["firmware"] = c.firmware;
  j["pci_vendor_id"] = c.vendorId;
  j["pci_subsystem_vendor_id"] = c.subsystemVendorId;
  j["ieee_oui"] = c.ieeeOui;
  j["controller_id"] = c.controllerId;
  j["version"] = NvmeVersionText(c.version);
  j["number_of_namespaces"] = c.namespaces;
  j["total_nvm_capacity"] = CounterJson(c.totalCapacity);
  j["unallocated_nvm_capacity"] = CounterJson(c.unallocatedCapacity);
  j["error_log_page_entries"] = c.errorLogEntries;
  j["log_page_attributes"] = c.logPageAttributes;
  j["warning_temp_threshold_c"] = Celsius(c.warningTempK);
  j["critical_temp_threshold_c"] = Celsius(c.criticalTempK);
  if (d.ns) {
    j["namespace"] = {{"id", d.ns->id},
                      {"size_blocks", d.ns->sizeBlocks},
                      {"capacity_blocks", d.ns->capacityBlocks},
                      {"utilization_blocks", d.ns->utilizationBlocks},
                      {"block_size", d.ns->blockSize}};
  } else {
    j["namespace"] = nullptr;
  }
  j["critical_warning"] = l.criticalWarning;
  Json bits = Json::object();
  for (int bit = 0; bit < kNvmeCriticalWarningBits; ++bit)
    bits[NvmeCriticalWarningKey(bit)] = (l.criticalWarning & (1u << bit)) != 0;
  j["critical_warning_bits"] = bits;
  j["temperature_c"] = Celsius(l.temperatureK);
  j["temperature_sensors_c"] = Json::array();
  for (const std::uint16_t k : l.sensorK) j["temperature_sensors_c"].push_back(Celsius(k));
  j["available_spare"] = l.availableSpare;
  j["available_spare_threshold"] = l.availableSpareThreshold;
  j["percentage_used"] = l.percentageUsed;
  j["endurance_group_critical_warning"] = l.enduranceGroupWarning;
  j["data_units_read"] = CounterJson(l.dataUnitsRead);
  j["data_units_written"] = CounterJson(l.dataUnitsWritten);
  j["host_read_commands"] = CounterJson(l.hostReadCommands);
  j["host_write_commands"] = CounterJson(l.hostWriteCommands);
  j["controller_busy_time"] = CounterJson(l.controllerBusyTime);
  j["power_cycles"] = CounterJson(l.powerCycles);
  j["power_on_hours"] = CounterJson(l.powerOnHours);
  j["unsafe_shutdowns"] = CounterJson(l.unsafeShutdowns);
  j["media_errors"] = CounterJson(l.mediaErrors);
  j["num_err_log_entries"] = CounterJson(l.errorLogEntries);
  j["warning_temp_time"] = l.warningTempTime;
  j["critical_comp_time"] = l.criticalTempTime;
  j["thermal_temp1_transition_count"] = l.thermal1Transitions;
  j["thermal_temp2_transition_count"] = l.thermal2Transitions;
  j["thermal_temp1_total_time"] = l.thermal1Time;
  j["thermal_temp2_total_time"] = l.thermal2Time;
  j["error_log_entries"] = d.errorLogEntries ? Json(*d.errorLogEntries) : Json(nullptr);
  j["self_test_supported"] = c.SelfTestSupported();
  j["extended_self_test_minutes"] = c.extendedSelfTestMinutes;
  j["self_test_log"] = d.selfTestLog ? NvmeSelfTestLogJson(*d.selfTestLog) : Json(nullptr);
  return j;
}

}  // namespace dt::cli

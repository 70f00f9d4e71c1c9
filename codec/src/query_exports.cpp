// The exported query builders and parsers: each names its exchange and hands its numbers on.
#include "reply_parsers.h"
#include "request_builder.h"
#include "wirelex.h"

using wirelex::buildRequest;
using wirelex::ExchangeId;
using wirelex::parseQueryValue;

namespace {

int32_t buildQuery(ExchangeId id, const int32_t* addresses, char* line, int32_t* lineLength) {
  return buildRequest(id, {addresses, 0, 0}, line, lineLength);
}

}  // namespace

extern "C" {

int32_t FillQueryFirmware(int32_t address1, char* line, int32_t* lineLength) {
  const int32_t addresses[] = {address1};
  return buildQuery(ExchangeId::kQueryFirmware, addresses, line, lineLength);
}

int32_t FillQueryLEDState(int32_t address1, int32_t address2, int32_t address3, char* line,
                          int32_t* lineLength) {
  const int32_t addresses[] = {address1, address2, address3};
  return buildQuery(ExchangeId::kQueryLedState, addresses, line, lineLength);
}

int32_t FillQueryModuleLoadLevel(int32_t address1, int32_t address2, int32_t address3,
                                 int32_t address4, char* line, int32_t* lineLength) {
  const int32_t addresses[] = {address1, address2, address3, address4};
  return buildQuery(ExchangeId::kQueryModuleLoadLevel, addresses, line, lineLength);
}

int32_t FillQueryStationLoadLevel(int32_t address1, int32_t address2, int32_t address3, char* line,
                                  int32_t* lineLength) {
  const int32_t addresses[] = {address1, address2, address3};
  return buildQuery(ExchangeId::kQueryStationLoadLevel, addresses, line, lineLength);
}

int32_t FillQueryContactorLoadLevel(int32_t address1, char* line, int32_t* lineLength) {
  const int32_t addresses[] = {address1};
  return buildQuery(ExchangeId::kQueryContactorLoadLevel, addresses, line, lineLength);
}

int32_t FillQueryThermostat(int32_t address1, int32_t address2, int32_t address3, char* line,
                            int32_t* lineLength) {
  const int32_t addresses[] = {address1, address2, address3};
  return buildQuery(ExchangeId::kQueryThermostat, addresses, line, lineLength);
}

int32_t FillQuerySwitch(int32_t address1, int32_t address2, int32_t address3, char* line,
                        int32_t* lineLength) {
  const int32_t addresses[] = {address1, address2, address3};
  return buildQuery(ExchangeId::kQuerySwitch, addresses, line, lineLength);
}

bool ParseFirmware(const char* reply, FirmwareInfo* out) {
  return wirelex::parseFirmware(reply, out);
}

bool ParseLEDState(const char* reply, int32_t* out) {
  return parseQueryValue(ExchangeId::kQueryLedState, reply, out);
}

bool ParseModuleLoadLevel(const char* reply, int32_t* out) {
  return parseQueryValue(ExchangeId::kQueryModuleLoadLevel, reply, out);
}

bool ParseStationLoadLevel(const char* reply, int32_t* out) {
  return parseQueryValue(ExchangeId::kQueryStationLoadLevel, reply, out);
}

bool ParseContactorLoadLevel(const char* reply, int32_t* out) {
  return parseQueryValue(ExchangeId::kQueryContactorLoadLevel, reply, out);
}

bool ParseThermostat(const char* reply, int32_t* out) {
  return parseQueryValue(ExchangeId::kQueryThermostat, reply, out);
}

bool ParseSwitch(const char* reply, int32_t* out) {
  return parseQueryValue(ExchangeId::kQuerySwitch, reply, out);
}

}  // extern "C"

// The exported set builders and acknowledgement parsers: each names its exchange and hands its
// numbers on.
#include "reply_parsers.h"
#include "request_builder.h"
#include "wirelex.h"

using wirelex::buildRequest;
using wirelex::ExchangeId;
using wirelex::parseAcknowledgement;

extern "C" {

int32_t FillSetLEDState(int32_t address1, int32_t address2, int32_t address3, int32_t setValue,
                        char* line, int32_t* lineLength) {
  const int32_t addresses[] = {address1, address2, address3};
  return buildRequest(ExchangeId::kSetLedState, {addresses, setValue, 0}, line, lineLength);
}

int32_t FillSetModuleLoadLevel(int32_t address1, int32_t address2, int32_t address3,
                               int32_t address4, int32_t setValue, int32_t modifier, char* line,
                               int32_t* lineLength) {
  const int32_t addresses[] = {address1, address2, address3, address4};
  return buildRequest(ExchangeId::kSetModuleLoadLevel, {addresses, setValue, modifier}, line,
                      lineLength);
}

int32_t FillSetStationLoadLevel(int32_t address1, int32_t address2, int32_t address3,
                                int32_t setValue, int32_t modifier, char* line,
                                int32_t* lineLength) {
  const int32_t addresses[] = {address1, address2, address3};
  return buildRequest(ExchangeId::kSetStationLoadLevel, {addresses, setValue, modifier}, line,
                      lineLength);
}

int32_t FillSetContactorLoadLevel(int32_t address1, int32_t setValue, int32_t modifier, char* line,
                                  int32_t* lineLength) {
  const int32_t addresses[] = {address1};
  return buildRequest(ExchangeId::kSetContactorLoadLevel, {addresses, setValue, modifier}, line,
                      lineLength);
}

int32_t FillSetThermostat(int32_t address1, int32_t address2, int32_t address3, int32_t setValue,
                          char* line, int32_t* lineLength) {
  const int32_t addresses[] = {address1, address2, address3};
  return buildRequest(ExchangeId::kSetThermostat, {addresses, setValue, 0}, line, lineLength);
}

int32_t FillSetSwitch(int32_t address1, int32_t address2, int32_t address3, int32_t setValue,
                      char* line, int32_t* lineLength) {
  const int32_t addresses[] = {address1, address2, address3};
  return buildRequest(ExchangeId::kSetSwitch, {addresses, setValue, 0}, line, lineLength);
}

int32_t FillSetModuleLoadProfile(int32_t address1, int32_t address2, int32_t address3,
                                 int32_t address4, int32_t setValue, char* line,
                                 int32_t* lineLength) {
  const int32_t addresses[] = {address1, address2, address3, address4};
  return buildRequest(ExchangeId::kSetModuleLoadProfile, {addresses, setValue, 0}, line,
                      lineLength);
}

int32_t FillSetStationLoadProfile(int32_t address1, int32_t address2, int32_t address3,
                                  int32_t setValue, char* line, int32_t* lineLength) {
  const int32_t addresses[] = {address1, address2, address3};
  return buildRequest(ExchangeId::kSetStationLoadProfile, {addresses, setValue, 0}, line,
                      lineLength);
}

bool ParseSetLEDState(const char* reply, int32_t expected) {
  return parseAcknowledgement(ExchangeId::kSetLedState, reply, expected);
}

bool ParseSetModuleLoadLevel(const char* reply, int32_t expected) {
  return parseAcknowledgement(ExchangeId::kSetModuleLoadLevel, reply, expected);
}

bool ParseSetStationLoadLevel(const char* reply, int32_t expected) {
  return parseAcknowledgement(ExchangeId::kSetStationLoadLevel, reply, expected);
}

bool ParseSetContactorLoadLevel(const char* reply, int32_t expected) {
  return parseAcknowledgement(ExchangeId::kSetContactorLoadLevel, reply, expected);
}

bool ParseSetThermostat(const char* reply, int32_t expected) {
  return parseAcknowledgement(ExchangeId::kSetThermostat, reply, expected);
}

bool ParseSetSwitch(const char* reply, int32_t expected) {
  return parseAcknowledgement(ExchangeId::kSetSwitch, reply, expected);
}

bool ParseSetModuleLoadProfile(const char* reply, int32_t expected) {
  return parseAcknowledgement(ExchangeId::kSetModuleLoadProfile, reply, expected);
}

bool ParseSetStationLoadProfile(const char* reply, int32_t expected) {
  return parseAcknowledgement(ExchangeId::kSetStationLoadProfile, reply, expected);
}

}  // extern "C"

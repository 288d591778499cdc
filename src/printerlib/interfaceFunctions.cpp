#include "printerlib/interfaceFunctions.h"

namespace tavlo::printerlib {

long interfaceFunctions::recv(uint8_t*, long, float) { return 0; }

long interfaceFunctions::recv(uint8_t*, long, float, long) { return 0; }

bool interfaceFunctions::connect(const std::string&, const std::string&, uint16_t, bool) { return false; }

void interfaceFunctions::disconnectWithTimeout(long, unsigned) { disconnect(true); }

void interfaceFunctions::disconnect(bool) {}

bool interfaceFunctions::isConnected() { return false; }

long interfaceFunctions::send(const uint8_t*, long) { return 0; }

long interfaceFunctions::send(const uint8_t* bytes, long size, bool) { return send(bytes, size); }

} // namespace tavlo::printerlib

#pragma once
// The serial devices present on the machine, as Open Device offers them: USB CDC ports (ttyACM*),
// USB serial adapters (ttyUSB*), UARTs (ttyS*) that answer a status request (most of the ttyS names
// a kernel creates have no port behind them), and the stable names under serial/by-id.

#include <string>
#include <vector>

struct SerialDevice {
    std::string path;
    // For a stable name, the device it points to ("/dev/ttyACM0"); empty otherwise.
    std::string target;
};

// The devices under folder (normally "/dev"): the tty names in natural order (ttyACM2 before
// ttyACM10), then the stable names in alphabetical order.
std::vector<SerialDevice> listSerialDevices(const std::string& folder);

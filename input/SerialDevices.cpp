#include "input/SerialDevices.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "model/FreeWith.h"

namespace {

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
    }
    closedir(dir);
    return names;
}

bool isCharacterDevice(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

// A UART that is really there answers for its modem lines or its settings; opening it does not wait
// for a carrier and does not make it the controlling terminal.
bool answersStatusRequest(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    int lines = 0;
    termios settings{};
    const bool answers = ioctl(fd, TIOCMGET, &lines) == 0 || tcgetattr(fd, &settings) == 0;
    close(fd);
    return answers;
}

// "ttyACM" followed by digits gives ("ttyACM", number); the natural order sorts by both.
bool naturalLess(const std::string& a, const std::string& b) {
    const auto split = [](const std::string& name) {
        std::size_t digits = name.size();
        while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1]))) --digits;
        return std::make_pair(name.substr(0, digits), std::strtoul(name.c_str() + digits, nullptr, 10));
    };
    return split(a) < split(b);
}

bool hasNumberAfter(const std::string& name, const char* prefix) {
    const std::size_t length = std::strlen(prefix);
    return name.size() > length && name.compare(0, length, prefix) == 0 &&
           std::all_of(name.begin() + static_cast<std::ptrdiff_t>(length), name.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

}  // namespace

std::vector<SerialDevice> listSerialDevices(const std::string& folder) {
    std::vector<std::string> ttys;
    for (const std::string& name : namesIn(folder)) {
        const std::string path = folder + "/" + name;
        const bool usb = hasNumberAfter(name, "ttyACM") || hasNumberAfter(name, "ttyUSB");
        if (usb && isCharacterDevice(path)) ttys.push_back(name);
        if (hasNumberAfter(name, "ttyS") && isCharacterDevice(path) && answersStatusRequest(path))
            ttys.push_back(name);
    }
    std::sort(ttys.begin(), ttys.end(), naturalLess);
    std::vector<SerialDevice> devices;
    for (const std::string& name : ttys) devices.push_back({folder + "/" + name, {}});

    const std::string byId = folder + "/serial/by-id";
    std::vector<std::string> stable = namesIn(byId);
    std::sort(stable.begin(), stable.end());
    for (const std::string& name : stable) {
        const std::string path = byId + "/" + name;
        if (!isCharacterDevice(path)) continue;
        // The links are relative ("../../ttyACM0"); the target is shown by its real name.
        const std::unique_ptr<char, FreeWith<std::free>> target{realpath(path.c_str(), nullptr)};
        devices.push_back({path, target ? target.get() : std::string()});
    }
    return devices;
}

#pragma once
// What the command line asks start-up to do besides setting up the plot.

#include <string>

struct StartupOptions {
    const char* inputName = nullptr;
    const char* backupName = nullptr;
    bool append = false;
    unsigned long serialSpeed = 0;  // 0 = none given
    // A configuration file named by -c that could not be loaded, reported once the window is up.
    const char* failedConfigFile = nullptr;
};

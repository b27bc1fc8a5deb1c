#pragma once
// The process-wide settings that tests change (the display mode of new plots, shortening titles to
// file names, the beep), kept when the guard is made and put back when it goes, whatever the test
// did in between.

#include "model/PlotModel.h"

struct ProcessSettingsGuard {
    bool independentDisplays = defaultIndependentDisplays;
    bool pruning = directoryPruning;
    BeepFunction beep = beepFunction;

    ProcessSettingsGuard() = default;
    ProcessSettingsGuard(const ProcessSettingsGuard&) = delete;
    ProcessSettingsGuard& operator=(const ProcessSettingsGuard&) = delete;
    ~ProcessSettingsGuard() {
        defaultIndependentDisplays = independentDisplays;
        directoryPruning = pruning;
        beepFunction = beep;
    }
};

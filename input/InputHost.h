#pragma once
// What an open input needs from the program around it: the plot its lines go into, the window that
// parents its dialogs and names its source in the title, the plotting area whose draws pace the
// reading, and a way to bring the widgets in line after the lines changed the plot.

#include "model/PlotModel.h"

typedef struct _GtkWidget GtkWidget;

class InputHost {
  public:
    virtual PlotModel& plotModel() = 0;
    // The main window; null before it is built and after it is gone.
    virtual GtkWidget* window() const = 0;
    // The plotting area; null while none exists.
    virtual GtkWidget* plotArea() const = 0;
    // After lines or an option line changed the plot: the widgets follow it and the area redraws.
    virtual void refreshPlot() = 0;

  protected:
    InputHost() = default;
    InputHost(const InputHost&) = default;
    InputHost& operator=(const InputHost&) = default;
    ~InputHost() = default;
};

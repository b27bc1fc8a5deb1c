#pragma once
// What the mouse does on the plotting area, decided from plain numbers: the crosshair, reference
// lines, display weights, switching graphs on and off, and dragging graphs and displays. The drag
// state lives in the PlotModel; a drag is in progress while dragTargetDisplay is a valid display.
// Every function accepts any pointer position: rows outside all bands mean "no display".

#include "model/PlotModel.h"
#include "render/PlotLayout.h"

// Modifier and button bits of an event's state, with the values the toolkit uses.
constexpr unsigned shiftMask = 0x1;
constexpr unsigned controlMask = 0x4;
constexpr unsigned altMask = 0x8;
constexpr unsigned button1Mask = 0x100;
constexpr unsigned button3Mask = 0x400;
// Shift, Control or Alt; Caps Lock does not count as a modifier.
constexpr unsigned modifierMask = shiftMask | controlMask | altMask;

constexpr unsigned leftButton = 1;
constexpr unsigned rightButton = 3;

// One pointer event on the plotting area: a button (1 left, 3 right; ignored for motion), the
// modifier and button bits, and the position in pixels.
struct PointerEvent {
    unsigned button = 0;
    unsigned state = 0;
    double x = 0.0;
    double y = 0.0;
};

// Ends a drag at the pointer: a dragged display moves to the display under the pointer, a dragged
// graph into it. Always clears the drag state and recomputes the Y ranges.
void dropDrag(PlotModel& model, double x, double y, PlotRows rows);

// The handlers' decisions. Each returns true when it acted (the caller then redraws), false when
// the event is not one it handles.
bool pressButton(PlotModel& model, const PointerEvent& event, PlotRows rows);
bool releaseButton(PlotModel& model, const PointerEvent& event, PlotRows rows);
bool movePointer(PlotModel& model, const PointerEvent& event, PlotRows rows);

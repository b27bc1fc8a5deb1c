#include "render/Mouse.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

bool isDisplayIndex(const PlotModel& model, std::int32_t index) {
    return index >= 0 && static_cast<std::size_t>(index) < model.displays.size();
}

bool isGraphIndex(const PlotModel& model, std::int32_t index) {
    return index >= 0 && static_cast<std::size_t>(index) < model.graphs.size();
}

bool dragInProgress(const PlotModel& model) {
    return isDisplayIndex(model, model.dragTargetDisplay);
}

void resetDrag(PlotModel& model) {
    model.dragSourceDisplay = -1;
    model.dragTargetDisplay = -1;
    model.dragGraph = -1;
}

void recomputeEveryYRange(PlotModel& model) {
    for (unsigned d = 0; d < model.displays.size(); ++d) model.recomputeYRange(d);
}

// The display under a pointer inside the area (x and y not negative), or -1.
int displayUnder(const PlotModel& model, double x, double y, PlotRows rows) {
    if (!(x >= 0 && y >= 0)) return -1;
    return PlotLayout(model, rows).displayAtY(y);
}

void setCrosshair(PlotModel& model, double x, double y) {
    const bool shown = std::isfinite(x) && std::isfinite(y);
    model.crosshairX = shown ? x : -1.0;
    model.crosshairY = shown ? y : -1.0;
}

void toggleGraph(PlotModel& model, unsigned graph) {
    model.graphs[graph].enabled = !model.graphs[graph].enabled;
    model.recomputeYRange(model.effectiveDisplayOf(graph));
}

// Every graph shown in the display takes the opposite of the state the first of them had, so a
// display with mixed states becomes uniform.
void toggleDisplayGraphs(PlotModel& model, int display) {
    if (display < 0) return;
    bool first = true;
    bool enabled = false;
    for (unsigned g = 0; g < model.graphs.size(); ++g) {
        if (model.effectiveDisplayOf(g) != static_cast<unsigned>(display)) continue;
        if (first) enabled = !model.graphs[g].enabled;
        first = false;
        model.graphs[g].enabled = enabled;
    }
    recomputeEveryYRange(model);
}

// Control raises the display's weight by one, else Alt lowers it; the model keeps it within 1..99.
void changeWeight(PlotModel& model, unsigned state, int display) {
    if (display < 0) return;
    const std::uint32_t weight = model.displays[static_cast<unsigned>(display)].weight;
    if (state & controlMask) {
        model.setDisplayWeight(static_cast<unsigned>(display), weight + 1);
    } else if (state & altMask) {
        model.setDisplayWeight(static_cast<unsigned>(display), weight - 1);
    }
}

bool pressLeft(PlotModel& model, const PointerEvent& event, PlotRows rows) {
    const int graph = PlotLayout(model, rows).legendSquareAt(event.x, event.y);
    if (graph >= 0 && (event.state & modifierMask) == 0) {
        // The graph's own display, as its square is drawn there.
        const std::uint32_t display = model.graphs[static_cast<unsigned>(graph)].display;
        model.dragSourceDisplay = -1;
        model.dragTargetDisplay = display < model.displays.size() ? static_cast<std::int32_t>(display) : 0;
        model.dragGraph = graph;
        model.recomputeAllYRanges();
        return true;
    }
    // With a first point kept, Shift and a press choose the second one.
    const bool secondPoint = graph < 0 && model.anchorX >= 0 && (event.state & modifierMask) == shiftMask;
    if (!secondPoint && (event.state & (shiftMask | altMask)) && !(event.state & controlMask)) return false;
    setCrosshair(model, event.x, event.y);
    return true;
}

bool pressRight(PlotModel& model, const PointerEvent& event, PlotRows rows) {
    if (event.state & modifierMask) return false;  // the release does the work
    const int display = PlotLayout(model, rows).displayAtY(event.y);
    model.dragSourceDisplay = display;
    model.dragTargetDisplay = display;
    model.dragGraph = -1;
    model.recomputeAllYRanges();
    return true;
}

void releaseLeft(PlotModel& model, const PointerEvent& event, PlotRows rows) {
    const int graph = PlotLayout(model, rows).legendSquareAt(event.x, event.y);
    // A graph dragged or switched changes the ranges; reading values off the plot does not, and
    // keeps a range fitted to the view.
    const bool rangesChange = dragInProgress(model) || graph >= 0;
    if (graph < 0) {
        if (dragInProgress(model)) {
            dropDrag(model, event.x, event.y, rows);
        } else if (event.state & controlMask) {
            const int display = displayUnder(model, event.x, event.y, rows);
            const double value = PlotLayout(model, rows).valueAtY(event.y);
            if (display >= 0 && std::isfinite(value))
                model.addReferenceLine(static_cast<unsigned>(display), value);
        }
    } else if (dragInProgress(model) && model.dragGraph != graph) {
        dropDrag(model, event.x, event.y, rows);  // the dragged graph goes to the display under the pointer
    } else if ((event.state & shiftMask) || (model.dragGraph == graph && model.dragSourceDisplay == -1)) {
        // A click on the square, not a press-drag-release that came back to it.
        toggleGraph(model, static_cast<unsigned>(graph));
    }
    resetDrag(model);
    const bool keep = !rangesChange && (event.state & shiftMask) && model.crosshairX >= 0;
    if (keep && model.anchorX < 0) {
        // Released with Shift: the point stays as the first point of a readout of differences.
        model.anchorX = model.crosshairX;
        model.anchorY = model.crosshairY;
        setCrosshair(model, -1.0, -1.0);
    } else if (!keep) {
        // The crosshair shows only while the left button is held, the first point until a release
        // without Shift.
        setCrosshair(model, -1.0, -1.0);
        model.anchorX = model.anchorY = -1.0;
    }
    if (rangesChange) recomputeEveryYRange(model);
}

void releaseRight(PlotModel& model, const PointerEvent& event, PlotRows rows) {
    const int display = PlotLayout(model, rows).displayAtY(event.y);
    const int inside = displayUnder(model, event.x, event.y, rows);
    if (dragInProgress(model)) {
        if (display != model.dragSourceDisplay) {
            dropDrag(model, event.x, event.y, rows);
        } else if ((event.state & shiftMask) || model.dragGraph == -1) {
            toggleDisplayGraphs(model, inside);
        } else {
            changeWeight(model, event.state, inside);  // a drag that ended where the display now is
        }
    } else if (event.state & shiftMask) {
        toggleDisplayGraphs(model, inside);
    } else {
        changeWeight(model, event.state, inside);
    }
    resetDrag(model);
    recomputeEveryYRange(model);
}

}  // namespace

void dropDrag(PlotModel& model, double x, double y, PlotRows rows) {
    const int display = displayUnder(model, x, y, rows);
    if (display >= 0) {
        const auto target = static_cast<unsigned>(display);
        model.dragTargetDisplay = display;
        if (!isDisplayIndex(model, model.dragSourceDisplay) || model.dragSourceDisplay == display) {
            if (isGraphIndex(model, model.dragGraph) &&
                model.graphs[static_cast<unsigned>(model.dragGraph)].display != target) {
                model.moveGraphToDisplay(static_cast<unsigned>(model.dragGraph), target);
            }
        } else {
            model.moveDisplay(static_cast<unsigned>(model.dragSourceDisplay), target);
        }
        model.recountDisplaySlots();
    }
    resetDrag(model);
    recomputeEveryYRange(model);
}

bool pressButton(PlotModel& model, const PointerEvent& event, PlotRows rows) {
    if (event.button == leftButton) return pressLeft(model, event, rows);
    if (event.button == rightButton) return pressRight(model, event, rows);
    return false;
}

bool releaseButton(PlotModel& model, const PointerEvent& event, PlotRows rows) {
    if (event.button == leftButton) {
        releaseLeft(model, event, rows);
        return true;
    }
    if (event.button == rightButton) {
        releaseRight(model, event, rows);
        return true;
    }
    return false;
}

bool movePointer(PlotModel& model, const PointerEvent& event, PlotRows rows) {
    const bool leftHeld = (event.state & button1Mask) != 0;
    const bool rightHeld = (event.state & button3Mask) != 0;
    if (!dragInProgress(model) || !(leftHeld || rightHeld)) {
        if (!leftHeld) return false;
        setCrosshair(model, event.x, event.y);
        return true;
    }
    const int target = PlotLayout(model, rows).displayAtY(event.y);
    model.dragTargetDisplay = target;
    // -2 records that the pointer moved while the button was held: the click became a drag.
    if (model.dragSourceDisplay == -1) model.dragSourceDisplay = -2;
    if (model.dragGraph == -1) model.dragGraph = -2;
    if (target != model.dragSourceDisplay && isDisplayIndex(model, target) &&
        isDisplayIndex(model, model.dragSourceDisplay)) {
        // A dragged display moves live, one position per display the pointer passes.
        model.moveDisplay(static_cast<unsigned>(model.dragSourceDisplay), static_cast<unsigned>(target));
        model.dragSourceDisplay = target;
    }
    return true;
}

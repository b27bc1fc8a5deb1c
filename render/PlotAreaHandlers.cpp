#include "render/PlotAreaHandlers.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "render/CairoPtr.h"
#include "render/Mouse.h"
#include "render/Renderer.h"
#include "render/TextLayout.h"

PlotViews plotViewsOf(const PlotArea& plot) {
    const PlotModel& model = *plot.model;
    GtkWidget* area = plot.drawingArea;
    const int width = area ? gtk_widget_get_allocated_width(area) : 0;
    const int height = area ? gtk_widget_get_allocated_height(area) : 0;
    const double first =
        plot.horizontalAdjustment ? gtk_adjustment_get_value(plot.horizontalAdjustment) : 0.0;
    const double offset = plot.verticalAdjustment ? gtk_adjustment_get_value(plot.verticalAdjustment) : 0.0;
    return PlotViews{horizontalViewFor(width, model.frames, model.xSize, model.xZoom, first),
                     verticalViewFor(height, model.yZoom, offset)};
}

namespace {

// gtk_adjustment_configure emits "changed" even when nothing changed, and the scroll bar answers
// that with a new layout of the whole window: configure only what differs.
void configureAdjustment(GtkAdjustment* adjustment, double value, double upper, double page) {
    if (gtk_adjustment_get_value(adjustment) == value && gtk_adjustment_get_lower(adjustment) == 0 &&
        gtk_adjustment_get_upper(adjustment) == upper && gtk_adjustment_get_step_increment(adjustment) == 1 &&
        gtk_adjustment_get_page_increment(adjustment) == page &&
        gtk_adjustment_get_page_size(adjustment) == page)
        return;
    gtk_adjustment_configure(adjustment, value, 0, upper, 1, page, page);
}

}  // namespace

PlotViews syncPlotWidgets(PlotArea& plot) {
    PlotModel& model = *plot.model;
    const PlotViews views = plotViewsOf(plot);
    const HorizontalView& horizontal = views.horizontal;
    if (horizontal.xZoom != model.xZoom) {
        // The spin button's handler stores its (range-limited) value; the model keeps the exact one.
        if (plot.xZoomSpin) gtk_spin_button_set_value(GTK_SPIN_BUTTON(plot.xZoomSpin), horizontal.xZoom);
        model.xZoom = horizontal.xZoom;
    }
    if (plot.horizontalAdjustment) {
        const double page = std::max(horizontal.span, 0.0);
        // GTK keeps the value within 0 .. X size - page; a changed value queues a redraw.
        configureAdjustment(plot.horizontalAdjustment, horizontal.first, model.xSize, page);
    }
    if (plot.verticalAdjustment) {
        const VerticalView& vertical = views.vertical;
        const double page = std::max(vertical.page, 0.0);
        configureAdjustment(plot.verticalAdjustment, vertical.offset, std::max(vertical.height, 0), page);
    }
    return views;
}

void refreshPlotArea(PlotArea& plot) {
    syncPlotWidgets(plot);
    // gtk_widget_destroyed() nulls the drawing area when it dies.
    if (plot.drawingArea) gtk_widget_queue_draw(plot.drawingArea);
}

namespace {

// The back buffer when it is an image of the area's size in device pixels.
cairo_surface_t* imageBufferOf(PlotArea& plot, GtkWidget* area) {
    cairo_surface_t* buffer = plot.backBuffer.get();
    if (!buffer || !area || cairo_surface_status(buffer) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_get_type(buffer) != CAIRO_SURFACE_TYPE_IMAGE) {
        return nullptr;
    }
    double scaleX = 1, scaleY = 1;
    cairo_surface_get_device_scale(buffer, &scaleX, &scaleY);
    const bool fits = cairo_image_surface_get_width(buffer) ==
                          static_cast<int>(gtk_widget_get_allocated_width(area) * scaleX) &&
                      cairo_image_surface_get_height(buffer) ==
                          static_cast<int>(gtk_widget_get_allocated_height(area) * scaleY);
    return fits ? buffer : nullptr;
}

// Fit Y to Visible Data's timer: draws again, so that a range waiting to narrow does so.
gboolean onNarrowTimer(gpointer data) {
    PlotArea* plot = recordFrom<PlotArea>(data, __LINE__);
    plot->narrowTimer = 0;  // removed by returning G_SOURCE_REMOVE
    if (plot->drawingArea) gtk_widget_queue_draw(plot->drawingArea);
    return G_SOURCE_REMOVE;
}

// The ranges of Fit Y to Visible Data for this frame; while one waits to narrow, another frame
// follows in a quarter of a second even when no data arrives.
void followRanges(PlotArea& plot, const HorizontalView& horizontal) {
    if (!plot.model->yFit) return;
    const bool waiting =
        followVisibleRanges(*plot.model, horizontal, plot.following, plot.clock(), &plot.viewCache);
    if (waiting && plot.narrowTimer == 0) plot.narrowTimer = g_timeout_add(250, onNarrowTimer, &plot);
}

}  // namespace

PlotArea::~PlotArea() {
    stopNarrowTimer();
    // The callback's data is this record; the area may outlive it.
    if (drawingArea && frameTick != 0) gtk_widget_remove_tick_callback(drawingArea, frameTick);
}

namespace {

// Runs in the update phase of every frame, before layout and painting, so the draw it queues is
// painted in the same frame. It stays while changes keep coming: a frame clock that is started
// anew for every frame falls behind the display's pace. The first frame without a change ends it.
gboolean onPlotTick(GtkWidget* area, GdkFrameClock*, gpointer data) {
    PlotArea* plot = recordFrom<PlotArea>(data, __LINE__);
    if (!plot->frameWanted) {
        plot->frameTick = 0;
        return G_SOURCE_REMOVE;
    }
    plot->frameWanted = false;
    const PlotViews views = plotViewsOf(*plot);
    followRanges(*plot, views.horizontal);  // as the draw does, before the picture is drawn
    // The picture is brought up to date here, so that only what changed is repainted.
    cairo_surface_t* buffer = imageBufferOf(*plot, area);
    if (!buffer) {
        gtk_widget_queue_draw(area);
        return G_SOURCE_CONTINUE;
    }
    const RegionPtr changed = updatePlotImage(*plot->model, buffer, views.horizontal, views.vertical,
                                              plot->viewCache, plot->layers);
    if (!cairo_region_is_empty(changed.get())) gtk_widget_queue_draw_region(area, changed.get());
    return G_SOURCE_CONTINUE;
}

}  // namespace

void refreshPlotOnNextFrame(PlotArea& plot) {
    if (!plot.drawingArea) return;
    syncPlotWidgets(plot);
    plot.frameWanted = true;
    if (plot.frameTick == 0)
        plot.frameTick = gtk_widget_add_tick_callback(plot.drawingArea, onPlotTick, &plot, nullptr);
}

void onPlotDestroy(GtkWidget*, gpointer data) {
    recordFrom<PlotArea>(data, __LINE__)->stopNarrowTimer();
}

gboolean onPlotDraw(GtkWidget* area, cairo_t* cr, gpointer data) {
    PlotArea* plot = recordFrom<PlotArea>(data, __LINE__);
    const PlotViews views = plotViewsOf(*plot);
    const HorizontalView& horizontal = views.horizontal;
    const VerticalView& vertical = views.vertical;
    // The one change a frame makes to the model: the ranges that follow what is in view.
    followRanges(*plot, horizontal);
    // On X11 the context draws on the server, where a frame of many graphs takes several times as
    // long as in an image in our memory (where drawPlot also writes the graphs' pixels itself): the
    // picture is drawn into the back buffer and painted onto the context in one go. The buffer is
    // transparent where the plot draws nothing, so the area's background shows through as before.
    // What stands under and over the traces comes from the kept layers; only the traces are drawn,
    // and only when the plot changed since the buffer was drawn (usually on this frame's tick).
    cairo_surface_t* buffer = imageBufferOf(*plot, area);
    if (!buffer || cairo_surface_get_type(cairo_get_target(cr)) == CAIRO_SURFACE_TYPE_IMAGE) {
        drawPlotLayered(*plot->model, cr, horizontal, vertical, plot->viewCache, plot->layers);
        return FALSE;
    }
    updatePlotImage(*plot->model, buffer, horizontal, vertical, plot->viewCache, plot->layers);
    cairo_set_source_surface(cr, buffer, 0, 0);
    cairo_paint(cr);
    return FALSE;
}

gboolean onPlotScroll(GtkWidget*, GdkEventScroll* event, gpointer data) {
    PlotArea* plot = recordFrom<PlotArea>(data, __LINE__);
    GtkAdjustment* adjustment = wheelScrollsHorizontally(event->state, plot->model->yZoom)
                                    ? plot->horizontalAdjustment
                                    : plot->verticalAdjustment;
    if (!adjustment) return TRUE;
    double quarterPages = 0.0;
    if (event->direction == GDK_SCROLL_UP) quarterPages = -1.0;
    if (event->direction == GDK_SCROLL_DOWN) quarterPages = 1.0;
    if (quarterPages == 0.0) return TRUE;  // left, right and smooth scrolling change nothing
    // GTK clamps the value; the adjustment's "value-changed" queues the redraw.
    gtk_adjustment_set_value(adjustment,
                             gtk_adjustment_get_value(adjustment) +
                                 quarterPages * gtk_adjustment_get_page_increment(adjustment) * 0.25);
    return TRUE;
}

gboolean onPlotConfigure(GtkWidget* area, GdkEventConfigure*, gpointer data) {
    PlotArea* plot = recordFrom<PlotArea>(data, __LINE__);
    GdkWindow* window = gtk_widget_get_window(area);
    if (window) {
        plot->layers.frameKey.clear();  // the new buffer holds no picture yet
        plot->backBuffer.reset(gdk_window_create_similar_image_surface(
            window, CAIRO_FORMAT_ARGB32, gtk_widget_get_allocated_width(area),
            gtk_widget_get_allocated_height(area), gdk_window_get_scale_factor(window)));
    }
    // A new width may change the X zoom a short axis needs, and both scroll bars' pages.
    syncPlotWidgets(*plot);
    return TRUE;
}

namespace {

static_assert(shiftMask == GDK_SHIFT_MASK && controlMask == GDK_CONTROL_MASK && altMask == GDK_MOD1_MASK &&
                  button1Mask == GDK_BUTTON1_MASK && button3Mask == GDK_BUTTON3_MASK,
              "the mouse logic reads the toolkit's modifier bits");

// The rows of the displays as the last redraw laid them out: the area's height stretched by the Y
// zoom and shifted by the vertical scroll bar, and its width.
PlotRows plotRowsOf(const PlotArea& plot) {
    const PlotViews views = plotViewsOf(plot);
    return plotRowsOf(views.horizontal, views.vertical);
}

gboolean redrawnIf(bool acted, GtkWidget* area) {
    if (!acted) return FALSE;
    if (area) gtk_widget_queue_draw(area);
    return TRUE;
}

}  // namespace

gboolean onPlotButton(GtkWidget* area, GdkEventButton* event, gpointer data) {
    PlotArea* plot = recordFrom<PlotArea>(data, __LINE__);
    const PointerEvent pointer{event->button, event->state, event->x, event->y};
    const PlotRows rows = plotRowsOf(*plot);
    // A double or triple click arrives as its single presses first; the extra event adds nothing.
    if (event->type == GDK_BUTTON_PRESS) return redrawnIf(pressButton(*plot->model, pointer, rows), area);
    if (event->type == GDK_BUTTON_RELEASE) return redrawnIf(releaseButton(*plot->model, pointer, rows), area);
    return FALSE;
}

gboolean onPlotMotion(GtkWidget* area, GdkEventMotion* event, gpointer data) {
    PlotArea* plot = recordFrom<PlotArea>(data, __LINE__);
    if (event->type != GDK_MOTION_NOTIFY) return FALSE;
    const PointerEvent pointer{0, event->state, event->x, event->y};
    return redrawnIf(movePointer(*plot->model, pointer, plotRowsOf(*plot)), area);
}

void connectPlotArea(PlotArea& plot) {
    GtkWidget* area = plot.drawingArea;
    gtk_widget_add_events(
        area, GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_SCROLL_MASK);
    g_signal_connect(area, "button-press-event", G_CALLBACK(onPlotButton), &plot);
    g_signal_connect(area, "button-release-event", G_CALLBACK(onPlotButton), &plot);
    g_signal_connect(area, "motion-notify-event", G_CALLBACK(onPlotMotion), &plot);
    g_signal_connect(area, "scroll-event", G_CALLBACK(onPlotScroll), &plot);
    g_signal_connect(area, "destroy", G_CALLBACK(gtk_widget_destroyed), &plot.drawingArea);
    g_signal_connect(area, "draw", G_CALLBACK(onPlotDraw), &plot);
    g_signal_connect(area, "destroy", G_CALLBACK(onPlotDestroy), &plot);
    g_signal_connect(area, "configure-event", G_CALLBACK(onPlotConfigure), &plot);
    // The titles of legend squares drawn without their titles show on hover.
    gtk_widget_set_has_tooltip(area, TRUE);
    g_signal_connect(area, "query-tooltip", G_CALLBACK(onPlotQueryTooltip), &plot);
}

gboolean onPlotQueryTooltip(GtkWidget*, gint x, gint y, gboolean keyboardMode, GtkTooltip* tooltip,
                            gpointer data) {
    PlotArea* plot = recordFrom<PlotArea>(data, __LINE__);
    if (keyboardMode) return FALSE;
    const std::string title = PlotLayout(*plot->model, plotRowsOf(*plot)).legendTooltipAt(x, y);
    if (title.empty()) return FALSE;
    gtk_tooltip_set_text(tooltip, validUtf8(title).c_str());
    return TRUE;
}

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
        gtk_adjustment_configure(plot.horizontalAdjustment, horizontal.first, 0, model.xSize, 1, page, page);
    }
    if (plot.verticalAdjustment) {
        const VerticalView& vertical = views.vertical;
        const double page = std::max(vertical.page, 0.0);
        gtk_adjustment_configure(plot.verticalAdjustment, vertical.offset, 0, std::max(vertical.height, 0), 1,
                                 page, page);
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
    // transparent where drawPlot draws nothing, so the area's background shows through as before.
    cairo_surface_t* buffer = imageBufferOf(*plot, area);
    if (!buffer || cairo_surface_get_type(cairo_get_target(cr)) == CAIRO_SURFACE_TYPE_IMAGE) {
        drawPlot(*plot->model, cr, horizontal, vertical, SurfaceKind::screen, &plot->viewCache);
        return FALSE;
    }
    {
        CairoPtr image{cairo_create(buffer)};
        double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        cairo_clip_extents(cr, &x0, &y0, &x1, &y1);  // only what GTK repaints
        cairo_rectangle(image.get(), std::floor(x0), std::floor(y0), std::ceil(x1) - std::floor(x0),
                        std::ceil(y1) - std::floor(y0));
        cairo_clip(image.get());
        cairo_set_operator(image.get(), CAIRO_OPERATOR_CLEAR);
        cairo_paint(image.get());
        cairo_set_operator(image.get(), CAIRO_OPERATOR_OVER);
        drawPlot(*plot->model, image.get(), horizontal, vertical, SurfaceKind::screen, &plot->viewCache);
    }
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

#pragma once
// A shown window that holds a plotting area and nothing else: the drawing area with its handlers,
// both scroll bars and the X-Zoom spin button, laid out as in the program but without menus, tool
// row or input. The area shows model.

#include <gtk/gtk.h>

#include "model/PlotModel.h"
#include "render/PlotAreaHandlers.h"
#include "tests/support/GtkTestSupport.h"

struct PlotAreaWindow {
    PlotModel model;
    PlotArea plot{model};
    GtkWidget* toplevel = gtk_window_new(GTK_WINDOW_TOPLEVEL);

    PlotAreaWindow() {
        plot.drawingArea = gtk_drawing_area_new();
        gtk_widget_set_size_request(plot.drawingArea, 250, 250);
        connectPlotArea(plot);
        plot.verticalAdjustment = gtk_adjustment_new(0, 0, 250, 1, 250, 250);
        plot.horizontalAdjustment = gtk_adjustment_new(0, 0, 1, 1, 1, 1);
        plot.xZoomSpin = gtk_spin_button_new_with_range(-99, 99, 1);
        GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
        gtk_box_pack_start(GTK_BOX(row), plot.drawingArea, TRUE, TRUE, 0);
        gtk_box_pack_start(GTK_BOX(row), gtk_scrollbar_new(GTK_ORIENTATION_VERTICAL, plot.verticalAdjustment),
                           FALSE, FALSE, 0);
        GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
        gtk_box_pack_start(GTK_BOX(column), row, TRUE, TRUE, 0);
        gtk_box_pack_start(GTK_BOX(column),
                           gtk_scrollbar_new(GTK_ORIENTATION_HORIZONTAL, plot.horizontalAdjustment), FALSE,
                           FALSE, 0);
        gtk_box_pack_start(GTK_BOX(column), plot.xZoomSpin, FALSE, FALSE, 0);
        gtk_container_add(GTK_CONTAINER(toplevel), column);
        gtk_window_set_default_size(GTK_WINDOW(toplevel), 652, 400);
        gtk_widget_show_all(toplevel);
        drainEvents();
    }
    ~PlotAreaWindow() { destroyTestWindow(toplevel, {{"PlotArea", &plot}}); }
    PlotAreaWindow(const PlotAreaWindow&) = delete;
    PlotAreaWindow& operator=(const PlotAreaWindow&) = delete;

    int areaWidth() const { return gtk_widget_get_allocated_width(plot.drawingArea); }
    int areaHeight() const { return gtk_widget_get_allocated_height(plot.drawingArea); }
};

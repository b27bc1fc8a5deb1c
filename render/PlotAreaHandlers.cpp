#include "render/PlotAreaHandlers.h"

#include "app/GraphData.h"

gboolean onPlotDraw(GtkWidget*, cairo_t*, gpointer data) {
    recordFrom<GraphData>(data, __LINE__);
    return FALSE;
}

gboolean onPlotScroll(GtkWidget*, GdkEventScroll*, gpointer data) {
    recordFrom<GraphData>(data, __LINE__);
    return FALSE;
}

gboolean onPlotConfigure(GtkWidget*, GdkEventConfigure*, gpointer data) {
    recordFrom<GraphData>(data, __LINE__);
    return FALSE;
}

gboolean onPlotButton(GtkWidget*, GdkEventButton*, gpointer data) {
    recordFrom<GraphData>(data, __LINE__);
    return FALSE;
}

gboolean onPlotMotion(GtkWidget*, GdkEventMotion*, gpointer data) {
    recordFrom<GraphData>(data, __LINE__);
    return FALSE;
}

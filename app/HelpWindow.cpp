#include "app/HelpWindow.h"

#include <gtk/gtk.h>

#include "input/Messages.h"

void showHelpWindow(GtkWidget* parent, const char* text) {
    GtkWidget* dialog =
        gtk_message_dialog_new(parent ? GTK_WINDOW(parent) : nullptr, GTK_DIALOG_DESTROY_WITH_PARENT,
                               GTK_MESSAGE_INFO, GTK_BUTTONS_CLOSE, "%s", "Kivrel Help");
    gtk_window_set_title(GTK_WINDOW(dialog), "Kivrel Help");
    GtkTextBuffer* buffer = gtk_text_buffer_new(nullptr);
    gtk_text_buffer_set_text(buffer, text, -1);
    GtkWidget* view = gtk_text_view_new_with_buffer(buffer);
    g_object_unref(buffer);  // the view holds it now
    gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(view), GTK_WRAP_WORD_CHAR);
    gtk_text_view_set_editable(GTK_TEXT_VIEW(view), FALSE);
    gtk_widget_set_can_focus(view, FALSE);
    for (GtkTextWindowType side :
         {GTK_TEXT_WINDOW_LEFT, GTK_TEXT_WINDOW_RIGHT, GTK_TEXT_WINDOW_TOP, GTK_TEXT_WINDOW_BOTTOM}) {
        gtk_text_view_set_border_window_size(GTK_TEXT_VIEW(view), side, 1);
    }
    // Wrapping needs the view no wider than the window, whatever the longest line.
    gtk_scrollable_set_hscroll_policy(GTK_SCROLLABLE(view), GTK_SCROLL_MINIMUM);

    GtkWidget* viewport = gtk_viewport_new(nullptr, nullptr);
    gtk_style_context_add_class(gtk_widget_get_style_context(viewport), "frame1");
    gtk_container_add(GTK_CONTAINER(viewport), view);
    GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_AUTOMATIC, GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_min_content_width(GTK_SCROLLED_WINDOW(scrolled), 650);
    gtk_scrolled_window_set_min_content_height(GTK_SCROLLED_WINDOW(scrolled), 300);
    gtk_container_add(GTK_CONTAINER(scrolled), viewport);

    GtkWidget* area = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog));
    gtk_box_pack_start(GTK_BOX(area), scrolled, TRUE, TRUE, 0);
    gtk_window_set_resizable(GTK_WINDOW(dialog), TRUE);
    gtk_widget_show_all(dialog);
    runDialog(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
}

// One line contains a tab, before "A negative value".
const char* const helpText = R"HELP(Mouse Actions

* Mouse wheel: vertical scroll.
* CTRL+Mouse wheel: horizontal scroll.
* Click with mouse left button: shows the current crosshair reference
   lines.
* Hold mouse left button: a box beside the pointer reads the X value
   and the value of every graph of the display there.
* Release with SHIFT, then SHIFT+mouse left button: the box reads
   the changes from the first point to the second, until a release
   without SHIFT.
* Click with CTRL+mouse left button: adds display's reference lines.
* Click with CTRL+mouse right button: increases the display's
   relative size.
* Click with ALT+mouse right button: decreases the display's
   relative size.
* Click with mouse right button: toggles the display's graphs' state.
* Drag&Drop with mouse right button: moves the display and its
   graphs.
* Click with mouse left button on graph's square: toggles the graph
   state.
* Drag&Drop with mouse left button on graph's square: moves the
   graph.

Key Bindind Accelerators

* Ctrl +: increments font size, line size and ref-line size.
* Ctrl -: decrements font size, line size and ref-line size.
* Ctrl p: toggle pause and play graphs.
* Ctrl o: clears plotting area and plots selected file.
* Ctrl m: loads file and merges it with current plots.
* Ctrl b: starts backing-up the input data received
   from device.
* Ctrl s: save the current graphs and displays to file in PLT format
   (WXV or CSV format when the file name ends in .wxv or .csv).
* Ctrl x: exports the current plots to PDF, SVG or PNG formats.
* Ctrl e: evaluates an arithmetic expression in the
   X-axis range.
* Ctrl ?: pops-up the help window.
* Ctrl q: exits the program.
* Ctrl a: adds a display to the plotting area(it disables the
   Independent Displays mode).
* Ctrl r: removes the last display from the plotting area.
   Graphs in removed display are moved to the first display(it
   disables the Independent Displays mode).
* Ctrl l: removes any stored data and plots.
* Ctrl i: in this mode, each enabled graph is plotted
   in its own display, but disabled graphs are moved to the first
   display, though they are not plotted. Otherwise graphs can be
   moved and plotted to any display.
* Ctrl f: this mode creates a frame with grid values around each
   graph. Otherwise graphs are plotted with no frame, and grid lines
   do not show their referenced values.
* Ctrl h: this mode plots each graph statically, making it
   suitable for plotting high frequency signals. Otherwise each graph
   is plotted dynamically.
* Ctrl y: in this mode, all displays in auto mode are
   synchronized to show the same scale and range for the Y-axis.
   Otherwise each display has its own scale and range for the Y-axis.
* Ctrl t: fits the Y range of each automatic display once to the
   samples in view.
* Ctrl c: pops-up the configuration menu.

File Menu

* Open File: clears plotting area and plots selected file.
* Merge File: loads file and merges it with current plots.
* Open Device: starts plotting input from selected device.
* Close Device: finishes input from device.
* Reconnect Device: in this mode, a device that vanishes is opened
   again every half second until it returns, and plotting goes on.
* Comma-Separated Values: in this mode, commas and semicolons
   separate numbers as spaces do, an empty field leaves its graph
   without a sample, and a first line of names titles the graphs.
* Name:Value Pairs: in this mode, a word name:value or name=value
   is plotted in the graph titled name, which is added when the
   name first comes.
* Backup Device: starts backing-up the input data received
   from device.
* Close Backup: finishes backing-up the input data from device.
* Save: save the current graphs and displays to file in PLT format
   (WXV or CSV format when the file name ends in .wxv or .csv).
* Export: exports the current plots to PDF, SVG or PNG formats.
* Eval Expression: evaluates an arithmetic expression in the
   X-axis range.
* Help: pops-up the help window.
* Quit: exits the program.

Display Menu

* Add Display: adds a display to the plotting area(it disables the
   Independent Displays mode).
* Remove Display: removes the last display from the plotting area.
   Graphs in removed display are moved to the first display(it
   disables the Independent Displays mode).
* Clear: removes any stored data and plots.
* Independent Displays: in this mode, each enabled graph is plotted
   in its own display, but disabled graphs are moved to the first
   display, though they are not plotted. Otherwise graphs can be
   moved and plotted to any display.
* Frames: this mode creates a frame with grid values around each
   graph. Otherwise graphs are plotted with no frame, and grid lines
   do not show their referenced values.
* High Frequency: this mode plots each graph statically, making it
   suitable for plotting high frequency signals. Otherwise each graph
   is plotted dynamically.
* Fixed X-Axis: in this mode, input data is stored in a ciclic buffer
   with a fixed size, so that only the last data are kept an plotted.
   Otherwise the size of the X-axis extends to store all input data or
   until maximum size is reached.
* Shared Y-Axis Min:Max: in this mode, all displays in auto mode are
   synchronized to show the same scale and range for the Y-axis.
   Otherwise each display has its own scale and range for the Y-axis.
* Min/Max Envelope: in this mode, each pixel column of a zoomed out
   graph spans the minimum to the maximum of its samples, so that
   short spikes stay visible.
* Fit Y to View Now: fits the Y range of each automatic display once
   to the samples in view.
* Fit Y to Visible Data: in this mode, automatic Y ranges follow the
   samples in view: they widen at once and narrow when the wider
   values have been out of view for a second.
* Configure: pops-up the configuration menu.
* Version: shows the program version.

Configuration Menu Options

* X-Axis Size: specifies the current size for the X-axis(when
   Fixed X-Axis mode is enabled).
* X-Axis Limit: specifies the maximum value for the X-axis. A zero
   value means no maximum limit.
* Backup Limit: specifies the maximum amount of data to be
   backed-up.
* BPS: (bits per second) speed used when reading from serial port.
* Font Size: specifies the font size for plotting.
* Line Width: specifies the width for plotted lines.
* Ref Line Width: specifies the width for reference lines.

Display Configuration

* RefLines: reference lines specified with space separated numbers.
* Grid: specifies the grid level for this display. If this value
   is negative, then the general grid level is used.
* Y-Auto: in auto mode, the range of the Y-axis is selected
   automatically. Otherwise, the user can specify the values
   (Y-Max and Y-Min) for the Y-axis range.
* Y-Max: maximum value for the Y-axis range(enabled when Y-Auto
   mode is disabled).
* Y-Min: minimum value for the Y-axis range(enabled when Y-Auto
   mode is disabled).
* Weight: relative size of this display with respect to the size
   of the other displays.

Graph Configuration

* Title: title for this graph.
* Display: display where this graph is plotted(enabled when
   Independent Displays mode is disabled).
* Scale: specifies the scale in the Y-axis to plot this graph.
* Enabled: enables or disables the plotting of this graph.
* Color: chooses the graph color

Configuration Line Options

#> General Title
#$ [options] ...
#~ [more-options] ...

-no-limits: specifies no maximum limits for the X-axis.
-max-xsize value: specifies the maximum limit value for the X-axis.
-xsize value: specifies the size for a fixed X-axis.
-fixed [value]: specifies a fixed X-axis with an optional size value.
-no-fixed [value]: specifies an extendable X-axis with an optional
   maximum limit value.
-srate value: specifies the sampling frequency.
-hfreq: specifies high frequency mode.
-no-hfreq: specifies low frequency mode.
-indep: each plot will be displayed in an independent display.
-no-indep: each plot can be displayed in any display.
-frame: specifies a frame for each display.
-no-frame: do not frame each display.
-ysharedmax: all displays with automatic range for Y-Axis will
   share the same Min:Max.
-no-ysharedmax: each display has its own Min:Max.
-lw value: specifies the width for plotted lines.
-rlw value: specifies the width for reference lines.
-fsz value: specifies the font size for plotting.
-csv: commas and semicolons separate numbers too.
-labels: a word name:value goes to the graph titled name.
-dpy display: establishes the base display for the following options.
   -yauto: specifies automatic range for Y-Axis for the base display.
   -y min:max: specifies the range for Y-Axis for the base display.
   -w weight: specifies the relative size for the base display.
   -grid level: specifies the grid level for the base display.
   	A negative value means using the general grid level.
   -l val: specifies a reference line for the base display.
-t title: establishes the base graph for the following options and
   specifies its title.
   -d display: specifies the display for the base graph.
   -s scale: specifies the scale for the base graph.
   -disabled: disables the base graph.
   -beep: enables the beep mode for the base graph.

Evaluate Expression

Unary Operators
-   minus
~   bitwise complement
!   logical not

Binary Operators
**  power
*   multiply
/   divide
%   modulus
+   addition
-   subtraction
<<  left shift
>>  right shift
<   less than
<=  less than or equal
>   greater than
>=  greater than or equal
==  equal
!=  distinct
&   bitwise AND
^   bitwise XOR
|   bitwise OR
&&  logical AND
||  logical OR

Ternary Operators
? : conditional

Functions(with 1 argument)
abs   absolute value
acos  arc-cosine(in radians)
asin  arc-sine(in radians)
atan  arc-tangent(in radians)
ceil  smallest integral value not less than argument
cos   cosine(in radians)
cosh  hyperbolic cosine(in radians)
exp   base-e exponential
fabs  absolute value
fact  factorial
floor largest integral value not greater than argument
log   natural logarithmic
log10 base-10 logarithmic
log2  base-2 logarithmic
sin   sine(in radians). sin(x*2*pi*sf/rate)
sinh  hyperbolic sine(in radians)
sqrt  square root
tan   tangent(in radians)
tanh  hyperbolic tangent(in radians)
trunc round to integer, toward zero

Constants
e   2.7182818284590452354
pi  3.14159265358979323846

Variables
x   current value in X-axis
z   previous evaluation result

)HELP";

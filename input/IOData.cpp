#include "input/IOData.h"

#include <cmath>

#include <gtk/gtk.h>

#include "input/Backup.h"
#include "input/InputChannel.h"

namespace {

gboolean onStatusTimer(gpointer data) {
    updateInputStatus(*recordFrom<IOData>(data, __LINE__));
    return G_SOURCE_CONTINUE;
}

// Only a changed text is set: every new text lays the menu row out again. The tooltip shows the
// whole text when the row is too narrow for it.
void showStatus(IOData& io, const std::string& text) {
    if (io.statusLabel && text != gtk_label_get_text(GTK_LABEL(io.statusLabel))) {
        gtk_label_set_text(GTK_LABEL(io.statusLabel), text.c_str());
        gtk_widget_set_tooltip_text(io.statusLabel, text.empty() ? nullptr : text.c_str());
    }
}

}  // namespace

IOData::~IOData() {
    for (guint* source : {&reconnectTimer, &statusTimer, &backupMessage}) {
        if (*source != 0) g_source_remove(*source);
        *source = 0;
    }
    releaseInputChannel(*this);
    releaseBackupChannel(*this);
}

void updateRecordingIndicator(IOData* io) {
    if (!io || !io->indicatorImage || !GTK_IS_WIDGET(io->indicatorImage)) return;
    gtk_widget_set_visible(io->indicatorImage, io->inputChannel != nullptr && io->backupChannel != nullptr);
}

std::string inputStatusText(double linesPerSecond, std::uint64_t lines, std::uint64_t linesWithoutData,
                            std::uint64_t linesDropped, LineHint hint) {
    // Whole numbers through to_string: the status never depends on the locale.
    const long long rate =
        std::isfinite(linesPerSecond) && linesPerSecond > 0 ? std::llround(linesPerSecond) : 0;
    std::string text = std::to_string(rate) + " lines/s, " + std::to_string(lines) + " lines";
    if (linesDropped > 0) {
        text = std::to_string(linesDropped) + (linesDropped == 1 ? " line" : " lines") + " over " +
               std::to_string(maxLineLength) + " bytes dropped; " + text;
    }
    // First, so that a row too narrow for the whole status cuts the counts, not the hint.
    switch (hint) {
        case LineHint::pairs: return "lines hold name:value pairs: try -labels; " + text;
        case LineHint::commas: return "lines hold commas: try -csv; " + text;
        case LineHint::textFirst:
            return "lines start with text: numbers must be separated by spaces; " + text;
        case LineHint::none: break;
    }
    if (linesWithoutData >= linesWithoutDataHint) {
        text = "no numbers in the last " + std::to_string(linesWithoutDataHint) + " lines; " + text;
    }
    return text;
}

LineHint sparseLinesHint(const IOData& io) {
    return io.sparseLines >= linesWithoutDataHint ? io.sparseLineHint : LineHint::none;
}

void startInputStatus(IOData& io) {
    if (io.statusTimer != 0) g_source_remove(io.statusTimer);
    io.linesWithoutData = 0;
    io.sparseLines = 0;
    io.sparseLineHint = LineHint::none;
    io.statusLines = io.linesHandedOn;
    io.statusTime = g_get_monotonic_time();
    // The first status comes with the first refresh, not in the middle of opening.
    io.statusTimer = g_timeout_add(inputStatusIntervalMs, onStatusTimer, &io);
}

void stopInputStatus(IOData& io) {
    if (io.statusTimer != 0) g_source_remove(io.statusTimer);
    io.statusTimer = 0;
    io.linesWithoutData = 0;
    io.sparseLines = 0;
    io.sparseLineHint = LineHint::none;
    io.backupStopped.clear();
    showStatus(io, "");
}

void updateInputStatus(IOData& io) {
    const gint64 now = g_get_monotonic_time();
    const double seconds = static_cast<double>(now - io.statusTime) / 1e6;
    const double rate = seconds > 0 ? static_cast<double>(io.linesHandedOn - io.statusLines) / seconds : 0.0;
    io.statusLines = io.linesHandedOn;
    io.statusTime = now;
    const std::string text =
        inputStatusText(rate, io.linesHandedOn, io.linesWithoutData, io.linesDropped, sparseLinesHint(io));
    showStatus(io, io.backupStopped.empty() ? text : io.backupStopped + "; " + text);
}

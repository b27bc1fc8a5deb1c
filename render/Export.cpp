#include "render/Export.h"

#include "input/FileName.h"
#include "render/DrawingFile.h"
#include "render/PlotAreaHandlers.h"
#include "render/TextLayout.h"

int exportDrawing(const PlotArea& plot, const FileName& name) {
    if (name.length <= 4) return 0;
    const SurfaceKind kind = drawingFileKindOf(name.utf8Name);
    if (kind == SurfaceKind::screen) return 0;
    const PlotViews views = plotViewsOf(plot);
    return writeDrawingFile(*plot.model, name.local(), kind, views.horizontal, views.vertical);
}

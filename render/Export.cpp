#include "render/Export.h"

#include "app/GraphData.h"
#include "input/FileName.h"
#include "render/DrawingFile.h"
#include "render/PlotAreaHandlers.h"
#include "render/TextLayout.h"

int exportDrawing(const GraphData& graph, const FileName& name) {
    if (name.length <= 4) return 0;
    const SurfaceKind kind = drawingFileKindOf(name.utf8Name);
    if (kind == SurfaceKind::screen) return 0;
    const PlotViews views = plotViewsOf(graph);
    return writeDrawingFile(graph.model, name.local(), kind, views.horizontal, views.vertical);
}

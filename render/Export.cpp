#include "render/Export.h"

#include "app/GraphData.h"
#include "input/FileName.h"
#include "render/DrawingFile.h"
#include "render/PlotAreaHandlers.h"
#include "render/TextLayout.h"

int exportDrawing(GraphData& graph, const FileName& name) {
    if (name.length <= 4) return 0;
    // Built before the name is checked: the views' corrections take effect as on screen.
    const HorizontalView horizontal = makeHorizontalView(graph);
    const VerticalView vertical = makeVerticalView(graph);
    const int kind = drawingFileKindOf(name.utf8Name);
    if (kind == screenSurface) return 0;
    return writeDrawingFile(graph.model, name.local(), kind, horizontal, vertical);
}

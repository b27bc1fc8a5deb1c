#include "render/Export.h"

#include "render/DrawingFile.h"
#include "render/PlotAreaHandlers.h"
#include "render/TextLayout.h"

int exportDrawing(const PlotArea& plot, const std::string& utf8Name, const char* localName) {
    if (utf8Name.size() <= 4) return 0;
    const SurfaceKind kind = drawingFileKindOf(utf8Name);
    if (kind == SurfaceKind::screen) return 0;
    const PlotViews views = plotViewsOf(plot);
    return writeDrawingFile(*plot.model, localName, kind, views.horizontal, views.vertical);
}

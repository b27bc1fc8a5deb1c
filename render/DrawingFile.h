#pragma once
// The picture of the plotting area written into a PDF or SVG file through cairo's vector surfaces,
// or into a PNG file through an image surface on a white background. The whole file is made in
// memory first and then written as a saved plot is (files/OutputFile.h): an existing file is
// replaced only when every byte was written, so a failed export - a picture cairo cannot make, a
// full disk, an unwritable folder - is reported and leaves the old file as it was.

#include <string>

#include "model/PlotModel.h"
#include "render/TextLayout.h"
#include "render/Views.h"

// The surface a file name asks for by its last four bytes, case-exact: pdf for ".pdf" and ".PDF",
// svg for ".svg" and ".SVG", png for ".png" and ".PNG", screen (no file) for anything else.
SurfaceKind drawingFileKindOf(const std::string& utf8Name);

// Draws the model with the views into a new file of (width + 6) x (height + 6) points (pixels for
// PNG) at localName (file-system encoding); surfaceKind is pdf, svg or png. Returns 1 when the file
// was written, 0 otherwise.
int writeDrawingFile(const PlotModel& model, const char* localName, SurfaceKind surfaceKind,
                     const HorizontalView& horizontal, const VerticalView& vertical);

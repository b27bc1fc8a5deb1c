#pragma once
// Owners for cairo objects, so that an early return cannot leak a context or a surface, and a guard
// that pairs every cairo_save with its cairo_restore.

#include <cairo.h>

#include <memory>

#include "model/FreeWith.h"

using CairoPtr = std::unique_ptr<cairo_t, FreeWith<cairo_destroy>>;
using SurfacePtr = std::unique_ptr<cairo_surface_t, FreeWith<cairo_surface_destroy>>;
using RegionPtr = std::unique_ptr<cairo_region_t, FreeWith<cairo_region_destroy>>;
using ScaledFontPtr = std::unique_ptr<cairo_scaled_font_t, FreeWith<cairo_scaled_font_destroy>>;

// Saves the context's state on construction and restores it on destruction.
class CairoSaveGuard {
  public:
    explicit CairoSaveGuard(cairo_t* cr) : context(cr) { cairo_save(context); }
    ~CairoSaveGuard() { cairo_restore(context); }
    CairoSaveGuard(const CairoSaveGuard&) = delete;
    CairoSaveGuard& operator=(const CairoSaveGuard&) = delete;

  private:
    cairo_t* context;
};

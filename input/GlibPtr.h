#pragma once
// Owners for GLib allocations, so that an early return cannot leak them.

#include <memory>

#include <glib-object.h>
#include <glib.h>

#include "model/FreeWith.h"

using GCharPtr = std::unique_ptr<gchar, FreeWith<g_free>>;
using GErrorPtr = std::unique_ptr<GError, FreeWith<g_error_free>>;
// One reference to a GObject (a pixbuf, say).
template <class T>
using GObjectRef = std::unique_ptr<T, FreeWith<g_object_unref>>;

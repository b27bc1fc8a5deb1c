#pragma once
// The names the file commands propose and complete.

#include <string>

// The name proposed for saving what was read from name: the base name of an absolute name, the
// whole relative name, each without its extension, followed by "." and extension.
std::string defaultFileName(const std::string& name, const std::string& extension);

// name with ".extension" appended when it has no extension of its own ("run" → "run.plt",
// "run." → "run.plt"); an existing extension of any kind stays.
std::string completeExtension(const std::string& name, const std::string& extension);

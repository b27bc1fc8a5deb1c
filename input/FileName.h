#pragma once
// A file name chosen by the user in three forms: the local name (file-system encoding) that files
// are opened by, the UTF-8 name for messages and extension tests, and the URI. length is 0 when
// nothing was chosen.

#include <cstdint>
#include <string>

#include "input/GlibPtr.h"

struct FileName {
    GCharPtr localName;
    std::string utf8Name;
    std::string uri;
    std::int32_t length = 0;

    void clear();
    // Clears, then converts text (UTF-8) to the other forms; a null text leaves it cleared.
    void setFromUtf8(const char* text);
    // Same, starting from a URI as file choosers return it.
    void setFromUri(const char* uriText);
    bool empty() const { return length <= 0; }
    const char* local() const { return localName.get(); }

  private:
    void fillFromLocal();
};

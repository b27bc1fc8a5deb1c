#include "input/FileName.h"

#include <cstring>

void FileName::clear() {
    localName.reset();
    utf8Name.clear();
    uri.clear();
    length = 0;
}

void FileName::fillFromLocal() {
    if (!localName) return;
    GCharPtr uriText{g_filename_to_uri(localName.get(), nullptr, nullptr)};
    if (uriText) {
        uri = uriText.get();
        length = static_cast<std::int32_t>(uri.size());
    }
    GCharPtr utf8{g_filename_to_utf8(localName.get(), -1, nullptr, nullptr, nullptr)};
    if (utf8) {
        utf8Name = utf8.get();
        length = static_cast<std::int32_t>(utf8Name.size());
    }
}

void FileName::setFromUtf8(const char* text) {
    clear();
    if (!text) return;
    localName.reset(g_filename_from_utf8(text, -1, nullptr, nullptr, nullptr));
    fillFromLocal();
}

void FileName::setFromUri(const char* uriText) {
    clear();
    if (!uriText) return;
    localName.reset(g_filename_from_uri(uriText, nullptr, nullptr));
    fillFromLocal();
}

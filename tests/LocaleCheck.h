#pragma once
// The test mains take their locale from the environment, as the program does. A locale that the
// environment names but the system lacks would silently leave the C locale in place, and a run
// meant to check decimal-comma reading would test nothing: such a run stops at once instead.

#include <clocale>
#include <cstdio>
#include <cstdlib>

// Sets the environment's locale; false (after saying why on standard error) when it cannot be set.
inline bool setLocaleFromEnvironment(const char* program) {
    if (std::setlocale(LC_ALL, "")) return true;
    const char* names[] = {"LC_ALL", "LC_NUMERIC", "LC_CTYPE", "LANG"};
    std::fprintf(stderr, "%s: the locale asked for cannot be set (", program);
    const char* separator = "";
    for (const char* name : names) {
        const char* value = std::getenv(name);
        if (!value || !*value) continue;
        std::fprintf(stderr, "%s%s=%s", separator, name, value);
        separator = ", ";
    }
    std::fprintf(stderr, "); generate it (tools/install-deps.sh makes de_DE.UTF-8) or unset the variable\n");
    return false;
}

#pragma once
// Switches number conversion to a decimal-comma locale for the life of one test, so that the
// '.'-under-any-locale rule is exercised even when the suite itself runs in the C locale.

#include <clocale>
#include <string>

class CommaLocale {
  public:
    CommaLocale() {
        const char* current = std::setlocale(LC_NUMERIC, nullptr);
        saved = current != nullptr ? current : "C";
        active = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr &&
                 std::localeconv()->decimal_point[0] == ',';
    }
    ~CommaLocale() { std::setlocale(LC_NUMERIC, saved.c_str()); }
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    bool active = false;

  private:
    std::string saved;
};

#pragma once
// Number reading shared by data lines, option lines and the command line: '.' is accepted as the
// decimal point whatever the process locale, and words are delimited by isspace().

#include <cctype>

// strtod, retried with the '.' at which it stopped replaced by the locale's ',' so that "1.5" also
// reads as 1.5 under a decimal-comma locale. Stores the end of the number in *end when given (the
// text itself when nothing was converted).
double parseReal(const char* text, const char** end = nullptr);

// True when the process locale's decimal point is '.' or ',': the locales in which readNumber can
// convert without strtod. Callers ask once per line, not once per number.
bool pointOrCommaLocale();

// parseReal of a word that begins a number (startsNumber): the same value and the same end, found
// about three times faster where the word shows that std::from_chars reads it as strtod would. Pass
// pointOrCommaLocale(); with false this is parseReal.
double readNumber(const char* text, const char** end, bool pointOrComma);

// The first white-space character or the terminating NUL at or after text. (This and the next
// two are inline: a data line runs through them once per character.)
inline const char* skipWord(const char* text) {
    while (*text != '\0' && std::isspace(static_cast<unsigned char>(*text)) == 0) ++text;
    return text;
}

// The first character at or after text that is not white space.
inline const char* skipSpace(const char* text) {
    while (std::isspace(static_cast<unsigned char>(*text)) != 0) ++text;
    return text;
}

// True when text begins with a decimal digit, or with '-' followed by one: the only words that
// count as numbers in data lines and as signed or real option arguments.
inline bool startsNumber(const char* text) {
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    return digit(text[0]) || (text[0] == '-' && digit(text[1]));
}

#pragma once
// Number reading shared by data lines, option lines and the command line: '.' is accepted as the
// decimal point whatever the process locale, and words are delimited by isspace().

// strtod, retried with the '.' at which it stopped replaced by the locale's ',' so that "1.5" also
// reads as 1.5 under a decimal-comma locale. Stores the end of the number in *end when given (the
// text itself when nothing was converted).
double parseReal(const char* text, const char** end = nullptr);

// The first white-space character or the terminating NUL at or after text.
const char* skipWord(const char* text);

// The first character at or after text that is not white space.
const char* skipSpace(const char* text);

// True when text begins with a decimal digit, or with '-' followed by one: the only words that
// count as numbers in data lines and as signed or real option arguments.
bool startsNumber(const char* text);

#pragma once
// Why lines that hold no number, or only one, may not plot as their sender meant: the likely cause
// the input status names after many such lines in a row.

enum class LineHint {
    none,
    pairs,      // "name:value" or "name=value" words, read only with -labels
    commas,     // numbers separated by ',' or ';', read apart only with -csv
    textFirst,  // the first word is text glued to a number ("T25.3")
};

// The cause for one data line read with the given modes: pairs before commas before text, none
// when nothing in the line points to one. Only the modes that are off are suggested.
LineHint dataLineHint(const char* line, bool commaSeparated, bool namedValues);

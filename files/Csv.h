#pragma once
// CSV plot files: a header row ("sample", then every graph title in double quotes) and one row per
// stored slot in ring order, newest last. Reading accepts ',', ';' or tab as separator, quoted
// fields, an optional header row and an optional leading "sample" column; one graph per column.

#include <cstdint>
#include <string>
#include <vector>

class PlotModel;

// True when the UTF-8 name ends in exactly ".csv" after at least one other character.
bool hasCsvEnding(const std::string& utf8Name);

// Writes the header row and the xSize - 1 data rows. False (nothing created) without graphs, false
// when the file cannot be created or a write fails; an existing file is then left as it was.
bool writeCsv(const PlotModel& model, const char* localName);

// The separator of a file whose first line is given: tab when the line holds one outside quotes,
// else ';' when it holds one, else ','. A ';' file may so use decimal commas.
char csvSeparator(const std::string& firstLine);

// Splits one record into fields: separators inside double quotes are text and "" is one quote.
// *open tells whether a quote is still open at the end (the record goes on on the next line).
std::vector<std::string> splitCsvRecord(const std::string& record, char separator, bool* open = nullptr);

// Reads a CSV file into model: one graph per column (at most as many as the model holds), titled
// from the header row when the first row is not all numbers; a UTF-8 byte order mark is skipped.
// The X axis then holds exactly the rows (when there are at least 9), as when the file was saved. Rows with
// fewer fields leave the rest at 0; fields past the first row's count are ignored. False when the file cannot
// be opened, a field is not a number or a quote is not closed (the rows before it stay); *problem then says
// what and on which line (it stays as it was when the file does not open).
bool readCsv(PlotModel& model, const char* localName, std::string* problem = nullptr);

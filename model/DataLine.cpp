// Data lines: white-space separated numbers, one per graph in column order, and text plot files
// read through them line by line.
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "model/ParseReal.h"
#include "model/PlotModel.h"

void PlotModel::processLine(const char* line) {
    if (line == nullptr || line[0] == '\0' || line[0] == '\n' || line[0] == '\r') return;
    if (line[0] == '#') {
        processOptionLine(line);
        return;
    }
    const bool pointOrComma = pointOrCommaLocale();
    unsigned column = 0;
    for (const char* p = skipSpace(line); *p != '\0'; p = skipSpace(p)) {
        if (*p == '#') break;  // a comment ends the line
        if (!startsNumber(p)) {
            p = skipWord(p);  // "+5", ".5", "nan" and other words are not columns
            continue;
        }
        if (column >= graphs.size() && graphs.size() < maxGraphs) addGraph(std::string());
        const char* numberEnd = p;
        const double value = readNumber(p, &numberEnd, pointOrComma);
        // Columns beyond the 64th graph still count, so that missing-column filling starts after
        // the whole line.
        if (column < graphs.size()) storeSample(column, value);
        ++column;
        p = skipWord(numberEnd);  // text glued to the number ("12abc") is ignored
    }
    if (column == 0) return;  // no number: nothing stored and the position stays
    // Graphs this line has no column for get 0, unless another plot was merged in: then they
    // belong to that plot and keep whatever their slot holds.
    if (!keepMissingColumns) {
        for (unsigned g = column; g < graphs.size(); ++g) storeSample(g, 0.0);
    }
    advance();
}

bool openTextFile(const char* localName, std::ifstream& file) {
    if (localName == nullptr) return false;
    // A directory opens like a file on Linux and then reads as nothing; it is not a plot file.
    std::error_code error;
    if (std::filesystem::is_directory(localName, error)) return false;
    file.open(localName, std::ios::binary);
    return file.is_open();
}

bool PlotModel::processTextLines(std::istream& in, std::size_t maxLines) {
    // Lines end at the line feed; a carriage return before it stays and reads as white space.
    std::string line;
    for (std::size_t n = 0; n < maxLines; ++n) {
        if (!std::getline(in, line)) return false;
        if (!line.empty()) processLine(line.c_str());
    }
    return static_cast<bool>(in);
}

bool PlotModel::loadTextFile(const char* localName) {
    std::ifstream file;
    if (!openTextFile(localName, file)) return false;
    while (processTextLines(file, 4096)) {
    }
    return true;
}

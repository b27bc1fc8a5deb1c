#include "files/Csv.h"

#include <algorithm>
#include <fstream>
#include <string_view>

#include "files/NumberText.h"
#include "files/OutputFile.h"
#include "files/ReadProblem.h"
#include "model/ParseReal.h"
#include "model/PlotModel.h"

namespace {

// The name of the leading column that numbers the rows; it is not a graph.
constexpr std::string_view sampleColumn = "sample";

void appendQuoted(std::string& line, const std::string& text) {
    line += '"';
    for (char c : text) {
        if (c == '"') line += '"';  // a quote inside a quoted field is doubled
        line += c;
    }
    line += '"';
}

// Splits text into fields, going on with the last field of fields; quoted tells whether a quote
// is open, before and after.
void appendFields(const std::string& text, char separator, std::vector<std::string>& fields, bool& quoted) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c != '"') {
                fields.back() += c;
            } else if (i + 1 < text.size() && text[i + 1] == '"') {
                fields.back() += '"';  // a doubled quote inside quotes is one quote
                ++i;
            } else {
                quoted = false;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == separator) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
}

void dropCarriageReturn(std::string& line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
}

// Where the reading stands: the line the last record began on and whether a quote in it was left
// open at the end of the file.
struct RecordPlace {
    std::uint64_t line = 0;
    std::uint64_t nextLine = 1;
    bool unclosedQuote = false;
};

// One record from in: a line, and further lines while a quote is open (each added to the open
// field, so a stray quote costs one pass). A trailing CR of a CRLF line end is dropped. record is
// the first line. False at the end of the file.
bool readRecord(std::istream& in, char separator, std::string& record, std::vector<std::string>& fields,
                RecordPlace& place) {
    if (!std::getline(in, record)) return false;
    place.line = place.nextLine++;
    dropCarriageReturn(record);
    fields.assign(1, std::string());
    bool quoted = false;
    appendFields(record, separator, fields, quoted);
    std::string line;
    while (quoted && std::getline(in, line)) {
        ++place.nextLine;
        dropCarriageReturn(line);
        fields.back() += '\n';
        appendFields(line, separator, fields, quoted);
    }
    place.unclosedQuote = quoted;
    return true;
}

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A field as a number: empty fields are missing (0); anything that is not wholly a number is not.
// In a file not separated by commas a decimal comma reads as a point.
bool fieldValue(const std::string& field, char separator, double& value) {
    std::string text = trimmed(field);
    value = 0.0;
    if (text.empty()) return true;
    if (separator != ',') {
        for (char& c : text) {
            if (c == ',') c = '.';
        }
    }
    const char* start = text.c_str();
    const char* digits = start + ((*start == '+' || *start == '-') ? 1 : 0);
    if (*digits == '.') ++digits;
    if (*digits < '0' || *digits > '9') return false;  // "nan", "inf" and words are text
    const char* end = start;
    value = parseReal(start, &end);
    return end != start && *end == '\0';
}

bool allNumbers(const std::vector<std::string>& fields, char separator) {
    double ignored = 0.0;
    for (const std::string& f : fields) {
        if (!fieldValue(f, separator, ignored)) return false;
    }
    return true;
}

// Why a field is no number, with a hint when it holds another separator than the file's.
std::string notANumber(const std::string& field, std::size_t index, char separator) {
    std::string what = "field " + std::to_string(index + 1) + " " + quotedExcerpt(field) + " is not a number";
    for (const char other : {',', ';', '\t'}) {
        if (other != separator && field.find(other) != std::string::npos) {
            what += separator == '\t'
                        ? std::string("; the file separates its fields with tabs")
                        : std::string("; the file separates its fields with '") + separator + "'";
            break;
        }
    }
    return what;
}

bool isSampleTitle(const std::string& field) {
    const std::string text = trimmed(field);
    if (text.size() != sampleColumn.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != sampleColumn[i]) return false;
    }
    return true;
}

bool isBlank(const std::string& record) {
    return record.find_first_not_of(" \t") == std::string::npos;
}

// The number of non-blank records, so that the X axis can be allowed to hold all of them.
std::uint64_t countRecords(std::istream& in, char separator) {
    std::uint64_t count = 0;
    std::string record;
    std::vector<std::string> fields;
    RecordPlace place;
    while (readRecord(in, separator, record, fields, place)) {
        if (!isBlank(record)) ++count;
    }
    return count;
}

// Moves in past a UTF-8 byte order mark, which spreadsheet programs put before the first title.
void skipByteOrderMark(std::istream& in) {
    char mark[3] = {};
    in.read(mark, 3);
    if (!in || mark[0] != '\xEF' || mark[1] != '\xBB' || mark[2] != '\xBF') {
        in.clear();
        in.seekg(0);
    }
}

// Back to the first byte of the text, past a byte order mark.
void rewind(std::istream& in) {
    in.clear();
    in.seekg(0);
    skipByteOrderMark(in);
}

}  // namespace

bool hasCsvEnding(const std::string& utf8Name) {
    return utf8Name.size() >= 5 && utf8Name.compare(utf8Name.size() - 4, 4, ".csv") == 0;
}

bool writeCsv(const PlotModel& model, const char* localName) {
    if (model.graphs.empty()) return false;
    OutputFile file(localName);
    if (!file.isOpen()) return false;
    std::ostream& out = file.stream();
    // Every title is quoted, so that separators, quotes and line breaks in titles stay text and
    // the separator of the file is found on its first line.
    std::string line(sampleColumn);
    for (const Graph& g : model.graphs) {
        line += ',';
        appendQuoted(line, g.title);
    }
    line += '\n';
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
    const std::uint32_t size = model.xSize;
    for (std::uint32_t f = 0; f + 1 < size && out; ++f) {
        const std::size_t slot = (std::size_t{f} + model.writeIndex + 1) % size;
        line.clear();
        appendUnsigned(line, f);
        for (const Graph& g : model.graphs) {
            line += ',';
            appendReal(line, g.samples[slot]);
        }
        line += '\n';
        out.write(line.data(), static_cast<std::streamsize>(line.size()));
    }
    return file.commit();
}

char csvSeparator(const std::string& firstLine) {
    bool quoted = false;
    bool semicolon = false;
    bool comma = false;
    for (char c : firstLine) {
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        if (c == '\t') return '\t';
        semicolon = semicolon || c == ';';
        comma = comma || c == ',';
    }
    if (semicolon) return ';';
    return ',';
}

std::vector<std::string> splitCsvRecord(const std::string& record, char separator, bool* open) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    appendFields(record, separator, fields, quoted);
    if (open) *open = quoted;
    return fields;
}

bool readCsv(PlotModel& model, const char* localName, std::string* problem) {
    std::ifstream in(localName, std::ios::binary);
    if (!in) return false;

    // The separator is the one of the first line that holds anything.
    skipByteOrderMark(in);
    std::string firstLine;
    while (std::getline(in, firstLine) && isBlank(firstLine)) {
    }
    const char separator = csvSeparator(firstLine);
    rewind(in);
    const std::uint64_t records = countRecords(in, separator);
    rewind(in);
    if (!in) return false;

    const auto stop = [problem](const RecordPlace& where, const std::string& what) {
        if (problem) *problem = problemAt(where.line, what);
        return false;
    };
    std::string record;
    std::vector<std::string> fields;
    RecordPlace place;
    bool found = false;
    while ((found = readRecord(in, separator, record, fields, place)) && isBlank(record)) {
    }
    // An unclosed quote takes the rest of the file into one field: nothing after it is data.
    if (found && place.unclosedQuote) return stop(place, "a quote opened here is not closed");
    // The first row names the columns unless it is all numbers.
    const bool header = found && !allNumbers(fields, separator);
    const std::size_t firstColumn = header && isSampleTitle(fields[0]) ? 1 : 0;
    const std::size_t columns = found && fields.size() > firstColumn ? fields.size() - firstColumn : 1;
    for (std::size_t c = model.graphs.size(); c < columns; ++c) {
        const std::size_t before = model.graphs.size();
        model.addGraph(header && firstColumn + c < fields.size() ? fields[firstColumn + c] : std::string());
        if (model.graphs.size() == before) break;  // no room for more graphs
    }
    const std::uint64_t rows = header ? records - 1 : records;
    // The X axis holds exactly the rows, as it did when the file was saved (a PLT file says its size
    // with -xsize), so that none is overwritten and saving again writes the same rows. Fewer rows
    // than the smallest axis leave the axis as it is.
    if (rows + 1 < noXLimit) model.setXSize(static_cast<std::uint32_t>(rows + 1));

    const std::size_t graphs = std::min(columns, model.graphs.size());
    bool pending = found && !header;  // a first row of numbers is data
    while (pending || readRecord(in, separator, record, fields, place)) {
        pending = false;
        if (isBlank(record)) continue;
        if (place.unclosedQuote) return stop(place, "a quote opened here is not closed");
        // The sample column is no graph, but a row with another separator shows there first.
        double sample = 0.0;
        if (firstColumn == 1 && !fieldValue(fields[0], separator, sample)) {
            return stop(place, notANumber(fields[0], 0, separator));
        }
        std::vector<double> values(graphs, 0.0);
        for (std::size_t c = 0; c < graphs && firstColumn + c < fields.size(); ++c) {
            const std::string& field = fields[firstColumn + c];
            if (!fieldValue(field, separator, values[c]))
                return stop(place, notANumber(field, firstColumn + c, separator));
        }
        for (std::size_t c = 0; c < graphs; ++c) model.storeSample(static_cast<unsigned>(c), values[c]);
        model.advance();
    }
    if (in.bad()) return stop(place, "the file could not be read on");
    return true;
}

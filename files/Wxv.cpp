#include "files/Wxv.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <limits>
#include <system_error>

#include "files/NumberText.h"
#include "files/OutputFile.h"
#include "files/ReadProblem.h"
#include "model/ParseReal.h"
#include "model/PlotModel.h"

namespace {

constexpr std::int32_t bitsPerSample = 16;
constexpr std::int32_t formatSize = 6;
constexpr std::int32_t pcmFormat = 1;
constexpr std::int32_t riffSizeExtra = 11;
// A header line that fails is skipped up to this many characters, through its line feed.
constexpr std::streamsize headerSkipLimit = 1000;
// Longer words are not numbers; the limit keeps a file without white space from filling memory.
constexpr int maxWordLength = 4096;

bool fitsInt32(std::int64_t value) {
    return value >= std::numeric_limits<std::int32_t>::min() &&
           value <= std::numeric_limits<std::int32_t>::max();
}

// a * b * c / 8 as the header checks it; empty when the product overflows.
std::optional<std::int64_t> perByte(std::int64_t a, std::int64_t b, std::int64_t c) {
    std::int64_t ab = 0;
    std::int64_t abc = 0;
    if (__builtin_mul_overflow(a, b, &ab) || __builtin_mul_overflow(ab, c, &abc)) return std::nullopt;
    return abc / 8;
}

// The words of a WXV file, counting the lines they stand on for messages.
class WordReader {
  public:
    explicit WordReader(std::istream& stream) : in(stream) {}

    bool next(std::string& word) {
        for (int c = in.peek(); c == ' ' || (c >= '\t' && c <= '\r'); c = in.peek()) {
            if (c == '\n') ++line;
            in.get();
        }
        return static_cast<bool>(in >> std::setw(maxWordLength) >> word);
    }

    // Skips the rest of the current line, at most headerSkipLimit characters through its '\n'.
    void skipLine() {
        for (std::streamsize n = 0; n < headerSkipLimit; ++n) {
            const int c = in.get();
            if (c == std::char_traits<char>::eof()) return;
            if (c == '\n') {
                ++line;
                return;
            }
        }
    }

    std::istream& in;
    std::uint64_t line = 1;
};

// A whole word in decimal that fits the field; anything else fails the stream.
bool readInt32(WordReader& in, std::int32_t& field) {
    std::string word;
    if (!in.next(word)) return false;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(word.c_str(), &end, 10);
    if (end == word.c_str() || *end != '\0' || errno == ERANGE || !fitsInt32(value)) {
        in.in.setstate(std::ios::failbit);
        return false;
    }
    field = static_cast<std::int32_t>(value);
    return true;
}

// Reads the header fields after the '#' that starts the line, stopping at the first one that
// does not fit; the fields not reached stay as they were.
bool readHeaderFields(WordReader& in, WxvHeader& h) {
    return in.next(h.riff) && readInt32(in, h.riffSize) && in.next(h.wave) && in.next(h.format) &&
           readInt32(in, h.formatSize) && readInt32(in, h.sampleFormat) && readInt32(in, h.channels) &&
           readInt32(in, h.samplingRate) && readInt32(in, h.byteRate) && readInt32(in, h.blockAlign) &&
           readInt32(in, h.bitsPerSample) && in.next(h.data) && readInt32(in, h.dataSize);
}

// An optional sign, then a digit or a point and a digit: words such as "nan" or "inf" are text.
bool looksNumeric(const char* word) {
    if (*word == '+' || *word == '-') ++word;
    if (*word == '.') ++word;
    return *word >= '0' && *word <= '9';
}

void appendHeaderLine(std::string& line, const WxvHeader& h) {
    line += '#';
    const auto word = [&line](std::string_view text) {
        line += ' ';
        line += text;
    };
    const auto number = [&line](std::int32_t value) {
        line += ' ';
        appendSigned(line, value);
    };
    word(h.riff);
    number(h.riffSize);
    word(h.wave);
    word(h.format);
    number(h.formatSize);
    number(h.sampleFormat);
    number(h.channels);
    number(h.samplingRate);
    number(h.byteRate);
    number(h.blockAlign);
    number(h.bitsPerSample);
    word(h.data);
    number(h.dataSize);
    line += '\n';
}

}  // namespace

bool hasWxvEnding(const std::string& utf8Name) {
    return utf8Name.size() >= 5 && utf8Name.compare(utf8Name.size() - 4, 4, ".wxv") == 0;
}

bool wxvHeaderValid(const WxvHeader& h) {
    const std::optional<std::int64_t> byteRate = perByte(h.channels, h.samplingRate, h.bitsPerSample);
    const std::optional<std::int64_t> blockAlign = perByte(h.channels, 1, h.bitsPerSample);
    return h.riff == riffTag && h.wave == waveTag && h.format == formatTag && h.data == dataTag &&
           std::int64_t{h.riffSize} == std::int64_t{h.dataSize} + riffSizeExtra &&
           h.formatSize == formatSize && h.sampleFormat == pcmFormat && byteRate && *byteRate == h.byteRate &&
           blockAlign && *blockAlign == h.blockAlign;
}

std::optional<WxvHeader> wxvHeaderFor(const PlotModel& model) {
    const std::int64_t channels = static_cast<std::int64_t>(model.graphs.size());
    const std::int64_t rate = model.samplingRate;
    const std::int64_t dataSize = (std::int64_t{model.xSize} - 1) * channels;
    const std::optional<std::int64_t> byteRate = perByte(channels, rate, bitsPerSample);
    const std::optional<std::int64_t> blockAlign = perByte(channels, 1, bitsPerSample);
    if (!fitsInt32(rate) || !fitsInt32(dataSize + riffSizeExtra) || !byteRate || !fitsInt32(*byteRate) ||
        !blockAlign || !fitsInt32(*blockAlign)) {
        return std::nullopt;
    }
    WxvHeader h;
    h.riff = riffTag;
    h.riffSize = static_cast<std::int32_t>(dataSize + riffSizeExtra);
    h.wave = waveTag;
    h.format = formatTag;
    h.formatSize = formatSize;
    h.sampleFormat = pcmFormat;
    h.channels = static_cast<std::int32_t>(channels);
    h.samplingRate = static_cast<std::int32_t>(rate);
    h.byteRate = static_cast<std::int32_t>(*byteRate);
    h.blockAlign = static_cast<std::int32_t>(*blockAlign);
    h.bitsPerSample = bitsPerSample;
    h.data = dataTag;
    h.dataSize = static_cast<std::int32_t>(dataSize);
    return h;
}

std::int32_t wxvSample(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 32767.0) return 32767;
    if (value <= -32768.0) return -32768;
    return static_cast<std::int32_t>(value);  // truncates toward zero
}

std::int32_t writeWxv(const PlotModel& model, const char* localName) {
    if (model.samplingRate == 0) return -2;
    if (model.graphs.empty()) return -1;
    // Checked before the file is opened, so a plot that cannot be described creates nothing.
    const std::optional<WxvHeader> header = wxvHeaderFor(model);
    if (!header || !wxvHeaderValid(*header)) return -1;
    OutputFile file(localName);
    if (!file.isOpen()) return -1;
    std::ostream& out = file.stream();
    std::string line;
    appendHeaderLine(line, *header);
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
    const std::uint32_t size = model.xSize;
    for (std::uint32_t f = 0; f + 1 < size && out; ++f) {
        const std::size_t slot = (std::size_t{f} + model.writeIndex + 1) % size;
        line.clear();
        for (const Graph& g : model.graphs) {
            appendSigned(line, wxvSample(g.samples[slot]));
            line += ' ';
        }
        line += '\n';
        out.write(line.data(), static_cast<std::streamsize>(line.size()));
    }
    return file.commit() ? 0 : -1;
}

bool readWxv(PlotModel& model, const char* localName, std::string* problem) {
    if (localName == nullptr) return false;
    // A folder opens like a file on Linux and then fails to read; it must not add a graph first.
    std::error_code error;
    if (std::filesystem::is_directory(localName, error)) return false;
    std::ifstream in(localName, std::ios::binary);
    if (!in) return false;
    in.imbue(std::locale::classic());
    WordReader words(in);

    WxvHeader header;
    const int first = in.get();
    if (first == '\n') ++words.line;
    const bool headerRead = first == '#' && readHeaderFields(words, header);
    if (!headerRead || !wxvHeaderValid(header)) {
        // The first character is already consumed, so a first line without '#' is skipped whole.
        in.clear();
        words.skipLine();
        in.clear();
    }

    // The fields that were read count even when the header as a whole is invalid.
    const bool channelsUsable =
        header.channels >= 1 && header.channels <= static_cast<std::int32_t>(maxGraphs);
    const unsigned channels = channelsUsable ? static_cast<unsigned>(header.channels) : 1;
    if (header.samplingRate >= 0) model.applySamplingRate(static_cast<unsigned long>(header.samplingRate));
    if (header.dataSize > 0) {
        const std::uint32_t n = static_cast<std::uint32_t>(header.dataSize) / channels + 2 * channels;
        if (n > 9 && n >= model.xSize) model.maxXSize = n;
    }
    while (model.graphs.size() < channels) {
        const std::size_t before = model.graphs.size();
        model.addGraph("");
        if (model.graphs.size() == before) break;  // no room for more graphs
    }

    unsigned channel = 0;
    bool numbersOnly = true;
    std::string word;
    const auto notANumber = [&] {
        numbersOnly = false;
        if (problem) *problem = problemAt(words.line, quotedExcerpt(word) + " is not a number");
    };
    while (words.next(word)) {
        const char* end = word.c_str();
        const bool whole = word.size() + 1 < static_cast<std::size_t>(maxWordLength);
        const double value = whole && looksNumeric(word.c_str()) ? parseReal(word.c_str(), &end) : 0.0;
        if (end == word.c_str()) {
            notANumber();
            break;
        }
        model.storeSample(channel, value);
        if (++channel == channels) {
            model.advance();
            channel = 0;
        }
        if (*end != '\0') {
            // "12abc": the number is read, the text after it is not.
            notANumber();
            break;
        }
    }
    if (channel != 0) model.advance();
    if (in.bad() && numbersOnly && problem) *problem = problemAt(words.line, "the file could not be read on");
    return numbersOnly && !in.bad();
}

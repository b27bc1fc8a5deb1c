#pragma once
// WXV plot files: a text header line that imitates a RIFF/WAVE sound-file header, then one line
// of 16-bit integer samples per frame (one value per graph). On reading, the body is any sequence
// of white-space separated numbers, distributed over the channels frame by frame.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class PlotModel;

inline constexpr std::string_view riffTag = "RIFF";
inline constexpr std::string_view waveTag = "WAVE";
inline constexpr std::string_view formatTag = "fmt";
inline constexpr std::string_view dataTag = "data";

// The header fields in file order. dataSize counts values, not bytes.
struct WxvHeader {
    std::string riff;
    std::int32_t riffSize = 0;
    std::string wave;
    std::string format;
    std::int32_t formatSize = 0;
    std::int32_t sampleFormat = 0;
    std::int32_t channels = 0;
    std::int32_t samplingRate = 0;
    std::int32_t byteRate = 0;
    std::int32_t blockAlign = 0;
    std::int32_t bitsPerSample = 0;
    std::string data;
    std::int32_t dataSize = 0;
};

// True when the UTF-8 name ends in exactly ".wxv" after at least one other character.
bool hasWxvEnding(const std::string& utf8Name);

// The tags, the fixed sizes and formats, RIFF size = data size + 11, and the byte rate and block
// align that the channels, rate and bits give.
bool wxvHeaderValid(const WxvHeader& header);

// The header that describes the model's xSize - 1 frames; empty when a field would not fit.
std::optional<WxvHeader> wxvHeaderFor(const PlotModel& model);

// A sample as written: truncated toward zero and clamped to -32768..32767; NaN gives 0.
std::int32_t wxvSample(double value);

// 0 on success, -2 (nothing created) without a sampling rate, -1 without graphs or when the file
// cannot be written; an existing file is then left as it was.
std::int32_t writeWxv(const PlotModel& model, const char* localName);

// Reads a WXV file into model. An invalid or missing header is not an error: its first line is
// skipped and the fields read are used. False when the file cannot be opened or the body holds
// something that is not a number; *problem then says what and on which line (it stays as it was
// when the file does not open).
bool readWxv(PlotModel& model, const char* localName, std::string* problem = nullptr);

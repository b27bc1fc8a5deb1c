#pragma once
// The input/output record: the open input channel, its unfinished line, the backup channel and
// the playing flag. One instance lives inside GraphData for the whole run.

#include <cstdint>
#include <string>

#include <glib.h>

#include "input/RecordTag.h"

struct GraphData;
typedef struct _GdkPixbuf GdkPixbuf;
typedef struct _GtkWidget GtkWidget;

enum class InputKind { none, standardInput, serialDevice };
enum class BackupKind { none, standardOutput, file };

// Room for one pending line: reading and cutting use at most the first 2048 bytes.
constexpr int lineBufferSize = 2052;

struct IOData {
    static constexpr std::int32_t tagValue = ioDataTag;
    static constexpr const char* typeName = "IOData";

    std::int32_t tag = ioDataTag;
    GraphData* owner = nullptr;
    InputKind inputKind = InputKind::none;
    BackupKind backupKind = BackupKind::none;
    GIOChannel* inputChannel = nullptr;
    char lineBuffer[lineBufferSize] = {};
    std::int32_t lineLength = 0;
    std::int32_t inputGeneration = 1;
    GIOChannel* backupChannel = nullptr;
    std::int32_t backupLineCount = 0;
    std::int32_t savedWatchPriority = 100;
    bool playing = true;
    std::string currentInputName;
    std::string lastSavedPlotName;
    GdkPixbuf* indicatorPixbuf = nullptr;
    GtkWidget* indicatorImage = nullptr;
};

// Shows the recording indicator exactly while both an input and a backup are open.
void updateRecordingIndicator(IOData* io);

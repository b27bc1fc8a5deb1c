#pragma once
// Every record handed to a GTK or GLib callback starts with a type tag; callbacks check it before
// touching the record, and a wrong tag ends the process with status 1. The tags live with the
// model, which every library links, so that each folder can tag its records without linking another.

#include <cstdint>

constexpr std::int32_t graphDataTag = 257;
constexpr std::int32_t ioDataTag = 258;
constexpr std::int32_t confDataTag = 259;
constexpr std::int32_t displayDataTag = 260;
constexpr std::int32_t plotAreaTag = 261;

// Writes "kivrel:<line>: InternalError: bad cast [<found>] to <typeName>" to standard error and
// exits with status 1.
[[noreturn]] void badRecordCast(int line, std::int32_t found, const char* typeName);

// The record behind a callback's user data, after checking its tag. Record types carry
// `static constexpr std::int32_t tagValue` and `static constexpr const char* typeName`, and their
// first member is the tag.
template <class Record>
Record* recordFrom(void* data, int line) {
    const std::int32_t found = data ? *static_cast<const std::int32_t*>(data) : 0;
    if (found != Record::tagValue) badRecordCast(line, found, Record::typeName);
    return static_cast<Record*>(data);
}

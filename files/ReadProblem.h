#pragma once
// What stopped the reading of a plot file and where, as one line of text for the message that
// names the file ("line 3: 'abc' is not a number").

#include <cstdint>
#include <string>

// "line N: " and what went wrong.
std::string problemAt(std::uint64_t line, const std::string& what);

// A piece of the file quoted for a message: cut after 40 bytes, and every byte that is not
// printable ASCII shown as '?', so that a binary file cannot garble the message.
std::string quotedExcerpt(const std::string& text);

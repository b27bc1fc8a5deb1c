#include "model/RecordTag.h"

#include <cstdio>
#include <cstdlib>

void badRecordCast(int line, std::int32_t found, const char* typeName) {
    std::fprintf(stderr, "%s:%d: InternalError: bad cast [%d] to %s\n", "kivrel", line, found, typeName);
    std::fflush(stderr);
    std::exit(1);
}

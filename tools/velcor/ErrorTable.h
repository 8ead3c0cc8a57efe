// The library's error codes as the tool explains them: each code's name in VelcorErrors.h, its
// meaning (VelcorErrorText) and what usually causes it. docs/errors.md carries the same table;
// `velcor errors --markdown` prints it so that a test can hold the two together.
#pragma once

#include <cstdio>
#include <string>

namespace velcor::tool {

struct ErrorEntry {
    int code;
    const char* name;   // the macro of VelcorErrors.h
    const char* cause;  // what usually leads to it, in the words of someone running the tool
};

// The entry of a code, or nullptr for a code the library never produces (10 among them).
const ErrorEntry* FindError(int code);

// "error 9 (VELCOR_ERR_ARGUMENT, invalid argument): a value outside ..." for messages; an
// unknown code still names itself and says it is unknown.
std::string DescribeError(int code);

// The whole table, as aligned text for people or as a markdown table for docs/errors.md.
void PrintErrorTable(std::FILE* out, bool markdown);

}  // namespace velcor::tool

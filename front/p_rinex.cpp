#include <cstdio>

#include "support/error.h"
#include "support/version.h"

int main(int, char**) {
    if (!report_stream) report_stream = stderr;
    std::printf("%s %s %s %s\n", program_name, version_text, credits_text, build_tool_text);
    return 0;
}

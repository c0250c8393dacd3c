// What the bench kit's command-line tools share.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace velmora::bench {

// Ends a tool whose command line is wrong, with `text` saying how to call it.
[[noreturn]] inline void usage(const char* text) {
    std::fputs(text, stderr);
    std::exit(2);
}

}  // namespace velmora::bench

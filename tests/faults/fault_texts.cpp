// Gives the fault matrix the texts it expects from where the program keeps
// them, so that the script restates none of them:
//   velmora_fault_texts messages   one line per text: its name, a tab, and
//                                  the text as the console converter prints
//                                  it, each line break inside written "\n"
//   velmora_fault_texts header     the bytes of the CSV header line
#include <string>
#include <string_view>
#include <utility>

#include "cli/console_texts.h"
#include "conversion/messages.h"
#include "csv/csv_writer.h"
#include "platform/platform.h"

namespace {

using namespace velmora;

const std::pair<std::string_view, std::string_view> kTexts[] = {
    {"converting", messages::converting},
    {"failed", messages::failed},
    {"completed", messages::completed},
    {"nothingToOutput", messages::nothingToOutput},
    {"rowFailed", messages::rowFailed},
    {"headerFailed", messages::headerFailed},
    {"sourceUnreadable", messages::sourceUnreadable},
    {"destinationUnwritable", messages::destinationUnwritable},
    {"countsFormat", messages::countsFormat},
    {"destinationExists", console::destinationExists},
};

// The text on one line: "\r\n" and "\n" inside it become "\n" written out, a
// line break at its end is dropped, and a backslash is doubled.
std::string escaped(std::string_view text) {
    if (text.ends_with('\n')) text.remove_suffix(1);
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.substr(i).starts_with("\r\n")) continue;
        if (text[i] == '\n') {
            out += "\\n";
        } else {
            if (text[i] == '\\') out += '\\';
            out += text[i];
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string_view what = argc == 2 ? argv[1] : "";
    if (what == "header") {
        platform::writeText(platform::Stream::output, csvHeader());
    } else if (what == "messages") {
        std::string lines;
        for (const auto& [name, text] : kTexts) lines.append(name).append("\t").append(escaped(text)).append("\n");
        platform::writeText(platform::Stream::output, lines);
    } else {
        platform::writeText(platform::Stream::error, "usage: velmora_fault_texts messages|header\n");
        return 2;
    }
    return 0;
}

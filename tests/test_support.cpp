#include "tests/test_support.h"

#include "vcard/loader.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/platform.h"
#include "vcard/lines.h"

namespace velmora::test {

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        path_ =
            base / ("velmora-test-" + std::to_string(std::hash<std::string>{}(base.string()) % 100000) + "-" +
                    std::to_string(reinterpret_cast<std::uintptr_t>(this) % 100000) + "-" + std::to_string(counter++));
        if (std::filesystem::create_directory(path_)) break;
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string sjis(std::string_view utf8) {
    return platform::utf8ToAnsi(utf8).value();
}

std::string csvRow(const std::map<int, std::string>& columns) {
    std::string row;
    for (int column = 0; column < 95; ++column) {
        const auto it = columns.find(column);
        if (it != columns.end()) row.append(1, '"').append(it->second).append(1, '"');
        if (column < 94) row += ',';
    }
    return row + "\r\n";
}

std::string fieldText(const ContactList& list, const ContactRecord& record, Field field) {
    const auto text = list.text(record, field);
    return text ? std::string(*text) : std::string("<absent>");
}

ContactList parse(std::string_view text) {
    ContactList list;
    parseVcardText(text, list);
    return list;
}

}  // namespace velmora::test

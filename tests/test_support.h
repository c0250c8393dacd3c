// Helpers shared by the tests: temporary folders, file bytes, a user
// interface that records what the run shows, and expected CSV lines built
// from column numbers.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/conversion.h"
#include "vcard/contact.h"

namespace velmora::test {

// A fresh folder under the system's temporary folder, removed at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

void writeFile(const std::filesystem::path& path, std::string_view bytes);
std::string readFile(const std::filesystem::path& path);

// Text in code page 932 from UTF-8 written in the test source.
std::string sjis(std::string_view utf8);

// Records every call the run makes; answers the overwrite question with
// `answer` and counts how often it was asked.
class RecordingUi : public UserInterface {
public:
    OverwriteChoice answer = OverwriteChoice::overwrite;
    std::vector<std::string> errors;
    std::vector<std::string> messages;
    int questions = 0;
    // Every call in order, as shownError, listed and kQuestion give it.
    std::vector<std::string> calls;

    void showError(std::string_view text) override {
        errors.emplace_back(text);
        calls.push_back(shownError(text));
    }
    void appendMessage(std::string_view text) override {
        messages.emplace_back(text);
        calls.push_back(listed(text));
    }
    OverwriteChoice askOverwriteOrAppend() override {
        ++questions;
        calls.emplace_back(kQuestion);
        return answer;
    }

    static std::string shownError(std::string_view text) { return "error: " + std::string(text); }
    static std::string listed(std::string_view text) { return "message: " + std::string(text); }
    static constexpr std::string_view kQuestion = "overwrite or append?";
};

// One contact line: 95 columns, the given ones holding their (already
// escaped) text in double quotes, the others empty; ends with CR LF.
std::string csvRow(const std::map<int, std::string>& columns);

// The value of a field, or "<absent>".
std::string fieldText(const ContactList& list, const ContactRecord& record, Field field);

// Parses `text` as a whole source text.
ContactList parse(std::string_view text);

}  // namespace velmora::test

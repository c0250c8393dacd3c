// The texts a conversion run shows, exactly as the user sees them.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <iterator>
#include <string_view>

namespace velmora::messages {

inline constexpr std::string_view sourceEmpty = "変換元ファイル名が入力（選択）されていません。";
inline constexpr std::string_view destinationEmpty = "変換先ファイル名が入力（選択）されていません。";
inline constexpr std::string_view sourceTooLong = "変換元ファイルのフォルダ名およびファイル名が長すぎます。";
inline constexpr std::string_view destinationTooLong = "変換先ファイルのフォルダ名およびファイル名が長すぎます。";
inline constexpr std::string_view sourceNotVcard = "変換元ファイルはvCardファイルではありません。";
inline constexpr std::string_view destinationNotCsv = "変換先ファイルはCSVファイルではありません。";
inline constexpr std::string_view sourceMissing = "変換元ファイルがありません。";
inline constexpr std::string_view destinationFolderMissing = "変換先フォルダがありません。";

inline constexpr std::string_view converting = "変換処理中...";
inline constexpr std::string_view encodingUnsupported = "変換元ファイルの文字コードに対応していません。";
inline constexpr std::string_view sourceUnreadable =
    "変換元ファイルが読み込めません。\r\n他で使用中もしくは破損している可能性があります。";
inline constexpr std::string_view destinationUnwritable =
    "変換先ファイルへ書き込めません。\r\n他で使用中もしくは書込み禁止の可能性があります。";
inline constexpr std::string_view failed = "変換処理に失敗しました。";
inline constexpr std::string_view headerFailed = "ヘッダ情報のCSV出力に失敗しました。";
inline constexpr std::string_view rowFailed = "vCard情報のCSV出力に失敗しました。";
inline constexpr std::string_view nothingToOutput = "出力対象データが1件もありませんでした。";
inline constexpr std::string_view completed = "変換が完了しました。";
// The counts line: contacts read (complete blocks), then contact lines
// written, each in place of one "%d".
inline constexpr std::string_view countsFormat = "入力データ：%d件、　出力データ：%d件";

// The counts line made in a buffer of its own: showing it once the lines are
// written needs no memory, so that a run whose lines all reached the file
// never ends as failed for want of a few bytes.
class CountsLine {
public:
    CountsLine(std::size_t input, std::size_t output) {
        std::string_view format = countsFormat;
        char* out = text_;
        for (const std::size_t n : {input, output}) {
            const std::size_t slot = format.find("%d");
            out = std::copy_n(format.data(), slot, out);
            out = std::to_chars(out, std::end(text_), n).ptr;
            format.remove_prefix(slot + 2);
        }
        out = std::copy_n(format.data(), format.size(), out);
        length_ = static_cast<std::size_t>(out - text_);
    }
    std::string_view text() const { return {text_, length_}; }

private:
    char text_[countsFormat.size() + 2 * 20];  // room for two 64-bit numbers in place of "%d"
    std::size_t length_;
};

}  // namespace velmora::messages

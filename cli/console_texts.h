// The console converter's own texts about an existing destination, as the
// user sees them; the run's texts are in conversion/messages.h.
#pragma once

#include <string_view>

namespace velmora::console {

// Asked on the terminal when the destination exists and no option chose.
inline constexpr std::string_view overwriteQuestion =
    "変換先ファイルが既に存在します。\n上書きで保存するか、追加で保存するかを選択して下さい。\n"
    "[o] 上書き保存  [a] 追加保存  [c] キャンセル > ";

// Shown instead, before the run is cancelled, when standard input is no
// terminal.
inline constexpr std::string_view destinationExists =
    "変換先ファイルが既に存在します。--overwrite（上書き保存）か --append（追加保存）を指定して下さい。\n"
    "The destination exists: add --overwrite or --append.\n";

}  // namespace velmora::console

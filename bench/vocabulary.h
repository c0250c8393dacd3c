// Word lists from which the address-book generator builds its contacts.
// Everything here is UTF-8 as typed; the generator converts it once at start-up
// into the encoding of the style it writes (code page 932 for feature-phone
// books, UTF-8 kept as is for smartphone books).
//
// A few entries carry an ASCII ",", ";" or "\", which vCard 3.0 books write as
// the escapes "\,", "\;" and "\\"; notes and companies hold them, where
// vCard 2.1 books write them QUOTED-PRINTABLE or need no escape.
//
// A few entries are there on purpose because their code page 932 form has 0x5C
// (the ASCII backslash) as second byte: the family names 表 (95 5C) and 能
// (94 5C), the given name 圭 (8C 5C) and the company ending in ソ (83 5C). In an
// N or ORG value written without transfer encoding they stand right before a
// ";", where a reader that does not know the lead bytes takes the ";" for an
// escaped one.
#pragma once

#include <string_view>

namespace velmora::bench {

// Word lists laid out by hand, several entries to a line.
// clang-format off

// A name, its reading in half-width katakana as feature phones store it, and
// its romaji for e-mail addresses.
struct PersonName {
    std::string_view kanji, reading, romaji;
};

inline constexpr PersonName kFamilyNames[] = {
    {"佐藤", "ｻﾄｳ", "sato"}, {"鈴木", "ｽｽﾞｷ", "suzuki"}, {"高橋", "ﾀｶﾊｼ", "takahashi"}, {"田中", "ﾀﾅｶ", "tanaka"},
    {"伊藤", "ｲﾄｳ", "ito"}, {"渡辺", "ﾜﾀﾅﾍﾞ", "watanabe"}, {"山本", "ﾔﾏﾓﾄ", "yamamoto"}, {"中村", "ﾅｶﾑﾗ", "nakamura"},
    {"小林", "ｺﾊﾞﾔｼ", "kobayashi"}, {"加藤", "ｶﾄｳ", "kato"}, {"吉田", "ﾖｼﾀﾞ", "yoshida"}, {"山田", "ﾔﾏﾀﾞ", "yamada"},
    {"佐々木", "ｻｻｷ", "sasaki"}, {"山口", "ﾔﾏｸﾞﾁ", "yamaguchi"}, {"松本", "ﾏﾂﾓﾄ", "matsumoto"},
    {"井上", "ｲﾉｳｴ", "inoue"}, {"木村", "ｷﾑﾗ", "kimura"}, {"林", "ﾊﾔｼ", "hayashi"}, {"斎藤", "ｻｲﾄｳ", "saito"},
    {"清水", "ｼﾐｽﾞ", "shimizu"}, {"山崎", "ﾔﾏｻﾞｷ", "yamazaki"}, {"森", "ﾓﾘ", "mori"}, {"池田", "ｲｹﾀﾞ", "ikeda"},
    {"橋本", "ﾊｼﾓﾄ", "hashimoto"}, {"阿部", "ｱﾍﾞ", "abe"}, {"石川", "ｲｼｶﾜ", "ishikawa"}, {"山下", "ﾔﾏｼﾀ", "yamashita"},
    {"中島", "ﾅｶｼﾞﾏ", "nakajima"}, {"石井", "ｲｼｲ", "ishii"}, {"小川", "ｵｶﾞﾜ", "ogawa"}, {"前田", "ﾏｴﾀﾞ", "maeda"},
    {"岡田", "ｵｶﾀﾞ", "okada"}, {"長谷川", "ﾊｾｶﾞﾜ", "hasegawa"}, {"藤田", "ﾌｼﾞﾀ", "fujita"}, {"後藤", "ｺﾞﾄｳ", "goto"},
    {"近藤", "ｺﾝﾄﾞｳ", "kondo"}, {"表", "ｵﾓﾃ", "omote"}, {"能", "ﾉｳ", "nou"}, {"曾根", "ｿﾈ", "sone"},
    {"十河", "ｿｺﾞｳ", "sogo"},
};

inline constexpr PersonName kGivenNames[] = {
    {"太郎", "ﾀﾛｳ", "taro"}, {"花子", "ﾊﾅｺ", "hanako"}, {"翔太", "ｼｮｳﾀ", "shota"}, {"陽菜", "ﾋﾅ", "hina"},
    {"大輔", "ﾀﾞｲｽｹ", "daisuke"}, {"美咲", "ﾐｻｷ", "misaki"}, {"健太", "ｹﾝﾀ", "kenta"}, {"愛", "ｱｲ", "ai"},
    {"誠", "ﾏｺﾄ", "makoto"}, {"由美", "ﾕﾐ", "yumi"}, {"圭", "ｹｲ", "kei"}, {"康介", "ｺｳｽｹ", "kosuke"},
    {"直樹", "ﾅｵｷ", "naoki"}, {"恵子", "ｹｲｺ", "keiko"}, {"拓也", "ﾀｸﾔ", "takuya"}, {"さくら", "ｻｸﾗ", "sakura"},
    {"蓮", "ﾚﾝ", "ren"}, {"結衣", "ﾕｲ", "yui"}, {"浩二", "ｺｳｼﾞ", "koji"}, {"明美", "ｱｹﾐ", "akemi"},
    {"隆", "ﾀｶｼ", "takashi"}, {"裕子", "ﾕｳｺ", "yuko"}, {"大翔", "ﾋﾛﾄ", "hiroto"}, {"葵", "ｱｵｲ", "aoi"},
    {"修", "ｵｻﾑ", "osamu"}, {"智子", "ﾄﾓｺ", "tomoko"}, {"和也", "ｶｽﾞﾔ", "kazuya"}, {"真由美", "ﾏﾕﾐ", "mayumi"},
    {"十和子", "ﾄﾜｺ", "towako"}, {"圭吾", "ｹｲｺﾞ", "keigo"}, {"ひろし", "ﾋﾛｼ", "hiroshi"}, {"ポール", "ﾎﾟｰﾙ", "paul"},
};

// postalPrefix: the first three digits of the postal code.
struct Place {
    std::string_view region, locality, street, postalPrefix;
};

inline constexpr Place kPlaces[] = {
    {"東京都", "千代田区", "丸の内", "100"}, {"東京都", "渋谷区", "神宮前", "150"},
    {"東京都", "世田谷区", "三軒茶屋", "154"}, {"大阪府", "大阪市北区", "梅田", "530"},
    {"神奈川県", "横浜市中区", "山下町", "231"}, {"愛知県", "名古屋市中区", "栄", "460"},
    {"福岡県", "福岡市博多区", "博多駅前", "812"}, {"北海道", "札幌市中央区", "大通西", "060"},
    {"京都府", "京都市下京区", "四条通", "600"}, {"埼玉県", "飯能市", "双柳", "357"},
    {"岡山県", "岡山市北区", "表町", "700"}, {"兵庫県", "神戸市中央区", "三宮町", "650"},
    {"宮城県", "仙台市青葉区", "一番町", "980"}, {"広島県", "広島市中区", "紙屋町", "730"},
    {"新潟県", "十日町市", "本町", "948"}, {"石川県", "能美市", "寺井町", "923"},
};

inline constexpr std::string_view kBuildings[] = {
    "サンハイツ", "コーポ青葉", "グランメゾン", "レジデンス栄", "ハイム若葉", "ヴィラ表参道", "青葉ビル, A棟",
};

inline constexpr std::string_view kCompanies[] = {
    "株式会社山田商事", "有限会社青葉工務店", "株式会社マルソ", "東和電機株式会社", "株式会社さくら不動産",
    "日本橋運輸株式会社", "株式会社ミライ技研", "北斗食品株式会社", "株式会社表屋", "能登観光株式会社",
    "医療法人社団緑会", "市立第十中学校", "Example Japan, Inc.",
};

inline constexpr std::string_view kDepartments[] = {
    "営業部", "総務部", "経理課", "技術開発部", "代表", "人事部", "製造部", "第二営業課",
};

inline constexpr std::string_view kTitles[] = {"課長", "部長", "主任", "代表取締役", "係長", "教諭"};

inline constexpr std::string_view kNoteSentences[] = {
    "大学の同期。", "毎年年賀状を送る。", "取引先の担当者。電話は午前中が確実。", "ゴルフ仲間。",
    "子供の同級生の保護者。", "誕生日にはケーキを予約する。", "表計算ソフトの勉強会で知り合った。",
    "能登旅行で一緒だった。", "十月に引っ越し予定。新住所は後で確認。", "会社の代表番号は平日９時から１８時まで。",
    "メールは携帯のほうに送ること。", "高校の部活の先輩。", "町内会の役員、ゴミ当番の連絡先。",
    "歯科医院、予約はネットからも可。", "ソフトボールチームの監督。", "実家の隣の方。", "内線は1234; 不在なら代表へ。",
    "名簿の元は \\\\nas\\共有\\名簿 にある。", "車はグレー, 白のワゴン。",
};

// Group names as feature phones store them beside a contact (X-GN).
inline constexpr std::string_view kGroups[] = {
    "家族", "友人", "会社", "学校", "趣味", "親戚", "お店", "サークル", "近所", "グループ１", "未分類",
};

// Nicknames that smartphone books carry in NICKNAME or custom lines.
inline constexpr std::string_view kNicknames[] = {
    "たっちゃん", "ハナ", "しょーた", "ゆみちゃん", "部長", "先輩", "おじさん", "ケンケン",
};

// Custom labels that books put on grouped lines (X-ABLabel, X-ALIAS).
inline constexpr std::string_view kLabels[] = {
    "実家", "会社代表", "自宅FAX", "携帯２", "単身赴任先", "学校", "お店の予約",
};

// Characters that only a smartphone book carries; none has a form in code page
// 932, so the converter replaces each by one space.
inline constexpr std::string_view kEmoji[] = {"🎂", "😊", "📞", "🍺"};

inline constexpr std::string_view kHomeMailDomains[] = {
    "example.ne.jp", "mail.example.jp", "example.com", "mobile.example.jp",
};
inline constexpr std::string_view kWorkMailDomains[] = {"example.co.jp", "corp.example.jp", "example.or.jp"};
inline constexpr std::string_view kMobileMailDomains[] = {
    "mobile-a.example.ne.jp", "mobile-b.example.ne.jp", "mobile-c.example.ne.jp", "i.example.ne.jp",
};

// clang-format on

}  // namespace velmora::bench

#pragma once

// Every text the user sees, in one place.
namespace Texts {

inline constexpr wchar_t kAppTitle[] = L"Quillrake";
inline constexpr wchar_t kAlreadyRunning[] = L"既に起動されています";
inline constexpr wchar_t kClearButton[] = L"レジストリクリア";
inline constexpr wchar_t kKeyNotFound[] = L"キーを発見できず";
inline constexpr wchar_t kKeysFoundSuffix[] = L"件のキーを発見";
inline constexpr wchar_t kDeleteSucceeded[] = L"レジストキーの削除に成功";
inline constexpr wchar_t kDeleteFailed[] = L"レジストキーの削除に失敗";
// What a screen reader calls the log and the list, which have no visible label.
inline constexpr wchar_t kLogName[] = L"ログ";
inline constexpr wchar_t kListName[] = L"最近使ったプロジェクト";
// What the log box holds before the load event empties it.
inline constexpr wchar_t kLogPlaceholder[] = L"Text1";

}  // namespace Texts

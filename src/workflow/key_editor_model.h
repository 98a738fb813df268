#pragma once
// The logic of the key editor: the keys of a record with their state counts
// and state names, edited on the editor's own copy of the record image. It
// keeps the limits of the record (at most 8 keys, 2 to 16 states, key names of
// 15 and state names of 8 GBK bytes) and says, for every refused edit, which
// message to show. The caller copies back what it wants.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lang/language.h"
#include "store/protocol_record.h"
#include "workflow/text_fields.h"

namespace klimavo::workflow {

inline constexpr int kMinStates = 2;

/// A message to show: caption and text, UTF-8.
struct EditorMessage {
  std::string caption;
  std::string text;
  friend bool operator==(const EditorMessage&, const EditorMessage&) = default;
};

// Language texts of the editor's own messages.
inline constexpr int kTextBelowTwoStates = 258;
inline constexpr int kTextStateCountBelowTwo = 259;
inline constexpr int kTextNameEmpty = 260;
inline constexpr int kTextKeyNameMissing = 261;
inline constexpr int kTextRemoveRefused = 262;
inline constexpr int kTextNewKeyCaption = 263;
inline constexpr int kTextNewKeyPrompt = 264;

/// A new key: the name, no states, no bit fields, no format slots.
store::TdiskKey NewKey(std::string_view gbk_name);

/// What the OK check of the editor finds wrong with the first faulty key.
enum class KeyFault { None, NameEmpty, TooFewStates, TooManyStates, StateNameEmpty };
struct KeyCheck {
  KeyFault fault = KeyFault::None;
  int key = -1;
  int state = -1;
};
/// Checks the first key-count keys in order: a name that is not empty after
/// trimming, 2 to 16 states, state names that are not empty. No keys pass.
KeyCheck CheckKeys(const store::TdiskAir& record);

class KeyEditorModel {
 public:
  /// Works on a copy of `record`; a key count above 8 is taken as 8.
  KeyEditorModel(const store::TdiskAir& record, const lang::Language& language);

  const store::TdiskAir& Record() const { return record_; }
  int KeyCount() const { return record_.KeyCount; }
  /// The key's name as shown: passed through the key-name translation (UTF-8).
  std::string KeyName(int key) const;
  /// The stored state count (0..255).
  int StateCount(int key) const;
  /// The key's first state-count state names (at most 16) as shown, translated (UTF-8).
  std::vector<std::string> StateNames(int key) const;

  /// End of editing a key name: stored as typed, cut to 15 bytes.
  std::optional<EditorMessage> SetKeyName(int key, std::string_view utf8);
  /// End of editing a state count: a whole number 2..16, else refused and the
  /// previous count kept.
  std::optional<EditorMessage> SetStateCount(int key, std::string_view text);
  /// End of editing state name `state` (0-based) of a key: cut to 8 bytes.
  std::optional<EditorMessage> SetStateName(int key, int state, std::string_view utf8);

  bool CanAddKey() const { return record_.KeyCount < store::kMaxKeys; }
  /// Adds a key with the typed name (only while there are fewer than 8 keys).
  std::optional<EditorMessage> AddKey(std::string_view utf8_name);
  /// Removes the last key; refused when exactly 2 keys exist, nothing with none.
  std::optional<EditorMessage> RemoveLastKey();

  /// The check of OK: the first key with an empty name, fewer than 2 states or
  /// an empty state name. A record without keys passes.
  struct Check {
    std::optional<EditorMessage> message;
    int key = -1;
    int state = -1;
  };
  Check Accept() const;

  /// The caption and prompt of the box that asks for a new key's name.
  EditorMessage NewKeyQuestion() const {
    return EditorMessage{TextUtf8(language_, kTextNewKeyCaption), TextUtf8(language_, kTextNewKeyPrompt)};
  }

 private:
  bool ValidKey(int key) const { return key >= 0 && key < record_.KeyCount; }
  EditorMessage Numbered(int text, const std::string& detail = {}) const;

  store::TdiskAir record_;
  lang::Language language_;
};

}  // namespace klimavo::workflow

#include "workflow/key_editor_model.h"

#include <algorithm>

#include "base/gbk.h"
#include "base/text.h"
#include "lang/text_numbers.h"

namespace klimavo::workflow {
namespace {

int ShownStates(const store::TdiskKey& key) { return std::min<int>(key.StateCount, store::kMaxStates); }

std::string StateRange() {
  return base::Concat({"(", std::to_string(kMinStates), "..", std::to_string(store::kMaxStates), ")"});
}

}  // namespace

store::TdiskKey NewKey(std::string_view gbk_name) {
  store::TdiskKey key;
  key.Name.assign(gbk_name);
  for (auto& column : key.Columns) column.Values.fill(store::kUnsetValue);
  return key;
}

KeyEditorModel::KeyEditorModel(const store::TdiskAir& record, const lang::Language& language)
    : record_(record), language_(language) {
  record_.KeyCount = static_cast<std::uint8_t>(record_.UsedKeys());
}

EditorMessage KeyEditorModel::Numbered(int text, const std::string& detail) const {
  std::string body = TextUtf8(language_, text);
  if (!detail.empty()) body += " " + detail;
  return EditorMessage{TextUtf8(language_, lang::kTextInformation), body};
}

std::string KeyEditorModel::KeyName(int key) const {
  if (!ValidKey(key)) return {};
  const std::string name = record_.Keys[static_cast<std::size_t>(key)].Name.str();
  return base::GbkToUtf8(lang::TranslateKeyName(name, language_.LanguageNo()));
}

int KeyEditorModel::StateCount(int key) const {
  return ValidKey(key) ? record_.Keys[static_cast<std::size_t>(key)].StateCount : 0;
}

std::vector<std::string> KeyEditorModel::StateNames(int key) const {
  std::vector<std::string> names;
  if (!ValidKey(key)) return names;
  const store::TdiskKey& k = record_.Keys[static_cast<std::size_t>(key)];
  for (int s = 0; s < ShownStates(k); ++s)
    names.push_back(base::GbkToUtf8(
        lang::TranslateStateName(k.StateNames[static_cast<std::size_t>(s)].str(), language_.LanguageNo())));
  return names;
}

std::optional<EditorMessage> KeyEditorModel::SetKeyName(int key, std::string_view utf8) {
  if (!ValidKey(key)) return std::nullopt;
  const auto gbk = RecordText(utf8);
  if (!gbk)
    return EditorMessage{TextUtf8(language_, lang::kTextInformation),
                         NotGbkMessage(language_, TextField::KeyName)};
  record_.Keys[static_cast<std::size_t>(key)].Name.assign(*gbk);
  return std::nullopt;
}

std::optional<EditorMessage> KeyEditorModel::SetStateCount(int key, std::string_view text) {
  if (!ValidKey(key)) return std::nullopt;
  long long value = 0;
  if (!base::ParseInteger(text, value))
    return Numbered(kTextNumberOutOfRange, base::Concat({"\"", text, "\" ", StateRange()}));
  if (value < kMinStates) return Numbered(kTextBelowTwoStates);
  if (value > static_cast<long long>(store::kMaxStates))
    return Numbered(kTextNumberOutOfRange, std::to_string(value) + " " + StateRange());
  record_.Keys[static_cast<std::size_t>(key)].StateCount = static_cast<std::uint8_t>(value);
  return std::nullopt;
}

std::optional<EditorMessage> KeyEditorModel::SetStateName(int key, int state, std::string_view utf8) {
  if (!ValidKey(key) || state < 0 || state >= static_cast<int>(store::kMaxStates)) return std::nullopt;
  const auto gbk = RecordText(utf8);
  if (!gbk)
    return EditorMessage{TextUtf8(language_, lang::kTextInformation),
                         NotGbkMessage(language_, TextField::StateName)};
  record_.Keys[static_cast<std::size_t>(key)].StateNames[static_cast<std::size_t>(state)].assign(*gbk);
  return std::nullopt;
}

std::optional<EditorMessage> KeyEditorModel::AddKey(std::string_view utf8_name) {
  if (!CanAddKey()) return std::nullopt;
  if (base::Trim(utf8_name).empty()) return Numbered(kTextKeyNameMissing);
  const auto gbk = RecordText(utf8_name);
  if (!gbk)
    return EditorMessage{TextUtf8(language_, lang::kTextInformation),
                         NotGbkMessage(language_, TextField::KeyName)};
  record_.Keys[record_.KeyCount] = NewKey(*gbk);
  ++record_.KeyCount;
  return std::nullopt;
}

std::optional<EditorMessage> KeyEditorModel::RemoveLastKey() {
  if (record_.KeyCount == 2) return Numbered(kTextRemoveRefused);
  if (record_.KeyCount == 0) return std::nullopt;
  --record_.KeyCount;
  return std::nullopt;
}

KeyCheck CheckKeys(const store::TdiskAir& record) {
  for (int k = 0; k < static_cast<int>(record.UsedKeys()); ++k) {
    const store::TdiskKey& key = record.Keys[static_cast<std::size_t>(k)];
    if (base::Trim(key.Name.str()).empty()) return {KeyFault::NameEmpty, k, -1};
    if (key.StateCount < kMinStates) return {KeyFault::TooFewStates, k, -1};
    if (key.StateCount > store::kMaxStates) return {KeyFault::TooManyStates, k, -1};
    for (int s = 0; s < key.StateCount; ++s) {
      if (base::Trim(key.StateNames[static_cast<std::size_t>(s)].str()).empty())
        return {KeyFault::StateNameEmpty, k, s};
    }
  }
  return {};
}

KeyEditorModel::Check KeyEditorModel::Accept() const {
  const KeyCheck check = CheckKeys(record_);
  switch (check.fault) {
    case KeyFault::None:
      return {};
    case KeyFault::NameEmpty:
    case KeyFault::StateNameEmpty:
      return {Numbered(kTextNameEmpty), check.key, check.state};
    case KeyFault::TooFewStates:
      return {Numbered(kTextStateCountBelowTwo), check.key, -1};
    case KeyFault::TooManyStates: {
      const int count = record_.Keys[static_cast<std::size_t>(check.key)].StateCount;
      return {Numbered(kTextNumberOutOfRange, std::to_string(count) + " " + StateRange()), check.key, -1};
    }
  }
  return {};
}

}  // namespace klimavo::workflow

#include "model/project/language.h"

#include <algorithm>
#include <array>

#include "support/convert.h"
#include "support/engine_state.h"
#include "support/text.h"

namespace velmora {
namespace {

// How a translation record is stored in a file: its element and attributes, the key
// attributes first and the phrase last.
template <class Record, std::size_t N>
struct RecordForm {
    std::string_view element;
    std::array<std::pair<std::string_view, std::string Record::*>, N> fields;
    std::string Record::*attribute;
};

constexpr RecordForm<AGProjectPhrase, 3> kProjectForm{
    "ProjectPhrase",
    {{{"LanguageId", &AGProjectPhrase::LanguageId},
      {"ProjectAttribute", &AGProjectPhrase::ProjectAttribute},
      {"Phrase", &AGProjectPhrase::Phrase}}},
    &AGProjectPhrase::ProjectAttribute};

constexpr RecordForm<AGMenuPhrase, 4> kMenuForm{
    "MenuPhrase",
    {{{"LanguageId", &AGMenuPhrase::LanguageId},
      {"MenuId", &AGMenuPhrase::MenuId},
      {"MenuAttribute", &AGMenuPhrase::MenuAttribute},
      {"Phrase", &AGMenuPhrase::Phrase}}},
    &AGMenuPhrase::MenuAttribute};

constexpr RecordForm<AGTablePhrase, 4> kTableForm{
    "TablePhrase",
    {{{"LanguageId", &AGTablePhrase::LanguageId},
      {"TableName", &AGTablePhrase::TableName},
      {"TableAttribute", &AGTablePhrase::TableAttribute},
      {"Phrase", &AGTablePhrase::Phrase}}},
    &AGTablePhrase::TableAttribute};

constexpr RecordForm<AGFieldPhrase, 5> kFieldForm{
    "FieldPhrase",
    {{{"LanguageId", &AGFieldPhrase::LanguageId},
      {"TableName", &AGFieldPhrase::TableName},
      {"FieldName", &AGFieldPhrase::FieldName},
      {"FieldAttribute", &AGFieldPhrase::FieldAttribute},
      {"Phrase", &AGFieldPhrase::Phrase}}},
    &AGFieldPhrase::FieldAttribute};

template <class Record, std::size_t N>
bool SameKey(const RecordForm<Record, N>& form, const Record& a, const Record& b) {
    for (std::size_t i = 0; i + 1 < N; ++i)
        if (a.*form.fields[i].second != b.*form.fields[i].second) return false;
    return true;
}

template <class Record, std::size_t N>
std::string GetPhrase(const RecordForm<Record, N>& form, const std::vector<Record>& list, const Record& probe) {
    for (const Record& record : list)
        if (SameKey(form, record, probe)) return record.Phrase;
    return {};
}

template <class Record, std::size_t N>
void SetPhrase(const RecordForm<Record, N>& form, std::vector<Record>& list, Record record) {
    for (Record& held : list) {
        if (SameKey(form, held, record)) {
            held.Phrase = std::move(record.Phrase);
            return;
        }
    }
    list.push_back(std::move(record));
}

template <class Record, std::size_t N>
bool HasAttribute(const RecordForm<Record, N>& form, const std::vector<Record>& list, std::string_view attribute) {
    return std::any_of(list.begin(), list.end(),
                       [&](const Record& record) { return record.*form.attribute == attribute; });
}

template <class Record, std::size_t N>
void RemoveAttribute(const RecordForm<Record, N>& form, std::vector<Record>& list, std::string_view attribute) {
    std::erase_if(list, [&](const Record& record) { return record.*form.attribute == attribute; });
}

template <class Record>
std::optional<Record> ItemAt(const std::vector<Record>& list, std::int32_t index) {
    if (index < 1 || static_cast<std::size_t>(index) > list.size()) return std::nullopt;
    return list[static_cast<std::size_t>(index - 1)];
}

template <class Record, std::size_t N>
void WriteRecord(const RecordForm<Record, N>& form, XmlNode& parent, const Record& record) {
    XmlNode element = parent.AppendElement(form.element);
    for (const auto& [name, member] : form.fields) element.SetAttribute(name, record.*member);
    parent.AppendText("\r\n");
}

template <class Record, std::size_t N>
Record ReadRecord(const RecordForm<Record, N>& form, const XmlNode& element) {
    Record record;
    for (const auto& [name, member] : form.fields) record.*member = element.GetAttributeNoCase(name);
    return record;
}

template <class Record, std::size_t N>
bool IsElementOf(const RecordForm<Record, N>& form, std::string_view lowerName) {
    return ToLowerAscii(form.element) == lowerName;
}

std::string AfterLastSeparator(std::string_view path) {
    auto pos = path.find_last_of("\\/");
    return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

std::string PhraseKey(std::string_view id) { return FoldCase(id); }

void CollectPhrases(const XmlNode& node, std::vector<std::pair<std::string, std::string>>& out) {
    for (const XmlNode& child : node.ChildElements()) {
        if (child.HasAttributeNoCase("id") && child.HasAttributeNoCase("value"))
            out.emplace_back(child.GetAttributeNoCase("id"), child.GetAttributeNoCase("value"));
        CollectPhrases(child, out);
    }
}

}  // namespace

std::string AGPLanguage::GetFileId(std::string_view fileName) const {
    for (const LanguageFileInfo& file : files_)
        if (EqualsNoCase(file.fileName, fileName)) return file.id;
    return {};
}

std::string AGPLanguage::GetFileDesc(std::string_view fileName) const {
    for (const LanguageFileInfo& file : files_)
        if (EqualsNoCase(file.fileName, fileName)) return file.desc;
    return {};
}

void AGPLanguage::ResetFiles() { files_.clear(); }

void AGPLanguage::SaveCheckPoint() { checkpoint_ = translations_; }

void AGPLanguage::RestoreCheckPoint() {
    if (checkpoint_) translations_ = *checkpoint_;
}

void AGPLanguage::ClearTranslations() { translations_ = {}; }

// Project phrases.

std::int32_t AGPLanguage::ProjectCount() const { return static_cast<std::int32_t>(translations_.project.size()); }

std::optional<AGProjectPhrase> AGPLanguage::ProjectItem(std::int32_t index) const {
    return ItemAt(translations_.project, index);
}

std::string AGPLanguage::GetProjectPhrase(std::string_view languageId, std::string_view projectAttribute) const {
    return GetPhrase(kProjectForm, translations_.project,
                     AGProjectPhrase{std::string(languageId), std::string(projectAttribute), {}});
}

void AGPLanguage::SetProjectPhrase(std::string_view languageId, std::string_view projectAttribute,
                                   std::string_view phrase) {
    SetPhrase(kProjectForm, translations_.project,
              AGProjectPhrase{std::string(languageId), std::string(projectAttribute), std::string(phrase)});
}

bool AGPLanguage::HasProjectPhrase(std::string_view projectAttribute) const {
    return HasAttribute(kProjectForm, translations_.project, projectAttribute);
}

void AGPLanguage::ResetProjectPhrase(std::string_view projectAttribute) {
    RemoveAttribute(kProjectForm, translations_.project, projectAttribute);
}

// Menu phrases.

std::int32_t AGPLanguage::MenuCount() const { return static_cast<std::int32_t>(translations_.menu.size()); }

std::optional<AGMenuPhrase> AGPLanguage::MenuItem(std::int32_t index) const {
    return ItemAt(translations_.menu, index);
}

std::string AGPLanguage::GetMenuPhrase(std::string_view languageId, std::string_view menuId,
                                       std::string_view menuAttribute) const {
    return GetPhrase(kMenuForm, translations_.menu,
                     AGMenuPhrase{std::string(languageId), std::string(menuId), std::string(menuAttribute), {}});
}

void AGPLanguage::SetMenuPhrase(std::string_view languageId, std::string_view menuId, std::string_view menuAttribute,
                                std::string_view phrase) {
    SetPhrase(kMenuForm, translations_.menu,
              AGMenuPhrase{std::string(languageId), std::string(menuId), std::string(menuAttribute),
                           std::string(phrase)});
}

bool AGPLanguage::HasMenuPhrase(std::string_view menuAttribute) const {
    return HasAttribute(kMenuForm, translations_.menu, menuAttribute);
}

void AGPLanguage::ResetMenuPhrase(std::string_view menuAttribute) {
    RemoveAttribute(kMenuForm, translations_.menu, menuAttribute);
}

void AGPLanguage::DeleteMenuPhrase(std::string_view menuId) {
    std::erase_if(translations_.menu, [&](const AGMenuPhrase& record) { return record.MenuId == menuId; });
}

// Table phrases.

std::int32_t AGPLanguage::TableCount() const { return static_cast<std::int32_t>(translations_.table.size()); }

std::optional<AGTablePhrase> AGPLanguage::TableItem(std::int32_t index) const {
    return ItemAt(translations_.table, index);
}

void AGPLanguage::RenameTable(std::string_view oldName, std::string_view newName) {
    for (AGTablePhrase& record : translations_.table)
        if (record.TableName == oldName) record.TableName = std::string(newName);
    for (AGFieldPhrase& record : translations_.field)
        if (record.TableName == oldName) record.TableName = std::string(newName);
}

std::string AGPLanguage::GetTablePhrase(std::string_view languageId, std::string_view tableName,
                                        std::string_view tableAttribute) const {
    return GetPhrase(kTableForm, translations_.table,
                     AGTablePhrase{std::string(languageId), std::string(tableName), std::string(tableAttribute), {}});
}

void AGPLanguage::SetTablePhrase(std::string_view languageId, std::string_view tableName,
                                 std::string_view tableAttribute, std::string_view phrase) {
    SetPhrase(kTableForm, translations_.table,
              AGTablePhrase{std::string(languageId), std::string(tableName), std::string(tableAttribute),
                            std::string(phrase)});
}

bool AGPLanguage::HasTablePhrase(std::string_view tableAttribute) const {
    return HasAttribute(kTableForm, translations_.table, tableAttribute);
}

void AGPLanguage::ResetTablePhrase(std::string_view tableAttribute) {
    RemoveAttribute(kTableForm, translations_.table, tableAttribute);
}

void AGPLanguage::DeleteTablePhrase(std::string_view tableName) {
    std::erase_if(translations_.table, [&](const AGTablePhrase& record) { return record.TableName == tableName; });
}

// Field phrases.

std::int32_t AGPLanguage::FieldCount() const { return static_cast<std::int32_t>(translations_.field.size()); }

std::optional<AGFieldPhrase> AGPLanguage::FieldItem(std::int32_t index) const {
    return ItemAt(translations_.field, index);
}

void AGPLanguage::RenameField(std::string_view tableName, std::string_view oldName, std::string_view newName) {
    for (AGFieldPhrase& record : translations_.field)
        if (record.TableName == tableName && record.FieldName == oldName) record.FieldName = std::string(newName);
}

std::string AGPLanguage::GetFieldPhrase(std::string_view languageId, std::string_view tableName,
                                        std::string_view fieldName, std::string_view fieldAttribute) const {
    return GetPhrase(kFieldForm, translations_.field,
                     AGFieldPhrase{std::string(languageId), std::string(tableName), std::string(fieldName),
                                   std::string(fieldAttribute), {}});
}

void AGPLanguage::SetFieldPhrase(std::string_view languageId, std::string_view tableName, std::string_view fieldName,
                                 std::string_view fieldAttribute, std::string_view phrase) {
    SetPhrase(kFieldForm, translations_.field,
              AGFieldPhrase{std::string(languageId), std::string(tableName), std::string(fieldName),
                            std::string(fieldAttribute), std::string(phrase)});
}

bool AGPLanguage::HasFieldPhrase(std::string_view fieldAttribute) const {
    return HasAttribute(kFieldForm, translations_.field, fieldAttribute);
}

void AGPLanguage::ResetFieldPhrase(std::string_view fieldAttribute) {
    RemoveAttribute(kFieldForm, translations_.field, fieldAttribute);
}

void AGPLanguage::DeleteFieldPhrase(std::string_view tableName, std::string_view fieldName) {
    std::erase_if(translations_.field, [&](const AGFieldPhrase& record) {
        return record.TableName == tableName && record.FieldName == fieldName;
    });
}

void AGPLanguage::DeleteTableFieldPhrases(std::string_view tableName) {
    std::erase_if(translations_.field, [&](const AGFieldPhrase& record) { return record.TableName == tableName; });
}

// Translations in files.

void AGPLanguage::WriteTranslations(XmlNode parent, const PhraseOwners& owners) const {
    for (const AGProjectPhrase& record : translations_.project)
        if (!record.Phrase.empty()) WriteRecord(kProjectForm, parent, record);
    for (const AGMenuPhrase& record : translations_.menu) {
        if (record.Phrase.empty() || !owners.hasMenu || !ParseNumber(record.MenuId)) continue;
        std::optional<std::int32_t> id = ToLong(Variant(record.MenuId));
        if (id && owners.hasMenu(*id)) WriteRecord(kMenuForm, parent, record);
    }
    for (const AGTablePhrase& record : translations_.table)
        if (!record.Phrase.empty() && owners.hasTable && owners.hasTable(record.TableName))
            WriteRecord(kTableForm, parent, record);
    for (const AGFieldPhrase& record : translations_.field)
        if (!record.Phrase.empty() && owners.hasField && owners.hasField(record.TableName, record.FieldName))
            WriteRecord(kFieldForm, parent, record);
}

bool AGPLanguage::ReadTranslation(const XmlNode& element) {
    if (!element.IsElement()) return false;
    std::string name = ToLowerAscii(element.NodeName());
    if (IsElementOf(kProjectForm, name)) {
        AGProjectPhrase r = ReadRecord(kProjectForm, element);
        SetProjectPhrase(r.LanguageId, r.ProjectAttribute, r.Phrase);
    } else if (IsElementOf(kMenuForm, name)) {
        AGMenuPhrase r = ReadRecord(kMenuForm, element);
        SetMenuPhrase(r.LanguageId, r.MenuId, r.MenuAttribute, r.Phrase);
    } else if (IsElementOf(kTableForm, name)) {
        AGTablePhrase r = ReadRecord(kTableForm, element);
        SetTablePhrase(r.LanguageId, r.TableName, r.TableAttribute, r.Phrase);
    } else if (IsElementOf(kFieldForm, name)) {
        AGFieldPhrase r = ReadRecord(kFieldForm, element);
        SetFieldPhrase(r.LanguageId, r.TableName, r.FieldName, r.FieldAttribute, r.Phrase);
    } else {
        return false;
    }
    return true;
}

// Language files.

std::string AGPLanguage::Phrase(std::string_view id) const {
    auto it = phraseIndex_.find(PhraseKey(id));
    return it == phraseIndex_.end() ? std::string() : phrases_[it->second].text;
}

bool AGPLanguage::AddPhrase(std::string_view id, std::string_view phrase) {
    std::string key = PhraseKey(id);
    if (phraseIndex_.contains(key)) return false;
    phraseIndex_.emplace(std::move(key), phrases_.size());
    phrases_.push_back({std::string(id), std::string(phrase)});
    return true;
}

bool AGPLanguage::ReplacePhrase(std::string_view id, std::string_view phrase) {
    auto it = phraseIndex_.find(PhraseKey(id));
    if (it == phraseIndex_.end()) return false;
    phrases_[it->second].text = std::string(phrase);
    return true;
}

void AGPLanguage::StorePhrase(std::string_view id, std::string_view text) {
    if (!ReplacePhrase(id, text)) AddPhrase(id, text);
}

bool AGPLanguage::Load(const std::string& file) { return ReadLanguageFile(file, false); }

bool AGPLanguage::LoadExtension(const std::string& file) { return ReadLanguageFile(file, true); }

bool AGPLanguage::ReadLanguageFile(const std::string& file, bool extension) {
    XmlDocument doc;
    if (!doc.Load(file)) return Fail("Load language file failed!");
    XmlNode root = doc.DocumentElement();
    if (!extension) version_ = root.GetAttributeNoCase("version");
    files_.push_back({AfterLastSeparator(file), root.GetAttributeNoCase("id"), root.GetAttributeNoCase("desc")});
    std::vector<std::pair<std::string, std::string>> found;
    CollectPhrases(root, found);
    for (const auto& [id, text] : found) StorePhrase(id, text);
    return true;
}

void AGPLanguage::InitSettings() {
    phrases_.clear();
    phraseIndex_.clear();
    files_.clear();
    version_.clear();
    curIndex_ = 0;
}

std::shared_ptr<AGPLanguage> SharedLanguage() {
    static auto language = std::make_shared<AGPLanguage>();
    return language;
}

AGPLanguage& Language() { return *SharedLanguage(); }

}  // namespace velmora

// The phrase store: the project's own translations of its captions (per language, for the
// project, menu items, tables and fields) and the phrases of the template package's language
// files.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/xml.h"
#include "support/variant.h"

namespace velmora {

struct AGProjectPhrase {
    std::string LanguageId;
    std::string ProjectAttribute;
    std::string Phrase;
};

struct AGMenuPhrase {
    std::string LanguageId;
    std::string MenuId;
    std::string MenuAttribute;
    std::string Phrase;
};

struct AGTablePhrase {
    std::string LanguageId;
    std::string TableName;
    std::string TableAttribute;
    std::string Phrase;
};

struct AGFieldPhrase {
    std::string LanguageId;
    std::string TableName;
    std::string FieldName;
    std::string FieldAttribute;
    std::string Phrase;
};

// One phrase of a language file.
struct LanguageFilePhrase {
    std::string id;
    std::string text;
};

// A language file that was read: its name without folder and its root's id and desc.
struct LanguageFileInfo {
    std::string fileName;
    std::string id;
    std::string desc;
};

// What still exists when translations are written: phrases of objects that are gone are
// dropped. A missing function counts as "does not exist".
struct PhraseOwners {
    std::function<bool(std::int32_t menuId)> hasMenu;
    std::function<bool(std::string_view table)> hasTable;
    std::function<bool(std::string_view table, std::string_view field)> hasField;
};

class AGPLanguage : public AutomationObject {
public:
    // Loaded language files, searched by file name without regard to case; "" when not loaded.
    std::string GetFileId(std::string_view fileName) const;
    std::string GetFileDesc(std::string_view fileName) const;
    void ResetFiles();

    // A saved copy of the four translation lists; restoring without a saved copy does nothing.
    void SaveCheckPoint();
    void RestoreCheckPoint();

    // Translations. Items are addressed from 1; Get compares every key exactly, Has and Reset
    // look at the attribute only (any language, any object).
    std::int32_t ProjectCount() const;
    std::optional<AGProjectPhrase> ProjectItem(std::int32_t index) const;
    std::string GetProjectPhrase(std::string_view languageId, std::string_view projectAttribute) const;
    void SetProjectPhrase(std::string_view languageId, std::string_view projectAttribute, std::string_view phrase);
    bool HasProjectPhrase(std::string_view projectAttribute) const;
    void ResetProjectPhrase(std::string_view projectAttribute);

    std::int32_t MenuCount() const;
    std::optional<AGMenuPhrase> MenuItem(std::int32_t index) const;
    std::string GetMenuPhrase(std::string_view languageId, std::string_view menuId,
                              std::string_view menuAttribute) const;
    void SetMenuPhrase(std::string_view languageId, std::string_view menuId, std::string_view menuAttribute,
                       std::string_view phrase);
    bool HasMenuPhrase(std::string_view menuAttribute) const;
    void ResetMenuPhrase(std::string_view menuAttribute);
    void DeleteMenuPhrase(std::string_view menuId);

    std::int32_t TableCount() const;
    std::optional<AGTablePhrase> TableItem(std::int32_t index) const;
    // Table and field phrases of oldName move to newName.
    void RenameTable(std::string_view oldName, std::string_view newName);
    std::string GetTablePhrase(std::string_view languageId, std::string_view tableName,
                               std::string_view tableAttribute) const;
    void SetTablePhrase(std::string_view languageId, std::string_view tableName, std::string_view tableAttribute,
                        std::string_view phrase);
    bool HasTablePhrase(std::string_view tableAttribute) const;
    void ResetTablePhrase(std::string_view tableAttribute);
    void DeleteTablePhrase(std::string_view tableName);

    std::int32_t FieldCount() const;
    std::optional<AGFieldPhrase> FieldItem(std::int32_t index) const;
    void RenameField(std::string_view tableName, std::string_view oldName, std::string_view newName);
    std::string GetFieldPhrase(std::string_view languageId, std::string_view tableName, std::string_view fieldName,
                               std::string_view fieldAttribute) const;
    void SetFieldPhrase(std::string_view languageId, std::string_view tableName, std::string_view fieldName,
                        std::string_view fieldAttribute, std::string_view phrase);
    bool HasFieldPhrase(std::string_view fieldAttribute) const;
    void ResetFieldPhrase(std::string_view fieldAttribute);
    void DeleteFieldPhrase(std::string_view tableName, std::string_view fieldName);
    // The field phrases of every field of the table.
    void DeleteTableFieldPhrases(std::string_view tableName);

    // Empties the four translation lists (a new project).
    void ClearTranslations();

    // Language-file phrases. Ids are compared lower-cased.
    std::int32_t curIndex() const { return curIndex_; }
    void SetcurIndex(std::int32_t index) { curIndex_ = index; }
    std::int32_t Count() const { return static_cast<std::int32_t>(phrases_.size()); }
    std::string Phrase(std::string_view id) const;
    // Appends a phrase of a new id; false when the id is held.
    bool AddPhrase(std::string_view id, std::string_view phrase);
    // Gives a held id a new text; false when the id is not held.
    bool ReplacePhrase(std::string_view id, std::string_view phrase);
    // Reads a language file; its phrases replace held ones of the same id. Load records the
    // file's version as the language-file version; LoadExtension (an extension's addition to a
    // language) leaves that version alone.
    bool Load(const std::string& file);
    bool LoadExtension(const std::string& file);
    // Forgets the language files: phrases, loaded-file list and version. Translations stay.
    void InitSettings();
    // The version of the last language file read by Load.
    const std::string& LanguageFileVersion() const { return version_; }
    const std::vector<LanguageFilePhrase>& Phrases() const { return phrases_; }
    const std::vector<LanguageFileInfo>& Files() const { return files_; }

    // Appends one ProjectPhrase / MenuPhrase / TablePhrase / FieldPhrase element per non-empty
    // phrase of an existing object, each followed by a CR LF text node.
    void WriteTranslations(XmlNode parent, const PhraseOwners& owners) const;
    // Stores the translation an element of those four names (any case) holds; false for any
    // other element.
    bool ReadTranslation(const XmlNode& element);

private:
    struct Translations {
        std::vector<AGProjectPhrase> project;
        std::vector<AGMenuPhrase> menu;
        std::vector<AGTablePhrase> table;
        std::vector<AGFieldPhrase> field;
    };

    bool ReadLanguageFile(const std::string& file, bool extension);
    void StorePhrase(std::string_view id, std::string_view text);

    Translations translations_;
    std::optional<Translations> checkpoint_;
    std::vector<LanguageFilePhrase> phrases_;
    std::unordered_map<std::string, std::size_t> phraseIndex_;  // lower-cased id -> position
    std::vector<LanguageFileInfo> files_;
    std::string version_;
    std::int32_t curIndex_ = 0;
};

// The phrase store shared by every root object of the process.
AGPLanguage& Language();
std::shared_ptr<AGPLanguage> SharedLanguage();

}  // namespace velmora

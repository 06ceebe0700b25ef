// The root object's members that export and import the project's translations.
#include <filesystem>
#include <fstream>

#include "model/project/agp.h"
#include "model/entities/database.h"
#include "model/entities/fields.h"
#include "model/project/language.h"
#include "model/project/menus.h"
#include "model/entities/tables.h"
#include "platform/xml.h"
#include "support/convert.h"
#include "support/engine_state.h"
#include "support/settings_store.h"
#include "support/text.h"
#include "support/text_file.h"

namespace velmora {
namespace {

constexpr std::string_view kPhraseFileRoot = "LanguagePhrases";

// Translations are written only for objects the project still has.
PhraseOwners CurrentOwners(const std::shared_ptr<AGPDatabase>& db) {
    PhraseOwners owners;
    owners.hasMenu = [](std::int32_t id) { return MenuList().MenuHasID(id); };
    std::shared_ptr<AGPTables> tables = db ? db->Tables() : nullptr;
    if (!tables) return owners;
    owners.hasTable = [tables](std::string_view table) { return tables->TableExist(Variant(table)); };
    owners.hasField = [tables](std::string_view table, std::string_view field) {
        for (const auto& candidate : tables->Items()) {
            if (!EqualsNoCase(candidate->Key(), table)) continue;
            auto fields = candidate->Fields();
            return fields && fields->FieldExist(Variant(field));
        }
        return false;
    };
    return owners;
}

bool IsReadableFile(std::string_view path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::path(path), ec)) return false;
    std::ifstream in{std::string(path), std::ios::binary};
    return static_cast<bool>(in);
}

}  // namespace

bool AGP::SaveLanguagePhrasesToFile(std::string_view fileName) {
    XmlDocument doc;
    doc.AddProcessingInstruction("xml", R"(version="1.0" encoding="UTF-8" standalone="yes")");
    WriteLanguagePhrases(doc.CreateDocumentElement(kPhraseFileRoot));
    bool format = ToBoolean(GetRegValue("HKCU", SettingsSection("General"), "FormatProjectFile")).value_or(false);
    return WriteTextFile(fileName, doc.ToString(format), false, "utf-8");
}

void AGP::WriteLanguagePhrases(XmlNode parent) const { Language().WriteTranslations(parent, CurrentOwners(DB())); }

bool AGP::LoadLanguagePhrasesFromFile(std::string_view fileName) {
    XmlDocument doc;
    std::string path(fileName);
    if (!IsReadableFile(path)) return Fail("load file failed");
    if (!doc.Load(path)) return Fail("parse error: " + doc.Error().reason);
    XmlNode root = doc.DocumentElement();
    if (root.NodeName() != kPhraseFileRoot) return Fail("incorrect file format");
    AGPLanguage& language = Language();
    for (const XmlNode& element : root.ChildElements()) language.ReadTranslation(element);
    return true;
}

}  // namespace velmora

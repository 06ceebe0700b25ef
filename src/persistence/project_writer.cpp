#include "persistence/project_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <initializer_list>
#include <memory>
#include <vector>

#include "model/project/agp.h"
#include "model/entities/charts.h"
#include "model/project/custom_scripts.h"
#include "model/entities/database.h"
#include "model/entities/databases.h"
#include "model/extensions/extensions.h"
#include "model/entities/fields.h"
#include "model/entities/master_details.h"
#include "model/project/menus.h"
#include "model/entities/tables.h"
#include "persistence/project_backup.h"
#include "persistence/sequence_repair.h"
#include "platform/prompter.h"
#include "platform/xml.h"
#include "support/convert.h"
#include "support/engine_state.h"
#include "support/settings_store.h"
#include "support/text.h"
#include "support/text_file.h"

namespace velmora {
namespace {

constexpr std::string_view kDeclaration = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)";
constexpr int kDefaultBackupCount = 10;

bool IsXmlNameChar(unsigned char c, bool first) {
    bool start = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
    return start || (!first && ((c >= '0' && c <= '9') || c == '-' || c == '.'));
}

bool IsXmlName(std::string_view name) {
    if (name.empty()) return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (!IsXmlNameChar(static_cast<unsigned char>(name[i]), i == 0)) return false;
    return true;
}

// The project file's text, written straight from the model: a document of this size is built
// and serialised far faster this way than through a DOM. Each child element starts on a line of
// its own (CR LF before it, and before its parent's closing tag); formatted, the line breaks are
// followed by one tab per level.
class ProjectText {
public:
    ProjectText(bool format, std::size_t expectedSize) : format_(format) { text_.reserve(expectedSize); }

    void Open(std::string_view name) {
        if (!stack_.empty()) {
            StartContent();
            stack_.back().hasElements = true;
            LineBreak(stack_.size());
        }
        text_ += '<';
        text_ += name;
        stack_.push_back({std::string(name)});
    }

    void Attribute(std::string_view name, std::string_view value) {
        text_ += ' ';
        text_ += name;
        text_ += "=\"";
        // Runs of characters that need no reference are copied at once.
        std::size_t runStart = 0;
        for (std::size_t i = 0; i < value.size(); ++i) {
            const char ch = value[i];
            const bool plain = static_cast<unsigned char>(ch) >= 0x20 && ch != '&' && ch != '<' && ch != '>' && ch != '"';
            if (plain) continue;
            text_.append(value.substr(runStart, i - runStart));
            runStart = i + 1;
            switch (ch) {
                case '&': text_ += "&amp;"; break;
                case '<': text_ += "&lt;"; break;
                case '>': text_ += "&gt;"; break;
                case '"': text_ += "&quot;"; break;
                // Line breaks and tabs in values survive only as character references.
                default: text_ += "&#" + std::to_string(static_cast<int>(ch)) + ';';
            }
        }
        text_.append(value.substr(runStart));
        text_ += '"';
    }

    // The code as CDATA sections that, read one after the other, give it back unchanged. CDATA
    // cannot hold "]]>", so a section ends after "]]"; a parser turns CR LF in character data
    // into LF, so each CR goes between two sections as a character reference.
    void Code(std::string_view code) {
        StartContent();
        text_ += "<![CDATA[";
        for (std::size_t i = 0; i < code.size(); ++i) {
            if (code[i] == '\r') {
                text_ += "]]>&#13;<![CDATA[";
            } else if (code.compare(i, 3, "]]>") == 0) {
                text_ += "]]]]><![CDATA[>";
                i += 2;
            } else {
                text_ += code[i];
            }
        }
        text_ += "]]>";
    }

    void Close() {
        Element element = std::move(stack_.back());
        stack_.pop_back();
        if (!element.hasContent) {
            text_ += "/>";
            return;
        }
        if (element.hasElements) LineBreak(stack_.size());
        text_ += "</";
        text_ += element.name;
        text_ += '>';
    }

    std::string Finish() {
        while (!stack_.empty()) Close();
        text_ += "\r\n";
        return std::move(text_);
    }

    void Declaration() {
        text_ += kDeclaration;
        text_ += "\r\n";
    }

private:
    struct Element {
        std::string name;
        bool hasContent = false;  // the start tag is closed
        bool hasElements = false;
    };

    void StartContent() {
        Element& element = stack_.back();
        if (element.hasContent) return;
        text_ += '>';
        element.hasContent = true;
    }

    void LineBreak(std::size_t depth) {
        text_ += "\r\n";
        if (format_) text_.append(depth, '\t');
    }

    bool format_;
    std::string text_;
    std::vector<Element> stack_;
};

std::string BooleanText(bool value, const ProjectWriteOptions& options) {
    if (options.allEntries) return value ? "true" : "false";
    return value ? "1" : "0";
}

// The shortest text that reads back as the same number.
template <class Number>
std::string ExactNumberText(Number number) {
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, number);
    return error == std::errc() ? std::string(buffer, end) : std::string();
}

// A number's usual text where it reads back unchanged; otherwise its exact form, since the
// usual text keeps only as many digits as a user is shown.
std::string NumberText(const Variant& value) {
    std::string text = value.ToText();
    if (value.Type() == VarType::Double) {
        double number = value.AsDouble();
        if (!std::isfinite(number) || ParseNumber(text) == number) return text;
        return ExactNumberText(number);
    }
    float number = value.AsSingle();
    auto read = ParseNumber(text);
    if (!std::isfinite(number) || (read && static_cast<float>(*read) == number)) return text;
    return ExactNumberText(number);
}

std::string AttributeText(const PropertyRow& entry, const Variant& value, const ProjectWriteOptions& options) {
    if (EqualsNoCase(entry.dataType, "Boolean")) return BooleanText(ToBoolean(value).value_or(false), options);
    if (value.Type() == VarType::Double || value.Type() == VarType::Single) return NumberText(value);
    std::string text = value.ToText();
    // The list of tag values is kept on one line.
    if (EqualsNoCase(entry.name, "FldTagValues")) return ReplaceAll(text, "\r\n", "|");
    return text;
}

// One attribute per saved entry, in bag order. Names in `reserved` are written by the element
// itself; an entry whose name is no XML name cannot be written and is left out. The element's
// naming attribute `named` is added from the owner's key when the bag did not write it.
void WriteBag(ProjectText& out, const AGProperties& bag, const ProjectWriteOptions& options,
              std::initializer_list<std::string_view> reserved = {}, std::string_view named = {},
              std::string_view key = {}) {
    bool namedWritten = named.empty();
    for (std::size_t pos = 0; pos < bag.Size(); ++pos) {
        const PropertyRow& entry = bag.RowAt(pos);
        if (!entry.fileSave && !options.allEntries) continue;
        const std::string& name = entry.name;
        bool isReserved =
            std::any_of(reserved.begin(), reserved.end(), [&](std::string_view r) { return EqualsNoCase(r, name); });
        if (isReserved || !IsXmlName(name)) continue;
        if (!namedWritten && EqualsNoCase(name, named)) namedWritten = true;
        out.Attribute(name, AttributeText(entry, bag.ValueAt(pos), options));
    }
    if (!namedWritten) out.Attribute(named, key);
}

// Items ordered by their sequence numbers; equal numbers keep collection order, so nothing is
// lost or repeated even where numbers clash.
template <class T, class Seq>
std::vector<std::shared_ptr<T>> BySeq(std::vector<std::shared_ptr<T>> items, Seq seq) {
    std::stable_sort(items.begin(), items.end(), [&](const auto& a, const auto& b) { return seq(*a) < seq(*b); });
    return items;
}

void WriteTrendlines(ProjectText& out, const AGPChart& chart, const ProjectWriteOptions& options) {
    if (!chart.Trendlines()) return;
    for (const auto& trend : BySeq(chart.Trendlines()->Items(), [](const AGPTrend& t) { return t.TrendSeq(); })) {
        out.Open("Trendline");
        WriteBag(out, *trend->Properties(), options, {}, "TrendName", trend->Key());
        out.Close();
    }
}

void WriteTable(ProjectText& out, const AGPTable& table, const ProjectWriteOptions& options) {
    out.Open("Table");
    WriteBag(out, *table.Properties(), options, {}, "TblName", table.Key());
    if (table.Fields()) {
        for (const auto& field : BySeq(table.Fields()->Items(), [](const AGPField& f) { return f.FldSeq(); })) {
            out.Open("Field");
            WriteBag(out, *field->Properties(), options, {}, "FldName", field->Key());
            out.Close();
        }
    }
    if (table.Charts()) {
        for (const auto& chart : BySeq(table.Charts()->Items(), [](const AGPChart& c) { return c.ChartSeq(); })) {
            out.Open("Chart");
            WriteBag(out, *chart->Properties(), options, {}, "ChartName", chart->Key());
            WriteTrendlines(out, *chart, options);
            out.Close();
        }
    }
    out.Close();
}

void WriteDatabase(ProjectText& out, const AGPDatabase& db, const ProjectWriteOptions& options) {
    out.Open("Database");
    WriteBag(out, *db.Properties(), options, {}, "DBName", db.Key());
    if (db.Tables()) {
        for (const auto& table : BySeq(db.Tables()->Items(), [](const AGPTable& t) { return t.TblSeq(); }))
            WriteTable(out, *table, options);
    }
    out.Close();
}

void WriteLinkDatabases(ProjectText& out, AGP& proj, const ProjectWriteOptions& options) {
    for (const auto& link : proj.LINKDBS()->Items()) {
        out.Open("LinkDatabase");
        WriteBag(out, *link->Properties(), options, {}, "DBID", link->Key());
        out.Close();
    }
}

void WriteExtTables(ProjectText& out, const AGPExtDb& db, const ProjectWriteOptions& options) {
    if (!db.Tables()) return;
    for (const auto& table : BySeq(db.Tables()->Items(), [](const AGPExtTable& t) { return t.Seq(); })) {
        out.Open("ExtTable");
        out.Attribute("TblName", table->TblName());
        WriteBag(out, *table->Properties(), options, {"TblName"});
        if (table->Fields()) {
            for (const auto& field : BySeq(table->Fields()->Items(), [](const AGPExtField& f) { return f.Seq(); })) {
                out.Open("ExtField");
                out.Attribute("FldName", field->FldName());
                WriteBag(out, *field->Properties(), options, {"FldName"});
                out.Close();
            }
        }
        out.Close();
    }
}

void WriteExtensions(ProjectText& out, const ProjectWriteOptions& options) {
    for (const auto& extension : Extensions().Items()) {
        if (extension->IsViewTemplate()) continue;
        out.Open("Extension");
        WriteBag(out, *extension->Properties(), options, {}, "Name", extension->Name());
        auto settings = extension->PROJ();
        if (extension->Enabled() && settings) {
            out.Open("ExtProject");
            WriteBag(out, *settings->Properties(), options);
            out.Close();
            if (settings->DBCnt() > 0) {
                auto db = settings->DB()->Items().front();
                out.Open("ExtDatabase");
                WriteBag(out, *db->Properties(), options);
                out.Close();
                WriteExtTables(out, *db, options);
            }
        }
        out.Close();
    }
}

void WriteMasterDetails(ProjectText& out, AGP& proj, const ProjectWriteOptions& options) {
    for (const auto& relation : proj.MasterDetails()->ItemsBySeq()) {
        out.Open("MasterDetail");
        out.Attribute("MasterTable", relation->MasterTable());
        out.Attribute("DetailTable", relation->DetailTable());
        out.Attribute("EnforceReferentialIntegrity", BooleanText(relation->EnforceReferentialIntegrity(), options));
        out.Attribute("CascadeUpdate", BooleanText(relation->CascadeUpdate(), options));
        out.Attribute("CascadeDelete", BooleanText(relation->CascadeDelete(), options));
        for (std::int16_t i = 1; i <= relation->FieldCount(); ++i) {
            out.Open("Relation");
            out.Attribute("MasterField", relation->MasterField(i));
            out.Attribute("DetailField", relation->DetailField(i));
            out.Close();
        }
        out.Close();
    }
}

void WriteCustomScripts(ProjectText& out, const ProjectWriteOptions& options) {
    for (const auto& script : CustomScripts().ItemsBySeq()) {
        out.Open("CustomScript");
        WriteBag(out, *script->Properties(), options);
        out.Code(script->ScriptCode());
        out.Close();
    }
}

void WriteMenus(ProjectText& out, const ProjectWriteOptions& options) {
    for (const auto& item : MenuList().Items()) {
        out.Open("Menu");
        for (std::string_view name : MenuAttributeNames()) {
            Variant value = item->MenuAtt(name);
            out.Attribute(name, value.Type() == VarType::Boolean ? BooleanText(value.AsBool(), options)
                                                                 : value.ToText());
        }
        out.Close();
    }
}

// The phrase elements come from the language store as DOM elements; they are copied over.
void WritePhrases(ProjectText& out, const AGP& proj) {
    XmlDocument scratch;
    XmlNode holder = scratch.CreateDocumentElement("Phrases");
    proj.WriteLanguagePhrases(holder);
    for (const XmlNode& element : holder.ChildElements()) {
        out.Open(element.NodeName());
        for (const XmlAttribute& attribute : element.Attributes()) out.Attribute(attribute.name, attribute.value);
        out.Close();
    }
}

int MaxBackupCount() {
    auto count = ToLong(GetRegValue("HKCU", SettingsSection("General"), "MaxProjectBackupCount"));
    return count && *count >= 1 ? *count : kDefaultBackupCount;
}

bool SaveFailed(std::string reason) { return Fail(ProductMessage("Save project file failed! " + reason)); }

}  // namespace

std::string WriteProjectDocument(AGP& proj, const ProjectWriteOptions& options) {
    // A project is mostly saved again at about the size it had: room for that spares the
    // copying of a growing text.
    static std::size_t lastSize = 1 << 16;
    ProjectText out(options.format, lastSize + lastSize / 8);
    out.Declaration();
    out.Open("Project");
    // The engine stamps these two itself; stale entries of the same names must not compete.
    WriteBag(out, *proj.Properties(), options, {"Version", "Product"});
    out.Attribute("Version", EngineVersion());
    out.Attribute("Product", kProductName);
    if (!options.projectOnly) {
        if (auto db = proj.DB()) WriteDatabase(out, *db, options);
        WriteLinkDatabases(out, proj, options);
        WriteExtensions(out, options);
        WriteMasterDetails(out, proj, options);
        WriteCustomScripts(out, options);
        WriteMenus(out, options);
        WritePhrases(out, proj);
    }
    std::string text = out.Finish();
    lastSize = text.size();
    return text;
}

bool WriteProjectFile(AGP& proj, std::string_view projFile, const ProjectWriteOptions& options) {
    EngineState& engine = Engine();
    engine.ProjErr.clear();
    try {
        if (projFile.empty() && !options.exportText) return SaveFailed("No file name given.");
        // Repairs stay in the model even when the save then fails.
        CheckSequence(proj);
        std::string text = WriteProjectDocument(proj, options);
        if (options.exportText) return options.exportText(text);

        std::string backupError;
        if (!BackupProjectFile(projFile, engine.backupFolder, MaxBackupCount(), backupError)) {
            // The user's work matters more than the backup: save anyway, but say so.
            ShowMessage("The previous project file could not be backed up: " + backupError + ".");
        }
        if (!WriteTextFile(projFile, text, false, "utf-8")) return SaveFailed(engine.ProjErr);
        engine.projectDirty = false;
        engine.currentProjectFile = std::string(projFile);
        return true;
    } catch (const std::exception& e) {
        if (engine.ProjErr.empty()) engine.ProjErr = ProductMessage(std::string("Save project file failed! ") + e.what());
        return false;
    } catch (...) {
        if (engine.ProjErr.empty()) engine.ProjErr = ProductMessage("Save project file failed!");
        return false;
    }
}

bool Save(AGP& proj, std::string_view projFile) {
    ProjectWriteOptions options;
    options.format = ToBoolean(GetRegValue("HKCU", SettingsSection("General"), "FormatProjectFile")).value_or(false);
    return WriteProjectFile(proj, projFile, options);
}

}  // namespace velmora

#include <cstdint>
#include <memory>
#include <string>

#include "model/project/agp.h"
#include "model/entities/chart.h"
#include "model/entities/charts.h"
#include "model/project/custom_scripts.h"
#include "model/core/data_types.h"
#include "model/entities/database.h"
#include "model/entities/databases.h"
#include "model/extensions/ext_definition.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/project/language.h"
#include "model/entities/master_details.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "model/entities/trend.h"
#include "persistence/project_reader.h"
#include "persistence/read_context.h"
#include "persistence/read_extensions.h"
#include "support/convert.h"
#include "support/status.h"
#include "support/text.h"

namespace velmora {

ReadContext::~ReadContext() = default;

namespace {

// Versions of PostgreSQL before 7.3 have no schemas: major * 100 + minor of the DBMS version text.
bool IsPostgreSqlBefore73(std::string_view version) {
    std::vector<std::string> parts = Split(Trim(version), '.');
    auto major = ParseNumber(parts[0]);
    if (!major) return false;
    double minor = parts.size() > 1 ? ParseNumber(parts[1]).value_or(0) : 0;
    return *major * 100 + minor < 703;
}

void ReadDatabase(ReadContext& ctx, const XmlNode& element) {
    std::string name = GetAttr(element, "DBName");
    if (name.empty()) name = "zv_db";
    auto db = ctx.proj.AddMainDatabase(name);
    if (!db) return;
    db->SetDBName(name);
    ReadAttributes(element, *db->Properties());
    ctx.databaseKind = DbKindOf(db->DBDBMSName());
    ReadChildren(ctx, element);
}

void ReadLinkDatabase(ReadContext& ctx, const XmlNode& element, int counter) {
    std::string id = GetAttr(element, "DBID");
    if (id.empty()) id = "LINKDB" + std::to_string(counter);
    auto links = ctx.proj.LINKDBS();
    if (!links->Add(id)) return;
    ReadAttributes(element, *links->Item(Variant(id))->Properties());
}

void ShowTableProgress(ReadContext& ctx, const std::string& name) {
    if (ctx.databaseElementCount <= 0 || !ctx.status) return;
    ctx.status->DispStatus("Loading TABLE/VIEW \"" + name + "\"...");
    ctx.status->SetStatus(100.0 * ctx.tablesRead / ctx.databaseElementCount);
}

void ReadTable(ReadContext& ctx, const XmlNode& element) {
    auto db = ctx.proj.DB();
    if (!db) return;
    std::string name = GetAttr(element, "TblName");
    if (name.empty()) return;
    ShowTableProgress(ctx, name);
    ++ctx.tablesRead;
    auto tables = db->Tables();
    if (!tables->Add(name)) return;
    auto table = tables->Item(Variant(name));
    table->LoadTableDefault();
    ReadAttributes(element, *table->Properties());
    table->SetTblVar(MakeVarName(table->TblName(), ""));
    if (table->TblType() == "REPORT") {
        std::string security = ReportSecurityList(table->TblSecurity());
        if (security != table->TblSecurity()) table->SetTblSecurity(security);
    }
    if (ctx.databaseKind == kDbPostgreSql && IsPostgreSqlBefore73(db->DBDBMSVer()) && table->TblSchema() == "public")
        table->SetTblSchema("");
    ReadChildren(ctx, element);
    if (table->Fields()->Count() > 0) table->SetTblLoaded(true);
}

// The old QR-code view template becomes the barcode template with the QR encoding.
std::string RewriteQrCodeTemplate(std::string text) {
    text = ReplaceAll(text, R"("id":"PHPQRCode")", R"("id":"PHPBarcode")");
    text = ReplaceAll(text, R"("name":"QR Code")", R"("name":"Barcode")");
    text = ReplaceAll(text, R"("qrcode")", R"("barcode")");
    text = ReplaceAll(text, R"("qrcode_field")", R"("barcode_field")");
    return ReplaceAll(text, "}", R"(,"encode":"QRCODE","encode_field":null})");
}

bool IsLongOrBinary(std::int32_t type) {
    return type == kAdLongVarChar || type == kAdLongVarWChar || type == kAdLongVarBinary || type == kAdVarBinary;
}

void ReadField(ReadContext& ctx, const XmlNode& element) {
    auto db = ctx.proj.DB();
    if (!db) return;
    std::string name = GetAttr(element, "FldName");
    std::string tableName = db->Tables()->curName();
    if (name.empty() || tableName.empty()) return;
    auto table = db->Tables()->Find(Variant(tableName));
    if (!table || !table->Fields()->Add(tableName, name)) return;
    auto field = table->Fields()->Item(Variant(name));
    ReadAttributes(element, *field->Properties());
    field->SetFldVar(MakeVarName(field->FldName(), "x_"));
    if (auto quote = AdoTypeQuote(field->FldType(), ctx.databaseKind)) {
        field->SetFldQuoteS(*quote);
        field->SetFldQuoteE(*quote);
    }
    // The exact spelling first: nearly every name on a field element starts with "Fld", which
    // the case-blind search cannot rule out by the first letter.
    if (!element.HasAttribute("FldExport") && !element.HasAttributeNoCase("FldExport"))
        field->SetFldExport(field->FldSupport() && !IsLongOrBinary(field->FldType()));
    std::string viewTemplate = field->FldViewTemplate();
    if (viewTemplate.find(R"("id":"PHPQRCode")") != std::string::npos)
        field->SetFldViewTemplate(RewriteQrCodeTemplate(viewTemplate));
}

void ReadChart(ReadContext& ctx, const XmlNode& element) {
    auto db = ctx.proj.DB();
    if (!db) return;
    std::string name = GetAttr(element, "ChartName");
    std::string tableName = db->Tables()->curName();
    if (name.empty() || tableName.empty()) return;
    auto table = db->Tables()->Find(Variant(tableName));
    if (!table || !table->Charts()->Add(tableName, name)) return;
    auto chart = table->Charts()->Item(Variant(name));
    ReadAttributes(element, *chart->Properties());
    auto outer = ctx.currentChart;
    ctx.currentChart = chart;
    ReadChildren(ctx, element);
    ctx.currentChart = outer;
}

void ReadTrendline(ReadContext& ctx, const XmlNode& element) {
    std::string name = GetAttr(element, "TrendName");
    if (name.empty() || !ctx.currentChart) return;
    auto trends = ctx.currentChart->Trendlines();
    if (!trends->Add(name)) return;
    ReadAttributes(element, *trends->Item(Variant(name))->Properties());
}

void ReadMasterDetail(ReadContext& ctx, const XmlNode& element) {
    std::string master = GetAttr(element, "MasterTable");
    std::string detail = GetAttr(element, "DetailTable");
    auto relations = ctx.proj.MasterDetails();
    if (!relations->MasterDetailExist(master, detail)) relations->Add(master, detail);
    auto relation = relations->Item(master, detail);
    if (!relation) return;
    auto flag = [&](std::string_view name) { return ToBoolean(Variant(GetAttr(element, name))).value_or(false); };
    relation->SetEnforceReferentialIntegrity(flag("EnforceReferentialIntegrity"));
    relation->SetCascadeUpdate(flag("CascadeUpdate"));
    relation->SetCascadeDelete(flag("CascadeDelete"));
    for (const XmlNode& child : element.ChildElements())
        if (child.NodeName() == "Relation")
            relation->AddRelation(GetAttr(child, "MasterField"), GetAttr(child, "DetailField"));
}

// Code containing "]]>" is written as several CDATA sections, so all of them make the code.
std::string ScriptCode(const XmlNode& element) {
    std::string code;
    for (const XmlNode& child : element.Children())
        if (child.IsCData() || child.IsText()) code += child.NodeValue();
    return code;
}

void ReadCustomScript(const XmlNode& element) {
    std::string type = GetAttr(element, "ScriptType");
    std::string codeType = GetAttr(element, "ScriptCodeType");
    std::string name = GetAttr(element, "ScriptName");
    std::string ctrlId = GetAttr(element, "ScriptCtrlID");
    std::string l1 = GetAttr(element, "ScriptL1Key");
    std::string l2 = GetAttr(element, "ScriptL2Key");
    AGPCustomScripts& scripts = CustomScripts();
    if (!scripts.ScriptExist(type, codeType, name, ctrlId, l1, l2)) scripts.Add(type, codeType, name, ctrlId, l1, l2);
    auto script = scripts.ScriptItem(type, codeType, name, ctrlId, l1, l2);
    if (!script) return;
    ReadAttributes(element, *script->Properties());
    script->SetScriptCode(ScriptCode(element));
}

}  // namespace

void ReadChildren(ReadContext& ctx, const XmlNode& element) {
    constexpr int kMaxDepth = 64;
    if (ctx.depth >= kMaxDepth) return;
    ++ctx.depth;
    int linkCounter = 0;
    for (const XmlNode& child : element.ChildElements()) {
        const std::string exact = child.NodeName();
        const std::string name = ToLowerAscii(exact);
        if (name == "database") {
            ReadDatabase(ctx, child);
        } else if (name == "linkdatabase") {
            ReadLinkDatabase(ctx, child, ++linkCounter);
        } else if (name == "table") {
            ReadTable(ctx, child);
            // Nothing reads a table's elements again: dropping them returns the document's memory
            // while the model grows, so that the two are never held in full at the same time.
            XmlNode(element).RemoveChild(child);
        } else if (name == "field") {
            ReadField(ctx, child);
        } else if (name == "chart") {
            ReadChart(ctx, child);
        } else if (name == "trendline") {
            ReadTrendline(ctx, child);
        } else if (name == "masterdetail") {
            ReadMasterDetail(ctx, child);
        } else if (exact == "CustomScript") {
            ReadCustomScript(child);
        } else if (!ReadExtensionElement(ctx, name, child)) {
            Language().ReadTranslation(child);
        }
    }
    --ctx.depth;
}

}  // namespace velmora

// What a project derives from its database: custom views (a table made by a SELECT the user
// writes), custom fields (an SQL expression added to a table), link tables (tables read from a
// second, linked database) and reports; also loading and unloading single tables, copying
// settings between tables and fields, and unloading the whole database.
//
// Every operation reports failure through ProjErr (the driver's own text in ProjErrDb) and never
// throws; operations with a Boolean result return false then.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

class AGP;

// A custom view named sTableName over sSQL. A statement the database refuses still leaves the
// view, with the message in TblCustomError and TblGen off. With bCopyFields every field taken
// directly from a table column gets that column's copyable settings.
bool LoadCustomView(AGP& project, std::string_view sTableName, std::string_view sSQL, bool bCopyFields);
// The database view sViewName as a table of type VIEW; sSQL (its definition) names the columns
// whose settings bCopyFields copies.
bool LoadView(AGP& project, std::string_view sViewName, std::string_view sSQL, bool bCopyFields);
// Turns a custom view into the database view the user made from it, keeping every setting.
bool ChangeCustomViewToView(AGP& project, std::string_view SourceName, std::string_view TargetName);

// A field computed by the SQL expression sSQL, probed against the table (a custom view's SQL, a
// link table's own database) before it is added or changed.
bool LoadCustomField(AGP& project, std::string_view sTableName, std::string_view sFieldName, std::string_view sSQL);
bool ChangeCustomField(AGP& project, std::string_view sTableName, std::string_view sFieldName,
                       std::string_view sSQL);
bool UnloadCustomField(AGP& project, std::string_view sTableName, std::string_view sFieldName);

// The connection of a linked database, as LoadDB and LoadDBMySQL take it together.
struct LinkDbArgs {
    std::string sDbName;
    std::string sDbType;
    std::string sPath;
    std::string sPhyPath;
    bool bDBUseServerMapPath = false;
    std::string sConnStr;
    std::string sSchema;
    std::string sHost;
    std::string sPort;
    std::string sUID;
    std::string sPwd;
    std::string sSID;
    std::string sMethod;
    std::string sUrl;
    std::string sEncoding;
};

// Connects a linked database (no table is read) and returns its new id; empty on failure.
std::string LoadLinkDB(AGP& project, const LinkDbArgs& args);
// Replaces the connection of a linked database and reads its link tables again.
bool SyncLinkDB(AGP& project, std::string_view sDbID, const LinkDbArgs& args);
// Removes a linked database and every table linked from it.
bool UnloadLinkDB(AGP& project, std::string_view sDbID);
// Reads table sTableName of a linked database into the project as sProjTableName.
bool LoadLinkTable(AGP& project, std::string_view sLinkDBID, std::string_view sTableName,
                   std::string_view sProjTableName);
// LoadTable for a link table: reads a registered link table through its linked database.
bool LoadRegisteredLinkTable(AGP& project, std::string_view sTableName);

// Removes the fields of a loaded table and marks it not loaded.
bool UnLoadTable(AGP& project, std::string_view sTableName);
// A report table named sTableName with the fields and field settings of sFromTableName.
bool LoadReport(AGP& project, std::string_view sTableName, std::string_view sFromTableName);
// Copies every copyable setting (the Sync flag of each property) and the phrases; names, types
// and what the schema decides are never copied.
bool CopyTableSettings(AGP& project, std::string_view SourceTable, std::string_view TargetTable);
bool CopyFieldSettings(AGP& project, std::string_view SourceTable, std::string_view SourceField,
                       std::string_view TargetTable, std::string_view TargetField);
// Removes the main database with everything that belongs to its tables, so that a new LoadDB
// can follow.
void UnLoadDB(AGP& project);

}  // namespace velmora

// AGPSchema: the database's schema read into plain records, for comparing with a project. It
// reads by the same routes and rules as a project load, without touching any project.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "schema/schema_load.h"
#include "support/variant.h"

namespace velmora {

class AGPDatabase;

struct AGSchemaField {
    bool FldSync = false;
    std::int16_t FldSeq = 0;
    std::string FldName;
    std::int16_t FldType = 0;
    std::string FldTypeName;
    std::int16_t NativeDataType = 0;
    std::string FldTagValues;
    bool FldSupport = false;
    std::int32_t FldSize = 0;
    bool FldUniqueIdx = false;
    bool FldZeroLen = false;
    bool FldReq = false;
    bool FldIsPrimaryKey = false;
    bool FldAutoIncrement = false;
    std::int32_t FldAttribute = 0;
    Variant FldDefault;
    std::string FldQuoteS;
    std::string FldQuoteE;
    std::string FldCaption;
};

struct AGSchemaFields {
    std::vector<AGSchemaField> fld;
};

struct AGSchemaTable {
    bool TblSync = false;
    std::int16_t TblSeq = 0;
    std::string TblSchema;
    std::string TblName;
    std::string TblType;
    std::string TblKey;
    bool TblUpdatable = false;
    std::string TblSQL;
    bool TblGen = false;
    std::int16_t TblFldCnt = 0;
    AGSchemaFields TblFields;
};

struct AGSchemaTables {
    std::vector<AGSchemaTable> Tbl;
};

struct AGSchemaDB {
    std::string DBName, DBType, DBPath;
    bool DBUseServerMapPath = false;
    std::string DBPhyPath, DBSID, DBConnectionMethod, DBURL, DBHost, DBPort, DBEncoding, DBUID, DBPwd, DBConnstr,
        DBADOVer, DBDBMSName, DBDBMSVer, DBOLEDBVer, DBProviderName, DBProviderVer, DBSchema;
    std::int16_t DBTblCnt = 0;
    AGSchemaTables Tables;
};

class AGPSchema : public AutomationObject {
public:
    const AGSchemaDB& DB() const { return db_; }
    // Tables read; below 1 when nothing is loaded.
    std::int16_t tblcnt() const { return tblcnt_; }
    // The i-th table record, from 1; nullptr outside 1..tblcnt.
    const AGSchemaTable* Tbl(std::int16_t i) const;

    // As the root object's loads, plus the one table to read (empty: all). False with ProjErr.
    bool LoadDB(const LoadDbArgs& args, std::string_view sTableName = {});
    bool LoadDBMySQL(const ServerDbArgs& args, std::string_view sTableName = {});
    // A custom view's statement read as the only table record, through a connection string or
    // a server connection.
    bool LoadADOCustomView(std::string_view sConnStr, std::string_view sTableName, std::string_view sSQL);
    bool LoadzvCustomView(const ServerDbArgs& args, std::string_view sTableName, std::string_view sSQL);

    // The tables as the load read them, with every setting a fresh load gives (nullptr before a
    // load): what a synchronisation copies into a project.
    std::shared_ptr<AGPDatabase> Loaded() const { return loaded_; }

private:
    template <class Load>
    bool Read(const std::string& name, bool showStatus, Load load);

    std::shared_ptr<AGPDatabase> loaded_;
    AGSchemaDB db_;
    std::int16_t tblcnt_ = 0;
};

}  // namespace velmora

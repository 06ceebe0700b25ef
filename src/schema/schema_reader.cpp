#include "schema/schema_reader.h"

#include <memory>

#include "model/entities/database.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "schema/load_steps.h"
#include "support/engine_state.h"
#include "support/status.h"
#include "support/text.h"

namespace velmora {
namespace {

AGSchemaField FieldRecord(const AGPField& field, std::int16_t seq) {
    AGSchemaField record;
    record.FldSeq = seq;
    record.FldName = field.FldName();
    record.FldType = field.FldType();
    record.FldTypeName = field.FldTypeName();
    record.NativeDataType = field.NativeDataType();
    record.FldTagValues = field.FldTagValues();
    record.FldSupport = field.FldSupport();
    record.FldSize = field.FldSize();
    record.FldUniqueIdx = field.FldUniqueIdx();
    record.FldZeroLen = field.FldZeroLen();
    record.FldReq = field.FldReq();
    record.FldIsPrimaryKey = field.FldIsPrimaryKey();
    record.FldAutoIncrement = field.FldAutoIncrement();
    record.FldAttribute = field.FldAttribute();
    record.FldDefault = field.FldDbDefault();
    record.FldQuoteS = field.FldQuoteS();
    record.FldQuoteE = field.FldQuoteE();
    record.FldCaption = field.FldCaption();
    return record;
}

AGSchemaTable TableRecord(const AGPTable& table, std::int16_t seq) {
    AGSchemaTable record;
    record.TblSeq = seq;
    record.TblSchema = table.TblSchema();
    record.TblName = table.TblName();
    record.TblType = table.TblType();
    record.TblKey = table.TblKey();
    record.TblUpdatable = table.TblUpdatable();
    record.TblSQL = table.TblSQL();
    record.TblGen = table.TblGen();
    std::int16_t fieldSeq = 0;
    for (const auto& field : table.Fields()->Items()) record.TblFields.fld.push_back(FieldRecord(*field, ++fieldSeq));
    record.TblFldCnt = fieldSeq;
    return record;
}

void CopyDatabase(const AGPDatabase& database, AGSchemaDB& record) {
    record.DBName = database.DBName();
    record.DBType = database.DBType();
    record.DBPath = database.DBPath();
    record.DBUseServerMapPath = database.DBUseServerMapPath();
    record.DBPhyPath = database.DBPhyPath();
    record.DBSID = database.DBSID();
    record.DBConnectionMethod = database.DBConnectionMethod();
    record.DBURL = database.DBURL();
    record.DBHost = database.DBHost();
    record.DBPort = database.DBPort();
    record.DBEncoding = database.DBEncoding();
    record.DBUID = database.DBUID();
    record.DBPwd = database.DBPwd();
    record.DBConnstr = database.DBConnstr();
    record.DBADOVer = database.DBADOVer();
    record.DBDBMSName = database.DBDBMSName();
    record.DBDBMSVer = database.DBDBMSVer();
    record.DBOLEDBVer = database.DBOLEDBVer();
    record.DBProviderName = database.DBProviderName();
    record.DBProviderVer = database.DBProviderVer();
    record.DBSchema = database.DBSchema();
}

}  // namespace

const AGSchemaTable* AGPSchema::Tbl(std::int16_t i) const {
    if (i < 1 || i > tblcnt_) return nullptr;
    return &db_.Tables.Tbl[static_cast<std::size_t>(i - 1)];
}

template <class Load>
bool AGPSchema::Read(const std::string& name, bool showStatus, Load load) {
    AGPStatus status;
    if (showStatus) status.ShowStatus(0, StatusLine("Checking Database Schema..."));
    LoadStatusScope scope(showStatus ? &status : nullptr);
    Engine().ProjErr.clear();
    auto database = std::make_shared<AGPDatabase>();
    database->SetDBName(name);
    std::int16_t result = load(*database);
    if (showStatus) status.CloseStatus();
    if (result != 0) {
        tblcnt_ = 0;
        if (Engine().ProjErr.empty()) Engine().ProjErr = "Load Database failed!";
        return false;
    }
    db_ = AGSchemaDB{};
    CopyDatabase(*database, db_);
    std::int16_t seq = 0;
    for (const auto& table : database->Tables()->Items()) db_.Tables.Tbl.push_back(TableRecord(*table, ++seq));
    db_.DBTblCnt = seq;
    tblcnt_ = seq;
    loaded_ = database;
    return true;
}

bool AGPSchema::LoadDB(const LoadDbArgs& args, std::string_view sTableName) {
    if (tblcnt_ >= 1) return Fail("database already loaded!");
    std::string type = ToUpperAscii(args.sDbType);
    std::string name = args.sDbName;
    if (type == "ACCESS") {
        if (args.sPhyPath.empty()) return Fail("invalid database path!");
        name = AccessFileName(args.sPhyPath);
    } else if (type == "ODBC") {
        if (args.sDbName.empty()) return Fail("invalid DBName specified!");
    } else if (args.sConnStr.empty() && !(type == "SQLITE" && !args.sPhyPath.empty())) {
        return Fail("invalid connection string specified!");
    }
    std::string table(sTableName);
    return Read(name, true, [&](AGPDatabase& database) -> std::int16_t {
        if (type == "ACCESS") {
            return LoadDAODB(database, args.sPath, args.sPhyPath, args.bDBUseServerMapPath, args.sUID, args.sPwd,
                             table, "");
        }
        std::string connStr = type == "SQLITE" && !args.sPhyPath.empty() ? "Data Source=" + args.sPhyPath : args.sConnStr;
        return LoadADODB(database, args.sDbType, args.sDbName, args.sUID, args.sPwd, connStr, args.sSchema, table, "");
    });
}

bool AGPSchema::LoadDBMySQL(const ServerDbArgs& args, std::string_view sTableName) {
    if (tblcnt_ >= 1) return Fail("database already loaded!");
    if (args.sDbName.empty()) return Fail("invalid DBName specified!");
    std::string table(sTableName);
    return Read(args.sDbName, true,
                [&](AGPDatabase& database) { return LoadzvDB(database, args, table, ""); });
}

bool AGPSchema::LoadADOCustomView(std::string_view sConnStr, std::string_view sTableName, std::string_view sSQL) {
    if (tblcnt_ >= 1) return Fail("database already loaded!");
    return Read("DB", false, [&](AGPDatabase& database) {
        database.SetDBConnstr(std::string(sConnStr));
        return velmora::LoadADOCustomView(database, sConnStr, sTableName, sSQL);
    });
}

bool AGPSchema::LoadzvCustomView(const ServerDbArgs& args, std::string_view sTableName, std::string_view sSQL) {
    if (tblcnt_ >= 1) return Fail("database already loaded!");
    if (args.sDbName.empty()) return Fail("invalid DBName specified!");
    return Read(args.sDbName, false, [&](AGPDatabase& database) {
        SetServerConnection(database, args);
        return velmora::LoadzvCustomView(database, sTableName, sSQL);
    });
}

}  // namespace velmora

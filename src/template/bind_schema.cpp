// The schema reader as scripts see it: AGPSchema with its loads, and its records, each a copy
// a script can read (and change without touching the reader).
#include <memory>

#include "schema/schema_reader.h"
#include "template/bind_helpers.h"

namespace velmora::bind {
namespace {

template <class Record>
struct RecordObject : AutomationObject, Record {
    explicit RecordObject(const Record& record) : Record(record) {}
};

template <class Record>
ObjectRef RecordOf(const Record* record) {
    return record ? std::make_shared<RecordObject<Record>>(*record) : nullptr;
}

// The i-th item (from 1) of a record list, or nothing.
template <class Record>
const Record* Nth(const std::vector<Record>& list, std::int32_t i) {
    return i >= 1 && static_cast<std::size_t>(i) <= list.size() ? &list[static_cast<std::size_t>(i - 1)] : nullptr;
}

void BindRecords(ClassMap& classes) {
    using Field = RecordObject<AGSchemaField>;
    ClassBuilder<Field>(classes, "AGSchemaField")
        .Field("FldSync", &AGSchemaField::FldSync)
        .Field("FldSeq", &AGSchemaField::FldSeq)
        .Field("FldName", &AGSchemaField::FldName)
        .Field("FldType", &AGSchemaField::FldType)
        .Field("FldTypeName", &AGSchemaField::FldTypeName)
        .Field("NativeDataType", &AGSchemaField::NativeDataType)
        .Field("FldTagValues", &AGSchemaField::FldTagValues)
        .Field("FldSupport", &AGSchemaField::FldSupport)
        .Field("FldSize", &AGSchemaField::FldSize)
        .Field("FldUniqueIdx", &AGSchemaField::FldUniqueIdx)
        .Field("FldZeroLen", &AGSchemaField::FldZeroLen)
        .Field("FldReq", &AGSchemaField::FldReq)
        .Field("FldIsPrimaryKey", &AGSchemaField::FldIsPrimaryKey)
        .Field("FldAutoIncrement", &AGSchemaField::FldAutoIncrement)
        .Field("FldAttribute", &AGSchemaField::FldAttribute)
        .Field("FldDefault", &AGSchemaField::FldDefault)
        .Field("FldQuoteS", &AGSchemaField::FldQuoteS)
        .Field("FldQuoteE", &AGSchemaField::FldQuoteE)
        .Field("FldCaption", &AGSchemaField::FldCaption);

    using Fields = RecordObject<AGSchemaFields>;
    ClassBuilder<Fields>(classes, "AGSchemaFields")
        .Get("Count", [](Fields& fields) { return static_cast<std::int32_t>(fields.fld.size()); })
        .Method("fld", 1,
                [](Fields& fields, const Args& args) { return RecordOf(Nth(fields.fld, args.As<std::int32_t>(0))); });

    using Table = RecordObject<AGSchemaTable>;
    ClassBuilder<Table>(classes, "AGSchemaTable")
        .Field("TblSync", &AGSchemaTable::TblSync)
        .Field("TblSeq", &AGSchemaTable::TblSeq)
        .Field("TblSchema", &AGSchemaTable::TblSchema)
        .Field("TblName", &AGSchemaTable::TblName)
        .Field("TblType", &AGSchemaTable::TblType)
        .Field("TblKey", &AGSchemaTable::TblKey)
        .Field("TblUpdatable", &AGSchemaTable::TblUpdatable)
        .Field("TblSQL", &AGSchemaTable::TblSQL)
        .Field("TblGen", &AGSchemaTable::TblGen)
        .Field("TblFldCnt", &AGSchemaTable::TblFldCnt)
        .Get("TblFields", [](Table& table) { return RecordOf(&table.TblFields); });

    using Tables = RecordObject<AGSchemaTables>;
    ClassBuilder<Tables>(classes, "AGSchemaTables")
        .Get("Count", [](Tables& tables) { return static_cast<std::int32_t>(tables.Tbl.size()); })
        .Method("Tbl", 1,
                [](Tables& tables, const Args& args) { return RecordOf(Nth(tables.Tbl, args.As<std::int32_t>(0))); });

    using Db = RecordObject<AGSchemaDB>;
    ClassBuilder<Db> db(classes, "AGSchemaDB");
    db.Field("DBName", &AGSchemaDB::DBName)
        .Field("DBType", &AGSchemaDB::DBType)
        .Field("DBPath", &AGSchemaDB::DBPath)
        .Field("DBUseServerMapPath", &AGSchemaDB::DBUseServerMapPath)
        .Field("DBPhyPath", &AGSchemaDB::DBPhyPath)
        .Field("DBSID", &AGSchemaDB::DBSID)
        .Field("DBConnectionMethod", &AGSchemaDB::DBConnectionMethod)
        .Field("DBURL", &AGSchemaDB::DBURL)
        .Field("DBHost", &AGSchemaDB::DBHost)
        .Field("DBPort", &AGSchemaDB::DBPort)
        .Field("DBEncoding", &AGSchemaDB::DBEncoding)
        .Field("DBUID", &AGSchemaDB::DBUID)
        .Field("DBPwd", &AGSchemaDB::DBPwd)
        .Field("DBConnstr", &AGSchemaDB::DBConnstr)
        .Field("DBADOVer", &AGSchemaDB::DBADOVer)
        .Field("DBDBMSName", &AGSchemaDB::DBDBMSName)
        .Field("DBDBMSVer", &AGSchemaDB::DBDBMSVer)
        .Field("DBOLEDBVer", &AGSchemaDB::DBOLEDBVer)
        .Field("DBProviderName", &AGSchemaDB::DBProviderName)
        .Field("DBProviderVer", &AGSchemaDB::DBProviderVer)
        .Field("DBSchema", &AGSchemaDB::DBSchema)
        .Field("DBTblCnt", &AGSchemaDB::DBTblCnt)
        .Get("Tables", [](Db& record) { return RecordOf(&record.Tables); });
}

// sDbName, sDbType, sHost, sPort, sUID, sPwd, sSID, sMethod, sUrl, sEncoding from
// argument `first` on.
ServerDbArgs ServerArgsFrom(const Args& args, std::size_t first) {
    ServerDbArgs server;
    std::size_t index = first;
    for (std::string* field : {&server.sDbName, &server.sDbType, &server.sHost, &server.sPort, &server.sUID,
                               &server.sPwd, &server.sSID, &server.sMethod, &server.sUrl, &server.sEncoding}) {
        *field = args.Text(index++);
    }
    return server;
}

}  // namespace

void BindSchema(ClassMap& classes) {
    BindRecords(classes);
    ClassBuilder<AGPSchema>(classes, "AGPSchema")
        .Get("DB", [](AGPSchema& schema) { return RecordOf(&schema.DB()); })
        .Get("tblcnt", &AGPSchema::tblcnt)
        .Method("Tbl", 1,
                [](AGPSchema& schema, const Args& args) {
                    return RecordOf(schema.Tbl(static_cast<std::int16_t>(args.As<std::int32_t>(0))));
                })
        .Method("LoadDB", 10,
                [](AGPSchema& schema, const Args& args) {
                    LoadDbArgs load{args.Text(0), args.Text(1), args.Text(2), args.Text(3), args.As<bool>(4),
                                    args.Text(5), args.Text(6), args.Text(7), args.Text(8)};
                    return schema.LoadDB(load, args.Text(9));
                })
        .Method("LoadDBMySQL", 11,
                [](AGPSchema& schema, const Args& args) {
                    return schema.LoadDBMySQL(ServerArgsFrom(args, 0), args.Text(10));
                })
        .Method("LoadADOCustomView", 3,
                [](AGPSchema& schema, const Args& args) {
                    return schema.LoadADOCustomView(args.Text(0), args.Text(1), args.Text(2));
                })
        .Method("LoadzvCustomView", 12, [](AGPSchema& schema, const Args& args) {
            // sHost, sDbName, sDbType, sUID, sPwd, sPort, sSID, sMethod, sUrl, sEncoding, sTableName, sSQL
            ServerDbArgs server{args.Text(1), args.Text(2), args.Text(0), args.Text(5), args.Text(3),
                                args.Text(4), args.Text(6), args.Text(7), args.Text(8), args.Text(9)};
            return schema.LoadzvCustomView(server, args.Text(10), args.Text(11));
        });
}

}  // namespace velmora::bind

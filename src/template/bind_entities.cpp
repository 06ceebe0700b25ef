// The entities with registered properties (database, table, field, chart, trend line, custom
// script, extension) and the extension settings objects.
#include "model/entities/chart.h"
#include "model/entities/charts.h"
#include "model/controls/controls.h"
#include "model/project/custom_scripts.h"
#include "model/entities/database.h"
#include "model/extensions/ext_objects.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "model/entities/trend.h"
#include "schema/schema_load.h"
#include "template/bind_helpers.h"

namespace velmora::bind {
namespace {

// What every entity with settings offers: its bag, access by name and its key.
template <class C>
void AddEntityMembers(ClassBuilder<C>& builder) {
    builder.Get("Properties", &C::Properties)
        .Method("GetV", &C::GetV)
        .Method("SetV", &C::SetV)
        .Get("Key", &C::Key);
}

void BindDatabase(ClassMap& classes) {
    using Bound = AGPDatabase;
    ClassBuilder<Bound> builder(classes, "AGPDatabase");
    AddEntityMembers(builder);
    builder.Get("Tables", &Bound::Tables)
        .Method("LoadADODB", 8,
                [](Bound& database, const Args& args) {
                    return LoadADODB(database, args.Text(0), args.Text(1), args.Text(2), args.Text(3), args.Text(4),
                                     args.Text(5), args.Text(6), args.Text(7));
                })
        .Method("LoadDAODB", 7,
                [](Bound& database, const Args& args) {
                    return LoadDAODB(database, args.Text(0), args.Text(1), args.As<bool>(2), args.Text(3),
                                     args.Text(4), args.Text(5), args.Text(6));
                })
        .Method("LoadADOCustomView", 3,
                [](Bound& database, const Args& args) {
                    return LoadADOCustomView(database, args.Text(0), args.Text(1), args.Text(2));
                })
        .Method("LoadzvCustomView", 2,
                [](Bound& database, const Args& args) {
                    return LoadzvCustomView(database, args.Text(0), args.Text(1));
                })
        .Method("LoadzvDB", 12, [](Bound& database, const Args& args) {
            // sHost, sDbName, sDbType, sUID, sPwd, sPort, sSID, sMethod, sUrl, sEncoding, tables.
            ServerDbArgs server{args.Text(1), args.Text(2), args.Text(0), args.Text(5), args.Text(3),
                                args.Text(4), args.Text(6), args.Text(7), args.Text(8), args.Text(9)};
            return LoadzvDB(database, server, args.Text(10), args.Text(11));
        });
#define VELMORA_PROPERTY VELMORA_BIND_PROPERTY
#include "model/core/database_properties.def"
}

void BindTable(ClassMap& classes) {
    using Bound = AGPTable;
    ClassBuilder<Bound> builder(classes, "AGPTable");
    AddEntityMembers(builder);
    builder.Get("Fields", &Bound::Fields)
        .Get("Charts", &Bound::Charts)
        .Get("ControlList", &Bound::ControlList)
        .Method("LoadTableDefault", &Bound::LoadTableDefault);
#define VELMORA_PROPERTY VELMORA_BIND_PROPERTY
#include "model/core/table_properties.def"
}

void BindField(ClassMap& classes) {
    using Bound = AGPField;
    ClassBuilder<Bound> builder(classes, "AGPField");
    AddEntityMembers(builder);
    builder.Method("LoadFldDefault", &Bound::LoadFldDefault)
        .Method("LoadFldDataTypeDefault", &Bound::LoadFldDataTypeDefault);
#define VELMORA_PROPERTY VELMORA_BIND_PROPERTY
#include "model/core/field_properties.def"
}

void BindChart(ClassMap& classes) {
    using Bound = AGPChart;
    ClassBuilder<Bound> builder(classes, "AGPChart");
    AddEntityMembers(builder);
    builder.Get("Trendlines", &Bound::Trendlines);
#define VELMORA_PROPERTY VELMORA_BIND_PROPERTY
#include "model/core/chart_properties.def"
}

void BindTrend(ClassMap& classes) {
    using Bound = AGPTrend;
    ClassBuilder<Bound> builder(classes, "AGPTrend");
    AddEntityMembers(builder);
#define VELMORA_PROPERTY VELMORA_BIND_PROPERTY
#include "model/core/trend_properties.def"
}

void BindCustomScript(ClassMap& classes) {
    using Bound = AGPCustomScript;
    ClassBuilder<Bound> builder(classes, "AGPCustomScript");
    builder.Get("Properties", &Bound::Properties);
#define VELMORA_PROPERTY VELMORA_BIND_PROPERTY
#include "model/core/custom_script_properties.def"
}

void BindExtension(ClassMap& classes) {
    using Bound = AGPExtension;
    ClassBuilder<Bound> builder(classes, "AGPExtension");
    builder.Get("Properties", &Bound::Properties)
        .Get("IsExtended", &Bound::IsExtended)
        .Get("PROJ", &Bound::PROJ)
        .Get("Key", &Bound::Key);
#define VELMORA_PROPERTY VELMORA_BIND_PROPERTY
#include "model/core/extension_properties.def"
}

void BindExtensionSettings(ClassMap& classes) {
    ClassBuilder<AGPExtProj>(classes, "AGPExtProj")
        .Get("DB", &AGPExtProj::DB)
        .Get("DBCnt", &AGPExtProj::DBCnt)
        .Get("Properties", &AGPExtProj::Properties);
    ClassBuilder<AGPExtDb>(classes, "AGPExtDb")
        .Get("DBName", &AGPExtDb::DBName)
        .Get("Tables", &AGPExtDb::Tables)
        .Get("Properties", &AGPExtDb::Properties);
    ClassBuilder<AGPExtTable>(classes, "AGPExtTable")
        .Get("TblName", &AGPExtTable::TblName)
        .Get("TblSeq", &AGPExtTable::TblSeq)
        .Get("Fields", &AGPExtTable::Fields)
        .Get("Charts", &AGPExtTable::Charts)
        .Get("Properties", &AGPExtTable::Properties);
    ClassBuilder<AGPExtChart>(classes, "AGPExtChart")
        .Get("ChartName", &AGPExtChart::ChartName)
        .Get("ChartSeq", &AGPExtChart::ChartSeq)
        .Get("Properties", &AGPExtChart::Properties);
    ClassBuilder<AGPExtField>(classes, "AGPExtField")
        .Get("FldName", &AGPExtField::FldName)
        .Get("FldSeq", &AGPExtField::FldSeq)
        .Get("Properties", &AGPExtField::Properties);
}

}  // namespace

void BindEntities(ClassMap& classes) {
    BindDatabase(classes);
    BindTable(classes);
    BindField(classes);
    BindChart(classes);
    BindTrend(classes);
    BindCustomScript(classes);
    BindExtension(classes);
    BindExtensionSettings(classes);
}

}  // namespace velmora::bind

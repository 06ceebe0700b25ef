// The defaults of a new field: page flags from its support, and the edit control, validation,
// search operator, formatting and alignment its data type calls for.
#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "model/project/agp.h"
#include "model/entities/caption.h"
#include "model/core/data_types.h"
#include "model/entities/field.h"
#include "model/entities/table_defaults.h"
#include "support/engine_state.h"
#include "support/text.h"

namespace velmora {
namespace {

// Three-state settings: -2 is "use the default".
constexpr std::int16_t kUseDefault = -2;

constexpr std::int16_t kTextAreaCols = 35;
constexpr std::int16_t kTextAreaRows = 4;
constexpr std::int16_t kTextSize = 30;
constexpr std::int16_t kGuidSize = 38;

// MySQL's native codes of ENUM and SET columns.
constexpr std::int16_t kMySqlEnum = 247;
constexpr std::int16_t kMySqlSet = 248;

bool OneOf(std::int32_t code, std::initializer_list<std::int32_t> codes) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

bool IsLongTextOrBinary(std::int32_t type) {
    return OneOf(type, {kAdLongVarChar, kAdLongVarWChar, kAdLongVarBinary, kAdVarBinary});
}

// Date codes that take a date format (times and ODBC time-2 values do not).
bool IsFormattableDate(std::int32_t type) {
    return OneOf(type, {kAdDate, kAdDBDate, kAdDBTimeStamp, kAdDateTimeOffset});
}

// Tag values that make an ENUM column a check box: exactly "Y","Y" and "N","N" in either order.
bool IsYesNoEnum(std::string tagValues) {
    if (tagValues.ends_with("\r\n")) tagValues.resize(tagValues.size() - 2);
    std::vector<std::string> lines;
    for (std::size_t pos = 0;;) {
        std::size_t hit = tagValues.find("\r\n", pos);
        lines.push_back(tagValues.substr(pos, hit == std::string::npos ? hit : hit - pos));
        if (hit == std::string::npos) break;
        pos = hit + 2;
    }
    if (lines.size() != 2) return false;
    const std::string yes = "\"Y\",\"Y\"";
    const std::string no = "\"N\",\"N\"";
    return (lines[0] == yes && lines[1] == no) || (lines[0] == no && lines[1] == yes);
}

}  // namespace

void AGPField::LoadFldDefault() {
    SetFldFmtType("None");
    SetFldIncLeadDigit(kUseDefault);
    SetFldUseParen(kUseDefault);
    SetFldGpDigits(kUseDefault);
    SetFldSelectType("Values");
    SetFldViewTag("FORMATTED TEXT");
    SetFldTagAPrefix("None");
    SetFldRequired(false);
    if (FldReq()) SetFldRequired(true);
    SetFldPopCalendar(false);
    SetFldHtmlTagReadOnly(false);
    SetFldSrchOpr2(std::string());
    SetFldOrderBy(0);
    SetFldOrder(std::string());
    SetFldGroupBy(0);
    SetFldPageIndex(1);
    SetFldAutoUpdateValue(std::string());
    SetFldVar(MakeVarName(FldName(), "x_"));

    bool support = FldSupport();
    bool listed = support && !IsLongTextOrBinary(FldType());
    SetFldList(listed);
    SetFldExport(listed);
    SetFldEdit(support);
    SetFldMultiUpdate(support);
    if (FldAutoIncrement()) {
        SetFldAdd(false);
        SetFldAddOpt(false);
        SetFldMultiUpdate(false);
    } else {
        SetFldAdd(support);
        SetFldAddOpt(support);
    }
    // SQL Server: only columns ADO reports as updatable (4) or of unknown updatability (8) can
    // be written.
    if (Engine().databaseKind == kDbSqlServer) {
        std::int32_t attributes = FldAttribute();
        if (!FldAutoIncrement() && (attributes & 8) != 8 && (attributes & 4) != 4) {
            SetFldAdd(false);
            SetFldEdit(false);
            SetFldMultiUpdate(false);
        }
    }
    SetFldView(support);

    LoadFldDataTypeDefault();
    ApplyNumberFormatDefault();
    ApplyAlignmentDefault();

    if (FldCaption().empty()) SetFldCaption(CaptionFromName(FldName()));
    ApplyFieldDefaultSettings(*Properties());
}

void AGPField::LoadFldDataTypeDefault() {
    if (!FldSupport()) {
        SetFldGenerate(false);
        SetFldList(false);
        SetFldView(false);
        SetFldAdd(false);
        SetFldEdit(false);
        SetFldBasicSearch(false);
        SetFldExtendedBasicSearch(false);
        SetFldSearch(false);
        SetFldExport(false);
        SetFldAddOpt(false);
        SetFldMultiUpdate(false);
    }
    if (!FldAutoIncrement()) ApplyEditControlDefault();

    std::int32_t type = FldType();
    std::int16_t dateFormat = Engine().defaultDateFormat;
    if (FldTypeCategory(type) == kCatInteger) {
        SetFldValidate("INTEGER");
    } else if (OneOf(type, {kAdCurrency, kAdDecimal, kAdDouble, kAdNumeric, kAdSingle})) {
        SetFldValidate("FLOAT");
    } else if (IsFormattableDate(type)) {
        if (dateFormat == 5) SetFldValidate("DATE");
        if (dateFormat == 6) SetFldValidate("USDATE");
        if (dateFormat == 7) SetFldValidate("EURODATE");
    } else if (type == kAdDBTime) {
        SetFldValidate("TIME");
    } else if (type == kAdGUID) {
        SetFldValidate("GUID");
    }

    if (OneOf(type, {kAdChar, kAdLongVarChar, kAdLongVarWChar, kAdVarChar, kAdVarWChar, kAdWChar}))
        SetFldSrchOpr("LIKE");
    else if (IsNumericAdoType(type) || IsDateTimeAdoType(type))
        SetFldSrchOpr("=");

    if (NativeDataType() == kMySqlEnum) SetFldHtmlTag(IsYesNoEnum(FldTagValues()) ? "CHECKBOX" : "RADIO");
    if (NativeDataType() == kMySqlSet) SetFldHtmlTag("CHECKBOX");
}

void AGPField::ApplyEditControlDefault() {
    std::int32_t type = FldType();
    if (type == kAdBoolean) {
        SetFldHtmlTag("CHECKBOX");
        SetFldTagValues("\"1\",\"Yes\"\r\n\"0\",\"No\"");
    } else if (OneOf(type, {kAdLongVarChar, kAdLongVarWChar, kAdXml})) {
        SetFldHtmlTag("TEXTAREA");
        SetFldTagCols(kTextAreaCols);
        SetFldTagRows(kTextAreaRows);
    } else if (OneOf(type, {kAdVarChar, kAdVarWChar})) {
        SetFldHtmlTag("TEXT");
        SetFldTagSize(kTextSize);
        SetFldTagMaxLength(FldSize());
    } else if (type == kAdGUID) {
        SetFldHtmlTag("TEXT");
        SetFldTagSize(kGuidSize);
    } else if (OneOf(type, {kAdLongVarBinary, kAdVarBinary})) {
        SetFldHtmlTag("FILE");
    } else if (IsFormattableDate(type)) {
        SetFldHtmlTag("TEXT");
        SetFldTagSize(kTextSize);
        std::int16_t dateFormat = Engine().defaultDateFormat;
        if (dateFormat >= 5 && dateFormat <= 7) {
            SetFldFmtType("Date/Time");
            SetFldDtFormat(dateFormat);
        }
    } else {
        SetFldHtmlTag("TEXT");
    }
}

// Currency amounts are shown as currency; every other number keeps "None" with the three-state
// settings at "use the default", which leaves the generated page to the locale's number format.
void AGPField::ApplyNumberFormatDefault() {
    if (FldType() == kAdCurrency) SetFldFmtType("Currency");
}

// Numbers line up on the right, unless the user's saved default says otherwise.
void AGPField::ApplyAlignmentDefault() {
    if (IsNumericAdoType(FldType()) && FldAlign().empty()) SetFldAlign("right");
}

}  // namespace velmora

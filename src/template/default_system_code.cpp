// The script library a template package gets when it configures no system-function file.
#include "template/script_host.h"

namespace velmora {

namespace {

// StringBuilder collects parts and joins them once; zv_LoadCurrent publishes the current table
// and field; SYSTEMFUNCTIONS.IncludeFile runs the function of the control with that id (the
// header or footer of a page) and gives its text, or "" when there is none.
constexpr std::string_view kDefaultSystemCode = R"js(function StringBuilder() {
    this.parts = [];
}
StringBuilder.prototype.Append = function (value) {
    if (value !== undefined && value !== null)
        this.parts.push(String(value));
    return this;
};
StringBuilder.prototype.ToString = function () {
    return this.parts.join("");
};
var zv_IndentWrk = "";
var TABLE = null;
var FIELD = null;
function zv_SetLocale() {
}
function zv_LoadCurrent() {
    TABLE = null;
    FIELD = null;
    if (typeof DB != "object" || DB === null)
        return;
    var tables = DB.Tables;
    if (tables.curName == "")
        return;
    TABLE = tables.Item(tables.curName);
    var fields = TABLE.Fields;
    if (fields.curName != "")
        FIELD = fields.Item(fields.curName);
}
var SYSTEMFUNCTIONS = {
    IncludeFile: function (id, parm) {
        if (typeof CONTROLS != "object" || CONTROLS === null || !CONTROLS.ControlExist(id))
            return "";
        var ctrl = CONTROLS.Item(id);
        var name = ("zvEx" + ctrl.CtrlID + ctrl.CtrlTagExt).replace(/\./g, "_");
        var fn = globalThis[name];
        return typeof fn == "function" ? String(fn(parm)) : "";
    }
};
)js";

}  // namespace

std::string_view DefaultSystemCode() { return kDefaultSystemCode; }

}  // namespace velmora

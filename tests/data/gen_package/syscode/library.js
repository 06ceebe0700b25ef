<!--##
function StringBuilder() { this.parts = []; }
StringBuilder.prototype.Append = function (s) { this.parts.push(String(s)); };
StringBuilder.prototype.ToString = function () { return this.parts.join(""); };
var TABLE = null, zv_IndentWrk = "";
function zv_SetLocale() {}
function zv_LoadCurrent() { TABLE = DB.Tables.Item(DB.Tables.curName); }
##-->